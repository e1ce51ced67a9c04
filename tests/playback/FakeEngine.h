// A scripted engine for the playback tests: records every call, starts a new generation on Open
// and Stop as the real one does, and posts the notifications a test asks for through the notify
// target CMedia handed over.
// Threading: the test's main thread; Measure is called on the speed-test worker and only reads
// measure_results (set before the test starts the worker).
#pragma once

#include <atomic>
#include <map>
#include <string>
#include <vector>

#include "engine/include/LXPlayer.h"

class FakeEngine : public IPlayerEngine, public IPlayerOption, public IPlayerProxy {
public:
    // The engine the next CreatePlayerEngine returns (null: creation fails).
    static FakeEngine* next;
    static LXRESULT Create(IPlayerEngine** engine, const LXNotifyTarget* target);
    static int32_t Measure(const char16_t* address);
    static std::map<std::u16string, int> measure_results;  // address -> ms; missing: -1

    // ILXUnknown
    LXRESULT QueryInterface(const LXIID& iid, void** out) override;
    uint32_t AddRef() override { return ++refs; }
    uint32_t Release() override { return --refs; }
    // IPlayerEngine
    int GetState() override { return state; }
    LXRESULT Open(const char16_t* address, int32_t flags) override;
    LXRESULT Play() override;
    LXRESULT Pause() override;
    LXRESULT Stop() override;
    LXRESULT Seek(int64_t position) override;
    LXRESULT GetPosition(int64_t* position) override;
    LXRESULT SetVolume(int32_t v) override;
    int32_t GetVolume() override { return volume; }
    LXRESULT SetMute(bool m) override;
    bool GetMute() override { return mute; }
    uint32_t GetGeneration() override { return generation; }
    int32_t GetStreamTitle(char16_t* buffer, int32_t capacity) override;
    LXRESULT GetMediaInfo(LXMediaInfo* out) override;
    LXRESULT StartRecord(const char16_t* path, int64_t limit, IAsyncCallback* callback, int32_t formatTag,
                         int32_t flag) override;
    LXRESULT StopRecord(bool flag) override;
    // IPlayerOption
    LXRESULT SetOption(int32_t option, int64_t value) override;
    LXRESULT GetOption(int32_t option, int64_t* value) override;
    // IPlayerProxy
    LXRESULT SetProxy(const char16_t* text, int32_t type, int32_t enabled) override;

    // Posts like the engine does (state and buffer carry the current generation).
    void PostState(int s);
    void PostBuffer(int percent);
    void PostPosition(int64_t position);
    // The values are malloc'ed; the receiver frees them.
    void PostSpectrum(int count);

    LXNotifyTarget target;
    std::atomic<uint32_t> refs{1};
    int state = 0;
    uint32_t generation = 0;
    int volume = -1;
    bool mute = false;
    LXMediaInfo info;
    std::vector<std::u16string> opened;
    int plays = 0;
    int pauses = 0;
    int stops = 0;
    std::vector<int64_t> seeks;
    std::vector<std::u16string> records;
    int record_stops = 0;
    bool recording = false;
    std::map<int32_t, int64_t> options;
    std::vector<std::u16string> proxies;
};
