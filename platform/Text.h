// UTF-16 text helpers: conversion at the edges, printf-style formatting that never
// writes past its limit, case-insensitive search and _wtoi-style parsing.
// Threading: free functions without state; safe from any thread.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

// Invalid UTF-8 sequences and lone surrogates become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);
// Decodes bytes as UTF-8 when they are valid UTF-8, else as GB18030 (the "ANSI" code page
// of the text files and skins this program reads).
std::u16string AnsiToUtf16(std::string_view bytes);
bool IsValidUtf8(std::string_view bytes);

// One argument of Format: an integer (any width) or a text.
class FormatArg {
public:
    template <class T, std::enable_if_t<std::is_integral_v<T>, int> = 0>
    FormatArg(T v) : kind_(std::is_signed_v<T> ? kSigned : kUnsigned), int_(static_cast<int64_t>(v)) {}
    FormatArg(const char16_t* s) : kind_(kText), text_(s ? std::u16string_view(s) : std::u16string_view()) {}
    FormatArg(std::u16string_view s) : kind_(kText), text_(s) {}
    FormatArg(const std::u16string& s) : kind_(kText), text_(s) {}

    enum Kind { kSigned, kUnsigned, kText };
    Kind kind() const { return kind_; }
    int64_t integer() const { return int_; }
    std::u16string_view text() const { return text_; }

private:
    Kind kind_;
    int64_t int_ = 0;
    std::u16string_view text_;
};

// printf-style formatting into UTF-16: %s (text), %d %i %u %x %X (32-bit, as on Windows),
// %lld %llu %llx %I64d (64-bit), %c, %%, with flags '-', '0' and a width ("%08X", "%04x", "%-5s").
// A missing argument formats as nothing. The result holds at most `limit` - 1 units, as a
// buffer of `limit` units with its terminator would; limit 0 means no limit.
std::u16string FormatN(size_t limit, std::u16string_view fmt, std::initializer_list<FormatArg> args);

template <class... A>
std::u16string Format(std::u16string_view fmt, const A&... a) {
    return FormatN(0, fmt, {FormatArg(a)...});
}

// Position of the first case-insensitive (ASCII and Latin letters) occurrence of `needle`
// in `hay` at or after `from`; npos when there is none. An empty needle is found at `from`.
size_t FindNoCase(std::u16string_view hay, std::u16string_view needle, size_t from = 0);
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);
std::u16string ToLower(std::u16string_view s);

// _wtoi: skips leading blanks, takes one sign, reads decimal digits up to the first other
// character; no digits gives 0. Values beyond the range clamp to its ends.
int WToI(std::u16string_view s);
int64_t WToI64(std::u16string_view s);

std::u16string IntToText(int64_t v);
std::u16string Trim(std::u16string_view s);
