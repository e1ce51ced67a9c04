// Decoded-sound buffer and play clock (see the header).
#include "AudioRing.h"

#include <algorithm>
#include <cstring>

namespace lxengine {

AudioRing::AudioRing(int sampleRate, int channels, size_t capacityFrames)
    : rate_(sampleRate),
      channels_(channels),
      capacity_(std::max<size_t>(capacityFrames, 1024)),
      data_(capacity_ * static_cast<size_t>(channels)),
      history_(kHistory, 0.0f) {}

bool AudioRing::Push(const int16_t* samples, size_t frames) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (frames > 0) {
        room_.wait(lock, [&] { return aborted_ || fill_ < capacity_; });
        if (aborted_) return false;
        const size_t write = (read_ + fill_) % capacity_;
        const size_t n = std::min({frames, capacity_ - fill_, capacity_ - write});
        std::memcpy(&data_[write * channels_], samples, n * channels_ * sizeof(int16_t));
        fill_ += n;
        frames -= n;
        samples += n * channels_;
    }
    return true;
}

void AudioRing::SetEof() {
    std::lock_guard<std::mutex> lock(mutex_);
    eof_ = true;
}

void AudioRing::Abort() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        aborted_ = true;
    }
    room_.notify_all();
}

size_t AudioRing::Pull(int16_t* out, size_t frames) {
    size_t taken = 0;
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (running_ && !paused_) {
            while (taken < frames && fill_ > 0) {
                const size_t n = std::min({frames - taken, fill_, capacity_ - read_});
                const int16_t* src = &data_[read_ * channels_];
                int16_t* dst = out + taken * channels_;
                for (size_t f = 0; f < n; ++f) {
                    int sum = 0;
                    for (int c = 0; c < channels_; ++c) {
                        const int16_t v = src[f * channels_ + c];
                        sum += v;
                        dst[f * channels_ + c] = static_cast<int16_t>(static_cast<float>(v) * gain_);
                    }
                    history_[historyWrite_] = static_cast<float>(sum) / (32768.0f * static_cast<float>(channels_));
                    historyWrite_ = (historyWrite_ + 1) % kHistory;
                }
                read_ = (read_ + n) % capacity_;
                fill_ -= n;
                taken += n;
            }
            played_ += taken;
            if (taken < frames && !eof_) underrun_ = true;
        }
        // Wake the producer only once a quarter of the ring is free, so that it fills in
        // larger steps instead of after every pull.
        wake = taken > 0 && fill_ <= capacity_ - capacity_ / 4;
    }
    if (wake) room_.notify_all();
    std::memset(out + taken * channels_, 0, (frames - taken) * channels_ * sizeof(int16_t));
    return taken;
}

void AudioRing::SetRunning(bool running) {
    std::lock_guard<std::mutex> lock(mutex_);
    running_ = running;
    underrun_ = false;
}

void AudioRing::SetPaused(bool paused) {
    std::lock_guard<std::mutex> lock(mutex_);
    paused_ = paused;
}

void AudioRing::SetGain(float gain) {
    std::lock_guard<std::mutex> lock(mutex_);
    gain_ = std::clamp(gain, 0.0f, 1.0f);
}

void AudioRing::Flush(int64_t position) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        read_ = fill_ = 0;
        eof_ = false;
        underrun_ = false;
        basePosition_ = position;
        played_ = 0;
    }
    room_.notify_all();
}

size_t AudioRing::FillFrames() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return fill_;
}

bool AudioRing::Eof() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return eof_;
}

bool AudioRing::Running() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return running_;
}

bool AudioRing::TakeUnderrun() {
    std::lock_guard<std::mutex> lock(mutex_);
    const bool u = underrun_;
    underrun_ = false;
    return u;
}

int64_t AudioRing::Position() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return basePosition_ + static_cast<int64_t>(played_ * 10000000ull / static_cast<uint64_t>(rate_));
}

uint64_t AudioRing::PlayedFrames() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return played_;
}

void AudioRing::CopyHistory(float* out, size_t count) const {
    std::lock_guard<std::mutex> lock(mutex_);
    count = std::min(count, kHistory);
    size_t idx = (historyWrite_ + kHistory - count) % kHistory;
    for (size_t i = 0; i < count; ++i) {
        out[i] = history_[idx];
        idx = (idx + 1) % kHistory;
    }
}

}  // namespace lxengine
