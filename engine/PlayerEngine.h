// The engine object behind IPlayerEngine, IPlayerOption and IPlayerProxy: keeps the settings
// (volume, mute, buffer time, output, proxy, spectrum), runs one Session per Open and retires
// the previous one without waiting for it, and owns the recorder.
// Threading: owner thread only (see LXPlayer.h), except AddRef/Release. Retired sessions finish
// on their own threads and are joined at the next Open/Stop once done, and all of them at the
// final Release.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "LXPlayer.h"
#include "ProxySettings.h"

namespace lxengine {

class Notifier;
class Recorder;
class Session;

class PlayerEngine final : public IPlayerEngine, public IPlayerOption, public IPlayerProxy {
public:
    explicit PlayerEngine(const LXNotifyTarget& target);
    ~PlayerEngine();

    // ILXUnknown (shared by the three interfaces).
    LXRESULT QueryInterface(const LXIID& iid, void** out) override;
    uint32_t AddRef() override;
    uint32_t Release() override;

    // IPlayerEngine
    int GetState() override;
    LXRESULT Open(const char16_t* address, int32_t flags) override;
    LXRESULT Play() override;
    LXRESULT Pause() override;
    LXRESULT Stop() override;
    LXRESULT Seek(int64_t position) override;
    LXRESULT GetPosition(int64_t* position) override;
    LXRESULT SetVolume(int32_t volume) override;
    int32_t GetVolume() override { return volume_; }
    LXRESULT SetMute(bool mute) override;
    bool GetMute() override { return mute_; }
    uint32_t GetGeneration() override;
    int32_t GetStreamTitle(char16_t* buffer, int32_t capacity) override;
    LXRESULT GetMediaInfo(LXMediaInfo* info) override;
    LXRESULT StartRecord(const char16_t* path, int64_t limit, IAsyncCallback* callback, int32_t formatTag,
                         int32_t flag) override;
    LXRESULT StopRecord(bool flag) override;

    // IPlayerOption
    LXRESULT SetOption(int32_t option, int64_t value) override;
    LXRESULT GetOption(int32_t option, int64_t* value) override;

    // IPlayerProxy
    LXRESULT SetProxy(const char16_t* text, int32_t type, int32_t enabled) override;

    // Sessions not yet joined (current and retired), for tests of the clean-up.
    size_t LiveSessions() const;

private:
    void RetireCurrent();
    void ReapFinished();
    float Gain() const;

    std::atomic<uint32_t> refs_{1};
    std::shared_ptr<Notifier> notifier_;
    std::shared_ptr<Recorder> recorder_;
    std::shared_ptr<Session> current_;
    std::vector<std::shared_ptr<Session>> retired_;
    ProxySettings proxy_;
    int volume_ = 100;
    bool mute_ = false;
    bool spectrum_ = false;
    int bufferSeconds_ = 5;
    int output_ = LXOUTPUT_DEVICE;
};

}  // namespace lxengine
