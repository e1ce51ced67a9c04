// One Open of the engine: finds the source (playlists, HLS, mms, files), demuxes and decodes it,
// buffers, plays, reports states, positions and spectrum values, and feeds the recorder.
//
// Threading: the owner thread (the engine's) calls the public control methods; the decode thread
// opens the source and fills the ring; the clock thread runs buffering, positions and spectrum;
// the audio output pulls from the ring on its own thread. RequestStop is non-blocking and makes
// every thread finish within about 50 ms (curl waits are sliced, FFmpeg has an interrupt
// callback, ring waits are woken); Join then waits for them. stateMutex_ guards the play phase
// and the media info; it is taken before the notifier's lock, never after.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "LXPlayer.h"
#include "ProxySettings.h"
#include "Recorder.h"

struct AVFormatContext;
struct AVIOContext;
struct AVDictionary;
struct AVCodecContext;
struct AVFrame;
struct SwrContext;

namespace lxengine {

class AudioOutput;
class AudioRing;
class NetworkInput;
class Notifier;

class Session {
public:
    struct Config {
        std::string address;  // UTF-8
        ProxySettings proxy;
        int bufferSeconds = 5;
        bool nullOutput = false;
        bool spectrum = false;
        float gain = 1.0f;
        uint32_t generation = 0;
        std::shared_ptr<Notifier> notifier;
        std::shared_ptr<Recorder> recorder;
        std::chrono::milliseconds openTimeout{15000};
    };

    explicit Session(Config config);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    void Start();
    void RequestStop();
    void Join();
    bool Finished() const { return finishedThreads_.load() == threadCount_; }

    // Owner-thread controls.
    void Play();
    LXRESULT Pause();
    LXRESULT Seek(int64_t position);
    void SetGain(float gain);
    void SetSpectrum(bool on) { spectrum_ = on; }
    int64_t Position() const;
    LXMediaInfo MediaInfo() const;
    std::u16string Title() const;
    // What the recorder needs; false while nothing is playing yet.
    bool RecordSource(Recorder::Source* source) const;

    // Opens `address` and decodes until the first audio: milliseconds, or -1 (blocking).
    static int32_t Measure(const std::string& address, const ProxySettings& proxy);

private:
    enum class Phase { Opening, Buffering, Playing, Ended, Failed };
    enum class OpenResult { Ok, Failed, Unsupported, Aborted };

    void DecodeMain();
    void ClockMain();
    void ClockLoop();
    bool ShouldAbort() const;
    static int InterruptCallback(void* self);
    static int IoOpen(AVFormatContext* s, AVIOContext** pb, const char* url, int flags, AVDictionary** options);
    static void IoClose(AVFormatContext* s, AVIOContext* pb);

    // Opens the address (following playlists up to `depth`) into format_.
    OpenResult OpenAddress(const std::string& address, int depth);
    OpenResult OpenNetwork(const std::string& url, int depth);
    OpenResult OpenNative(const std::string& url, const char* formatName);
    OpenResult OpenPlaylistEntries(const std::vector<std::string>& entries, int depth);
    OpenResult FinishOpen(bool local);
    void CloseFormat();
    // Decodes and plays until the end, an error or a stop.
    void RunDecoder();
    bool DeliverFrame(AVFrame* frame);
    bool EnsureOutput(int sampleRate, int channels);
    void SetPhaseAndPost(Phase phase, int state);
    void OnTitle(const std::string& raw);

    Config config_;
    std::atomic<bool> abort_{false};
    std::atomic<bool> spectrum_{false};
    std::atomic<bool> measure_{false};
    std::chrono::steady_clock::time_point openDeadline_;
    std::atomic<bool> connected_{false};
    std::thread decodeThread_;
    std::thread clockThread_;
    int threadCount_ = 0;
    std::atomic<int> finishedThreads_{0};

    // Decode thread only:
    AVFormatContext* format_ = nullptr;
    NetworkInput* topInput_ = nullptr;  // owned; the demuxer's own AVIO for network sources
    int (*defaultIoOpen_)(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) = nullptr;
    void (*defaultIoClose_)(AVFormatContext*, AVIOContext*) = nullptr;
    bool ioFailed_ = false;  // a network error (not a format error) made the open fail
    AVCodecContext* codec_ = nullptr;
    SwrContext* swr_ = nullptr;
    int swrInRate_ = 0;
    int swrInFormat_ = -1;
    uint64_t swrInLayoutHash_ = 0;
    int streamIndex_ = -1;
    bool sourceIsMp3_ = false;
    bool seekable_ = false;
    int64_t packetBytes_ = 0;
    int64_t packetDuration_ = 0;  // 100 ns
    std::vector<int16_t> convertBuffer_;
    std::unique_ptr<AudioOutput> output_;
    int64_t skipUntil_ = -1;  // after a seek: drop decoded sound before this position (100 ns)
    std::chrono::steady_clock::time_point measureStart_;
    int32_t measuredMs_ = -1;

    // The ring appears once the first sound is decoded; guarded by stateMutex_ until then.
    std::shared_ptr<AudioRing> ring_;
    std::atomic<int64_t> seekTarget_{-1};
    float gain_ = 1.0f;

    mutable std::mutex stateMutex_;
    std::condition_variable stateChanged_;
    // Guarded by stateMutex_:
    Phase phase_ = Phase::Opening;
    bool playWanted_ = false;
    bool paused_ = false;
    bool stopping_ = false;
    LXMediaInfo info_;
    bool live_ = true;
    std::u16string title_;
    int64_t targetFrames_ = 0;
};

}  // namespace lxengine
