#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/Message.h"
#include "platform/Sync.h"
#include "tests/support/TestSupport.h"

namespace {

// Records what reaches it; answers every message with msg + 1.
class Recorder : public IWindowProc {
public:
    LRESULT WindowProc(HWND, UINT msg, WPARAM wParam, LPARAM) override {
        seen.push_back({msg, wParam});
        if (on_message) on_message(msg, wParam);
        return msg + 1;
    }
    std::vector<std::pair<UINT, WPARAM>> seen;
    std::function<void(UINT, WPARAM)> on_message;
};

void Pump() {
    MSG msg;
    while (PeekMessage(&msg, true)) {
        if (msg.message != WM_QUIT) DispatchMessage(msg);
    }
}

}  // namespace

TEST(Message, PostedMessagesArriveInOrderAndQuitComesLast) {
    Recorder r;
    HWND w = CreateMessageWindow(&r);
    ASSERT_TRUE(IsWindow(w));
    EXPECT_EQ(r.seen.front().first, WM_CREATE);
    PostMessage(w, WM_USER + 1, 1, 0);
    PostQuitMessage(7);
    PostMessage(w, WM_USER + 2, 2, 0);
    std::vector<UINT> got;
    MSG msg;
    while (GetMessage(&msg)) got.push_back(msg.message);
    EXPECT_EQ(got, (std::vector<UINT>{WM_USER + 1, WM_USER + 2}));
    EXPECT_EQ(msg.wParam, 7u);
    DestroyWindow(w);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_FALSE(PostMessage(w, WM_USER, 0, 0));
    EXPECT_EQ(SendMessage(w, WM_USER, 0, 0), 0);
}

TEST(Message, PostsFromAnotherThreadKeepTheirOrder) {
    Recorder r;
    HWND w = CreateMessageWindow(&r);
    std::thread t([w] {
        for (int i = 0; i < 1000; ++i) PostMessage(w, WM_USER, i, 0);
    });
    ASSERT_TRUE(testsupport::WaitUntil([&] { return r.seen.size() == 1001; }));
    t.join();
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(r.seen[i + 1].second, static_cast<WPARAM>(i));
    DestroyWindow(w);
}

TEST(Message, SendToAnotherThreadWaitsForTheAnswer) {
    Recorder r;
    HWND w = CreateMessageWindow(&r);
    std::atomic<LRESULT> answer{0};
    std::thread t([&] { answer = SendMessage(w, WM_USER + 5, 0, 0); });
    ASSERT_TRUE(testsupport::WaitUntil([&] { return answer.load() != 0; }));
    t.join();
    EXPECT_EQ(answer.load(), WM_USER + 6);
    DestroyWindow(w);
}

TEST(Message, ThreadsSendingToEachOtherDoNotDeadlock) {
    Recorder main_rec;
    HWND main_w = CreateMessageWindow(&main_rec);
    std::atomic<HWND> worker_w{nullptr};
    std::atomic<bool> stop{false};
    std::atomic<LRESULT> nested{0};
    Recorder worker_rec;
    // The worker's window, while handling a send from us, sends back to our window.
    worker_rec.on_message = [&](UINT msg, WPARAM) {
        if (msg == WM_USER + 10) nested = SendMessage(main_w, WM_USER + 20, 0, 0);
    };
    std::thread t([&] {
        worker_w = CreateMessageWindow(&worker_rec);
        MSG msg;
        while (!stop) {
            while (PeekMessage(&msg, true)) DispatchMessage(msg);
            WaitMessage(5);
        }
        DestroyWindow(worker_w);
    });
    ASSERT_TRUE(testsupport::WaitUntil([&] { return worker_w.load() != nullptr; }));
    EXPECT_EQ(SendMessage(worker_w, WM_USER + 10, 0, 0), WM_USER + 11);
    EXPECT_EQ(nested.load(), WM_USER + 21);
    stop = true;
    t.join();
    DestroyWindow(main_w);
}

TEST(Message, TimersFireUntilKilled) {
    Recorder r;
    HWND w = CreateMessageWindow(&r);
    int fired = 0;
    r.on_message = [&](UINT msg, WPARAM id) {
        if (msg == WM_TIMER && id == 4 && ++fired == 3) KillTimer(w, 4);
    };
    ASSERT_EQ(SetTimer(w, 4, 5), 4u);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return fired == 3; }));
    Pump();
    EXPECT_FALSE(KillTimer(w, 4));
    EXPECT_FALSE(WaitMessage(30));  // nothing left to deliver
    EXPECT_EQ(fired, 3);
    DestroyWindow(w);
}

TEST(Message, QuitTakenByANestedLoopEndsTheOuterLoopToo) {
    Recorder r;
    HWND w = CreateMessageWindow(&r);
    MessageLoop outer;
    bool inner_result = true;
    bool after_inner = false;
    r.on_message = [&](UINT msg, WPARAM) {
        if (msg != WM_USER) return;
        MessageLoop inner;
        bool done = false;
        PostQuitMessage(3);
        inner_result = inner.RunModal(&done);
        after_inner = true;
    };
    PostMessage(w, WM_USER, 0, 0);
    EXPECT_EQ(outer.Run(), 3);
    EXPECT_TRUE(after_inner);
    EXPECT_FALSE(inner_result);
    MSG msg;
    EXPECT_FALSE(PeekMessage(&msg, false));  // the quit was taken once by the outermost loop
    DestroyWindow(w);
}

namespace {
class CountingIdle : public IIdleHandler {
public:
    bool OnIdle() override {
        ++calls;
        if (calls == 2) PostQuitMessage(0);
        return calls < 2;
    }
    int calls = 0;
};
class SwallowFilter : public IMessageFilter {
public:
    bool PreTranslateMessage(MSG* msg) override { return msg->message == WM_USER + 1; }
};
}  // namespace

TEST(Message, FiltersAndIdleHandlers) {
    Recorder r;
    HWND w = CreateMessageWindow(&r);
    MessageLoop loop;
    CountingIdle idle;
    SwallowFilter filter;
    loop.AddIdleHandler(&idle);
    loop.AddMessageFilter(&filter);
    PostMessage(w, WM_USER + 1, 0, 0);
    PostMessage(w, WM_USER + 2, 0, 0);
    EXPECT_EQ(loop.Run(), 0);
    EXPECT_EQ(idle.calls, 2);
    ASSERT_EQ(r.seen.size(), 2u);  // WM_CREATE and the unfiltered message
    EXPECT_EQ(r.seen[1].first, WM_USER + 2);
    DestroyWindow(w);
}

TEST(Message, FindWindowByTitleAndPostThroughTheSocket) {
    Recorder r;
    HWND w = CreateMessageWindow(&r, u"洛新收音机");
    EXPECT_EQ(FindWindow(u"洛新收音机"), w);
    EXPECT_EQ(FindWindow(u"nobody"), nullptr);
    DestroyWindow(w);
    EXPECT_EQ(FindWindow(u"洛新收音机"), nullptr);
}

TEST(Message, PostReachesAWindowOfAnotherProcess) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The other process: a titled window that exits with the wParam it is posted.
        struct Exiter : IWindowProc {
            LRESULT WindowProc(HWND, UINT msg, WPARAM wParam, LPARAM) override {
                if (msg == WM_USER + 7) _exit(static_cast<int>(wParam));
                return 0;
            }
        } exiter;
        CreateMessageWindow(&exiter, u"lx-remote-test");
        MSG msg;
        const uint64_t deadline = GetTickCount64() + 20000;
        while (GetTickCount64() < deadline) {
            while (PeekMessage(&msg, true)) DispatchMessage(msg);
            WaitMessage(20);
        }
        _exit(99);
    }
    HWND remote = nullptr;
    ASSERT_TRUE(testsupport::WaitUntil([&] { return (remote = FindWindow(u"lx-remote-test")) != nullptr; }));
    EXPECT_TRUE(IsWindow(remote));
    EXPECT_TRUE(PostMessage(remote, WM_USER + 7, 42, 0));
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 42);
    EXPECT_FALSE(IsWindow(remote));
    EXPECT_FALSE(PostMessage(remote, WM_USER, 0, 0));  // a handle that is gone is a no-op
}
