// The HTTP client against the simulator: outcomes, staging, headers, redirects, sessions, retries
// with a manual clock, time-outs, withdrawal and shut-down.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <filesystem>
#include <string>

#include "net/HttpClient.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/Trace.h"
#include "tests/net/WebSim.h"
#include "tests/support/TestSupport.h"

namespace {

using nettest::WebSim;

// Remembers what the handlers saw; owned by the test.
struct RecordingEvent : IHttpTaskEvent {
    void OnTaskSucceeded(HttpTask* task) override { Record(task, true); }
    void OnTaskFailed(HttpTask* task) override { Record(task, false); }
    void Record(HttpTask* task, bool ok) {
        (ok ? succeeded : failed)++;
        status = task->m_dwStatusCode;
        body = task->GetResultString();
        headers = task->m_headers;
        url = task->m_strUrl;
        save_path = task->m_strSavePath;
    }
    int calls() const { return succeeded + failed; }
    int succeeded = 0;
    int failed = 0;
    uint32_t status = 0;
    std::string body;
    HttpHeaderMap headers;
    std::u16string url;
    std::u16string save_path;
};

// Due ticks and back-off on a clock the test moves by hand.
class ManualClock : public IHttpClock {
public:
    uint64_t Now() override { return now_; }
    uint32_t Wait(Event* wake, Event* exit, uint64_t ms) override {
        waits_.fetch_add(1);
        last_wait_ = ms;
        const uint64_t until = now_ + ms;
        for (;;) {
            const uint32_t r = WaitForAnyEvent({wake, exit}, 5);
            if (r != kWaitTimeout) return r;
            if (now_ >= until) return kWaitTimeout;
        }
    }
    void Advance(uint64_t ms) { now_ += ms; }
    uint64_t last_wait() const { return last_wait_; }
    int waits() const { return waits_; }

private:
    std::atomic<uint64_t> now_{1000};
    std::atomic<uint64_t> last_wait_{0};
    std::atomic<int> waits_{0};
};

std::string Pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i % 251);
    return s;
}

size_t StagingFilesLeft() {
    size_t n = 0;
    for (const auto& e : std::filesystem::directory_iterator(NativePath(TempFilePath()))) {
        if (e.path().filename().string().rfind("TFR", 0) == 0) ++n;
    }
    return n;
}

class HttpClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim_.Start());
        client_ = HttpClient::GetInstance();
    }
    void TearDown() override { HttpClient::DestroyInstance(); }

    HttpTask* NewTask(const std::string& path, const std::string& save = "") {
        return new HttpTask(Utf8ToUtf16(sim_.Url(path)), Utf8ToUtf16(save));
    }
    // Adds the task and pumps until its event has been called.
    void Run(HttpTask* task, RecordingEvent& event, uint32_t timeout_ms = 15000) {
        ASSERT_TRUE(client_->AddTask(task, &event));
        ASSERT_TRUE(testsupport::WaitUntil([&] { return event.calls() > 0; }, timeout_ms));
    }

    WebSim sim_;
    HttpClient* client_ = nullptr;
};

TEST_F(HttpClientTest, BodiesOfEverySizeArriveWholeInMemory) {
    // 1024 bytes once needed a second, empty read; 1000 bytes one read; 0 bytes is no body.
    for (size_t n : {0u, 1u, 1000u, 1024u, 1025u, 300000u, 3u << 20}) {
        SCOPED_TRACE(n);
        RecordingEvent event;
        Run(NewTask("/test/bytes?n=" + std::to_string(n)), event);
        EXPECT_EQ(event.succeeded, 1);
        EXPECT_EQ(event.status, 200u);
        EXPECT_EQ(event.body, Pattern(n));
    }
    EXPECT_EQ(StagingFilesLeft(), 0u);
}

TEST_F(HttpClientTest, StatusOutside200To299FailsWithTheStatusKept) {
    for (uint32_t code : {304u, 404u, 500u, 300u, 204u}) {
        SCOPED_TRACE(code);
        RecordingEvent event;
        Run(NewTask("/test/status/" + std::to_string(code)), event);
        EXPECT_EQ(event.failed, code >= 300 ? 1 : 0);
        EXPECT_EQ(event.succeeded, code >= 300 ? 0 : 1);
        EXPECT_EQ(event.status, code);
    }
    EXPECT_EQ(StagingFilesLeft(), 0u);
}

TEST_F(HttpClientTest, FolderSavePathBecomesAUniqueDownFile) {
    const std::string dir = testsupport::MakeTempDir("downloads");
    for (const char* sep : {"/", "\\"}) {
        RecordingEvent event;
        Run(NewTask("/test/bytes?n=5000", dir + sep), event);
        ASSERT_EQ(event.succeeded, 1);
        const std::string saved = NativePath(event.save_path);
        EXPECT_EQ(ParentPath(event.save_path), Utf8ToUtf16(dir));
        EXPECT_EQ(FileNameOf(event.save_path).substr(0, 4), u"DOWN");
        EXPECT_EQ(testsupport::ReadFile(saved), Pattern(5000));
        EXPECT_TRUE(event.body.empty());
    }
}

TEST_F(HttpClientTest, SavedFileReplacesAnExistingOne) {
    const std::string path = testsupport::MakeTempDir("save") + "/out.bin";
    testsupport::WriteFile(path, std::string(100000, 'x'));
    RecordingEvent event;
    Run(NewTask("/test/bytes?n=10", path), event);
    ASSERT_EQ(event.succeeded, 1);
    EXPECT_EQ(testsupport::ReadFile(path), Pattern(10));
}

TEST_F(HttpClientTest, ByteOrderMarkOnlyForSavedUtf8Text) {
    const std::string dir = testsupport::MakeTempDir("bom");
    const std::string bom = "\xEF\xBB\xBF";
    struct Case {
        const char* query;
        bool save;
        std::string expected_prefix;
    } cases[] = {
        {"ctype=text/plain;%20Charset=UTF-8", true, bom},
        {"ctype=text/plain;%20charset=utf-8", false, ""},
        {"ctype=text/plain;%20charset=iso-8859-1", true, ""},
        {"ctype=text/plain", true, ""},
        // A body that already has the mark keeps exactly one.
        {"ctype=text/plain;%20charset=UTF-8&bom=1", true, bom},
    };
    int i = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query);
        RecordingEvent event;
        const std::string path = c.save ? dir + "/f" + std::to_string(i++) : "";
        Run(NewTask(std::string("/test/bytes?n=3&") + c.query, path), event);
        ASSERT_EQ(event.succeeded, 1);
        const std::string got = c.save ? testsupport::ReadFile(path) : event.body;
        EXPECT_EQ(got, c.expected_prefix + Pattern(3));
    }
}

TEST_F(HttpClientTest, ResponseHeadersAreFormDecodedTrimmedAndLowerCased) {
    RecordingEvent event;
    Run(NewTask("/test/header?line=X-Name:%20a%2Bb%2541&line=Mixed-CASE:%20%20Value%20With%20Case%20%20"
                "&line=X-Cut:%20ab%254&line=X-Utf8:%20%25E4%25B8%25AD&line=:novalue"),
        event);
    ASSERT_EQ(event.succeeded, 1);
    EXPECT_EQ(event.headers.at(u"x-name"), u"a bA");
    EXPECT_EQ(event.headers.at(u"mixed-case"), u"Value With Case");
    EXPECT_EQ(event.headers.at(u"x-cut"), u"ab");  // "%" without two characters ends the line
    EXPECT_EQ(event.headers.at(u"x-utf8"), u"中");
    EXPECT_EQ(event.headers.at(u"content-length"), u"2");
    EXPECT_EQ(event.headers.count(u""), 0u);
    for (const auto& [name, value] : event.headers) EXPECT_EQ(name, ToLower(name));
}

TEST_F(HttpClientTest, PostSendsTheBodyAndTheRequestHeaders) {
    RecordingEvent event;
    HttpTask* task = NewTask("/test/echo");
    const std::string body("\x01\x02zero\0byte", 11);
    task->SetBody(body.data(), static_cast<uint32_t>(body.size()));
    task->SetHeaders({{u"User-Agent", u"LoxanRadio"}, {u"X-Session-Key", u"k1"}});
    task->SetHeaders({{u"x-session-key", u"k2"}});
    Run(task, event);
    ASSERT_EQ(event.succeeded, 1);
    Json::Value echo;
    std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
    ASSERT_TRUE(reader->parse(event.body.data(), event.body.data() + event.body.size(), &echo, nullptr));
    EXPECT_EQ(echo["method"].asString(), "POST");
    EXPECT_EQ(echo["headers"]["User-Agent"].asString(), "LoxanRadio");
    EXPECT_EQ(echo["headers"]["Content-Type"].asString(), "application/octet-stream");
    EXPECT_EQ(echo["headers"]["X-Session-Key"].asString(), "k2");
    EXPECT_EQ(echo["body_b64"].asString(), "AQJ6ZXJvAGJ5dGU=");
    EXPECT_TRUE(echo["headers"]["Expect"].isNull());
}

TEST_F(HttpClientTest, GetWithoutHeadersUsesTheClientAgent) {
    RecordingEvent event;
    Run(NewTask("/test/echo"), event);
    ASSERT_EQ(event.succeeded, 1);
    EXPECT_NE(event.body.find("\"GET\""), std::string::npos);
    EXPECT_NE(event.body.find("\"User-Agent\": \"HttpClient\""), std::string::npos);
}

TEST_F(HttpClientTest, SetBodyRules) {
    HttpTask task(u"http://127.0.0.1/");
    task.SetBody("abc", 3);
    EXPECT_EQ(task.m_dwBodyLen, 3u);
    EXPECT_EQ(task.m_headers.at(u"content-type"), u"application/octet-stream");
    std::string trace;
    TraceSink old = SetTraceSink([&](const std::string& line) { trace += line; });
    task.SetBody(nullptr, 5);
    SetTraceSink(old);
    EXPECT_NE(trace.find("pBody && !IsBadReadPtr( pBody, dwLen )"), std::string::npos);
    EXPECT_EQ(task.m_dwBodyLen, 3u);
    task.SetBody("", 0);
    EXPECT_EQ(task.m_dwBodyLen, 0u);
    EXPECT_EQ(task.m_headers.count(u"Content-Type"), 0u);
    EXPECT_FALSE(client_->AddTask(nullptr, nullptr));
}

TEST_F(HttpClientTest, RedirectsAreFollowedAndMayUpdateTheAddress) {
    for (uint8_t keep : {1, 0}) {
        SCOPED_TRACE(keep);
        RecordingEvent event;
        HttpTask* task = NewTask("/test/redirect/3");
        task->m_bKeepUrlOnRedirect = keep;
        Run(task, event);
        ASSERT_EQ(event.succeeded, 1);
        EXPECT_EQ(event.body, "arrived");
        EXPECT_EQ(Utf16ToUtf8(event.url), sim_.Url(keep ? "/test/redirect/3" : "/test/redirect/0"));
    }
    RecordingEvent loop;
    Run(NewTask("/test/redirect-loop"), loop);
    EXPECT_EQ(loop.failed, 1);
    EXPECT_EQ(loop.status, 302u);
}

TEST_F(HttpClientTest, NewSessionForgetsCookies) {
    RecordingEvent set, kept, fresh;
    Run(NewTask("/test/cookie/set?v=42"), set);
    Run(NewTask("/test/cookie/get"), kept);
    EXPECT_EQ(kept.body, "sid=42");
    HttpTask* task = NewTask("/test/cookie/get");
    task->m_bNewSession = 1;
    Run(task, fresh);
    EXPECT_EQ(fresh.succeeded, 1);
    EXPECT_EQ(fresh.body, "");
}

TEST_F(HttpClientTest, TasksRunOneAtATimeInQueueOrder) {
    RecordingEvent events[4];
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(client_->AddTask(NewTask("/test/bytes?n=" + std::to_string(i)), &events[i]));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return events[3].calls() == 1; }));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return client_->PendingCount() == 0; }));
    const Json::Value log = sim_.Log();
    ASSERT_EQ(log.size(), 4u);
    for (Json::ArrayIndex i = 0; i < 4; ++i) EXPECT_EQ(log[i]["query"].asString(), "n=" + std::to_string(i));
    for (const auto& e : events) EXPECT_EQ(e.succeeded, 1);
}

TEST_F(HttpClientTest, TaskAddedWhileTheWorkerIdlesStartsAtOnce) {
    RecordingEvent later, now;
    HttpTask* waiting = NewTask("/test/bytes?n=1");
    waiting->m_dwDueTick = GetTickCount64() + 600000;
    ASSERT_TRUE(client_->AddTask(waiting, &later));
    ASSERT_TRUE(client_->AddTask(NewTask("/test/bytes?n=2"), &now));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return now.succeeded == 1; }));
    // Now the worker waits for the far due tick; a new task must wake it.
    RecordingEvent woken;
    ASSERT_TRUE(client_->AddTask(NewTask("/test/bytes?n=3"), &woken));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return woken.succeeded == 1; }));
    EXPECT_EQ(later.calls(), 0);
    client_->RemoveTaskEvent(&later);
    EXPECT_EQ(client_->PendingCount(), 0u);
}

TEST_F(HttpClientTest, RetriesBackOffTwoFourEightMinutesAndReportOnce) {
    ManualClock clock;
    client_->SetClock(&clock);
    RecordingEvent event;
    HttpTask* task = NewTask("/test/status/503");
    task->m_byRetryTotal = task->m_byRetryLeft = 3;
    ASSERT_TRUE(client_->AddTask(task, &event));
    for (uint64_t pause : {120000u, 240000u, 480000u}) {
        SCOPED_TRACE(pause);
        ASSERT_TRUE(testsupport::WaitUntil([&] { return clock.last_wait() == pause; }));
        const size_t before = sim_.RequestCount();
        clock.Advance(pause - 1);  // one millisecond short: nothing may run
        clock.Advance(1);
        ASSERT_TRUE(testsupport::WaitUntil([&] { return sim_.RequestCount() == before + 1; }));
    }
    ASSERT_TRUE(testsupport::WaitUntil([&] { return event.calls() == 1; }));
    EXPECT_EQ(event.failed, 1);
    EXPECT_EQ(event.status, 503u);
    EXPECT_EQ(sim_.RequestCount(), 4u);
    EXPECT_EQ(client_->PendingCount(), 0u);
}

TEST_F(HttpClientTest, RemovingTheRunningTasksEventSilencesIt) {
    RecordingEvent event;
    ASSERT_TRUE(client_->AddTask(NewTask("/test/slow?n=20000&chunk=1000&delay_ms=50"), &event));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return sim_.RequestCount() == 1; }));
    client_->RemoveTaskEvent(&event);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return client_->PendingCount() == 0; }));
    EXPECT_EQ(event.calls(), 0);
}

TEST_F(HttpClientTest, RemovingQueuedEventsDeletesTheirTasks) {
    RecordingEvent first, second;
    ASSERT_TRUE(client_->AddTask(NewTask("/test/slow?n=4000&chunk=1000&delay_ms=50"), &first));
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(client_->AddTask(NewTask("/test/bytes?n=1"), &second));
    client_->RemoveTaskEvent(&second);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return first.calls() == 1; }));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return client_->PendingCount() == 0; }));
    EXPECT_EQ(second.calls(), 0);
    EXPECT_EQ(sim_.RequestCount(), 1u);
}

// Waits, without handling anything, until the client's outcome message is queued on this thread.
bool OutcomeQueued(uint32_t timeout_ms = 10000) {
    const uint64_t deadline = GetTickCount64() + timeout_ms;
    MSG msg;
    while (!PeekMessage(&msg, false)) {
        if (GetTickCount64() >= deadline) return false;
        WaitMessage(5);
    }
    return msg.message == WM_HTTP_TASK_SUCCEEDED || msg.message == WM_HTTP_TASK_FAILED;
}

TEST_F(HttpClientTest, WithdrawnEventOfAnOutcomeOnItsWayIsNotCalled) {
    RecordingEvent event;
    ASSERT_TRUE(client_->AddTask(NewTask("/test/bytes?n=10"), &event));
    ASSERT_TRUE(OutcomeQueued());
    client_->RemoveTaskEvent(&event);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return client_->PendingCount() == 0; }));
    EXPECT_EQ(event.calls(), 0);
}

TEST_F(HttpClientTest, DestroyDropsOutcomesOnTheirWay) {
    RecordingEvent event;
    ASSERT_TRUE(client_->AddTask(NewTask("/test/bytes?n=10"), &event));
    ASSERT_TRUE(OutcomeQueued());
    HttpClient::DestroyInstance();
    testsupport::WaitUntil([] { return false; }, 100);
    EXPECT_EQ(event.calls(), 0);
}

TEST_F(HttpClientTest, BrokenTransfersFailAndLeaveNoStagingFile) {
    HttpTimeouts limits;
    limits.send_ms = 1500;
    limits.block_ms = 1500;
    client_->SetTimeouts(limits);
    const std::string dir = testsupport::MakeTempDir("broken");
    for (const char* path :
         {"/test/stall?n=100000&after=3000", "/test/noanswer?hold_s=10", "/test/reset?n=100000&after=3000"}) {
        SCOPED_TRACE(path);
        RecordingEvent event;
        Run(NewTask(path, dir + "/target.bin"), event);
        EXPECT_EQ(event.failed, 1);
        EXPECT_FALSE(PathExists(Utf8ToUtf16(dir + "/target.bin")));
    }
    HttpTask* nowhere = new HttpTask(u"http://127.0.0.1:1/closed");
    RecordingEvent closed;
    Run(nowhere, closed);
    EXPECT_EQ(closed.failed, 1);
    EXPECT_EQ(closed.status, 0u);
    EXPECT_EQ(StagingFilesLeft(), 0u);
}

TEST_F(HttpClientTest, SlowButSteadyBodyIsNotATimeOut) {
    HttpTimeouts limits;
    limits.block_ms = 1000;
    client_->SetTimeouts(limits);
    RecordingEvent event;
    Run(NewTask("/test/slow?n=8000&chunk=500&delay_ms=100"), event);
    EXPECT_EQ(event.succeeded, 1);
    EXPECT_EQ(event.body, Pattern(8000));
}

TEST_F(HttpClientTest, DestroyAbortsTheRunningTransferAtOnceWithoutReport) {
    HttpTimeouts limits;
    limits.block_ms = 120000;
    client_->SetTimeouts(limits);
    RecordingEvent running, queued;
    ASSERT_TRUE(client_->AddTask(NewTask("/test/stall?n=100000&after=1000"), &running));
    ASSERT_TRUE(client_->AddTask(NewTask("/test/bytes?n=1"), &queued));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return sim_.RequestCount() == 1; }));
    const uint64_t start = GetTickCount64();
    HttpClient::DestroyInstance();
    EXPECT_LT(GetTickCount64() - start, 10000u);  // far below the two-minute block limit
    testsupport::WaitUntil([] { return false; }, 200);
    EXPECT_EQ(running.calls() + queued.calls(), 0);
    EXPECT_EQ(StagingFilesLeft(), 0u);
}

TEST_F(HttpClientTest, RequestsGoThroughTheProxyOfTheEnvironment) {
    // The simulator also answers requests in proxy form ("GET http://host/path").
    setenv("http_proxy", sim_.Url().c_str(), 1);
    RecordingEvent event;
    Run(new HttpTask(u"http://radio.invalid/test/bytes?n=7"), event);
    unsetenv("http_proxy");
    EXPECT_EQ(event.succeeded, 1);
    EXPECT_EQ(event.body, Pattern(7));
    const Json::Value log = sim_.Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0]["target"].asString(), "http://radio.invalid/test/bytes?n=7");
}

}  // namespace
