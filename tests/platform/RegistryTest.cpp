// The registry stand-in: plain values in the key-value file, the Run key as an autostart entry,
// the browser proxy built from the environment and the companion's installation path.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "tests/support/TestSupport.h"

namespace {
constexpr char16_t kRun[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char16_t kInternet[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\";

// Sets the proxy variables for one case and clears them afterwards.
class ProxyEnv {
public:
    ProxyEnv(const char* http, const char* https, const char* all) {
        Set("http_proxy", http);
        Set("https_proxy", https);
        Set("all_proxy", all);
    }
    ~ProxyEnv() {
        unsetenv("http_proxy");
        unsetenv("https_proxy");
        unsetenv("all_proxy");
    }

private:
    static void Set(const char* name, const char* v) {
        if (v) setenv(name, v, 1);
        else unsetenv(name);
    }
};
}  // namespace

TEST(Registry, ValuesPersistAndMatchWithoutCase) {
    EXPECT_EQ(RegistryFilePath(), Utf8ToUtf16(getenv("XDG_CONFIG_HOME")) + u"/LoxanRadio/registry.reg");
    std::u16string text;
    EXPECT_FALSE(RegGetString(u"SOFTWARE\\Loxan", u"AppPath", &text));

    const std::u16string tricky = u"C:\\Program \"Files\"\n洛新\t end ";
    ASSERT_TRUE(RegSetString(u"SOFTWARE\\Loxan", u"AppPath", tricky));
    ASSERT_TRUE(RegSetDword(u"software/loxan/", u"Count", 0xFFFFFFFFu));
    ASSERT_TRUE(RegSetString(u"SOFTWARE\\Other", u"AppPath", u"other"));

    EXPECT_TRUE(RegGetString(u"software\\LOXAN", u"apppath", &text));
    EXPECT_EQ(text, tricky);
    uint32_t n = 0;
    EXPECT_TRUE(RegGetDword(u"\\SOFTWARE\\Loxan", u"COUNT", &n));
    EXPECT_EQ(n, 0xFFFFFFFFu);
    EXPECT_FALSE(RegGetDword(u"SOFTWARE\\Loxan", u"AppPath", &n));  // text, not a number
    EXPECT_FALSE(RegGetString(u"SOFTWARE\\Loxan", u"Count", &text));

    ASSERT_TRUE(RegSetString(u"SOFTWARE\\Loxan", u"AppPath", u"/opt/loxan"));
    EXPECT_TRUE(RegGetString(u"SOFTWARE\\Loxan", u"AppPath", &text));
    EXPECT_EQ(text, u"/opt/loxan");
    EXPECT_TRUE(RegGetString(u"SOFTWARE\\Other", u"AppPath", &text));
    EXPECT_EQ(text, u"other");

    EXPECT_TRUE(RegDeleteValue(u"SOFTWARE\\Loxan", u"AppPath"));
    EXPECT_TRUE(RegDeleteValue(u"SOFTWARE\\Loxan", u"AppPath"));
    EXPECT_FALSE(RegGetString(u"SOFTWARE\\Loxan", u"AppPath", &text));
    EXPECT_TRUE(RegGetDword(u"SOFTWARE\\Loxan", u"Count", &n));
    EXPECT_NE(testsupport::ReadFile(Utf16ToUtf8(RegistryFilePath())).find("\"Count\"=dword:ffffffff"),
              std::string::npos);
    EXPECT_TRUE(RegDeleteValue(u"SOFTWARE\\Loxan", u"Count"));
    EXPECT_TRUE(RegDeleteValue(u"SOFTWARE\\Other", u"AppPath"));
}

TEST(Registry, RunKeyIsTheAutostartEntry) {
    const std::u16string entry = AutostartEntryPath(u"LoxanRadio");
    EXPECT_EQ(entry, Utf8ToUtf16(getenv("XDG_CONFIG_HOME")) + u"/autostart/loxanradio.desktop");

    // A program path with a blank and a percent sign starts as written.
    const std::string dir = testsupport::MakeTempDir("My Apps/100%");
    const std::string program = dir + "/loxanradio";
    testsupport::WriteFile(program, "");
    ASSERT_TRUE(RegSetString(kRun, u"LoxanRadio", Utf8ToUtf16(program)));
    const std::string desktop = testsupport::ReadFile(Utf16ToUtf8(entry));
    EXPECT_NE(desktop.find("[Desktop Entry]"), std::string::npos);
    EXPECT_NE(desktop.find("Exec=\"" + dir.substr(0, dir.size() - 1) + "%%/loxanradio\"\n"), std::string::npos)
        << desktop;
    std::u16string text;
    ASSERT_TRUE(RegGetString(kRun, u"loxanradio", &text));
    EXPECT_EQ(text, Utf8ToUtf16(program));

    ASSERT_TRUE(RegSetString(kRun, u"LoxanRadio", u"loxanradio --minimised"));
    ASSERT_TRUE(RegGetString(kRun, u"LoxanRadio", &text));
    EXPECT_EQ(text, u"loxanradio --minimised");

    EXPECT_TRUE(RegDeleteValue(kRun, u"LoxanRadio"));
    EXPECT_FALSE(PathExists(entry));
    EXPECT_FALSE(RegGetString(kRun, u"LoxanRadio", &text));
    EXPECT_TRUE(RegDeleteValue(kRun, u"LoxanRadio"));
}

TEST(Registry, BrowserProxyFromEnvironment) {
    struct Case {
        const char* http;
        const char* https;
        const char* all;
        const char16_t* expected;
    } cases[] = {
        {nullptr, nullptr, nullptr, u""},
        {"http://127.0.0.1:3128/", nullptr, nullptr, u"http=127.0.0.1:3128"},
        {"http://user:pw@proxy:8080", "https://secure:443", nullptr, u"http=proxy:8080;https=secure:443"},
        {nullptr, nullptr, "socks5h://me:pw@127.0.0.1:1080", u"socks=127.0.0.1:1080"},
        {nullptr, "proxy:3128", "socks5://s:1080", u"https=proxy:3128;socks=s:1080"},
        {"http://a:1", nullptr, "http://b:2", u"http=a:1;https=b:2"},
        {"socks4://s4:1080", nullptr, nullptr, u"socks=s4:1080"},
        {"", nullptr, "b:2", u"http=b:2;https=b:2"},
    };
    for (const Case& c : cases) {
        ProxyEnv env(c.http, c.https, c.all);
        EXPECT_EQ(ProxyServerFromEnvironment(), c.expected) << Utf16ToUtf8(c.expected);
        std::u16string text;
        ASSERT_TRUE(RegGetString(kInternet, u"ProxyServer", &text));
        EXPECT_EQ(text, c.expected);
        uint32_t enabled = 7;
        ASSERT_TRUE(RegGetDword(kInternet, u"ProxyEnable", &enabled));
        EXPECT_EQ(enabled, *c.expected ? 1u : 0u);
    }
    EXPECT_FALSE(RegSetString(kInternet, u"ProxyServer", u"x"));
}

TEST(Registry, CompanionInstallPathHoldsAt255Characters) {
    std::u16string path = u"unchanged";
    EXPECT_FALSE(GetCompanionInstallPath(&path));
    EXPECT_EQ(path, u"unchanged");

    const std::u16string longest(255, u'x');
    ASSERT_TRUE(RegSetString(u"SOFTWARE\\Loxan", u"AppPath", longest));
    EXPECT_TRUE(GetCompanionInstallPath(&path));
    EXPECT_EQ(path, longest);

    ASSERT_TRUE(RegSetString(u"SOFTWARE\\Loxan", u"AppPath", longest + u"y"));
    path = u"unchanged";
    EXPECT_FALSE(GetCompanionInstallPath(&path));
    EXPECT_EQ(path, u"unchanged");
    EXPECT_TRUE(RegDeleteValue(u"SOFTWARE\\Loxan", u"AppPath"));
}

TEST(Registry, DesktopFolderFromTheEnvironment) {
    std::u16string text;
    ASSERT_TRUE(RegGetString(u"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\SHELL FOLDERS", u"DESKTOP", &text));
    EXPECT_EQ(text, Utf8ToUtf16(getenv("HOME")) + u"/Desktop");
}
