#include <gtest/gtest.h>

#include "platform/Text.h"

TEST(Text, Utf8RoundTripAndInvalidBytes) {
    const std::u16string s = u"洛新收音机 abc \U0001F3B5";
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(s)), s);
    EXPECT_EQ(Utf8ToUtf16("a\xC3(b"), u"a\uFFFD(b");
    EXPECT_EQ(Utf8ToUtf16("\xE6\xB4"), u"\uFFFD\uFFFD");
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(Text, AnsiFallsBackToGb18030) {
    EXPECT_EQ(AnsiToUtf16("\xE4\xB8\xAD"), u"中");   // valid UTF-8
    EXPECT_EQ(AnsiToUtf16("\xD6\xD0\xCE\xC4"), u"中文");  // GB18030
}

struct FormatCase {
    std::u16string expected;
    std::u16string got;
};

TEST(Text, FormatConversions) {
    const FormatCase cases[] = {
        {u"7 -3 42", Format(u"%d %d %u", 7, -3, 42u)},
        {u"0000BEEF", Format(u"%08X", 0xBEEFu)},
        {u"00ff", Format(u"%04x", 255)},
        {u"0A", Format(u"%02X", 10)},
        {u"FFFFFFFF", Format(u"%X", -1)},
        {u"-9000000000", Format(u"%lld", -9000000000LL)},
        {u"4294967296", Format(u"%lld", 4294967296LL)},
        {u"x=名字;", Format(u"x=%s;", std::u16string(u"名字"))},
        {u"100%", Format(u"%d%%", 100)},
        {u"[ab   ]", Format(u"[%-5s]", u"ab")},
        {u"[   ab]", Format(u"[%5s]", u"ab")},
        {u"-0042", Format(u"%05d", -42)},
        {u"a  b", Format(u"a%sb", u"  ")},
        {u"missing:", Format(u"missing:%s")},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.expected);
}

TEST(Text, FormatNeverPassesItsLimit) {
    EXPECT_EQ(FormatN(5, u"%s", {u"abcdefgh"}), u"abcd");
    EXPECT_EQ(FormatN(5, u"%08X", {0x12345678u}), u"1234");
    EXPECT_EQ(FormatN(3, u"%08X", {0xABu}), u"00");
    EXPECT_EQ(FormatN(1, u"abc", {}), u"");
    EXPECT_EQ(FormatN(4, u"ab", {}), u"ab");
    // A statement longer than any fixed buffer stays whole without a limit.
    const std::u16string longText(5000, u'x');
    EXPECT_EQ(Format(u"'%s'", longText).size(), 5002u);
}

TEST(Text, FindNoCaseAndWToI) {
    EXPECT_EQ(FindNoCase(u"Hello World", u"WORLD"), 6u);
    EXPECT_EQ(FindNoCase(u"abc", u"d"), std::u16string::npos);
    EXPECT_EQ(FindNoCase(u"abcABC", u"abc", 1), 3u);
    EXPECT_EQ(FindNoCase(u"ab", u"", 1), 1u);
    EXPECT_TRUE(EqualsNoCase(u"MP3", u"mp3"));

    const std::pair<std::u16string, int> ints[] = {
        {u"  42abc", 42}, {u"-17", -17}, {u"+5", 5}, {u"abc", 0}, {u"", 0},
        {u"\t 9", 9}, {u"- 3", 0}, {u"99999999999", 2147483647}, {u"12.9", 12},
    };
    for (const auto& [text, value] : ints) EXPECT_EQ(WToI(text), value) << Utf16ToUtf8(text);
    EXPECT_EQ(WToI64(u"1700000000000"), 1700000000000LL);
}
