// The main window's play-state logic: play, stop, pause, next and previous requests, volume,
// mute and seek, the reactions to every engine notification (status texts, reconnecting,
// station speeds), the connect animation, the speed test, manual recording with its two-hour
// limit, and on every play the last-play record and the recent list. The main window owns one,
// routes its messages here and implements the views (PlayViews).
// Threading: main window's thread only, except the speed-test worker it starts, which reads
// only speed_entries_ (guarded by speed_mutex_) and the atomics, and reaches the window by
// posted messages and CMedia::MeasureSpeed's send.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Message.h"
#include "platform/Sync.h"
#include "playback/IPlayClock.h"
#include "playback/PlayViews.h"

class CLastListManagement;
class CMedia;
class LastPlayStore;
class MyFile;
class SharedMemory;
class TreeNode;

// Main-window messages and timers of this logic.
constexpr UINT WM_LX_SPEED_TEST_DONE = 5051;   // the speed-test worker ended
constexpr UINT WM_LX_SPEED_TEST_ITEM = 5052;   // wParam TreeNode*: now testing this station
constexpr UINT WM_LX_ITEM_REMOVING = 5029;     // wParam TreeNode* about to be removed; result 0 refuses
constexpr UINT_PTR kRecordLimitTimer = 3;
constexpr UINT kRecordLimitMs = 7200000;
constexpr UINT_PTR kConnectTimer = 4;
constexpr UINT kConnectTimerMs = 500;

// Texts the logic shows.
inline constexpr char16_t kAppTitle[] = u"洛新收音机";
inline constexpr char16_t kStatusReady[] = u"就绪";
inline constexpr char16_t kStatusPlaying[] = u"播放中";
inline constexpr char16_t kStatusPaused[] = u"暂停";
inline constexpr char16_t kStatusConnecting[] = u"正在连接";
inline constexpr char16_t kStatusReconnecting[] = u"重新连接";
inline constexpr char16_t kStatusFailed[] = u"连接失败";
inline constexpr char16_t kStatusBuffering[] = u"缓冲中:";
inline constexpr char16_t kFavouritesRoot[] = u"我的最爱";

// The tray tip for a station name: at most 30 characters, longer names cut and ended with "...".
std::u16string TrayTipText(const std::u16string& name);

class CPlayStateLogic {
public:
    static constexpr int kMaxReconnects = 10;

    // `media` must already have its notify window (the main window). Takes volume and mute from
    // the configuration and creates (or opens) the data-exchange block.
    CPlayStateLogic(CMedia& media, const PlayViews& views, IPlayClock& clock);
    // Stops the speed test and waits for its worker.
    ~CPlayStateLogic();
    CPlayStateLogic(const CPlayStateLogic&) = delete;
    CPlayStateLogic& operator=(const CPlayStateLogic&) = delete;

    // The stores written on every play; either may be null.
    void AttachStores(LastPlayStore* lastPlay, CLastListManagement* recent);
    // Late initialisation: publishes the main window in the data-exchange block, creates the engine.
    bool LateInit();

    // The item a play request refers to.
    void SetSelectedItem(TreeNode* item) { selected_ = item; }
    TreeNode* GetSelectedItem() const { return selected_; }

    void PlayRequest();
    // A tree or the file panel asks to play `item` (5024).
    void PlayItemRequest(TreeNode* item);
    void PlayButtonClick();
    void StopRequest();
    void PauseRequest();
    void Next();
    void Previous();
    // The station or file Next (forward) or Previous would play; null when there is none.
    TreeNode* Neighbour(bool forward) const;

    void SetWindowVolume(int volume, bool moveSlider);
    void VolumeUp();
    void VolumeDown();
    void SetWindowMute(bool mute);
    void ToggleMute();
    // The position slider's notification: codes 2, 3, 5 while dragging, 4 on release (value 0..100).
    void OnPositionSlider(int code, int value);

    void RecordCommand();
    void StartSpeedTest();
    void StopSpeedTest();
    // 5029: true allows the removal.
    bool OnItemRemoving(TreeNode* item);

    // Handles this logic's messages (engine notifications, 5035, 5036, 5050-5052, 5065, 5029 and
    // timers 3 and 4); false for anything else.
    bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);

    int PlayState() const { return play_state_; }
    bool IsPlaying() const { return playing_; }
    int ReconnectCount() const { return reconnects_; }
    int Volume() const { return volume_; }
    bool IsSpeedTestIdle() const { return speed_idle_; }
    // The worker has not ended yet (it may still finish a measurement after the stop button).
    bool IsSpeedTestRunning() const { return speed_running_; }
    MyFile* RecordingFile() const { return recording_file_; }
    uint64_t RecordStartTick() const { return record_start_tick_; }
    const std::u16string& Status() const { return status_; }

private:
    struct SpeedEntry {
        TreeNode* item;
        std::u16string address;
        std::u16string name;
        bool removed = false;
    };

    void OnState(int state);
    void OnBuffer(int percent);
    void OnPosition(int64_t position);
    void OnSpectrum(const float* values, int count);
    void OnConnectTimer();
    void OnRecordLimit();
    void OnRecordStarted(const char16_t* group, int seconds);
    void OnRecordStopped(int seconds);
    void OnSpeedMeasured(TreeNode* item, int ms);
    void OnSpeedTestItem(TreeNode* item);
    void OnSpeedTestDone();

    void SetStatus(const std::u16string& text);
    void ReconnectOrFail();
    void StoreSpeed(TreeNode* station, int ms);
    void RecordPlay(TreeNode* item);
    void PlayNextFile();
    void MoveTo(bool forward);
    void SpeedWorker();
    void JoinSpeedWorker();
    HWND Window() const;

    CMedia& media_;
    PlayViews views_;
    IPlayClock& clock_;
    LastPlayStore* last_play_ = nullptr;
    CLastListManagement* recent_ = nullptr;
    std::unique_ptr<SharedMemory> data_exchange_;

    int play_state_ = 0;
    bool playing_ = false;
    int reconnects_ = 0;
    int connect_anim_ = 0;
    uint64_t connect_start_ = 0;
    int64_t last_position_ = 0;  // 100 ns
    int volume_ = 100;
    bool dragging_ = false;
    bool spectrum_enabled_ = false;
    uint64_t last_spectrum_tick_ = 0;
    TreeNode* selected_ = nullptr;
    std::u16string status_;
    uint64_t record_start_tick_ = 0;
    MyFile* recording_file_ = nullptr;

    std::atomic<bool> speed_idle_{true};
    std::atomic<bool> speed_running_{false};  // the worker thread has not ended yet
    Event speed_stop_{false, false};
    Event speed_done_{false, false};
    std::thread speed_worker_;
    std::mutex speed_mutex_;
    std::vector<SpeedEntry> speed_entries_;  // guarded by speed_mutex_
};
