#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>

#include "directui/SkinCheck.h"
#include "platform/Text.h"
#include "tests/directui/SkinTestPackage.h"
#include "tests/support/TestSupport.h"

using skintest::DefinitionXml;
using skintest::PngBytes;
using skintest::WriteZip;

namespace {

std::u16string Package(const std::string& file, const std::vector<skintest::ZipEntry>& entries) {
    const std::string path = testsupport::TempRoot() + "/" + file;
    EXPECT_TRUE(WriteZip(path, entries));
    return Utf8ToUtf16(path);
}

}  // namespace

TEST(SkinCheck, DescribesAGoodPackage) {
    const std::u16string path =
        Package("check-good.zip", {
                                      {"SkinResDef.xml", DefinitionXml("6", "Blue &quot;Sky&quot;")},
                                      {"play.png", PngBytes(4, 4, 0xFF00FF00u)},
                                      {"skin/stop.png", PngBytes(4, 4, 0xFF00FF00u)},
                                      {"broken.png", "nope"},
                                  });
    std::string json;
    EXPECT_EQ(CheckSkinPackage(path, json), 0);
    EXPECT_EQ(
        json,
        "{\"loaded\": true, \"name\": \"Blue \\\"Sky\\\"\", \"version\": \"6\", \"images\": 3, "
        "\"failed_images\": [\"broken.png\"], \"missing_images\": [\"nowhere.png\"], \"xml_error\": 0}");
}

TEST(SkinCheck, ReportsBrokenPackagesAndUnreadablePaths) {
    const std::string garbage = testsupport::TempRoot() + "/check-garbage.zip";
    testsupport::WriteFile(garbage, "not a zip at all");
    struct Case {
        std::u16string path;
        int exitCode;
        std::string json;
    } cases[] = {
        {Utf8ToUtf16(garbage), 1,
         "{\"loaded\": false, \"name\": \"\", \"version\": \"\", \"images\": 0, \"failed_images\": [], "
         "\"missing_images\": [], \"xml_error\": null}"},
        {Package("check-v5.zip", {{"SkinResDef.xml", DefinitionXml("5", "Old")}}), 1,
         "{\"loaded\": false, \"name\": \"Old\", \"version\": \"5\", \"images\": 0, \"failed_images\": [], "
         "\"missing_images\": [], \"xml_error\": 0}"},
        {Package("check-bad-xml.zip", {{"SkinResDef.xml", "<skin version='6'><a></b></skin>"}}), 1,
         "{\"loaded\": false, \"name\": \"\", \"version\": \"\", \"images\": 0, \"failed_images\": [], "
         "\"missing_images\": [], \"xml_error\": 6}"},
        {Utf8ToUtf16(testsupport::TempRoot()), 2,
         "{\"loaded\": false, \"name\": \"\", \"version\": \"\", \"images\": 0, \"failed_images\": [], "
         "\"missing_images\": [], \"xml_error\": null}"},
        {Utf8ToUtf16(testsupport::TempRoot() + "/absent.zip"), 2,
         "{\"loaded\": false, \"name\": \"\", \"version\": \"\", \"images\": 0, \"failed_images\": [], "
         "\"missing_images\": [], \"xml_error\": null}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.path));
        std::string json;
        EXPECT_EQ(CheckSkinPackage(c.path, json), c.exitCode);
        EXPECT_EQ(json, c.json);
    }
}

TEST(SkinCheck, CommandLineEntryPrintsOneJsonLineAndExitCode) {
    const std::u16string good = Package(
        "cli-good.zip", {{"SkinResDef.xml", DefinitionXml()}, {"play.png", PngBytes(2, 2, 0xFF000000u)}});
    const std::string broken = testsupport::TempRoot() + "/cli-broken.zip";
    testsupport::WriteFile(broken, "junk");
    struct Case {
        std::string args;
        int exitCode;
        std::string start;
    } cases[] = {
        {"'" + Utf16ToUtf8(good) + "'", 0,
         "{\"loaded\": true, \"name\": \"Blue Sky\", \"version\": \"6\", \"images\": 1,"},
        {"'" + broken + "'", 1, "{\"loaded\": false,"},
        {"'" + testsupport::TempRoot() + "'", 2, "{\"loaded\": false,"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        FILE* p = popen(
            (testsupport::BinDir() + "/loxanradio --check-skin " + c.args + " 2>/dev/null").c_str(), "r");
        ASSERT_TRUE(p);
        std::string out;
        char buf[512];
        while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
        const int status = pclose(p);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), c.exitCode);
        EXPECT_EQ(out.rfind(c.start, 0), 0u) << out;
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1);
    }
}
