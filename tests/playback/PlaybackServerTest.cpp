// The play-state logic with the real engine (build/bin/libLXPlayer.so) against a local Icecast
// stream: connect, play, record five seconds to an MP3 that lands in the first local file list,
// stop; and a server that goes away, which gives ten reconnects and then the failure.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/Paths.h"
#include "platform/Sync.h"
#include "platform/Text.h"
#include "playback/Media.h"
#include "playback/PlayStateLogic.h"
#include "playback/SystemPlayClock.h"
#include "storage/Config.h"
#include "storage/FileDataManagement.h"
#include "storage/MyFile.h"
#include "storage/Radio.h"
#include "storage/SqlWriteQueue.h"
#include "tests/engine/EngineTestServers.h"
#include "tests/playback/RecordingViews.h"
#include "tests/storage/StorageTestUtil.h"
#include "tests/support/TestSupport.h"

namespace {

// The local file panel over the real file store: new recordings go into the first group.
struct StorePanel : IFilePanel {
    bool AddToFirstGroup(MyFile* file) override {
        TreeNode* group = store.First();
        if (!group || !store.AddNode(file, group, nullptr, true, &SqlWriteQueue::Instance())) return false;
        store.RewriteGroupMap(group);
        return true;
    }
    CFileDataManagement store;
};

// Seconds of audio in `path`, decoded by the engine's own decoder; -1 when it cannot be read.
double DecodedSeconds(const std::string& library, const std::u16string& path) {
    void* lib = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib) return -1;
    auto create = reinterpret_cast<LXCreateDecoderFn>(dlsym(lib, "CreateDecoder"));
    double seconds = -1;
    IAudioDecoder* decoder = nullptr;
    if (create && create(&decoder) >= 0 && decoder) {
        int32_t bits = 0, channels = 0, rate = 0;
        if (decoder->Open(path.c_str()) >= 0 && decoder->GetFormat(&bits, &channels, &rate) >= 0 && bits > 0 &&
            channels > 0 && rate > 0) {
            std::vector<char> buffer(65536);
            uint64_t total = 0;
            uint32_t got = 0;
            while (decoder->Read(buffer.data(), static_cast<uint32_t>(buffer.size()), &got) >= 0 && got > 0) total += got;
            seconds = static_cast<double>(total) / (static_cast<double>(bits) / 8 * channels * rate);
        }
        decoder->Release();
    }
    dlclose(lib);
    return seconds;
}

class PlaybackServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        library_ = testsupport::BinDir() + "/" + LXPLAYER_LIBRARY_NAME;
        if (!PathExists(Utf8ToUtf16(library_))) GTEST_SKIP() << "no engine at " << library_;
        // The engine's libraries keep process-wide state from their global initialisation, which
        // an unload would orphan (the leak checker reports it); keep it mapped for the process.
        static void* pinned = dlopen(library_.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        ASSERT_NE(pinned, nullptr) << dlerror();
        const std::string dir = testsupport::MakeTempDir("media");
        tone_ = dir + "/tone.mp3";
        ASSERT_TRUE(enginetest::MakeTone(tone_, 20, "-c:a libmp3lame -b:a 128k"));
        server_ = std::make_unique<enginetest::IcecastServer>(tone_);
        ASSERT_TRUE(server_->Ready()) << "icecast did not come up";

        storagetest::FreshDatabase("server");
        ASSERT_TRUE(panel_.store.Load());
        CConfig& config = CConfig::Instance();
        config.BufferTime = 1;
        config.Volume = 100;
        config.Mutx = 0;
        config.RecordFilePath = Utf8ToUtf16(testsupport::MakeTempDir("records"));

        media_ = std::make_unique<CMedia>();
        media_->SetNotifyWindow(window_.hwnd);
        media_->SetAudioOutput(LXOUTPUT_NULL);
        ASSERT_TRUE(media_->LoadEngineLibraryFrom(Utf8ToUtf16(library_)));
        clock_ = std::make_unique<CSystemPlayClock>(window_.hwnd);
        PlayViews views;
        views.display = &display_;
        views.record = &record_;
        views.tray = &tray_;
        views.tips = &tips_;
        views.trees = &trees_;
        views.files = &panel_;
        logic_ = std::make_unique<CPlayStateLogic>(*media_, views, *clock_);
        window_.logic = logic_.get();
        ASSERT_TRUE(logic_->LateInit());
        station_ = std::make_unique<CRadio>(u"Loopback FM", Utf8ToUtf16(server_->Url("/mp3")), u"", u"", u"", u"", u"",
                                            u"", u"", u"", 0, 7, 0);
    }

    void TearDown() override {
        if (logic_) logic_->StopRequest();
        Pump();
        logic_.reset();
        window_.logic = nullptr;
        media_.reset();
        Pump();
        SqlWriteQueue::DestroyInstance();
    }

    int Count(const std::u16string& status) const {
        int n = 0;
        for (const auto& s : display_.statuses) n += s == status;
        return n;
    }

    std::string library_;
    std::string tone_;
    std::unique_ptr<enginetest::IcecastServer> server_;
    LogicWindow window_;
    StorePanel panel_;
    RecordingDisplay display_;
    RecordingRecordButton record_;
    RecordingTray tray_;
    RecordingTips tips_;
    RecordingTrees trees_;
    std::unique_ptr<CMedia> media_;
    std::unique_ptr<CSystemPlayClock> clock_;
    std::unique_ptr<CPlayStateLogic> logic_;
    std::unique_ptr<CRadio> station_;
};

TEST_F(PlaybackServerTest, PlaysAndRecordsFiveSecondsIntoTheFirstList) {
    logic_->PlayItemRequest(station_.get());
    ASSERT_TRUE(testsupport::WaitUntil([&] { return logic_->PlayState() == LXSTATE_PLAYING; }, 20000))
        << "last status: " << Utf16ToUtf8(logic_->Status());
    EXPECT_GE(Count(kStatusConnecting), 1);
    EXPECT_EQ(logic_->Status(), kStatusPlaying);
    EXPECT_TRUE(record_.enabled);
    ASSERT_FALSE(trees_.catalogue.empty());
    EXPECT_GE(trees_.catalogue.back().second, 0);  // the connect time became the station's speed

    logic_->RecordCommand();
    ASSERT_TRUE(media_->IsRecording());
    ASSERT_FALSE(tips_.tips.empty());
    EXPECT_EQ(tips_.tips.back().text, u"开始录音\n保存在:默认分组");
    MyFile* file = logic_->RecordingFile();
    ASSERT_NE(file, nullptr);
    const uint64_t until = GetTickCount64() + 5000;
    testsupport::WaitUntil([&] { return GetTickCount64() >= until; }, 10000);
    EXPECT_EQ(logic_->PlayState(), LXSTATE_PLAYING);
    logic_->RecordCommand();
    EXPECT_FALSE(media_->IsRecording());
    EXPECT_EQ(tips_.tips.back().text, u"停止录音");
    const std::u16string path = file->GetUrl();
    EXPECT_EQ(FileNameOf(path).substr(0, 12), u"Loopback FM_");

    logic_->StopRequest();
    Pump();
    EXPECT_EQ(logic_->Status(), kStatusReady);

    const double seconds = DecodedSeconds(library_, path);
    // The live source is paced in real time by its feeder, which falls behind on a busy machine.
    EXPECT_GE(seconds, 3.0) << Utf16ToUtf8(path);
    EXPECT_LE(seconds, 8.0);

    // The recording is the last file of the first list, in memory and, once written, in the tables.
    EXPECT_EQ(panel_.store.First()->GetLastChild(), file);
    SqlWriteQueue::DestroyInstance();
    CFileDataManagement reloaded;
    ASSERT_TRUE(reloaded.Load());
    ASSERT_NE(reloaded.First()->GetLastChild(), nullptr);
    EXPECT_EQ(reloaded.First()->GetLastChild()->GetUrl(), path);
}

TEST_F(PlaybackServerTest, AServerThatGoesAwayGivesTenReconnectsThenFailure) {
    logic_->PlayItemRequest(station_.get());
    ASSERT_TRUE(testsupport::WaitUntil([&] { return logic_->PlayState() == LXSTATE_PLAYING; }, 20000))
        << "last status: " << Utf16ToUtf8(logic_->Status());
    server_.reset();  // icecast and its source end: the stream breaks, new connections are refused
    ASSERT_TRUE(testsupport::WaitUntil([&] { return logic_->ReconnectCount() > CPlayStateLogic::kMaxReconnects; }, 25000))
        << "reconnects: " << logic_->ReconnectCount() << ", last status: " << Utf16ToUtf8(logic_->Status());
    // Counted from the last time sound came out: a reconnect that caught the server's last
    // moments may play briefly, which starts the ten tries again.
    std::string seen;
    int reconnects = 0;
    for (const std::u16string& status : display_.statuses) {
        seen += Utf16ToUtf8(status) + " ";
        if (status == kStatusPlaying) reconnects = 0;
        if (status == kStatusReconnecting) ++reconnects;
    }
    EXPECT_EQ(reconnects, 10) << seen;
    EXPECT_EQ(logic_->Status(), kStatusFailed);
    ASSERT_EQ(tips_.connect.size(), 1u);
    EXPECT_EQ(tips_.connect[0].text, u"抱歉对方电台网络故障,暂时未能连通,请稍后再试.");
    bool unreachable = false;  // a refused reconnect marks the station unreachable
    for (const auto& speed : trees_.catalogue) unreachable |= speed.second == -1;
    EXPECT_TRUE(unreachable);
}

}  // namespace
