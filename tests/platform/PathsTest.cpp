#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include "platform/Paths.h"
#include "platform/Text.h"
#include "tests/support/TestSupport.h"

TEST(Paths, FoldersFollowTheEnvironment) {
    const std::u16string appdata = FromNativePath(getenv("APPDATA"));
    EXPECT_EQ(AppDataPath(), appdata + u"/LoxanRadio");
    EXPECT_EQ(AppDataPath(u"LXRadio.db"), appdata + u"/LoxanRadio/LXRadio.db");
    EXPECT_EQ(CompanionDataPath(u"net_option.ini"), appdata + u"/Loxan8/net_option.ini");
    EXPECT_EQ(CompanionPackageFile(), appdata + u"/Loxan8//AppStore/24/radio_resource.zip");

    const std::string saved = getenv("APPDATA");
    unsetenv("APPDATA");
    EXPECT_EQ(AppDataPath(), FromNativePath(getenv("XDG_DATA_HOME")) + u"/LoxanRadio");
    const std::string xdg = getenv("XDG_DATA_HOME");
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(AppDataPath(), FromNativePath(getenv("HOME")) + u"/.local/share/LoxanRadio");
    const std::string home = getenv("HOME");
    unsetenv("HOME");
    EXPECT_EQ(AppDataPath(u"x"), u"");
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", xdg.c_str(), 1);
    setenv("APPDATA", saved.c_str(), 1);
}

TEST(Paths, TempFilePathIsEmptyWhenTheFolderCannotBeRead) {
    const std::string saved = getenv("TMPDIR");
    const std::u16string tmp = FromNativePath(saved);
    EXPECT_EQ(TempFilePath(u"radio_resource.zip"), tmp + u"/radio_resource.zip");
    EXPECT_EQ(TempPackageFolder(), tmp + u"/radio_resource");
    setenv("TMPDIR", (saved + "/does-not-exist").c_str(), 1);
    EXPECT_EQ(TempFilePath(u"x"), u"");
    EXPECT_EQ(TempFilePath(), u"");
    setenv("TMPDIR", saved.c_str(), 1);
}

TEST(Paths, EnsureDirectoryCreatesMissingParents) {
    const std::u16string root = FromNativePath(testsupport::TempRoot());
    const std::u16string deep = root + u"/a/b/录音";
    EXPECT_TRUE(EnsureDirectory(deep));
    EXPECT_TRUE(IsDirectory(deep));
    EXPECT_TRUE(EnsureDirectory(deep));  // existing folder left alone
    testsupport::WriteFile(testsupport::TempRoot() + "/file", "x");
    EXPECT_FALSE(EnsureDirectory(root + u"/file"));
    EXPECT_FALSE(EnsureDirectory(root + u"/file/sub"));
    EXPECT_FALSE(EnsureDirectory(u""));
}

TEST(Paths, RemoveDirectoryTree) {
    const std::u16string root = FromNativePath(testsupport::MakeTempDir("tree/x/y"));
    testsupport::WriteFile(testsupport::TempRoot() + "/tree/x/y/f.txt", "data");
    EXPECT_TRUE(RemoveDirectoryTree(FromNativePath(testsupport::TempRoot()) + u"/tree"));
    EXPECT_FALSE(PathExists(root));
    EXPECT_TRUE(RemoveDirectoryTree(FromNativePath(testsupport::TempRoot()) + u"/never-there"));
}

TEST(Paths, PathRulesWorkOnBothSeparators) {
    EXPECT_EQ(ParentPath(u"C:\\music\\a.mp3"), u"C:\\music");
    EXPECT_EQ(ParentPath(u"/home/u/a.mp3"), u"/home/u");
    EXPECT_EQ(ParentPath(u"a.mp3"), u"");
    EXPECT_EQ(FileNameOf(u"/x/y\\Don't Stop.mp3"), u"Don't Stop.mp3");
    EXPECT_EQ(ExtensionOf(u"/x.y/name"), u"");
    EXPECT_EQ(ExtensionOf(u"/x/a.b.WMA"), u"WMA");
    EXPECT_EQ(JoinPath(u"/x/", u"y"), u"/x/y");
    EXPECT_EQ(JoinPath(u"/x", u"y"), u"/x/y");
}
