// Text conversions of the engine (see the header).
#include "EngineText.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

namespace lxengine {
namespace {

// Decodes one UTF-8 sequence at `i`; returns the code point or -1 (and advances i past it).
int32_t NextCodePoint(std::string_view s, size_t& i) {
    const auto b0 = static_cast<uint8_t>(s[i]);
    int len = 0;
    int32_t cp = 0;
    if (b0 < 0x80) {
        ++i;
        return b0;
    } else if ((b0 & 0xE0) == 0xC0) {
        len = 2;
        cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3;
        cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4;
        cp = b0 & 0x07;
    } else {
        ++i;
        return -1;
    }
    if (i + len > s.size()) {
        i = s.size();
        return -1;
    }
    for (int k = 1; k < len; ++k) {
        const auto b = static_cast<uint8_t>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            i += k;
            return -1;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    i += len;
    static constexpr int32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
    return cp;
}

void AppendUtf16(std::u16string& out, int32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool ConvertWithIconv(const char* charset, std::string_view bytes, std::u16string& out) {
    iconv_t cd = iconv_open("UTF-16LE", charset);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::string in(bytes);
    std::string buffer(in.size() * 4 + 4, '\0');
    char* inp = in.data();
    size_t inleft = in.size();
    char* outp = buffer.data();
    size_t outleft = buffer.size();
    const size_t rc = iconv(cd, &inp, &inleft, &outp, &outleft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1) || inleft != 0) return false;
    const size_t produced = buffer.size() - outleft;
    out.clear();
    for (size_t k = 0; k + 1 < produced; k += 2) {
        out.push_back(static_cast<char16_t>(static_cast<uint8_t>(buffer[k]) |
                                            (static_cast<uint8_t>(buffer[k + 1]) << 8)));
    }
    return true;
}

}  // namespace

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::u16string ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const int32_t cp = NextCodePoint(utf8, i);
        AppendUtf16(out, cp < 0 ? 0xFFFD : cp);
    }
    return out;
}

bool IsValidUtf8(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        if (NextCodePoint(bytes, i) < 0) return false;
    }
    return true;
}

std::u16string DecodeTitle(std::string_view bytes) {
    if (IsValidUtf8(bytes)) return ToUtf16(bytes);
    std::u16string out;
    if (ConvertWithIconv("GB18030", bytes, out)) return out;
    out.clear();
    for (char c : bytes) out.push_back(static_cast<char16_t>(static_cast<uint8_t>(c)));
    return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

std::string ToLowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = LowerAscii(c);
    return out;
}

std::string_view TrimAscii(std::string_view text) {
    while (!text.empty() && static_cast<uint8_t>(text.front()) <= ' ') text.remove_prefix(1);
    while (!text.empty() && static_cast<uint8_t>(text.back()) <= ' ') text.remove_suffix(1);
    return text;
}

}  // namespace lxengine
