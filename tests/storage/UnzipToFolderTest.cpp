#include <gtest/gtest.h>

#include "platform/Paths.h"
#include "platform/Text.h"
#include "storage/UnzipToFolder.h"
#include "tests/storage/StoresFixtures.h"
#include "tests/support/TestSupport.h"

using storesfixtures::WriteZip;
using testsupport::MakeTempDir;
using testsupport::ReadFile;

namespace {
std::u16string U(const std::string& s) {
    return Utf8ToUtf16(s);
}
}  // namespace

TEST(UnzipToFolder, WritesEntriesInFoldersAndFolderEntries) {
    const std::string dir = MakeTempDir("unzip-folders");
    const std::string zip = dir + "/p.zip";
    const std::string big(200000, 'x');  // more than one 64 KiB block
    WriteZip(zip, {{"empty/", ""}, {"a.txt", "A"}, {"sub/deeper/b.txt", big}, {"win\\c.txt", "C"}});
    const std::string out = dir + "/out";
    ASSERT_TRUE(UnzipToFolder(U(zip), U(out)));
    EXPECT_TRUE(IsDirectory(U(out + "/empty")));
    EXPECT_EQ(ReadFile(out + "/a.txt"), "A");
    EXPECT_EQ(ReadFile(out + "/sub/deeper/b.txt"), big);
    EXPECT_EQ(ReadFile(out + "/win/c.txt"), "C");
}

TEST(UnzipToFolder, RefusesEntriesThatLeaveTheFolder) {
    struct Case {
        const char* entry;
        const char* escapee;  // where the entry would land, relative to the case folder
    };
    const Case cases[] = {
        {"../evil.txt", "evil.txt"}, {"sub/../../evil.txt", "evil.txt"}, {"..\\evil.txt", "evil.txt"},
        {"/ABS", nullptr},           {"C:/evil.txt", nullptr},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry);
        const std::string dir = MakeTempDir("unzip-climb-" + std::to_string(n++));
        const std::string zip = dir + "/p.zip";
        WriteZip(zip, {{"first.txt", "1"}, {c.entry, "evil"}, {"last.txt", "3"}});
        const std::string out = dir + "/out";
        EXPECT_FALSE(UnzipToFolder(U(zip), U(out)));
        EXPECT_EQ(ReadFile(out + "/first.txt"), "1");
        EXPECT_FALSE(PathExists(U(out + "/last.txt")));
        if (c.escapee) {
            EXPECT_FALSE(PathExists(U(dir + "/" + c.escapee)));
        }
    }
    EXPECT_FALSE(PathExists(u"/ABS"));
}

TEST(UnzipToFolder, FailsOnAnArchiveThatCannotBeOpened) {
    const std::string dir = MakeTempDir("unzip-bad");
    testsupport::WriteFile(dir + "/not.zip", "this is no zip archive");
    EXPECT_FALSE(UnzipToFolder(U(dir + "/not.zip"), U(dir + "/out")));
    EXPECT_FALSE(UnzipToFolder(U(dir + "/missing.zip"), U(dir + "/out")));
}

TEST(UnzipToFolder, FailsWhenAnEntryCannotBeWritten) {
    const std::string dir = MakeTempDir("unzip-blocked");
    const std::string zip = dir + "/p.zip";
    WriteZip(zip, {{"blocker/x.txt", "x"}});
    const std::string out = MakeTempDir("unzip-blocked/out");
    testsupport::WriteFile(out + "/blocker", "a file where a folder should be");
    EXPECT_FALSE(UnzipToFolder(U(zip), U(out)));
}
