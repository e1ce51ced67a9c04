// The argument hand-off between two copies of the player: the command line of a copy becomes one
// UTF-16 string that is written into the 520-byte shared block "LoxanRadioMappingFile" and read
// back by the main window after message 5032.
// Threading: free functions without state; the block is written by another process and read on
// the user-interface thread after the message; writing before posting is the only ordering.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

inline constexpr char16_t kMappingName[] = u"LoxanRadioMappingFile";
inline constexpr size_t kMappingBytes = 520;
// 259 characters and the terminator fill the block.
inline constexpr size_t kMaxHandOffLength = kMappingBytes / 2 - 1;

// Each argument (the program name not included) followed by one double quote, nothing in front:
// {"a.mp3", "b.mp3"} gives "a.mp3\"b.mp3\"".
std::u16string BuildHandOffString(const std::vector<std::u16string>& args);
// Only strings longer than 5 characters are handed over (one argument of 5 characters or more).
bool IsWorthHandingOver(std::u16string_view text);
// Copies text and its terminator to the start of the block; false (nothing written) when it
// would not fit, so a string of more than 259 characters is not handed over at all.
bool WriteHandOff(void* block, size_t block_bytes, std::u16string_view text);
// The text at the start of the block, up to its terminator or the end of the block.
std::u16string ReadHandOff(const void* block, size_t block_bytes);
// The non-empty pieces between double quotes.
std::vector<std::u16string> SplitHandOff(std::u16string_view text);
