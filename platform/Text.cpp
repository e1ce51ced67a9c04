#include "platform/Text.h"

#include <climits>
#include <iconv.h>

namespace {

void AppendCodePoint(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

// Decodes one UTF-8 sequence at `i`; returns false (and consumes one byte) when it is invalid.
bool DecodeUtf8(std::string_view s, size_t& i, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    int len = 0;
    char32_t min = 0;
    if (b0 < 0x80) {
        cp = b0;
        ++i;
        return true;
    } else if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        ++i;
        return false;
    }
    if (i + len > s.size()) {
        ++i;
        return false;
    }
    for (int k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return false;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return false;
    }
    i += len;
    return true;
}

void AppendDigits(std::u16string& out, uint64_t v, unsigned base, bool upper) {
    char buf[32];
    int n = 0;
    do {
        const unsigned d = static_cast<unsigned>(v % base);
        buf[n++] = static_cast<char>(d < 10 ? '0' + d : (upper ? 'A' : 'a') + d - 10);
        v /= base;
    } while (v != 0);
    while (n > 0) out.push_back(static_cast<char16_t>(buf[--n]));
}

char16_t LowerUnit(char16_t c) {
    if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);
    return c;
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        char32_t cp = 0;
        AppendCodePoint(out, DecodeUtf8(utf8, i, cp) ? cp : U'\uFFFD');
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view s) {
    std::string out;
    out.reserve(s.size() * 3 / 2);
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
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

bool IsValidUtf8(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        char32_t cp = 0;
        if (!DecodeUtf8(bytes, i, cp)) return false;
    }
    return true;
}

std::u16string AnsiToUtf16(std::string_view bytes) {
    if (IsValidUtf8(bytes)) return Utf8ToUtf16(bytes);
    iconv_t cd = iconv_open("UTF-16LE", "GB18030");
    if (cd == reinterpret_cast<iconv_t>(-1)) return Utf8ToUtf16(bytes);
    std::string in(bytes);
    std::u16string out(in.size() * 2 + 4, u'\0');
    char* inp = in.data();
    size_t inleft = in.size();
    char* outp = reinterpret_cast<char*>(out.data());
    size_t outleft = out.size() * sizeof(char16_t);
    while (inleft > 0) {
        if (iconv(cd, &inp, &inleft, &outp, &outleft) == static_cast<size_t>(-1)) {
            if (outleft < 2) break;
            // Skip a byte that GB18030 cannot decode and mark it.
            *reinterpret_cast<char16_t*>(outp) = u'\uFFFD';
            outp += 2, outleft -= 2;
            ++inp, --inleft;
        }
    }
    iconv_close(cd);
    out.resize((outp - reinterpret_cast<char*>(out.data())) / sizeof(char16_t));
    return out;
}

std::u16string FormatN(size_t limit, std::u16string_view fmt, std::initializer_list<FormatArg> args) {
    std::u16string out;
    auto next = args.begin();
    const size_t max_units = limit == 0 ? std::u16string::npos : limit - 1;
    for (size_t i = 0; i < fmt.size() && out.size() < max_units; ++i) {
        const char16_t c = fmt[i];
        if (c != u'%' || i + 1 >= fmt.size()) {
            out.push_back(c);
            continue;
        }
        size_t j = i + 1;
        if (fmt[j] == u'%') {
            out.push_back(u'%');
            i = j;
            continue;
        }
        bool left = false, zero = false;
        for (; j < fmt.size() && (fmt[j] == u'-' || fmt[j] == u'0'); ++j) {
            if (fmt[j] == u'-') left = true;
            if (fmt[j] == u'0') zero = true;
        }
        size_t width = 0;
        for (; j < fmt.size() && fmt[j] >= u'0' && fmt[j] <= u'9'; ++j) width = width * 10 + (fmt[j] - u'0');
        bool wide = false;
        if (fmt.substr(j, 2) == u"ll") {
            wide = true, j += 2;
        } else if (fmt.substr(j, 3) == u"I64") {
            wide = true, j += 3;
        } else if (j < fmt.size() && (fmt[j] == u'l' || fmt[j] == u'h')) {
            ++j;
        }
        if (j >= fmt.size()) break;
        const char16_t conv = fmt[j];
        i = j;
        std::u16string piece;
        const FormatArg* arg = next != args.end() ? &*next++ : nullptr;
        switch (conv) {
            case u's':
            case u'S':
                if (arg && arg->kind() == FormatArg::kText) piece = arg->text();
                break;
            case u'c':
                if (arg) piece.push_back(static_cast<char16_t>(arg->integer()));
                break;
            case u'd':
            case u'i': {
                int64_t v = arg ? arg->integer() : 0;
                if (!wide) v = static_cast<int32_t>(v);
                if (v < 0) piece.push_back(u'-');
                AppendDigits(piece, v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v), 10, false);
                break;
            }
            case u'u':
            case u'x':
            case u'X': {
                uint64_t v = arg ? static_cast<uint64_t>(arg->integer()) : 0;
                if (!wide) v = static_cast<uint32_t>(v);
                AppendDigits(piece, v, conv == u'u' ? 10 : 16, conv == u'X');
                break;
            }
            default:
                piece.push_back(u'%');
                piece.push_back(conv);
                break;
        }
        if (piece.size() < width) {
            const size_t pad = width - piece.size();
            if (left) {
                piece.append(pad, u' ');
            } else if (zero && conv != u's' && conv != u'S') {
                const size_t at = (!piece.empty() && piece[0] == u'-') ? 1 : 0;
                piece.insert(at, pad, u'0');
            } else {
                piece.insert(0, pad, u' ');
            }
        }
        out += piece;
    }
    if (out.size() > max_units) out.resize(max_units);
    return out;
}

size_t FindNoCase(std::u16string_view hay, std::u16string_view needle, size_t from) {
    if (from > hay.size()) return std::u16string_view::npos;
    if (needle.empty()) return from;
    for (size_t i = from; i + needle.size() <= hay.size(); ++i) {
        size_t k = 0;
        while (k < needle.size() && LowerUnit(hay[i + k]) == LowerUnit(needle[k])) ++k;
        if (k == needle.size()) return i;
    }
    return std::u16string_view::npos;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && FindNoCase(a, b) == 0;
}

std::u16string ToLower(std::u16string_view s) {
    std::u16string out(s);
    for (auto& c : out) c = LowerUnit(c);
    return out;
}

int64_t WToI64(std::u16string_view s) {
    size_t i = 0;
    while (i < s.size() && (s[i] == u' ' || (s[i] >= u'\t' && s[i] <= u'\r'))) ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) neg = s[i++] == u'-';
    uint64_t v = 0;
    for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i) {
        if (v > (static_cast<uint64_t>(INT64_MAX) + 1) / 10) {
            v = static_cast<uint64_t>(INT64_MAX) + 1;
            continue;
        }
        v = v * 10 + (s[i] - u'0');
    }
    if (neg) return v > static_cast<uint64_t>(INT64_MAX) ? INT64_MIN : -static_cast<int64_t>(v);
    return v > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(v);
}

int WToI(std::u16string_view s) {
    const int64_t v = WToI64(s);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

std::u16string IntToText(int64_t v) { return Format(u"%lld", v); }

std::u16string Trim(std::u16string_view s) {
    auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; };
    size_t b = 0, e = s.size();
    while (b < e && blank(s[b])) ++b;
    while (e > b && blank(s[e - 1])) --e;
    return std::u16string(s.substr(b, e - b));
}
