// The play-state logic and the controller against a scripted engine, recording views and a
// manual clock: reconnecting, resuming, next/previous, volume, tray tip, spectrum pacing,
// recording with its names and two-hour limit, removal, speed test, the shared blocks.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "platform/Paths.h"
#include "platform/SharedMemory.h"
#include "platform/Text.h"
#include "platform/Trace.h"
#include "playback/Media.h"
#include "playback/PlayStateLogic.h"
#include "playback/RecordFileName.h"
#include "storage/Config.h"
#include "storage/DataManagement.h"
#include "storage/Group.h"
#include "storage/LastListManagement.h"
#include "storage/LastPlayStore.h"
#include "storage/MyFile.h"
#include "storage/Radio.h"
#include "tests/playback/FakeEngine.h"
#include "tests/playback/RecordingViews.h"
#include "tests/storage/StorageTestUtil.h"
#include "tests/support/TestSupport.h"

namespace {

CRadio* MakeRadio(const std::u16string& name, const std::u16string& url, int id) {
    return new CRadio(name, url, u"", u"", u"", u"", u"", u"", u"", u"", 0, id, 0);
}

struct FilePanel : IFilePanel {
    void SelectFile(TreeNode* f) override { selected.push_back(f); }
    bool AddToFirstGroup(MyFile* f) override {
        if (!group) return false;
        return store->Append(f, group, nullptr);
    }
    void ShowLocalTab() override { ++tabShown; }
    DataManagement* store = nullptr;
    TreeNode* group = nullptr;
    std::vector<TreeNode*> selected;
    int tabShown = 0;
};

class PlayLogicTest : public ::testing::Test {
protected:
    void SetUp() override {
        CConfig& config = CConfig::Instance();
        config.Volume = 100;
        config.Mutx = 0;
        config.RecordFilePath.clear();
        FakeEngine::next = &engine;
        media.SetNotifyWindow(window.hwnd);
        media.UseEngineExports(&FakeEngine::Create, &FakeEngine::Measure);
        files.store = &fileStore;
        PlayViews views;
        views.display = &display;
        views.spectrum = &spectrum;
        views.controls = &controls;
        views.record = &record;
        views.tray = &tray;
        views.tips = &tips;
        views.trees = &trees;
        views.files = &files;
        views.speedTest = &speedTest;
        logic = std::make_unique<CPlayStateLogic>(media, views, clock);
        window.logic = logic.get();
        ASSERT_TRUE(logic->LateInit());

        // Catalogue: 推荐电台 { r1, r2 }, 网络电台 { r3 }.
        auto* g1 = new Group(u"推荐电台", 1000000);
        auto* g2 = new Group(u"网络电台", 2000000);
        catalogue.Append(g1, nullptr, nullptr);
        catalogue.Append(g2, nullptr, nullptr);
        r1 = MakeRadio(u"one", u"http://127.0.0.1:1/one", 1);
        r2 = MakeRadio(u"two", u"http://127.0.0.1:1/two", 2);
        r3 = MakeRadio(u"three", u"http://127.0.0.1:1/three", 3);
        catalogue.Append(r1, g1, nullptr);
        catalogue.Append(r2, g1, nullptr);
        catalogue.Append(r3, g2, nullptr);
        trees.catalogueFirst = g1;

        // Local files: 默认分组 { a.mp3, b.mp3 }, both existing.
        const std::string dir = testsupport::MakeTempDir("files");
        testsupport::WriteFile(dir + "/a.mp3", "x");
        testsupport::WriteFile(dir + "/b.mp3", "x");
        fileGroup = new Group(u"默认分组", 1);
        fileStore.Append(fileGroup, nullptr, nullptr);
        fa = new MyFile(Utf8ToUtf16(dir + "/a.mp3"), 1, 0);
        fb = new MyFile(Utf8ToUtf16(dir + "/b.mp3"), 2, 0);
        fileStore.Append(fa, fileGroup, nullptr);
        fileStore.Append(fb, fileGroup, nullptr);
        files.group = fileGroup;
    }

    void TearDown() override {
        Pump();
        logic.reset();
        window.logic = nullptr;
    }

    void PlaySelected(TreeNode* item) {
        logic->PlayItemRequest(item);
        Pump();
    }
    void State(int s) {
        engine.PostState(s);
        Pump();
    }
    int Count(const std::u16string& status) const {
        int n = 0;
        for (const auto& s : display.statuses) n += s == status;
        return n;
    }

    LogicWindow window;
    FakeEngine engine;
    CMedia media;
    ManualClock clock;
    RecordingDisplay display;
    RecordingSpectrum spectrum;
    RecordingControls controls;
    RecordingRecordButton record;
    RecordingTray tray;
    RecordingTips tips;
    RecordingTrees trees;
    FilePanel files;
    RecordingSpeedTest speedTest;
    DataManagement catalogue;
    DataManagement fileStore;
    CRadio* r1 = nullptr;
    CRadio* r2 = nullptr;
    CRadio* r3 = nullptr;
    Group* fileGroup = nullptr;
    MyFile* fa = nullptr;
    MyFile* fb = nullptr;
    std::unique_ptr<CPlayStateLogic> logic;
};

TEST_F(PlayLogicTest, EngineIsCreatedWithSpectrumOptionAndSettings) {
    EXPECT_EQ(engine.options[LXOPTION_SPECTRUM], 1);
    EXPECT_EQ(engine.options[LXOPTION_BUFFER_TIME], CConfig::Instance().BufferTime);
}

TEST_F(PlayLogicTest, ElevenBrokenStreamsGiveTenReconnectsThenFailure) {
    PlaySelected(r1);
    EXPECT_EQ(display.statuses.back(), kStatusConnecting);
    EXPECT_TRUE(clock.Running(kConnectTimer));
    State(LXSTATE_PLAYING);
    EXPECT_EQ(display.statuses.back(), kStatusPlaying);
    const size_t opensBefore = engine.opened.size();
    for (int i = 0; i < 11; ++i) State(LXSTATE_ENDED);
    EXPECT_EQ(Count(kStatusReconnecting), 10);
    EXPECT_EQ(display.statuses.back(), kStatusFailed);
    EXPECT_EQ(engine.opened.size() - opensBefore, 10u);
    ASSERT_EQ(tips.connect.size(), 1u);
    EXPECT_EQ(tips.connect[0].text, u"抱歉对方电台网络故障,暂时未能连通,请稍后再试.");
    EXPECT_EQ(tips.connect[0].seconds, 5);
    EXPECT_FALSE(clock.Running(kConnectTimer));
}

TEST_F(PlayLogicTest, ReconnectCountStartsAgainAfterPlaying) {
    PlaySelected(r1);
    for (int i = 0; i < 9; ++i) State(LXSTATE_ENDED);
    State(LXSTATE_PLAYING);
    EXPECT_EQ(logic->ReconnectCount(), 0);
    State(LXSTATE_OPEN_FAILED);
    EXPECT_EQ(display.statuses.back(), kStatusReconnecting);
    ASSERT_FALSE(trees.catalogue.empty());
    EXPECT_EQ(trees.catalogue.back().second, -1);
}

TEST_F(PlayLogicTest, NoTrayNoConnectNotice) {
    tray.enabled = false;
    PlaySelected(r1);
    for (int i = 0; i < 11; ++i) State(LXSTATE_OPEN_FAILED);
    EXPECT_EQ(display.statuses.back(), kStatusFailed);
    EXPECT_TRUE(tips.connect.empty());
}

TEST_F(PlayLogicTest, StateOfAnOlderGenerationIsDropped) {
    PlaySelected(r1);
    const uint32_t old = engine.generation;
    PlaySelected(r2);  // Stop and Open: two newer generations
    const size_t opens = engine.opened.size();
    PostMessage(window.hwnd, LXMSG_STATE, LXSTATE_ENDED, static_cast<LPARAM>(old));
    PostMessage(window.hwnd, LXMSG_BUFFER, 50, static_cast<LPARAM>(old));
    Pump();
    EXPECT_EQ(engine.opened.size(), opens);
    EXPECT_EQ(logic->ReconnectCount(), 0);
    EXPECT_EQ(display.statuses.back(), kStatusConnecting);
}

TEST_F(PlayLogicTest, PausedFileResumesWithoutReopeningAnotherFileReopens) {
    logic->SetSelectedItem(fa);
    logic->PlayButtonClick();
    Pump();
    ASSERT_EQ(engine.opened.size(), 1u);
    State(LXSTATE_PLAYING);
    EXPECT_TRUE(controls.sliderShown);
    logic->PlayButtonClick();  // pause
    Pump();
    EXPECT_EQ(engine.pauses, 1);
    EXPECT_EQ(logic->PlayState(), LXSTATE_PAUSED);
    EXPECT_EQ(display.statuses.back(), kStatusPaused);
    EXPECT_TRUE(display.pausePicture);

    logic->PlayButtonClick();  // resume
    Pump();
    EXPECT_EQ(engine.opened.size(), 1u);
    EXPECT_EQ(logic->PlayState(), LXSTATE_PLAYING);

    logic->PlayButtonClick();
    Pump();
    ASSERT_EQ(logic->PlayState(), LXSTATE_PAUSED);
    logic->SetSelectedItem(fb);
    logic->PlayButtonClick();
    Pump();
    ASSERT_EQ(engine.opened.size(), 2u);
    EXPECT_EQ(engine.opened.back(), fb->GetUrl());
}

TEST_F(PlayLogicTest, MissingFileFailsAndPlaysTheNextOne) {
    DeleteFileAt(fa->GetUrl());
    PlaySelected(fa);
    EXPECT_TRUE(engine.opened.empty() || engine.opened.back() != fa->GetUrl());
    ASSERT_FALSE(engine.opened.empty());
    EXPECT_EQ(engine.opened.back(), fb->GetUrl());
    EXPECT_EQ(media.GetCurrentItem(), fb);
}

TEST_F(PlayLogicTest, NextAndPreviousStopAtTheEnds) {
    PlaySelected(r3);  // the last station of the catalogue
    size_t opens = engine.opened.size();
    logic->Next();
    Pump();
    EXPECT_EQ(engine.opened.size(), opens);
    EXPECT_EQ(media.GetCurrentItem(), r3);
    EXPECT_EQ(logic->Neighbour(true), nullptr);

    logic->Previous();  // crosses into the previous group
    Pump();
    EXPECT_EQ(media.GetCurrentItem(), r2);
    ASSERT_FALSE(trees.selected.empty());
    EXPECT_EQ(trees.selected.back().first, r2);
    EXPECT_FALSE(trees.selected.back().second);

    PlaySelected(fa);  // the first file of its list
    opens = engine.opened.size();
    logic->Previous();
    Pump();
    EXPECT_EQ(engine.opened.size(), opens);
    logic->Next();
    Pump();
    EXPECT_EQ(media.GetCurrentItem(), fb);
    ASSERT_FALSE(files.selected.empty());
    EXPECT_EQ(files.selected.back(), fb);
}

TEST_F(PlayLogicTest, VolumeStaysInRangeAndIgnoresKeysWhileMuted) {
    logic->SetWindowVolume(99, true);
    EXPECT_EQ(display.volumeSlider, 99);
    logic->VolumeUp();
    EXPECT_EQ(logic->Volume(), 100);
    EXPECT_EQ(engine.volume, 100);
    EXPECT_EQ(CConfig::Instance().Volume, 100);
    EXPECT_EQ(display.volumeSlider, 99);  // keys do not move the slider
    logic->SetWindowVolume(1, false);
    logic->VolumeDown();
    EXPECT_EQ(logic->Volume(), 0);

    logic->SetWindowVolume(50, false);
    logic->ToggleMute();
    EXPECT_TRUE(engine.mute);
    EXPECT_TRUE(display.muteLook);
    EXPECT_EQ(CConfig::Instance().Mutx, 1);
    logic->VolumeUp();
    logic->VolumeDown();
    EXPECT_EQ(logic->Volume(), 50);
    logic->SetWindowVolume(70, false);  // stored, not passed on while muted
    EXPECT_EQ(engine.volume, 50);
    logic->ToggleMute();
    EXPECT_FALSE(engine.mute);
    EXPECT_EQ(engine.volume, 70);
}

TEST_F(PlayLogicTest, TrayTipCutsLongNames) {
    struct Case {
        std::u16string name;
        std::u16string tip;
    } cases[] = {
        {u"", u""},
        {std::u16string(30, u'台'), std::u16string(30, u'台')},
        {std::u16string(31, u'台'), std::u16string(30, u'台') + u"..."},
        {u"abcdefghijklmnopqrstuvwxyz0123456789", u"abcdefghijklmnopqrstuvwxyz0123..."},
    };
    for (const Case& c : cases) EXPECT_EQ(TrayTipText(c.name), c.tip);

    r1->SetName(std::u16string(31, u'a'));
    PlaySelected(r1);
    clock.tick += 1234;
    State(LXSTATE_CONNECTED);
    ASSERT_FALSE(tray.tips.empty());
    EXPECT_EQ(tray.tips.back(), std::u16string(30, u'a') + u"...");
    ASSERT_FALSE(trees.catalogue.empty());
    EXPECT_EQ(trees.catalogue.back().first, r1);
    EXPECT_EQ(trees.catalogue.back().second, 1234);
}

TEST_F(PlayLogicTest, ConnectTimeGoesToTheFavouritesAsWell) {
    trees.favouriteNames[u"one"] = 1;
    PlaySelected(r1);
    clock.tick += 800;
    State(LXSTATE_CONNECTED);
    ASSERT_EQ(trees.favourites.size(), 1u);
    EXPECT_EQ(trees.favourites[0].second, 800);

    DataManagement favs;
    auto* root = new Group(kFavouritesRoot, 0);
    favs.Append(root, nullptr, nullptr);
    CRadio* f = MakeRadio(u"fav", u"http://127.0.0.1:1/fav", 9);
    favs.Append(f, root, nullptr);
    const size_t catalogueBefore = trees.catalogue.size();
    PlaySelected(f);
    State(LXSTATE_OPEN_FAILED);
    EXPECT_EQ(trees.catalogue.size(), catalogueBefore);
    EXPECT_EQ(trees.favourites.back().first, u"fav");
    EXPECT_EQ(trees.favourites.back().second, -1);
    logic->StopRequest();
}

TEST_F(PlayLogicTest, SpectrumTwentyMsApartIsDrawnAtMostEvery40Ms) {
    PlaySelected(r1);
    State(LXSTATE_PLAYING);
    engine.PostSpectrum(8);  // no position yet: not drawn
    Pump();
    EXPECT_TRUE(spectrum.draws.empty());
    engine.PostPosition(20000000);
    Pump();
    EXPECT_EQ(display.led, 2);
    std::vector<uint64_t> drawnAt;
    for (int i = 0; i < 20; ++i) {
        clock.tick += 20;
        const size_t before = spectrum.draws.size();
        engine.PostSpectrum(8);
        Pump();
        if (spectrum.draws.size() != before) drawnAt.push_back(clock.tick);
    }
    ASSERT_GE(drawnAt.size(), 6u);
    for (size_t i = 1; i < drawnAt.size(); ++i) EXPECT_GT(drawnAt[i] - drawnAt[i - 1], 40u);
}

TEST_F(PlayLogicTest, ConnectAnimationCyclesDots) {
    PlaySelected(r1);
    std::vector<std::u16string> shown;
    for (int i = 0; i < 5; ++i) {
        logic->HandleMessage(WM_TIMER, kConnectTimer, 0, nullptr);
        shown.push_back(logic->Status());
    }
    EXPECT_EQ(shown, (std::vector<std::u16string>{u"正在连接", u"正在连接.", u"正在连接..", u"正在连接...", u"正在连接"}));
    engine.PostBuffer(40);
    Pump();
    EXPECT_EQ(display.percent, u"40%");
    EXPECT_EQ(logic->Status(), kStatusBuffering);
    logic->HandleMessage(WM_TIMER, kConnectTimer, 0, nullptr);
    EXPECT_EQ(logic->Status(), kStatusBuffering);
    engine.PostBuffer(100);
    Pump();
    EXPECT_EQ(logic->Status(), kStatusPlaying);
}

TEST_F(PlayLogicTest, PlayingShowsBitRateAndEnablesRecordingForRadios) {
    engine.info.bitRate = 128;
    PlaySelected(r1);
    EXPECT_FALSE(record.enabled);
    State(LXSTATE_PLAYING);
    EXPECT_EQ(display.bitRate, u"128Kbps");
    EXPECT_EQ(display.title, u"one");
    EXPECT_TRUE(record.enabled);
    EXPECT_TRUE(logic->IsPlaying());
    logic->PlayButtonClick();  // stop for a radio
    Pump();
    EXPECT_FALSE(logic->IsPlaying());
    EXPECT_EQ(media.GetCurrentItem(), nullptr);
    EXPECT_EQ(display.statuses.back(), kStatusReady);
    EXPECT_FALSE(record.enabled);
    EXPECT_EQ(tray.tips.back(), kAppTitle);
}

TEST_F(PlayLogicTest, RecordFileNames) {
    const LocalTime t{2024, 3, 5, 7, 8, 9};
    struct Case {
        std::u16string name;
        std::u16string file;
    } cases[] = {
        {u"a/b:c", u"a_b_c_2024-3-5_7_8_9.mp3"},
        {u"", u"temp_2024-3-5_7_8_9.mp3"},
        {u"\\'*?\"<>|", u"_________2024-3-5_7_8_9.mp3"},
        {std::u16string(u"x\0y", 3), u"x_y_2024-3-5_7_8_9.mp3"},
        {u"中文台", u"中文台_2024-3-5_7_8_9.mp3"},
    };
    for (const Case& c : cases) EXPECT_EQ(RecordFileName(u"/r/", c.name, t), u"/r/" + c.file);

    // Long names are shortened, never the time or the extension.
    const std::u16string longName(200, u'台');
    const std::u16string path = RecordFileName(u"/r/", longName, t);
    EXPECT_LE(path.size(), 255u);
    EXPECT_LE(Utf16ToUtf8(FileNameOf(path)).size(), 255u);
    const std::u16string suffix = u"_2024-3-5_7_8_9.mp3";
    EXPECT_EQ(path.substr(path.size() - suffix.size()), suffix);
    EXPECT_EQ(path.substr(0, 4), u"/r/台");
    // A folder too deep for the limit keeps its place; the time and extension stay whole.
    const std::u16string deep = u"/" + std::u16string(240, u'd') + u"/";
    const std::u16string deepPath = RecordFileName(deep, u"abcdefghijklmnop", t);
    EXPECT_EQ(deepPath.substr(deepPath.size() - suffix.size()), suffix);
}

TEST_F(PlayLogicTest, RecordingStartsStopsAndEntersTheFirstList) {
    r1->SetName(u"a/b:c");
    PlaySelected(r1);
    State(LXSTATE_PLAYING);
    logic->RecordCommand();
    const std::u16string folder = MusicFolder() + u"/录音/";
    EXPECT_EQ(CConfig::Instance().RecordFilePath, folder);
    ASSERT_EQ(engine.records.size(), 1u);
    EXPECT_EQ(engine.records[0], folder + u"a_b_c_2024-3-5_7_8_9.mp3");
    EXPECT_TRUE(media.IsRecording());
    ASSERT_EQ(tips.tips.size(), 1u);
    EXPECT_EQ(tips.tips[0].text, u"开始录音\n保存在:默认分组");
    EXPECT_EQ(tips.tips[0].seconds, 4);
    EXPECT_EQ(tips.tips[0].title, kAppTitle);
    EXPECT_TRUE(record.pressed);
    EXPECT_TRUE(display.recordPicture);
    EXPECT_EQ(clock.timers[kRecordLimitTimer], kRecordLimitMs);
    ASSERT_NE(logic->RecordingFile(), nullptr);
    EXPECT_EQ(logic->RecordingFile()->GetParent(), fileGroup);
    EXPECT_EQ(files.tabShown, 1);

    // Neither the file nor its list can be removed while recording.
    EXPECT_FALSE(logic->OnItemRemoving(logic->RecordingFile()));
    EXPECT_FALSE(logic->OnItemRemoving(fileGroup));

    logic->RecordCommand();
    EXPECT_FALSE(media.IsRecording());
    EXPECT_EQ(tips.tips.back().text, u"停止录音");
    EXPECT_EQ(tips.tips.back().seconds, 4);
    EXPECT_FALSE(record.pressed);
    EXPECT_FALSE(clock.Running(kRecordLimitTimer));
    EXPECT_TRUE(logic->OnItemRemoving(fileGroup));
}

TEST_F(PlayLogicTest, RecordingStopsByItselfAfterTwoHours) {
    PlaySelected(r1);
    State(LXSTATE_PLAYING);
    logic->RecordCommand();
    ASSERT_TRUE(media.IsRecording());
    const int stopsBefore = engine.record_stops;
    logic->HandleMessage(WM_TIMER, kRecordLimitTimer, 0, nullptr);
    EXPECT_FALSE(media.IsRecording());
    EXPECT_EQ(engine.record_stops, stopsBefore + 1);
    EXPECT_EQ(tips.tips.back().text, u"已经录音超过两小时,自动停止!");
    EXPECT_EQ(tips.tips.back().seconds, -1);
    EXPECT_FALSE(record.pressed);
    EXPECT_FALSE(display.recordPicture);
    EXPECT_EQ(logic->RecordStartTick(), 0u);
    EXPECT_FALSE(clock.Running(kRecordLimitTimer));
}

TEST_F(PlayLogicTest, RecordButtonWhileNotPlayingOnlyStops) {
    PlaySelected(r1);
    logic->RecordCommand();  // connecting, not playing yet
    EXPECT_TRUE(engine.records.empty());
    EXPECT_TRUE(tips.tips.empty());
}

TEST_F(PlayLogicTest, UnwritableRecordingFolderShowsNoStartNotice) {
    const std::string blocker = testsupport::TempRoot() + "/blocker";
    testsupport::WriteFile(blocker, "a file where a folder should be");
    CConfig::Instance().RecordFilePath = Utf8ToUtf16(blocker + "/sub");
    std::vector<std::string> traces;
    TraceSink old = SetTraceSink([&traces](const std::string& line) { traces.push_back(line); });
    PlaySelected(r1);
    State(LXSTATE_PLAYING);
    logic->RecordCommand();
    SetTraceSink(old);
    EXPECT_FALSE(media.IsRecording());
    EXPECT_TRUE(tips.tips.empty());
    EXPECT_FALSE(record.pressed);
    EXPECT_FALSE(traces.empty());
}

TEST_F(PlayLogicTest, StoppingPlaybackEndsTheRecordingWithItsNotice) {
    PlaySelected(r1);
    State(LXSTATE_PLAYING);
    logic->RecordCommand();
    PlaySelected(r2);
    EXPECT_FALSE(media.IsRecording());
    EXPECT_EQ(tips.tips.back().text, u"停止录音");
    EXPECT_EQ(tips.tips.back().seconds, -1);
}

TEST_F(PlayLogicTest, RemovingTheGroupOfTheCurrentStationStopsIt) {
    PlaySelected(r1);
    State(LXSTATE_PLAYING);
    logic->SetSelectedItem(r2);
    EXPECT_TRUE(logic->OnItemRemoving(r1->GetParent()));
    EXPECT_EQ(logic->GetSelectedItem(), nullptr);
    EXPECT_EQ(media.GetCurrentItem(), nullptr);
    EXPECT_FALSE(logic->IsPlaying());
}

TEST_F(PlayLogicTest, SeekOnlyForFilesWhilePlayingOrPaused) {
    engine.info.duration = 1000000000;  // 100 s
    PlaySelected(fa);
    logic->OnPositionSlider(4, 50);
    EXPECT_TRUE(engine.seeks.empty());  // not playing yet
    State(LXSTATE_PLAYING);
    logic->OnPositionSlider(2, 10);
    engine.PostPosition(100000000);  // 10 s: the slider is being dragged
    Pump();
    EXPECT_EQ(display.led, 10);
    EXPECT_NE(controls.slider, 11);
    logic->OnPositionSlider(4, 50);
    ASSERT_EQ(engine.seeks.size(), 1u);
    EXPECT_EQ(engine.seeks[0], 500000000);
    engine.PostPosition(100000000);
    Pump();
    EXPECT_EQ(controls.slider, 11);
}

TEST_F(PlayLogicTest, StopRequestFromTheCompanion) {
    PlaySelected(r1);
    State(LXSTATE_PLAYING);
    engine.PostPosition(50000000);
    Pump();
    EXPECT_EQ(display.led, 5);
    PostMessage(window.hwnd, WM_LX_STOP_REQUEST, 1, 0);
    engine.PostPosition(60000000);  // still queued when the stop request is handled
    Pump();
    EXPECT_EQ(media.GetCurrentItem(), nullptr);
    EXPECT_EQ(display.statuses.back(), kStatusReady);
    EXPECT_EQ(display.led, 0);
}

TEST_F(PlayLogicTest, LastPlayRecordAndRecentListOnEveryPlay) {
    storagetest::FreshDatabase("recent");
    CLastListManagement recent;
    ASSERT_TRUE(recent.Load());
    LastPlayStore lastPlay;
    logic->AttachStores(&lastPlay, &recent);
    PlaySelected(r2);
    EXPECT_EQ(lastPlay.Record().id, 2);
    EXPECT_EQ(lastPlay.Record().groupPath, u"1000000|");
    EXPECT_EQ(lastPlay.Record().name, u"two");
    EXPECT_EQ(lastPlay.Record().type, LastPlayRecord::kCatalogueStation);
    ASSERT_NE(recent.Root(), nullptr);
    ASSERT_NE(recent.Root()->GetFirstChild(), nullptr);
    EXPECT_EQ(recent.Root()->GetFirstChild()->GetUrl(), r2->GetUrl());

    // Playing from the recent list itself does not add a second entry.
    PlaySelected(recent.Root()->GetFirstChild());
    int entries = 0;
    for (TreeNode* n = recent.Root()->GetFirstChild(); n; n = n->GetNext()) ++entries;
    EXPECT_EQ(entries, 1);

    PlaySelected(fb);
    EXPECT_EQ(lastPlay.Record().type, LastPlayRecord::kLocalFile);
    EXPECT_EQ(lastPlay.Record().id, 2);
    EXPECT_EQ(lastPlay.Record().groupPath, u"1|");
    logic->StopRequest();
    logic->AttachStores(nullptr, nullptr);
    SqlWriteQueue::DestroyInstance();
}

TEST_F(PlayLogicTest, SpeedTestMeasuresEveryStationAndEnds) {
    FakeEngine::measure_results = {{r1->GetUrl(), 300}, {r3->GetUrl(), 9000}};
    logic->StartSpeedTest();
    EXPECT_FALSE(logic->IsSpeedTestIdle());
    EXPECT_TRUE(speedTest.shown);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return logic->IsSpeedTestIdle() && !speedTest.shown; }));
    ASSERT_EQ(trees.catalogue.size(), 3u);
    EXPECT_EQ(trees.catalogue[0], std::make_pair(r1, 300));
    EXPECT_EQ(trees.catalogue[1], std::make_pair(r2, -1));
    EXPECT_EQ(trees.catalogue[2], std::make_pair(r3, 9000));
    EXPECT_EQ(speedTest.texts.back(), u"正在测试: three");
}

TEST_F(PlayLogicTest, SpeedTestOfTheSelectedGroupAndItsStopButton) {
    trees.selection = r3->GetParent();
    logic->StartSpeedTest();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return logic->IsSpeedTestIdle(); }));
    ASSERT_EQ(trees.catalogue.size(), 1u);
    EXPECT_EQ(trees.catalogue[0].first, r3);

    ASSERT_TRUE(testsupport::WaitUntil([&] { return !logic->IsSpeedTestRunning(); }));
    trees.selection = nullptr;
    logic->StartSpeedTest();
    EXPECT_TRUE(logic->IsSpeedTestRunning());
    logic->StopSpeedTest();
    EXPECT_TRUE(logic->IsSpeedTestIdle());
    EXPECT_FALSE(speedTest.shown);
}

// A window on another thread standing in for the companion application.
class CompanionWindow : public IWindowProc {
public:
    CompanionWindow() {
        thread_ = std::thread([this] {
            hwnd_ = CreateMessageWindow(this);
            ready_ = true;
            MSG msg;
            while (GetMessage(&msg)) DispatchMessage(msg);
            DestroyWindow(hwnd_);
        });
        testsupport::WaitUntil([this] { return ready_.load(); });
    }
    ~CompanionWindow() {
        PostMessage(hwnd_, WM_CLOSE, 0, 0);
        thread_.join();
    }
    LRESULT WindowProc(HWND, UINT msg, WPARAM w, LPARAM) override {
        if (msg == WM_LX_STOP_REQUEST && w == 1) ++stops;
        if (msg == WM_CLOSE) PostQuitMessage(0);
        return 0;
    }
    HWND hwnd() const { return hwnd_; }
    std::atomic<int> stops{0};

private:
    std::thread thread_;
    HWND hwnd_ = nullptr;
    std::atomic<bool> ready_{false};
};

uint32_t Value(HWND h) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h)); }

TEST_F(PlayLogicTest, PlaybackIsAnnouncedThroughBothBlocks) {
    SharedMemory exchange;
    ASSERT_TRUE(exchange.Create(kDataExchangeName, kDataExchangeSize));
    EXPECT_TRUE(exchange.AlreadyExisted());
    EXPECT_EQ(ReadBlockHandle(exchange.data(), kDataExchangeOwnWindow), Value(window.hwnd));

    PlaySelected(r1);  // creates the companion block
    SharedMemory block;
    ASSERT_TRUE(block.Open(kExeInterfaceName, kExeInterfaceSize));
    EXPECT_EQ(ReadBlockHandle(block.data(), kExeInterfaceCompanionWindow), 0xFFFFFFFFu);
    EXPECT_EQ(ReadBlockHandle(block.data(), kExeInterfaceOwnWindow), Value(window.hwnd));

    CompanionWindow companion;
    WriteBlockHandle(block.data(), kExeInterfaceCompanionWindow, Value(companion.hwnd()));
    WriteBlockHandle(exchange.data(), kDataExchangeCompanionWindow, Value(companion.hwnd()));
    PlaySelected(r2);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return companion.stops == 2; }));

    // Our own handle in the companion fields must not stop ourselves.
    WriteBlockHandle(block.data(), kExeInterfaceCompanionWindow, Value(window.hwnd));
    WriteBlockHandle(exchange.data(), kDataExchangeCompanionWindow, Value(window.hwnd));
    PlaySelected(r3);
    EXPECT_EQ(media.GetCurrentItem(), r3);
}

TEST_F(PlayLogicTest, AnnouncingToAWindowThatIsGoneDoesNothing) {
    HWND gone;
    {
        CompanionWindow companion;
        gone = companion.hwnd();
    }
    SharedMemory exchange;
    ASSERT_TRUE(exchange.Create(kDataExchangeName, kDataExchangeSize));
    WriteBlockHandle(exchange.data(), kDataExchangeCompanionWindow, Value(gone));
    PlaySelected(r1);
    SharedMemory block;
    ASSERT_TRUE(block.Open(kExeInterfaceName, kExeInterfaceSize));
    WriteBlockHandle(block.data(), kExeInterfaceCompanionWindow, Value(gone));
    PlaySelected(r2);
    EXPECT_EQ(media.GetCurrentItem(), r2);
    EXPECT_EQ(display.statuses.back(), kStatusConnecting);
}

TEST(MediaTest, WithoutEngineCallsAreSkipped) {
    CMedia media;
    EXPECT_FALSE(media.CreateEngine());
    media.SetVolume(150);
    EXPECT_EQ(media.GetVolume(), 100);
    media.SetVolume(-5);
    EXPECT_EQ(media.GetVolume(), 0);
    media.SetState(3);
    EXPECT_EQ(media.GetState(), -1);
    media.Stop();
    media.StopRecord(true, 4);
    EXPECT_EQ(media.StopRecordForRecognition(), LX_E_FAIL);
    EXPECT_FALSE(media.StartRecord(Utf8ToUtf16(testsupport::TempRoot() + "/x/y.mp3"), 0, 4));
    EXPECT_EQ(media.GetCurrentName(), u"");
    EXPECT_EQ(media.GetPositionPercent(5), 0);
    EXPECT_EQ(media.SetProxy(u"127.0.0.1:1080", LXPROXY_SOCKS5, 1), LX_FALSE);
}

TEST(MediaTest, ProxyGivenBeforeTheEngineIsAppliedAtCreation) {
    FakeEngine engine;
    FakeEngine::next = &engine;
    CMedia media;
    media.UseEngineExports(&FakeEngine::Create, &FakeEngine::Measure);
    media.SetProxy(u"127.0.0.1:1080", LXPROXY_SOCKS5, 1);
    ASSERT_TRUE(media.CreateEngine());
    ASSERT_EQ(engine.proxies.size(), 1u);
    EXPECT_EQ(engine.proxies[0], u"127.0.0.1:1080");
    EXPECT_EQ(media.SetProxy(u"", LXPROXY_HTTP, 0), LX_OK);
    EXPECT_EQ(engine.proxies.size(), 2u);
}

TEST(MediaTest, LibraryFoldersInOrder) {
    CMedia media;
    unsigned char block[kDataExchangeSize] = {};
    const std::u16string companion = u"/opt/companion";
    for (size_t i = 0; i < companion.size(); ++i) {
        block[kDataExchangeCompanionFolder + 2 * i] = static_cast<unsigned char>(companion[i] & 0xFF);
        block[kDataExchangeCompanionFolder + 2 * i + 1] = static_cast<unsigned char>(companion[i] >> 8);
    }
    media.SetDataExchange(block);
    const std::vector<std::u16string> folders = media.EngineLibraryFolders();
    ASSERT_GE(folders.size(), 2u);
    EXPECT_EQ(folders[0], ProgramFolder());
    EXPECT_EQ(folders[1], companion);
}

}  // namespace
