// Text conversions of the engine: UTF-16 at the interface, UTF-8 inside (FFmpeg, curl, file
// names), and the decoding of stream titles whose character set nobody declares.
// Threading: pure functions, any thread.
#pragma once

#include <string>
#include <string_view>

namespace lxengine {

std::string ToUtf8(std::u16string_view text);
std::u16string ToUtf16(std::string_view utf8);  // invalid sequences become U+FFFD
bool IsValidUtf8(std::string_view bytes);
// A stream title as sent: UTF-8 when the bytes are valid UTF-8, else GB18030 when they convert
// completely, else Latin-1 (which accepts any byte).
std::u16string DecodeTitle(std::string_view bytes);

// Case-insensitive ASCII comparisons for header values and file extensions.
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
bool EndsWithNoCase(std::string_view text, std::string_view suffix);
std::string ToLowerAscii(std::string_view text);
std::string_view TrimAscii(std::string_view text);

}  // namespace lxengine
