// IAudioDecoder: reads an audio file as interleaved PCM (song recognition reads its WAV
// recordings with it). PCM WAV files come out in their own sample format, others as 16-bit.
// Threading: one thread at a time.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "LXPlayer.h"

struct AVFormatContext;
struct AVCodecContext;
struct SwrContext;
struct AVPacket;
struct AVFrame;

namespace lxengine {

class AudioDecoder final : public IAudioDecoder {
public:
    AudioDecoder() = default;
    ~AudioDecoder();

    LXRESULT QueryInterface(const LXIID& iid, void** out) override;
    uint32_t AddRef() override { return ++refs_; }
    uint32_t Release() override;

    LXRESULT Open(const char16_t* path) override;
    LXRESULT GetFormat(int32_t* bitsPerSample, int32_t* channels, int32_t* sampleRate) override;
    LXRESULT Seek(int64_t position) override;
    LXRESULT Read(void* buffer, uint32_t size, uint32_t* read) override;

private:
    void Close();
    // Decodes the next frame into pending_; false at the end.
    bool Refill();
    void Append(AVFrame* frame);

    std::atomic<uint32_t> refs_{1};
    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    SwrContext* swr_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    int stream_ = -1;
    int bits_ = 16;
    int channels_ = 0;
    int rate_ = 0;
    bool native_ = false;  // the decoder's packed output is delivered as it is (or repacked to 24 bits)
    bool eof_ = false;
    int64_t skipUntil_ = -1;  // 100 ns
    std::vector<uint8_t> pending_;
    size_t pendingOffset_ = 0;
};

}  // namespace lxengine
