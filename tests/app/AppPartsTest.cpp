// The pieces of start-up inside one process: the hand-off string and block, the main window's
// handling of 5032, 6025 and the exit command, the heap trimmer and the signal watcher.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstring>
#include <vector>

#include "app/ArgumentHandOff.h"
#include "app/MainDlg.h"
#include "app/SignalWatcher.h"
#include "app/WorkingSetTrimmer.h"
#include "platform/Message.h"
#include "platform/SharedMemory.h"
#include "tests/support/TestSupport.h"

TEST(ArgumentHandOff, BuildsOneQuoteBehindEachArgument) {
    EXPECT_EQ(BuildHandOffString({}), u"");
    EXPECT_EQ(BuildHandOffString({u"abcde"}), u"abcde\"");
    EXPECT_EQ(BuildHandOffString({u"a b.mp3", u"洛.mp3"}), u"a b.mp3\"洛.mp3\"");
    EXPECT_FALSE(IsWorthHandingOver(BuildHandOffString({u"abcd"})));
    EXPECT_TRUE(IsWorthHandingOver(BuildHandOffString({u"abcde"})));
    EXPECT_TRUE(IsWorthHandingOver(BuildHandOffString({u"ab", u"cd"})));
}

TEST(ArgumentHandOff, NeverWritesPastTheBlock) {
    for (size_t length : {258u, 259u, 260u, 400u}) {
        std::vector<unsigned char> bytes(kMappingBytes + 16, 0xAB);
        const std::u16string text(length, u'x');
        const bool written = WriteHandOff(bytes.data(), kMappingBytes, text);
        EXPECT_EQ(written, length <= kMaxHandOffLength) << length;
        for (size_t i = kMappingBytes; i < bytes.size(); ++i) ASSERT_EQ(bytes[i], 0xAB) << length;
        if (written) {
            EXPECT_EQ(ReadHandOff(bytes.data(), kMappingBytes), text);
        } else {
            EXPECT_EQ(bytes[0], 0xAB);  // a refused string leaves the block as it was
        }
    }
    // A block without a terminator is read up to its end only.
    std::vector<char16_t> full(kMappingBytes / 2, u'z');
    EXPECT_EQ(ReadHandOff(full.data(), kMappingBytes).size(), kMappingBytes / 2);
}

TEST(ArgumentHandOff, SplitsAtEveryQuote) {
    using V = std::vector<std::u16string>;
    EXPECT_EQ(SplitHandOff(u""), V{});
    EXPECT_EQ(SplitHandOff(u"a.mp3\""), V{u"a.mp3"});
    EXPECT_EQ(SplitHandOff(u"\"\"a b\"\"c"), (V{u"a b", u"c"}));
}

namespace {
// Writes `text` into the block as a second copy would and posts 5032.
void HandOver(SharedMemory& block, HWND target, std::u16string_view text) {
    ASSERT_TRUE(WriteHandOff(block.data(), block.size(), text));
    PostMessage(target, CMainDlg::kMsgCommandLine, 0, 0);
}
}  // namespace

TEST(MainDlg, RecordsRestoreRequestsAndHandedOverFiles) {
    SharedMemory block;
    ASSERT_TRUE(block.Create(kMappingName, kMappingBytes));
    CMainDlg dlg(u"/opt/loxanradio/loxanradio");
    ASSERT_TRUE(dlg.Create(nullptr));
    EXPECT_EQ(FindWindow(u"洛新收音机"), dlg.hwnd());
    ASSERT_TRUE(testsupport::WaitUntil([&] { return dlg.late_initialised(); }));

    PostMessage(dlg.hwnd(), CMainDlg::kMsgRestore, 0, CMainDlg::kRestoreRequest);
    HandOver(block, dlg.hwnd(), u"/a/b c.mp3\"d.wav\"");
    ASSERT_TRUE(testsupport::WaitUntil([&] { return dlg.received().size() == 2; }));
    EXPECT_EQ(dlg.received()[0].message, CMainDlg::kMsgRestore);
    EXPECT_EQ(dlg.received()[0].lParam, 24);
    EXPECT_EQ(dlg.received()[1].paths, (std::vector<std::u16string>{u"/a/b c.mp3", u"d.wav"}));

    // The exit command destroys the window and quits with code 2.
    PostMessage(dlg.hwnd(), WM_COMMAND, MakeWParam(CMainDlg::kIdCancel, 0), 0);
    MSG msg;
    while (GetMessage(&msg)) DispatchMessage(msg);
    EXPECT_EQ(msg.wParam, 2u);
    EXPECT_EQ(dlg.hwnd(), nullptr);
}

TEST(MainDlg, HandOffWithoutBlockGivesNoPaths) {
    CMainDlg dlg(u"loxanradio");
    ASSERT_TRUE(dlg.Create(nullptr));
    PostMessage(dlg.hwnd(), CMainDlg::kMsgCommandLine, 0, 0);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return dlg.received().size() == 1; }));
    EXPECT_TRUE(dlg.received()[0].paths.empty());
}

TEST(WorkingSetTrimmer, TrimsPeriodicallyUntilDestroyed) {
    WorkingSetTrimmer trimmer(5);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return trimmer.TrimCount() >= 3; }));
}

TEST(SignalWatcher, TurnsSigtermIntoTheExitCommand) {
    struct Window : IWindowProc {
        int exits = 0;
        LRESULT WindowProc(HWND, UINT msg, WPARAM wParam, LPARAM) override {
            if (msg == WM_COMMAND && LoWord(wParam) == CMainDlg::kIdCancel) ++exits;
            return 0;
        }
    } window;
    const HWND hwnd = CreateMessageWindow(&window);
    {
        SignalWatcher watcher;
        raise(SIGTERM);  // before Watch: kept until the window can take it
        watcher.Watch(hwnd);
        EXPECT_TRUE(testsupport::WaitUntil([&] { return window.exits == 1; }));
    }
    DestroyWindow(hwnd);
}
