#include <gtest/gtest.h>

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
    const std::u16string path = Package("check-good.zip", {
                                                              {"SkinResDef.xml", DefinitionXml("6", "Blue &quot;Sky&quot;")},
                                                              {"play.png", PngBytes(4, 4, 0xFF00FF00u)},
                                                              {"skin/stop.png", PngBytes(4, 4, 0xFF00FF00u)},
                                                              {"broken.png", "nope"},
                                                          });
    std::string json;
    EXPECT_EQ(CheckSkinPackage(path, json), 0);
    EXPECT_EQ(json,
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
