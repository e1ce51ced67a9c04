// The INI reader over the encodings and line forms settings files come in.
#include <gtest/gtest.h>

#include <string>

#include "platform/Ini.h"
#include "platform/Text.h"
#include "tests/support/TestSupport.h"

namespace {

std::string ToUtf16Bytes(const std::u16string& s, bool big_endian, bool bom) {
    std::string out;
    if (bom) out += big_endian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t c : s) {
        const char hi = static_cast<char>(c >> 8);
        const char lo = static_cast<char>(c & 0xFF);
        out += big_endian ? hi : lo;
        out += big_endian ? lo : hi;
    }
    return out;
}

const std::u16string kSample =
    u"; companion settings\r\n"
    u"[Server]\r\n"
    u"  Host = radio.example.com  \r\n"
    u"Port=8080\r\n"
    u"Name=\"洛新 电台\"\r\n"
    u"Quoted='a'\r\n"
    u"Half=\"open\r\n"
    u"Empty=\r\n"
    u"Hex=0x1F\r\n"
    u"Neg=  -42abc\r\n"
    u"Junk=abc\r\n"
    u"Host=second\r\n"
    u"[ Other ]\n"
    u"Host=other\n"
    u"Flag\n";

class IniEncodingTest : public ::testing::TestWithParam<int> {};

std::string Encode(int which) {
    switch (which) {
        case 0: return Utf16ToUtf8(kSample);
        case 1: return "\xEF\xBB\xBF" + Utf16ToUtf8(kSample);
        case 2: return ToUtf16Bytes(kSample, false, true);
        case 3: return ToUtf16Bytes(kSample, false, false);
        case 4: return ToUtf16Bytes(kSample, true, true);
        default: return ToUtf16Bytes(kSample, true, false);
    }
}

}  // namespace

TEST_P(IniEncodingTest, ReadsEveryEncodingAlike) {
    const std::string path = testsupport::MakeTempDir("ini") + "/enc" + std::to_string(GetParam()) + ".ini";
    testsupport::WriteFile(path, Encode(GetParam()));
    const std::u16string file = Utf8ToUtf16(path);

    EXPECT_EQ(GetPrivateProfileString(u"Server", u"Host", u"", file), u"radio.example.com");
    EXPECT_EQ(GetPrivateProfileString(u"server", u"HOST", u"", file), u"radio.example.com");
    EXPECT_EQ(GetPrivateProfileString(u"Server", u"Name", u"", file), u"洛新 电台");
    EXPECT_EQ(GetPrivateProfileString(u"Other", u"Host", u"", file), u"other");
    EXPECT_EQ(GetPrivateProfileInt(u"Server", u"Port", 0, file), 8080);
}

INSTANTIATE_TEST_SUITE_P(Encodings, IniEncodingTest, ::testing::Range(0, 6));

TEST(Ini, ValueRules) {
    const std::string path = testsupport::MakeTempDir("ini") + "/rules.ini";
    testsupport::WriteFile(path, Utf16ToUtf8(kSample));
    const std::u16string file = Utf8ToUtf16(path);

    struct Case {
        const char16_t* section;
        const char16_t* key;
        const char16_t* def;
        const char16_t* expected;
    } cases[] = {
        {u"Server", u"Quoted", u"", u"a"},            // single quotes removed too
        {u"Server", u"Half", u"", u"\"open"},         // an unmatched quote stays
        {u"Server", u"Empty", u"dflt", u""},          // present but empty is not missing
        {u"Server", u"Missing", u"dflt  ", u"dflt"},  // the default loses trailing blanks
        {u"Nowhere", u"Host", u"d", u"d"},
        {u"Server", u"Flag", u"d", u"d"},             // "Flag" belongs to [Other]
        {u"Other", u"Flag", u"d", u""},               // a key without "=" has an empty value
        {u"; companion settings", u"Host", u"d", u"d"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GetPrivateProfileString(c.section, c.key, c.def, file), c.expected)
            << Utf16ToUtf8(c.section) << "/" << Utf16ToUtf8(c.key);
    }
    EXPECT_EQ(GetPrivateProfileString(u"Server", u"Host", u"", file, 6), u"radio");
    EXPECT_EQ(GetPrivateProfileString(u"Server", u"Missing", u"default", file, 4), u"def");
    EXPECT_EQ(GetPrivateProfileString(u"Server", u"Host", u"x", u"/no/such/file.ini"), u"x");
}

TEST(Ini, IntegerRules) {
    const std::string path = testsupport::MakeTempDir("ini") + "/ints.ini";
    testsupport::WriteFile(path, Utf16ToUtf8(kSample));
    const std::u16string file = Utf8ToUtf16(path);

    EXPECT_EQ(GetPrivateProfileInt(u"Server", u"Hex", 0, file), 31);
    EXPECT_EQ(GetPrivateProfileInt(u"Server", u"Neg", 0, file), -42);
    EXPECT_EQ(GetPrivateProfileInt(u"Server", u"Junk", 7, file), 0);
    EXPECT_EQ(GetPrivateProfileInt(u"Server", u"Empty", 7, file), 7);
    EXPECT_EQ(GetPrivateProfileInt(u"Server", u"Missing", 7, file), 7);
    EXPECT_EQ(GetPrivateProfileInt(u"Server", u"Port", 7, u"/no/such/file.ini"), 7);
}

TEST(Ini, ListsSectionsAndKeys) {
    const std::string path = testsupport::MakeTempDir("ini") + "/list.ini";
    testsupport::WriteFile(path, ToUtf16Bytes(kSample + u"[server]\nExtra=1\n", false, true));
    const std::u16string file = Utf8ToUtf16(path);

    EXPECT_EQ(GetPrivateProfileSectionNames(file), (std::vector<std::u16string>{u"Server", u"Other"}));
    const auto keys = GetPrivateProfileKeys(u"SERVER", file);
    ASSERT_EQ(keys.size(), 10u);
    EXPECT_EQ(keys.front(), u"Host");
    EXPECT_EQ(keys.back(), u"Extra");
    // The first [Server] wins for a key given twice; a later section of the same name adds keys.
    EXPECT_EQ(GetPrivateProfileString(u"Server", u"Extra", u"", file), u"1");
}
