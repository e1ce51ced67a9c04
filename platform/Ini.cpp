#include "platform/Ini.h"

#include <fstream>
#include <iterator>

#include "platform/Paths.h"
#include "platform/Text.h"

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f'; }

std::u16string_view TrimBlanks(std::u16string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::u16string DecodeUtf16(std::string_view bytes, bool big_endian) {
    std::u16string out;
    out.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
        out += static_cast<char16_t>(big_endian ? (b0 << 8 | b1) : (b1 << 8 | b0));
    }
    return out;
}

// Without a byte-order mark, UTF-16 shows itself by NUL bytes: text in these files is mostly
// ASCII, whose high bytes are zero. UTF-8 and GB18030 text never holds a NUL byte.
std::u16string DecodeFile(std::string_view bytes) {
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') return DecodeUtf16(bytes.substr(2), false);
    if (bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF') return DecodeUtf16(bytes.substr(2), true);
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") return Utf8ToUtf16(bytes.substr(3));
    size_t zero_even = 0;
    size_t zero_odd = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\0') ++(i % 2 ? zero_odd : zero_even);
    }
    if (zero_odd > 0 && zero_odd >= zero_even) return DecodeUtf16(bytes, false);
    if (zero_even > 0) return DecodeUtf16(bytes, true);
    return AnsiToUtf16(bytes);
}

struct Entry {
    std::u16string_view key;
    std::u16string_view value;
    bool has_value = false;
};

// Walks the lines of a decoded file, calling on_section(name) for "[name]" lines and
// on_entry(entry) for the other non-empty, non-comment lines.
template <class OnSection, class OnEntry>
void Parse(std::u16string_view text, OnSection on_section, OnEntry on_entry) {
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of(u"\r\n", pos);
        if (end == std::u16string_view::npos) end = text.size();
        const std::u16string_view line = TrimBlanks(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line.front() == u';') continue;
        if (line.front() == u'[') {
            const size_t close = line.find(u']');
            const std::u16string_view name =
                close == std::u16string_view::npos ? line.substr(1) : line.substr(1, close - 1);
            on_section(TrimBlanks(name));
            continue;
        }
        Entry e;
        const size_t eq = line.find(u'=');
        if (eq == std::u16string_view::npos) {
            e.key = line;
        } else {
            e.key = TrimBlanks(line.substr(0, eq));
            e.value = TrimBlanks(line.substr(eq + 1));
            e.has_value = true;
        }
        on_entry(e);
    }
}

bool ReadFile(std::u16string_view file, std::u16string* text) {
    if (file.empty()) return false;
    std::ifstream in(NativePath(file), std::ios::binary);
    if (!in) return false;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    *text = DecodeFile(bytes);
    return true;
}

std::u16string Limit(std::u16string_view s, size_t size) {
    if (size != 0 && s.size() > size - 1) s = s.substr(0, size - 1);
    return std::u16string(s);
}

// Finds the raw value; false when the file, the section or the key is missing.
bool Lookup(std::u16string_view section, std::u16string_view key, std::u16string_view file,
            std::u16string* value) {
    std::u16string text;
    if (!ReadFile(file, &text)) return false;
    section = TrimBlanks(section);
    key = TrimBlanks(key);
    bool in_section = false;
    bool found = false;
    Parse(
        text, [&](std::u16string_view name) { in_section = EqualsNoCase(name, section); },
        [&](const Entry& e) {
            if (found || !in_section || !EqualsNoCase(e.key, key)) return;
            std::u16string_view v = e.value;
            if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front()) {
                v = v.substr(1, v.size() - 2);
            }
            *value = std::u16string(v);
            found = true;
        });
    return found;
}

}  // namespace

std::u16string GetPrivateProfileString(std::u16string_view section, std::u16string_view key,
                                       std::u16string_view def, std::u16string_view file, size_t size) {
    std::u16string value;
    if (Lookup(section, key, file, &value)) return Limit(value, size);
    while (!def.empty() && IsBlank(def.back())) def.remove_suffix(1);
    return Limit(def, size);
}

int GetPrivateProfileInt(std::u16string_view section, std::u16string_view key, int def,
                         std::u16string_view file) {
    std::u16string value;
    if (!Lookup(section, key, file, &value) || value.empty()) return def;
    std::u16string_view s = value;
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    bool negative = false;
    size_t i = 0;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) negative = s[i++] == u'-';
    if (i + 1 < s.size() && s[i] == u'0' && (s[i + 1] == u'x' || s[i + 1] == u'X')) {
        uint32_t v = 0;
        for (i += 2; i < s.size(); ++i) {
            const char16_t c = s[i];
            int d;
            if (c >= u'0' && c <= u'9') d = c - u'0';
            else if (c >= u'a' && c <= u'f') d = c - u'a' + 10;
            else if (c >= u'A' && c <= u'F') d = c - u'A' + 10;
            else break;
            v = v * 16 + static_cast<uint32_t>(d);
        }
        // Hexadecimal values are bit patterns: 0xFFFFFFFF reads as -1.
        const int result = static_cast<int>(v);
        return negative ? -result : result;
    }
    return WToI(s);
}

std::vector<std::u16string> GetPrivateProfileSectionNames(std::u16string_view file) {
    std::vector<std::u16string> names;
    std::u16string text;
    if (!ReadFile(file, &text)) return names;
    Parse(
        text,
        [&](std::u16string_view name) {
            for (const auto& n : names) {
                if (EqualsNoCase(n, name)) return;
            }
            names.emplace_back(name);
        },
        [](const Entry&) {});
    return names;
}

std::vector<std::u16string> GetPrivateProfileKeys(std::u16string_view section, std::u16string_view file) {
    std::vector<std::u16string> keys;
    std::u16string text;
    if (!ReadFile(file, &text)) return keys;
    section = TrimBlanks(section);
    bool in_section = false;
    Parse(
        text, [&](std::u16string_view name) { in_section = EqualsNoCase(name, section); },
        [&](const Entry& e) {
            if (!in_section) return;
            for (const auto& k : keys) {
                if (EqualsNoCase(k, e.key)) return;
            }
            keys.emplace_back(e.key);
        });
    return keys;
}
