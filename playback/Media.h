// The playback controller: owns the one engine (libLXPlayer.so, loaded at run time), knows the
// current item, keeps volume, mute, play state and the recording flag, and tells the companion
// application through two shared blocks that this program starts playing.
// Threading: owned by the main window and used on its thread, except MeasureSpeed, which the
// speed-test worker calls; the library handle and exports are guarded by lib_mutex_.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/include/LXPlayer.h"
#include "platform/Message.h"

class SharedMemory;
class TreeNode;

// Messages CMedia sends to its notify window.
constexpr UINT WM_LX_RECORD_STARTED = 5035;  // wParam const char16_t* group name, lParam tip seconds
constexpr UINT WM_LX_RECORD_STOPPED = 5036;  // lParam tip seconds
constexpr UINT WM_LX_SPEED_MEASURED = 5050;  // wParam int milliseconds or -1, lParam TreeNode*
constexpr UINT WM_LX_STOP_REQUEST = 5065;    // a player asks the other one to stop (wParam 1)

// Names, sizes and offsets of the blocks shared with the companion application.
constexpr char16_t kDataExchangeName[] = u"Local\\LoxanDataExchange";
constexpr size_t kDataExchangeSize = 2106;
constexpr size_t kDataExchangeCompanionWindow = 10;  // uint32 handle, read
constexpr size_t kDataExchangeOwnWindow = 22;        // uint32 handle, written at late initialisation
constexpr size_t kDataExchangeCompanionFolder = 26;  // UTF-16, zero-terminated, read
constexpr char16_t kExeInterfaceName[] = u"Local\\LoxanExeInterface";
constexpr size_t kExeInterfaceSize = 1601;
constexpr size_t kExeInterfaceCompanionWindow = 1552;  // uint32; 0xFFFFFFFF when we created it
constexpr size_t kExeInterfaceOwnWindow = 1597;        // uint32, written on every Play

// A window handle as the shared blocks store it (32 bits, little-endian) and back.
uint32_t ReadBlockHandle(const void* block, size_t offset);
void WriteBlockHandle(void* block, size_t offset, uint32_t handle);

class CMedia {
public:
    CMedia();
    // Releases the engine, then unloads the library, then closes the companion block.
    ~CMedia();
    CMedia(const CMedia&) = delete;
    CMedia& operator=(const CMedia&) = delete;

    // The window that receives the engine's notifications and 5035/5036/5050.
    void SetNotifyWindow(HWND hwnd) { notify_ = hwnd; }
    HWND GetNotifyWindow() const { return notify_; }
    // The main window's data-exchange block (kDataExchangeSize bytes, not owned), or null.
    void SetDataExchange(void* block) { data_exchange_ = block; }
    // Audio output chosen at engine creation (LXOUTPUT_*); tests and headless runs pick the null one.
    void SetAudioOutput(int output) { audio_output_ = output; }
    // Seconds of audio buffered before playing, passed at engine creation.
    void SetBufferTime(int seconds) { buffer_time_ = seconds; }

    // Stores the item (null allowed) and hands it to the configuration object as the current item.
    void SetCurrentItem(TreeNode* item);
    TreeNode* GetCurrentItem() const { return current_; }
    const std::u16string& GetCurrentAddress() const { return address_; }

    // Folders searched for the library, first success wins: the program's folder, the companion's
    // folder from the data-exchange block, the companion's install path; then the system's
    // library path by bare name.
    std::vector<std::u16string> EngineLibraryFolders() const;
    // Loads once; true when the exports are available.
    bool LoadEngineLibrary();
    // Loads exactly this file (tests and tools that know where the engine is).
    bool LoadEngineLibraryFrom(const std::u16string& file);
    // Uses these exports instead of a library (tests with a scripted engine).
    void UseEngineExports(LXCreatePlayerEngineFn create, LXMeasureStreamSpeedFn measure);
    // Export CreatePlayerEngine, then the option step; false without library, export or engine.
    bool CreateEngine();
    bool HasEngine() const { return engine_ != nullptr; }

    // Announces playback, then opens and plays the current item (a paused file resumes).
    bool Play();
    // Reconnect: opens the current item again without stopping or announcing.
    bool Replay();
    void OpenCurrent();
    // Clears the duration, stops a recording (with notice) and the engine.
    void Stop();
    void Pause();
    void Seek(int64_t position_100ns);
    void SetMute(bool mute);
    bool GetMute() const { return mute_; }
    // Clamps to 0..100.
    void SetVolume(int volume);
    int GetVolume() const { return volume_; }
    void SetState(int state);
    int GetState() const { return play_state_; }
    // Bit rate in kbit/s from the engine's media info (0 until known).
    int GetBitRate();
    int64_t GetDuration() const { return info_.duration; }
    std::u16string GetCurrentName() const;
    // position * 100 / duration, 0 while the duration is unknown.
    int GetPositionPercent(int64_t position_100ns);

    // True when a state, buffer or title notification with this lParam belongs to the current
    // generation (0 = posted by the program itself).
    bool IsCurrentGeneration(LPARAM generation);

    // Creates the missing folders of `path`, then records to it as MP3; on success sends 5035
    // (wParam, lParam) to the notify window.
    bool StartRecord(const std::u16string& path, WPARAM wParam, LPARAM lParam);
    // With an engine: sends 5036 (0, lParam) first when recording and `notify`, then stops.
    void StopRecord(bool notify, LPARAM lParam);
    bool IsRecording() const { return recording_; }
    // Speed-test worker: the connect time of `address` in ms (or -1), sent as 5050 with `item`.
    int MeasureSpeed(TreeNode* item, const std::u16string& address);
    // Passes the proxy to the engine; remembered and applied again when the engine is created.
    LXRESULT SetProxy(const std::u16string& text, int type, int enabled);
    LXRESULT StopRecordForRecognition();
    // The engine for song recognition's own recording; null without engine.
    IPlayerEngine* Engine() const { return engine_; }

    // The post function handed to the engine: queues the message for the window in `context`.
    static bool PostNotification(void* context, uint32_t message, uintptr_t wParam, intptr_t lParam);

private:
    void Announce();
    HWND Reachable(uint32_t handle) const;
    bool EnsureEngine();
    bool LoadFile(const std::string& native_path);

    TreeNode* current_ = nullptr;
    IPlayerEngine* engine_ = nullptr;
    LXMediaInfo info_;
    int volume_ = 100;
    bool mute_ = false;
    int play_state_ = -1;
    HWND notify_ = nullptr;
    std::u16string address_;
    bool recording_ = false;
    std::unique_ptr<SharedMemory> companion_block_;  // kept open when this program created it
    unsigned char companion_copy_[kExeInterfaceSize] = {};
    void* data_exchange_ = nullptr;
    int audio_output_ = LXOUTPUT_DEVICE;
    int buffer_time_ = -1;
    bool proxy_set_ = false;
    std::u16string proxy_text_;
    int proxy_type_ = 0;
    int proxy_enabled_ = 0;

    // Guarded by lib_mutex_ (the worker loads the library for MeasureSpeed too).
    mutable std::mutex lib_mutex_;
    void* library_ = nullptr;
    LXCreatePlayerEngineFn create_ = nullptr;
    LXMeasureStreamSpeedFn measure_ = nullptr;
};
