// The resource package update end to end against the simulator: version query, download,
// unscrambling, unpacking, import (5038), the direct conditional request, and every bad reply or
// broken package leaving the catalogue, the stored version and the temporary folder as they were.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <mutex>

#include "net/GetAllRadioResourceEvent.h"
#include "net/GetListenerCountEvent.h"
#include "net/GetRadioResourceVersionEvent.h"
#include "net/HttpClient.h"
#include "net/ListenerCountRequest.h"
#include "net/RadioResourceUpdate.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/Trace.h"
#include "platform/Version.h"
#include "storage/Config.h"
#include "storage/CppSQLite3DB.h"
#include "storage/DatabasePath.h"
#include "storage/RadioManagement.h"
#include "storage/SqlWriteQueue.h"
#include "tests/net/WebSim.h"
#include "tests/support/TestSupport.h"

namespace {

using nettest::WebSim;

TEST(RadioResourceVersion, NumbersOfThreeDecimalParts) {
    struct Case {
        const char* text;
        int32_t number;  // -1: not a version
    } cases[] = {
        {"1.2.3", 1050627}, {"0.0.0", 0},    {"0.0.7", 7}, {"2047.1023.1023", 2147483647},
        {"1.2", -1},        {"1.2.3.4", -1}, {"1..3", -1}, {"1.2.x", -1},
        {"+1.2.3", -1},     {"1.2.3 ", -1},  {"", -1},     {"2048.0.0", -1},
        {"1.2.-3", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(GetRadioResourceVersionEvent::VersionNumber(c.text).value_or(-1), c.number);
    }
}

TEST(RadioResourceVersion, UnscramblingSwapsNibblesThenAppliesTheKey) {
    EXPECT_EQ(GetAllRadioResourceHandler::UnscrambleByte(0x00), 0xB6);
    EXPECT_EQ(GetAllRadioResourceHandler::UnscrambleByte(0x12), 0x21 ^ 0xB6);
    EXPECT_EQ(GetAllRadioResourceHandler::UnscrambleByte(0xF0), 0x0F ^ 0xB6);
    const std::string dir = testsupport::MakeTempDir("unscramble");
    testsupport::WriteFile(dir + "/in.bin", std::string("\x12\xF0", 2));
    ASSERT_TRUE(
        GetAllRadioResourceHandler::UnscrambleFile(Utf8ToUtf16(dir + "/in.bin"), Utf8ToUtf16(dir + "/out")));
    EXPECT_EQ(testsupport::ReadFile(dir + "/out"), std::string("\x97\xB9", 2));
    testsupport::WriteFile(dir + "/empty.bin", "");
    EXPECT_FALSE(GetAllRadioResourceHandler::UnscrambleFile(Utf8ToUtf16(dir + "/empty.bin"),
                                                            Utf8ToUtf16(dir + "/o2")));
    EXPECT_FALSE(
        GetAllRadioResourceHandler::UnscrambleFile(Utf8ToUtf16(dir + "/missing"), Utf8ToUtf16(dir + "/o3")));
}

TEST(RadioResourceVersion, PackageFileNameKeepsToTheTemporaryFolder) {
    RadioResourceVersionInfo info;
    info.version = "1.2.3";
    info.hash = "ab12";
    EXPECT_EQ(RadioResourceUpdate::PackageFilePath(info), TempFilePath(u"Package_ab12_1.2.3.bin"));
    info.hash = "../../etc/x";
    EXPECT_EQ(RadioResourceUpdate::PackageFilePath(info), TempFilePath(u"Package_.._.._etc_x_1.2.3.bin"));
}

// Writes a package folder of `stations` stations of location 42 (UTF-16LE, first line skipped).
void WritePackageFolder(const std::string& dir, int stations) {
    auto utf16 = [](const std::u16string& s) {
        return std::string(reinterpret_cast<const char*>(s.data()), s.size() * 2);
    };
    std::u16string channels = u"header\n";
    for (int i = 1; i <= stations; ++i) {
        channels += Format(u"%d,%d,station%d,mms://127.0.0.1/s%d,42,推荐,1,1,FM,x\n", 100 + i, i, i, i);
    }
    testsupport::WriteFile(dir + "/channel.txt", utf16(channels));
    testsupport::WriteFile(dir + "/location.txt", utf16(u"header\n42,推荐\n"));
    testsupport::WriteFile(dir + "/category.txt", utf16(u"header\n"));
    testsupport::WriteFile(dir + "/category_map.txt", utf16(u"header\n"));
}

// The main window's part of the flow: starts downloads it is offered and imports on 5038.
struct MainStandIn : IWindowProc, IGetRadioResourceVersion {
    void OnNewRadioResourceVersion(const RadioResourceVersionInfo& info) override {
        ++offers;
        RadioResourceUpdate::StartPackageDownload(info);
    }
    LRESULT WindowProc(HWND, UINT msg, WPARAM, LPARAM) override {
        if (msg == WM_RADIO_RESOURCE_READY) {
            ++ready;
            RadioResourceUpdate::ImportDownloadedPackage(store, [this] { ++refreshes; });
        }
        return 0;
    }
    CRadioManagement store;
    int offers = 0;
    int ready = 0;
    int refreshes = 0;
};

class UpdateFlowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim_.Start());
        // Each test is a first start of its own: a fresh user data folder and database.
        const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
        saved_appdata_ = getenv("APPDATA");
        setenv("APPDATA", testsupport::MakeTempDir(std::string("appdata-") + info->name()).c_str(), 1);
        SetDatabasePath(AppDataPath(u"LXRadio.db"));
        ASSERT_TRUE(EnsureDirectory(AppDataPath()));
        LoadConfig(1);
        client_ = HttpClient::GetInstance();
        client_->SetTimeouts({5000, 3000, 1500});
        window_ = CreateMessageWindow(&main_);
        GetAllRadioResourceEvent::Instance().Handler().SetWindow(window_);
    }
    void TearDown() override {
        GetAllRadioResourceEvent::DestroyInstance();
        HttpClient::DestroyInstance();
        DestroyWindow(window_);
        CConfig::DestroyInstance();
        SqlWriteQueue::DestroyInstance();
        setenv("APPDATA", saved_appdata_.c_str(), 1);
    }

    // A start of the program: the companion's settings file points at the simulator.
    void LoadConfig(int use_magpie) {
        SqlWriteQueue::Instance().Flush();  // as the queue does when the program ends
        CConfig::DestroyInstance();
        const std::u16string ini = CompanionDataPath(u"net_option.ini");
        ASSERT_TRUE(EnsureDirectory(ParentPath(ini)));
        testsupport::WriteFile(NativePath(ini),
                               "[WebURL]\nMagpieUrl=" + sim_.Url("/api/package/v1/query") +
                                   "\nRADIO_API_SERVER_HOST=" + sim_.Url() +
                                   "\n[Option2]\nRadioUseMagpie=" + std::to_string(use_magpie) + "\n");
        CConfig::Instance().Load();
    }

    // Runs one update and waits until everything it started has ended.
    void RunUpdate() {
        RadioResourceUpdate::Request(&main_);
        ASSERT_TRUE(testsupport::WaitUntil([&] { return client_->PendingCount() == 0; }, 20000));
        GetAllRadioResourceEvent::Instance().Handler().Join();
        testsupport::WaitUntil([] { return true; });  // handles a 5038 posted by the unpacking thread
    }

    int Stations() {
        CppSQLite3DB db;
        db.Open(DatabasePath());
        return db.TableExists(u"channel_v2") ? db.QueryScalar(u"select count(*) from channel_v2") : -1;
    }
    int StoredVersion() {
        SqlWriteQueue::Instance().Flush();
        CppSQLite3DB db;
        db.Open(DatabasePath());
        return db.TableExists(u"config") ? CConfig::ReadInt(db, u"RadioPackage", u"Version", 0) : 0;
    }
    void ImportFixture(int stations) {
        const std::string dir = testsupport::MakeTempDir("fixture");
        WritePackageFolder(dir, stations);
        main_.store.QueueCatalogueDelete();
        main_.store.ImportPackageFolder(Utf8ToUtf16(dir));
        ASSERT_EQ(Stations(), stations);
    }
    // Anything the flow may leave in the temporary folder, and the file a climbing entry aims at.
    std::vector<std::string> Leftovers() {
        std::vector<std::string> found;
        for (const auto& e : std::filesystem::directory_iterator(NativePath(TempFilePath()))) {
            const std::string name = e.path().filename().string();
            if (name.rfind("Package_", 0) == 0 || name.rfind("radio_resource", 0) == 0 ||
                name.rfind("TFR", 0) == 0 || name == "escaped.txt") {
                found.push_back(name);
            }
        }
        return found;
    }
    size_t Requests(const std::string& path_prefix) {
        size_t n = 0;
        for (const Json::Value& r : sim_.Log()) n += r["path"].asString().rfind(path_prefix, 0) == 0;
        return n;
    }

    WebSim sim_;
    std::string saved_appdata_;
    HttpClient* client_ = nullptr;
    MainStandIn main_;
    HWND window_ = nullptr;
};

TEST_F(UpdateFlowTest, NewVersionDownloadsOnceAndIsImported) {
    RunUpdate();
    const Json::Value log = sim_.Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0]["path"].asString(), "/api/package/v1/query");
    EXPECT_EQ(log[0]["query"].asString(), "appVer=" + Utf16ToUtf8(ProgramVersion()) +
                                              "&platform=1001&encrypt=1&pId=40&getFull=1&packageVer=0");
    EXPECT_EQ(log[0]["headers"]["User-Agent"].asString(), "LoxanRadio");
    EXPECT_EQ(log[1]["path"].asString(), "/package/Package_1.2.3.bin");
    EXPECT_EQ(log[1]["headers"]["User-Agent"].asString(), "LoxanRadio");
    EXPECT_EQ(main_.ready, 1);
    EXPECT_EQ(main_.refreshes, 1);
    EXPECT_EQ(Stations(), 3);
    EXPECT_EQ(CConfig::Instance().Version, 1050627);
    EXPECT_EQ(StoredVersion(), 1050627);
    EXPECT_TRUE(Leftovers().empty());

    // The same reply on a later start downloads nothing.
    LoadConfig(1);
    RunUpdate();
    EXPECT_EQ(Requests("/api/package/"), 2u);
    EXPECT_EQ(Requests("/package/"), 1u);
    EXPECT_EQ(main_.offers, 1);
}

TEST_F(UpdateFlowTest, RepliesThatStartNoDownload) {
    ImportFixture(2);
    const char* replies[] = {
        R"({"code": 0, "data": {"info": {"version": "1.2", "url": "/package/x"}}})",
        R"({"code": 0, "data": {"info": {"version": "1.2.3.4", "url": "/package/x"}}})",
        R"({"code": 1, "data": {"info": {"version": "1.2.3", "url": "/package/x"}}})",
        R"({"code": "0", "data": {"info": {"version": "1.2.3", "url": "/package/x"}}})",
        R"({"data": {"info": {"version": "1.2.3", "url": "/package/x"}}})",
        R"({"code": 0, "data": {"info": ["1.2.3"]}})",
        R"({"code": 0, "data": {}})",
        R"({"code": 0, "data": {"info": {"version": 123, "url": "/package/x"}}})",
        R"({"code": 0, "data": {"info": {"version": "0.0.0", "url": "/package/x"}}})",
        R"([0])",
        R"({"code": 0, "data": {"info": {"version": "1.2.3")",
    };
    for (const char* reply : replies) {
        SCOPED_TRACE(reply);
        Json::Value cfg;
        cfg["version_reply"] = reply;
        ASSERT_TRUE(sim_.Configure(Json::FastWriter().write(cfg)));
        std::string trace;
        TraceSink old = SetTraceSink([&](const std::string& line) { trace += line + "\n"; });
        RunUpdate();
        SetTraceSink(old);
        const bool invalid = std::string(reply).back() != '}' && std::string(reply).back() != ']';
        EXPECT_EQ(trace.find("get_radio_resource_version_handler: assertion failed: false && "
                             "L\"Json::Reader().parse error\"") != std::string::npos,
                  invalid);
    }
    EXPECT_EQ(Requests("/package/"), 0u);
    EXPECT_EQ(main_.offers, 0);
    EXPECT_EQ(Stations(), 2);
    EXPECT_EQ(CConfig::Instance().Version, 0);
    EXPECT_TRUE(Leftovers().empty());
}

TEST_F(UpdateFlowTest, BrokenPackagesChangeNothingAndLeaveNoFiles) {
    ImportFixture(2);
    const std::string reply = R"({"code": 0, "data": {"info": {"version": "1.2.3", "hash": "h", "url": ")";
    struct Case {
        const char* config;
        bool unpacked;  // 5038 arrives (the folder lacks a file)
    } cases[] = {
        {R"({"package_b64": "aGVsbG8gd29ybGQ="})", false},  // not a zip
        {R"({"package_b64": ""})", false},                  // empty
        {R"({"package_kind": "climbing"})", false},         // an entry climbs out of the folder
        {R"({"package_kind": "partial"})", true},           // no category.txt
        {R"({"url": "/test/status/404"})", false},
        {R"({"url": "/test/stall?n=100000&after=2000"})", false},
        {R"({"url": "/test/reset?n=100000&after=2000"})", false},
        {R"({"url": "/test/noanswer?hold_s=8"})", false},
    };
    int expected_ready = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.config);
        ASSERT_TRUE(
            sim_.Configure(R"({"package_b64": null, "package_kind": "sample", "version_reply": null})"));
        Json::Value cfg;
        Json::Reader().parse(c.config, cfg);
        if (cfg.isMember("url")) {
            cfg["version_reply"] = reply + sim_.Url(cfg["url"].asString()) + "\"}}}";
            cfg.removeMember("url");
        }
        ASSERT_TRUE(sim_.Configure(Json::FastWriter().write(cfg)));
        RunUpdate();
        expected_ready += c.unpacked;
        EXPECT_EQ(main_.ready, expected_ready);
        EXPECT_EQ(main_.refreshes, 0);
        EXPECT_EQ(Stations(), 2);
        EXPECT_EQ(CConfig::Instance().Version, 0);
        EXPECT_EQ(Leftovers(), std::vector<std::string>());
    }
    EXPECT_EQ(StoredVersion(), 0);
}

TEST_F(UpdateFlowTest, DirectRequestIsConditionalAndKeepsTheServersKeys) {
    LoadConfig(0);
    RunUpdate();
    Json::Value log = sim_.Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0]["path"].asString(), "/resource2/IOS");
    EXPECT_TRUE(log[0]["headers"]["If-None-Match"].isNull());
    EXPECT_TRUE(log[0]["headers"]["X-Session-Key"].isNull());
    EXPECT_EQ(log[0]["headers"]["Referer"].asString(), Utf16ToUtf8(RadioResourceUpdate::kCatalogueSite));
    EXPECT_EQ(log[0]["headers"]["User-Agent"].asString(), "LoxanRadio");
    EXPECT_EQ(main_.ready, 1);
    EXPECT_EQ(Stations(), 3);
    EXPECT_EQ(CConfig::Instance().etag, u"\"pkg-1\"");
    EXPECT_EQ(CConfig::Instance().session_key, u"sk-1");
    EXPECT_TRUE(Leftovers().empty());

    // The next start asks conditionally; 304 changes nothing.
    LoadConfig(0);
    ImportFixture(1);
    RunUpdate();
    log = sim_.Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1]["headers"]["If-None-Match"].asString(), "\"pkg-1\"");
    EXPECT_EQ(log[1]["headers"]["X-Session-Key"].asString(), "sk-1");
    EXPECT_EQ(main_.ready, 1);
    EXPECT_EQ(Stations(), 1);
    EXPECT_EQ(CConfig::Instance().etag, u"\"pkg-1\"");
    EXPECT_TRUE(Leftovers().empty());
}

TEST_F(UpdateFlowTest, DirectResponseHeadersInAnyLetterCase) {
    LoadConfig(0);
    ASSERT_TRUE(sim_.Configure(
        R"({"etag": "\"v2\"", "session_key": "sk-2", "etag_header": "ETAG", "session_header": "set-SESSION-key"})"));
    RunUpdate();
    EXPECT_EQ(CConfig::Instance().etag, u"\"v2\"");
    EXPECT_EQ(CConfig::Instance().session_key, u"sk-2");
}

TEST_F(UpdateFlowTest, DirectPackageThatCannotBeUnpackedIsAskedForAgain) {
    LoadConfig(0);
    ImportFixture(2);
    ASSERT_TRUE(sim_.Configure(R"({"package_kind": "climbing"})"));
    RunUpdate();
    EXPECT_EQ(Stations(), 2);
    EXPECT_TRUE(CConfig::Instance().etag.empty());
    EXPECT_TRUE(Leftovers().empty());
    ASSERT_TRUE(sim_.Configure(R"({"package_kind": "sample"})"));
    RunUpdate();
    const Json::Value log = sim_.Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_TRUE(log[1]["headers"]["If-None-Match"].isNull());
    EXPECT_EQ(Stations(), 3);
}

TEST_F(UpdateFlowTest, RequestsOnTheirWayAreWithdrawnAtTearDown) {
    CConfig::Instance().MagpieUrl = Utf8ToUtf16(sim_.Url("/test/slow?n=20000&chunk=1000&delay_ms=50"));
    ASSERT_TRUE(RadioResourceUpdate::Request(&main_));
    ASSERT_TRUE(ListenerCountRequest::Request(2000031, 1, 31));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return sim_.RequestCount() == 1; }));
    GetRadioResourceVersionEvent::DestroyAll();
    GetListenerCountEvent::DestroyAll();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return client_->PendingCount() == 0; }));
    EXPECT_EQ(main_.offers, 0);
    EXPECT_EQ(sim_.RequestCount(), 1u);  // the queued listener-count request never ran
}

}  // namespace
