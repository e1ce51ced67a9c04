// Recording fakes of every view the play-state logic drives, a manual clock with timers, and a
// window that routes its messages to the logic, for the playback tests.
// Threading: the test's main thread.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "engine/include/LXPlayer.h"
#include "platform/Message.h"
#include "playback/PlayStateLogic.h"
#include "playback/PlayViews.h"

struct RecordingDisplay : INowPlayingDisplay {
    void SetStatus(const std::u16string& t) override { statuses.push_back(t); }
    void SetTitle(const std::u16string& t) override { title = t; }
    void SetLedTime(int64_t s) override { led = s; }
    void SetBitRate(const std::u16string& t) override { bitRate = t; }
    void SetPercent(const std::u16string& t) override { percent = t; }
    void ShowPlayPicture(bool s) override { playPicture = s; }
    void ShowPausePicture(bool s) override { pausePicture = s; }
    void ShowRecordPicture(bool s) override { recordPicture = s; }
    void SetVolumeSlider(int v) override { volumeSlider = v; }
    void SetMuteLook(bool m) override { muteLook = m; }
    std::vector<std::u16string> statuses;
    std::u16string title, bitRate, percent;
    int64_t led = -1;
    bool playPicture = false, pausePicture = false, recordPicture = false, muteLook = false;
    int volumeSlider = -1;
};

struct RecordingSpectrum : ISpectrumView {
    void DrawSpectrum(const float*, int count) override { draws.push_back(count); }
    void ClearSpectrum() override { ++clears; }
    std::vector<int> draws;
    int clears = 0;
};

struct RecordingControls : IPlayControls {
    void SetPlayButtonPlaying(bool p) override { playLook = p; }
    void SetPositionSlider(int v) override { slider = v; }
    void EnablePositionSlider(bool e) override { sliderEnabled = e; }
    void ShowPositionSlider(bool s) override { sliderShown = s; }
    bool playLook = false, sliderEnabled = false, sliderShown = false;
    int slider = -1;
};

struct RecordingRecordButton : IRecordButton {
    void EnableRecordButton(bool e) override { enabled = e; }
    void SetRecordPressed(bool p) override { pressed = p; }
    bool enabled = false, pressed = false;
};

struct RecordingTray : ITrayTip {
    void SetTrayTip(const std::u16string& t) override { tips.push_back(t); }
    bool IsTrayEnabled() const override { return enabled; }
    std::vector<std::u16string> tips;
    bool enabled = true;
};

struct ShownTip {
    std::u16string text;
    int seconds;
    std::u16string title;
};

struct RecordingTips : ITipWindows {
    void ShowTip(const std::u16string& t, int s, const std::u16string& title) override { tips.push_back({t, s, title}); }
    void ShowConnectTip(const std::u16string& t, int s) override { connect.push_back({t, s, u""}); }
    std::vector<ShownTip> tips, connect;
};

struct RecordingTrees : IStationTrees {
    void SetCatalogueSpeed(CRadio* station, int ms) override { catalogue.push_back({station, ms}); }
    void SetFavouriteSpeed(const std::u16string& name, int ms) override { favourites.push_back({name, ms}); }
    bool InFavourites(const std::u16string& name) const override { return favouriteNames.count(name) != 0; }
    void SelectStation(TreeNode* s, bool fav) override { selected.push_back({s, fav}); }
    TreeNode* CatalogueSelection() const override { return selection; }
    TreeNode* CatalogueFirst() const override { return catalogueFirst; }
    TreeNode* FavouritesFirst() const override { return favouritesFirst; }
    std::vector<std::pair<CRadio*, int>> catalogue;
    std::vector<std::pair<std::u16string, int>> favourites;
    std::map<std::u16string, int> favouriteNames;
    std::vector<std::pair<TreeNode*, bool>> selected;
    TreeNode* selection = nullptr;
    TreeNode* catalogueFirst = nullptr;
    TreeNode* favouritesFirst = nullptr;
};

struct RecordingSpeedTest : ISpeedTestView {
    void ShowSpeedTest(bool s) override { shown = s; }
    void SetSpeedTestText(const std::u16string& t) override { texts.push_back(t); }
    bool shown = false;
    std::vector<std::u16string> texts;
};

class ManualClock : public IPlayClock {
public:
    uint64_t TickMs() override { return tick; }
    LocalTime Now() override { return now; }
    void SetTimer(unsigned id, unsigned ms) override { timers[id] = ms; }
    void KillTimer(unsigned id) override { timers.erase(id); }
    bool Running(unsigned id) const { return timers.count(id) != 0; }

    uint64_t tick = 1000;
    LocalTime now{2024, 3, 5, 7, 8, 9};
    std::map<unsigned, unsigned> timers;
};

// A message window that hands every message to the logic (set after both exist).
class LogicWindow : public IWindowProc {
public:
    LogicWindow() { hwnd = CreateMessageWindow(this); }
    ~LogicWindow() { DestroyWindow(hwnd); }
    LRESULT WindowProc(HWND, UINT msg, WPARAM w, LPARAM l) override {
        LRESULT r = 0;
        if (logic) {
            logic->HandleMessage(msg, w, l, &r);
        } else if (msg == LXMSG_SPECTRUM) {
            LXFreeNotifyValues(reinterpret_cast<const void*>(w));
        }
        return r;
    }
    HWND hwnd = nullptr;
    CPlayStateLogic* logic = nullptr;
};

// Dispatches everything queued for this thread.
inline void Pump() {
    MSG msg;
    while (PeekMessage(&msg, true)) {
        if (msg.message == WM_QUIT) break;
        DispatchMessage(msg);
    }
}
