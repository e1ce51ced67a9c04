// Listener counts: reply parsing, the worker's hand-over to the receiver, the window hand-over
// (5046) and which catalogue groups ask for counts.
#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "net/GetListenerCountHandler.h"
#include "net/ListenerCountPoster.h"
#include "net/ListenerCountRequest.h"
#include "platform/Trace.h"
#include "storage/Config.h"
#include "storage/Group.h"
#include "storage/Radio.h"
#include "tests/support/TestSupport.h"

namespace {

struct TraceCapture {
    TraceCapture() {
        old = SetTraceSink([this](const std::string& line) {
            std::lock_guard<std::mutex> lock(mutex);
            text += line + "\n";
        });
    }
    ~TraceCapture() { SetTraceSink(old); }
    std::string Text() {
        std::lock_guard<std::mutex> lock(mutex);
        return text;
    }
    TraceSink old;
    std::mutex mutex;
    std::string text;
};

TEST(ListenerCountParse, RepliesGiveTheirResultsInOrder) {
    struct Case {
        const char* reply;
        bool ok;
        ListenerCountResults expected;
        const char* diagnostic;
    } cases[] = {
        {R"({"program_info_list": []})", true, {}, nullptr},
        {R"({"other": 1})", true, {}, nullptr},
        {R"({"program_info_list": [{"channel_key": 7, "listener_count": 12.9}]})", true, {{12, 7}}, nullptr},
        {R"({"program_info_list": [{"channel_key": 7, "listener_count": -3.7}]})", true, {{-3, 7}}, nullptr},
        {R"({"program_info_list": [{"channel_key": "7", "listener_count": 1}, {"channel_key": 8, "listener_count": 2}]})",
         true,
         {{2, 8}},
         nullptr},
        {R"({"program_info_list": [{"channel_key": 7, "listener_count": "1"}, {"channel_key": 9}]})",
         true,
         {},
         nullptr},
        {R"({"program_info_list": [{"channel_key": -1, "listener_count": 5}, {"channel_key": 3, "listener_count": -1},
                                  {"channel_key": 4, "listener_count": 0}]})",
         true,
         {{0, 4}},
         nullptr},
        {R"({"program_info_list": [{"channel_key": 1, "listener_count": 2}, 5]})", false, {}, nullptr},
        {R"({"program_info_list": {"channel_key": 1}})", false, {}, "root is not array"},
        {R"({"program_info_list": [)", false, {}, "Json::Reader().parse error"},
        {R"([1, 2])", true, {}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        TraceCapture trace;
        ListenerCountResults results{{99, 99}};
        EXPECT_EQ(GetListenerCountHandler::Parse(c.reply, &results), c.ok);
        EXPECT_EQ(results, c.expected);
        if (c.diagnostic) {
            EXPECT_NE(
                trace.Text().find(std::string("get_listener_count_handler: assertion failed: false && L\"") +
                                  c.diagnostic + "\""),
                std::string::npos);
        }
    }
}

// Records what the worker hands over, and on which thread.
struct Receiver : IUpdateRadioListenerCount {
    void OnListenerCounts(int groupId, const ListenerCountResults& results) override {
        std::lock_guard<std::mutex> lock(mutex);
        calls.push_back({groupId, results});
        on_worker = on_worker && std::this_thread::get_id() != ui_thread;
    }
    size_t Count() {
        std::lock_guard<std::mutex> lock(mutex);
        return calls.size();
    }
    std::mutex mutex;
    std::vector<std::pair<int, ListenerCountResults>> calls;
    std::thread::id ui_thread = std::this_thread::get_id();
    bool on_worker = true;
};

TEST(ListenerCountWorker, ParsesFirstInFirstOutOnItsOwnThread) {
    Receiver receiver;
    GetListenerCountHandler& handler = GetListenerCountHandler::Instance();
    handler.SetReceiver(&receiver);
    handler.Start();
    TraceCapture trace;
    handler.Start();  // a second start is refused with its diagnostic
    EXPECT_NE(trace.Text().find("!events_[EXIT_THREAD] && !events_[TASK_HANDLE] && !handle_thread_"),
              std::string::npos);
    handler.Enqueue(2000031, R"({"program_info_list": [{"channel_key": 5, "listener_count": 10}]})");
    handler.Enqueue(1, R"({"program_info_list": []})");
    handler.Enqueue(1000007, R"({"program_info_list": [{"channel_key": 6, "listener_count": 25.5}]})");
    ASSERT_TRUE(testsupport::WaitUntil([&] { return receiver.Count() == 2; }));
    GetListenerCountHandler::DestroyInstance();
    ASSERT_EQ(receiver.calls.size(), 2u);  // the empty list called nothing
    EXPECT_EQ(receiver.calls[0].first, 2000031);
    EXPECT_EQ(receiver.calls[0].second, (ListenerCountResults{{10, 5}}));
    EXPECT_EQ(receiver.calls[1].first, 1000007);
    EXPECT_EQ(receiver.calls[1].second, (ListenerCountResults{{25, 6}}));
    EXPECT_TRUE(receiver.on_worker);
}

TEST(ListenerCountWorker, StopDropsWhatIsQueuedAndMayStartAgain) {
    Receiver receiver;
    GetListenerCountHandler& handler = GetListenerCountHandler::Instance();
    handler.SetReceiver(&receiver);
    handler.Enqueue(3,
                    R"({"program_info_list": [{"channel_key": 5, "listener_count": 1}]})");  // before Start
    handler.Stop();
    handler.Start();
    handler.Enqueue(4, R"({"program_info_list": [{"channel_key": 5, "listener_count": 2}]})");
    ASSERT_TRUE(testsupport::WaitUntil([&] { return receiver.Count() == 1; }));
    GetListenerCountHandler::DestroyInstance();
    EXPECT_EQ(receiver.calls[0].first, 4);
}

// A window that takes the posted results, as the main window does.
struct CountsWindow : IWindowProc {
    LRESULT WindowProc(HWND, UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_LISTENER_COUNTS && wParam != 0) {
            std::unique_ptr<ListenerCountResults> results(ListenerCountPoster::Take(wParam));
            received.push_back({static_cast<int>(lParam), *results});
        }
        return 0;
    }
    std::vector<std::pair<int, ListenerCountResults>> received;
};

TEST(ListenerCountPoster, TheWindowGetsItsOwnCopyAfterTheWorkerFreedTheResults) {
    CountsWindow window;
    HWND hwnd = CreateMessageWindow(&window);
    ListenerCountPoster poster(hwnd);
    GetListenerCountHandler& handler = GetListenerCountHandler::Instance();
    handler.SetReceiver(&poster);
    handler.Start();
    handler.Enqueue(2000042, R"({"program_info_list": [{"channel_key": 1, "listener_count": 7},
                                                       {"channel_key": 2, "listener_count": 8}]})");
    ASSERT_TRUE(testsupport::WaitUntil([&] { return window.received.size() == 1; }));
    GetListenerCountHandler::DestroyInstance();
    EXPECT_EQ(window.received[0].first, 2000042);
    EXPECT_EQ(window.received[0].second, (ListenerCountResults{{7, 1}, {8, 2}}));
    DestroyWindow(hwnd);
    // Posting to a window that is gone frees the copy at once (the sanitizer build checks this).
    poster.OnListenerCounts(1, {{1, 1}});
}

TEST(ListenerCountRequest, KindsByCatalogueGroup) {
    Group recommended(u"推荐电台", 2000042), network(u"网络电台", 2000001), regions(u"地域电台", 2000000),
        themes(u"主题电台", 1000000), other(u"我的电台", 5);
    Group region(u"北京", 2000031), theme(u"新闻", 1000007), nested(u"子组", 2000099),
        stray(u"北京", 2000031);
    region.parent = &regions;
    theme.parent = &themes;
    nested.parent = &region;
    stray.parent = &other;
    CRadio station;
    station.parent = &regions;
    struct Case {
        const TreeNode* node;
        bool ok;
        ListenerCountRequest::Kind kind;
    } cases[] = {
        {&recommended, true, {2000042, 1, 42}},
        {&network, true, {2000001, 1, 1}},
        {&region, true, {2000031, 1, 31}},
        {&theme, true, {1000007, 2, 7}},
        {&regions, false, {}},
        {&themes, false, {}},
        {&other, false, {}},
        {&nested, false, {}},
        {&stray, false, {}},
        {&station, false, {}},
        {nullptr, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.node ? c.node->id : -1);
        ListenerCountRequest::Kind kind;
        EXPECT_EQ(ListenerCountRequest::ForNode(c.node, &kind), c.ok);
        if (c.ok) {
            EXPECT_EQ(kind.groupId, c.kind.groupId);
            EXPECT_EQ(kind.type, c.kind.type);
            EXPECT_EQ(kind.typeKey, c.kind.typeKey);
        }
    }
}

TEST(ListenerCountRequest, AddressesFromTheConfiguredHosts) {
    CConfig& config = CConfig::Instance();
    config.RADIO_API_SERVER_HOST = u"http://api.test";
    config.RADIO_STREAM_PLAY_HOST = u"http://stream.test";
    EXPECT_EQ(ListenerCountRequest::Url(2, 7), u"http://api.test/program_info_list/type/2/type_key/7");
    EXPECT_EQ(ListenerCountRequest::ChannelUrl(12345), u"http://stream.test/channel2/12345/24");
    CConfig::DestroyInstance();
}

}  // namespace
