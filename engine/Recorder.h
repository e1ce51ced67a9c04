// Recording what plays into a file: MP3 (an MP3 source copied frame by frame, anything else
// encoded with LAME) or 16-bit PCM WAV, with an optional length limit and progress/completion
// calls to the program's IAsyncCallback.
// Threading: thread-safe. The session's decode thread feeds packets and samples; the owner thread
// starts and stops. state_ is guarded by mutex_; invokeMutex_ is held around each callback call
// (taken before mutex_, never the other way), so Stop returns only after a running call ended.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "LXPlayer.h"

typedef struct lame_global_struct lame_global_flags;

namespace lxengine {

class Recorder {
public:
    struct Source {
        bool isMp3 = false;   // the demuxed packets are MP3 frames
        int sampleRate = 0;   // of the PCM fed to OnPcm
        int channels = 2;
        int bitRateKbps = 0;  // 0: unknown
        uint32_t generation = 0;  // the session whose data is recorded; others are ignored
    };
    struct Mp3Header {
        int sampleRate = 0;
        int samplesPerFrame = 0;
        int frameBytes = 0;
        int bitRateKbps = 0;
    };

    Recorder() = default;
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Opens the file; false (nothing recording) when the tag is unknown or the file cannot be made.
    bool Start(const std::string& pathUtf8, int64_t limit100ns, IAsyncCallback* callback, int formatTag,
               int flag, const Source& source);
    // Closes the file (valid) without a final callback. False when nothing was recording.
    bool Stop();
    bool Active() const;
    // Whether packets (MP3 copy) or samples are wanted right now.
    bool WantsPackets() const;
    bool WantsPcm() const;

    // Data of the session `generation`; ignored unless it is the recorded one.
    void OnPacket(uint32_t generation, const uint8_t* data, size_t size);
    void OnPcm(uint32_t generation, const int16_t* samples, size_t frames);
    // The source ended before a limited recording was complete: close it and report the failure.
    void OnSourceEnded(uint32_t generation);

    // Reads an MPEG audio layer III frame header; false when `data` does not start with one.
    static bool ParseMp3Header(const uint8_t* data, size_t size, Mp3Header* out);

private:
    enum class Mode { Idle, Mp3Copy, Mp3Encode, Wav };
    struct Report {
        bool due = false;
        int64_t length = 0;
        LXRESULT status = LX_FALSE;
        IAsyncCallback* callback = nullptr;  // one reference, released after the call
        uint64_t generation = 0;
        int64_t limit = 0;
    };

    // With mutex_ held: finishes and closes the file.
    void CloseLocked();
    // With mutex_ held: what the callback should hear after `length_` advanced.
    Report ProgressLocked();
    Report FinishLocked(LXRESULT status);
    void Deliver(Report report);
    bool WriteLocked(const void* data, size_t size);

    std::mutex invokeMutex_;
    mutable std::mutex mutex_;
    // Guarded by mutex_:
    Mode mode_ = Mode::Idle;
    FILE* file_ = nullptr;
    IAsyncCallback* callback_ = nullptr;
    bool progressCalls_ = false;
    int64_t limit_ = 0;          // 100 ns; 0 none
    int64_t length_ = 0;         // 100 ns written
    int64_t lastReported_ = 0;
    uint64_t frames_ = 0;        // PCM frames written (WAV, LAME)
    uint64_t limitFrames_ = 0;   // 0 none
    int rate_ = 0;
    int channels_ = 2;
    uint32_t sourceGeneration_ = 0;
    uint64_t dataBytes_ = 0;     // WAV data size
    lame_global_flags* lame_ = nullptr;
    std::vector<unsigned char> lameBuffer_;
    bool failed_ = false;
    uint64_t generation_ = 0;    // counts Start calls, so a late report of an old one is dropped
};

}  // namespace lxengine
