// The bounded buffer of decoded sound between the decode thread (producer) and the audio output
// (consumer): 16-bit interleaved frames at the source's rate. It also keeps the play clock, the
// software volume and the last played samples for the spectrum.
// Threading: thread-safe; everything is guarded by mutex_. The producer may block in Push until
// there is room or Abort is called; the consumer never blocks longer than a copy.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace lxengine {

class AudioRing {
public:
    AudioRing(int sampleRate, int channels, size_t capacityFrames);

    int SampleRate() const { return rate_; }
    int Channels() const { return channels_; }
    size_t CapacityFrames() const { return capacity_; }

    // Producer: appends frames, waiting for room. False when aborted (nothing more is taken).
    bool Push(const int16_t* samples, size_t frames);
    // Producer: no more frames will come (end of file or stream).
    void SetEof();
    // Ends every wait of the producer for good.
    void Abort();

    // Consumer: fills `frames` frames of `out`, with silence where no sound is due (buffering,
    // paused, underrun); volume applied. Returns the frames of real sound taken.
    size_t Pull(int16_t* out, size_t frames);

    // Control (any thread).
    void SetRunning(bool running);  // false while (re)buffering
    void SetPaused(bool paused);
    void SetGain(float gain);       // 0..1
    // Drops what is buffered and restarts the clock at `position` (100 ns), for seeking.
    void Flush(int64_t position);

    size_t FillFrames() const;
    bool Eof() const;
    bool Running() const;
    // True once after the consumer found nothing to play while running and before the end.
    bool TakeUnderrun();
    // Position of the sound taken by the consumer (100 ns).
    int64_t Position() const;
    // Frames of real sound the consumer has taken since the start (or the last Flush).
    uint64_t PlayedFrames() const;
    // The last `count` played samples, mixed to mono, in -1..1 (oldest first); zeros before any.
    void CopyHistory(float* out, size_t count) const;

private:
    static constexpr size_t kHistory = 2048;

    const int rate_;
    const int channels_;
    const size_t capacity_;

    mutable std::mutex mutex_;
    std::condition_variable room_;
    // Guarded by mutex_:
    std::vector<int16_t> data_;  // capacity_ * channels_ samples, circular
    size_t read_ = 0;            // frame index of the oldest buffered frame
    size_t fill_ = 0;            // frames buffered
    bool eof_ = false;
    bool aborted_ = false;
    bool running_ = false;
    bool paused_ = false;
    bool underrun_ = false;
    float gain_ = 1.0f;
    int64_t basePosition_ = 0;
    uint64_t played_ = 0;
    std::vector<float> history_;  // kHistory mono samples, circular
    size_t historyWrite_ = 0;
};

}  // namespace lxengine
