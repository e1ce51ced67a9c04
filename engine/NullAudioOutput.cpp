// Null output with an ideal real-time clock (see the header).
#include "NullAudioOutput.h"

#include <pthread.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "AudioRing.h"

namespace lxengine {

NullAudioOutput::~NullAudioOutput() { Stop(); }

bool NullAudioOutput::Start(AudioRing* ring) {
    ring_ = ring;
    stop_ = false;
    thread_ = std::thread([this] {
        pthread_setname_np(pthread_self(), "lx-output");
        Run();
    });
    return true;
}

void NullAudioOutput::Stop() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void NullAudioOutput::Run() {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const uint64_t rate = static_cast<uint64_t>(ring_->SampleRate());
    uint64_t pulled = 0;
    std::vector<int16_t> scratch;
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_) {
        wake_.wait_for(lock, std::chrono::milliseconds(40));
        if (stop_) break;
        const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
        const uint64_t due = static_cast<uint64_t>(elapsed.count()) * rate / 1000000u;
        if (due <= pulled) continue;
        const size_t frames = static_cast<size_t>(due - pulled);
        scratch.resize(frames * static_cast<size_t>(ring_->Channels()));
        lock.unlock();
        ring_->Pull(scratch.data(), frames);
        lock.lock();
        pulled = due;
    }
}

}  // namespace lxengine
