// An output without a device that behaves like a perfect one: it takes exactly as many frames as
// real time allows (an ideal clock), so positions, buffering and recording limits behave as on
// a sound card. Used by tests, by lxplay --ao null and by measurements.
// Threading: Start/Stop on the session's decode thread; pulls run on the output's own thread.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

#include "AudioOutput.h"

namespace lxengine {

class NullAudioOutput final : public AudioOutput {
public:
    ~NullAudioOutput() override;
    bool Start(AudioRing* ring) override;
    void Stop() override;
    std::string ErrorText() const override { return {}; }

private:
    void Run();

    AudioRing* ring_ = nullptr;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;  // guarded by mutex_
};

}  // namespace lxengine
