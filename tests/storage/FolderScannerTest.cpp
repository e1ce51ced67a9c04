#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/Text.h"
#include "storage/FolderScanner.h"
#include "tests/support/TestSupport.h"

using testsupport::MakeTempDir;
using testsupport::WriteFile;

namespace {

std::vector<std::string> Names(const std::vector<std::u16string>& paths, const std::string& root) {
    std::vector<std::string> out;
    for (const auto& p : paths) out.push_back(Utf16ToUtf8(p).substr(root.size() + 1));
    return out;
}

}  // namespace

TEST(FolderScanner, SetExtensionsDropsEmptyPieces) {
    FolderScanner s;
    s.SetExtensions(u"mp3;wav;wma;");
    EXPECT_EQ(s.Extensions(), (std::vector<std::u16string>{u"mp3", u"wav", u"wma"}));
    s.SetExtensions(u";;ogg");
    EXPECT_EQ(s.Extensions(), (std::vector<std::u16string>{u"ogg"}));
    s.SetExtensions(u"flac");
    EXPECT_EQ(s.Extensions(), (std::vector<std::u16string>{u"flac"}));
    s.SetExtensions(u"");
    EXPECT_TRUE(s.Extensions().empty());
}

TEST(FolderScanner, TakesListedExtensionsExactlyAndDescends) {
    const std::string root = MakeTempDir("scan-ext");
    for (const char* f : {"a.mp3", "b.wma", "c.MP3", "d.ogg", "mp3", "e.tar.wav", "f.mp3.txt"})
        WriteFile(root + "/" + f, "");
    MakeTempDir("scan-ext/sub");
    WriteFile(root + "/sub/g.wav", "");
    FolderScanner s(true);
    s.SetExtensions(u"mp3;wav;wma;");
    std::vector<std::u16string> out;
    EXPECT_EQ(s.ScanFolder(Utf8ToUtf16(root), out, -1), 4);
    EXPECT_EQ(Names(out, root), (std::vector<std::string>{"a.mp3", "b.wma", "e.tar.wav", "sub/g.wav"}));

    FolderScanner flat(false);
    flat.SetExtensions(u"wav");
    out.clear();
    EXPECT_EQ(flat.ScanFolder(Utf8ToUtf16(root), out, -1), 1);
    EXPECT_EQ(Names(out, root), (std::vector<std::string>{"e.tar.wav"}));
}

TEST(FolderScanner, LimitsAndEmptyList) {
    const std::string root = MakeTempDir("scan-limit");
    for (const char* f : {"a.mp3", "b.mp3", "noext"}) WriteFile(root + "/" + f, "");
    FolderScanner s;
    s.SetExtensions(u"mp3");
    std::vector<std::u16string> out;
    EXPECT_EQ(s.ScanFolder(Utf8ToUtf16(root), out, 0), 0);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(s.ScanFolder(Utf8ToUtf16(root), out, 1), 1);
    EXPECT_EQ(Names(out, root), (std::vector<std::string>{"a.mp3"}));

    FolderScanner all;
    out.clear();
    EXPECT_EQ(all.ScanFolder(Utf8ToUtf16(root), out, -1), 3);
    out.clear();
    EXPECT_EQ(all.ScanFolder(Utf8ToUtf16(root + "/missing"), out, -1), 0);
}

TEST(FolderScanner, DoesNotFollowALinkBackUp) {
    const std::string root = MakeTempDir("scan-loop");
    WriteFile(root + "/a.mp3", "");
    ASSERT_EQ(symlink(root.c_str(), (root + "/loop").c_str()), 0);
    ASSERT_EQ(symlink((root + "/a.mp3").c_str(), (root + "/link.mp3").c_str()), 0);
    FolderScanner s;
    s.SetExtensions(u"mp3");
    std::vector<std::u16string> out;
    EXPECT_EQ(s.ScanFolder(Utf8ToUtf16(root), out, -1), 2);
    EXPECT_EQ(Names(out, root), (std::vector<std::string>{"a.mp3", "link.mp3"}));
}
