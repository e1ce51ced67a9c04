// Recording to MP3 or WAV (see the header).
#include "Recorder.h"

#include <lame/lame.h>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace lxengine {
namespace {

class AsyncResult final : public IAsyncResult {
public:
    AsyncResult(int64_t limit, int64_t length, LXRESULT status) : limit_(limit), length_(length), status_(status) {}

    LXRESULT QueryInterface(const LXIID& iid, void** out) override {
        if (out == nullptr) return LX_E_POINTER;
        if (iid == IID_ILXUnknown || iid == IID_IAsyncResult) {
            AddRef();
            *out = static_cast<IAsyncResult*>(this);
            return LX_OK;
        }
        *out = nullptr;
        return LX_E_NOINTERFACE;
    }
    uint32_t AddRef() override { return ++refs_; }
    uint32_t Release() override {
        const uint32_t left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    LXRESULT GetLimit(int64_t* limit) override {
        if (limit == nullptr) return LX_E_POINTER;
        *limit = limit_;
        return LX_OK;
    }
    LXRESULT GetProgress(int64_t* length) override {
        if (length == nullptr) return LX_E_POINTER;
        *length = length_;
        return LX_OK;
    }
    LXRESULT GetStatus() override { return status_; }

private:
    std::atomic<uint32_t> refs_{1};
    const int64_t limit_;
    const int64_t length_;
    const LXRESULT status_;
};

void PutLe16(unsigned char* p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}
void PutLe32(unsigned char* p, uint32_t v) {
    PutLe16(p, v & 0xFFFF);
    PutLe16(p + 2, v >> 16);
}

void MakeWavHeader(unsigned char* h, int rate, int channels, uint64_t dataBytes) {
    const uint32_t data = static_cast<uint32_t>(std::min<uint64_t>(dataBytes, 0xFFFFFFFFu - 36));
    std::memcpy(h, "RIFF", 4);
    PutLe32(h + 4, 36 + data);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    PutLe32(h + 16, 16);
    PutLe16(h + 20, 1);
    PutLe16(h + 22, static_cast<uint32_t>(channels));
    PutLe32(h + 24, static_cast<uint32_t>(rate));
    PutLe32(h + 28, static_cast<uint32_t>(rate * channels * 2));
    PutLe16(h + 32, static_cast<uint32_t>(channels * 2));
    PutLe16(h + 34, 16);
    std::memcpy(h + 36, "data", 4);
    PutLe32(h + 40, data);
}

constexpr int64_t kProgressStep = 1000000;  // 100 ms

}  // namespace

Recorder::~Recorder() { Stop(); }

bool Recorder::ParseMp3Header(const uint8_t* d, size_t size, Mp3Header* out) {
    if (size < 4 || d[0] != 0xFF || (d[1] & 0xE0) != 0xE0) return false;
    const int version = (d[1] >> 3) & 3;  // 0: 2.5, 2: 2, 3: 1
    const int layer = (d[1] >> 1) & 3;    // 1: layer III
    const int bitrateIndex = d[2] >> 4;
    const int rateIndex = (d[2] >> 2) & 3;
    const int padding = (d[2] >> 1) & 1;
    if (version == 1 || layer != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return false;
    static constexpr int kRates[3] = {44100, 48000, 32000};
    static constexpr int kBitratesV1[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    static constexpr int kBitratesV2[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
    int rate = kRates[rateIndex];
    if (version == 2) rate /= 2;
    if (version == 0) rate /= 4;
    const bool v1 = version == 3;
    const int kbps = v1 ? kBitratesV1[bitrateIndex] : kBitratesV2[bitrateIndex];
    out->sampleRate = rate;
    out->samplesPerFrame = v1 ? 1152 : 576;
    out->bitRateKbps = kbps;
    out->frameBytes = (v1 ? 144 : 72) * kbps * 1000 / rate + padding;
    return true;
}

bool Recorder::Start(const std::string& pathUtf8, int64_t limit100ns, IAsyncCallback* callback, int formatTag,
                     int flag, const Source& source) {
    Stop();
    if (formatTag != LXRECORD_MP3 && formatTag != LXRECORD_PCM) return false;
    if (limit100ns < 0 || source.sampleRate <= 0) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    FILE* f = std::fopen(pathUtf8.c_str(), "wb");
    if (f == nullptr) return false;
    file_ = f;
    limit_ = limit100ns;
    length_ = lastReported_ = 0;
    frames_ = dataBytes_ = 0;
    rate_ = source.sampleRate;
    channels_ = source.channels;
    sourceGeneration_ = source.generation;
    limitFrames_ = limit100ns > 0 ? static_cast<uint64_t>((limit100ns * rate_ + 5000000) / 10000000) : 0;
    failed_ = false;
    progressCalls_ = (flag & LXRECORD_FLAG_PROGRESS) != 0;
    if (formatTag == LXRECORD_PCM) {
        unsigned char header[44];
        MakeWavHeader(header, rate_, channels_, 0);
        if (std::fwrite(header, 1, sizeof header, file_) != sizeof header) {
            std::fclose(file_);
            file_ = nullptr;
            return false;
        }
        mode_ = Mode::Wav;
    } else if (source.isMp3) {
        mode_ = Mode::Mp3Copy;
    } else {
        lame_ = lame_init();
        lame_set_in_samplerate(lame_, rate_);
        lame_set_out_samplerate(lame_, rate_);
        lame_set_num_channels(lame_, channels_);
        lame_set_mode(lame_, channels_ == 1 ? MONO : JOINT_STEREO);
        lame_set_brate(lame_, source.bitRateKbps > 0 ? source.bitRateKbps : 128);
        lame_set_quality(lame_, 5);
        lame_set_bWriteVbrTag(lame_, 0);
        if (lame_init_params(lame_) < 0) {
            lame_close(lame_);
            lame_ = nullptr;
            std::fclose(file_);
            file_ = nullptr;
            return false;
        }
        mode_ = Mode::Mp3Encode;
    }
    if (callback != nullptr) callback->AddRef();
    callback_ = callback;
    ++generation_;
    return true;
}

bool Recorder::Active() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return mode_ != Mode::Idle;
}

bool Recorder::WantsPackets() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return mode_ == Mode::Mp3Copy;
}

bool Recorder::WantsPcm() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return mode_ == Mode::Wav || mode_ == Mode::Mp3Encode;
}

bool Recorder::WriteLocked(const void* data, size_t size) {
    if (size == 0) return true;
    if (std::fwrite(data, 1, size, file_) != size) {
        failed_ = true;
        return false;
    }
    return true;
}

void Recorder::CloseLocked() {
    if (file_ == nullptr) return;
    if (mode_ == Mode::Mp3Encode && lame_ != nullptr) {
        lameBuffer_.resize(7200 + 1024);
        const int n = lame_encode_flush(lame_, lameBuffer_.data(), static_cast<int>(lameBuffer_.size()));
        if (n > 0) WriteLocked(lameBuffer_.data(), static_cast<size_t>(n));
    }
    if (mode_ == Mode::Wav) {
        unsigned char header[44];
        MakeWavHeader(header, rate_, channels_, dataBytes_);
        std::fseek(file_, 0, SEEK_SET);
        std::fwrite(header, 1, sizeof header, file_);
    }
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    if (lame_ != nullptr) {
        lame_close(lame_);
        lame_ = nullptr;
    }
    mode_ = Mode::Idle;
}

bool Recorder::Stop() {
    std::lock_guard<std::mutex> invoke(invokeMutex_);
    std::lock_guard<std::mutex> lock(mutex_);
    ++generation_;  // reports computed before this point are dropped
    const bool was = mode_ != Mode::Idle;
    CloseLocked();
    if (callback_ != nullptr) {
        callback_->Release();
        callback_ = nullptr;
    }
    return was;
}

Recorder::Report Recorder::ProgressLocked() {
    Report r;
    if (failed_) return FinishLocked(LX_E_FAIL);
    if (limit_ > 0 && length_ >= limit_) return FinishLocked(LX_OK);
    if (progressCalls_ && callback_ != nullptr && length_ - lastReported_ >= kProgressStep) {
        lastReported_ = length_;
        r.due = true;
        r.length = length_;
        r.status = LX_FALSE;
        r.callback = callback_;
        callback_->AddRef();
        r.generation = generation_;
        r.limit = limit_;
    }
    return r;
}

Recorder::Report Recorder::FinishLocked(LXRESULT status) {
    Report r;
    CloseLocked();
    if (failed_ && status == LX_OK) status = LX_E_FAIL;
    r.due = callback_ != nullptr;
    r.length = length_;
    r.status = status;
    r.callback = callback_;  // the recording's reference moves to the report
    callback_ = nullptr;
    r.generation = generation_;
    r.limit = limit_;
    return r;
}

void Recorder::Deliver(Report report) {
    if (!report.due || report.callback == nullptr) return;
    std::lock_guard<std::mutex> invoke(invokeMutex_);
    bool current;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        current = report.generation == generation_;
    }
    if (current) {
        auto* result = new AsyncResult(report.limit, report.length, report.status);
        report.callback->Invoke(result);
        result->Release();
    }
    report.callback->Release();
}

void Recorder::OnPacket(uint32_t generation, const uint8_t* data, size_t size) {
    Report report;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (mode_ != Mode::Mp3Copy || generation != sourceGeneration_) return;
        Mp3Header h;
        // Only whole frames go in, so the file starts at a frame boundary.
        if (!ParseMp3Header(data, size, &h)) return;
        const int64_t frameLength = static_cast<int64_t>(h.samplesPerFrame) * 10000000 / h.sampleRate;
        if (limit_ > 0 && length_ + frameLength > limit_ + frameLength / 2) {
            report = FinishLocked(LX_OK);
        } else {
            WriteLocked(data, size);
            length_ += frameLength;
            report = ProgressLocked();
        }
    }
    Deliver(report);
}

void Recorder::OnPcm(uint32_t generation, const int16_t* samples, size_t frames) {
    Report report;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if ((mode_ != Mode::Wav && mode_ != Mode::Mp3Encode) || generation != sourceGeneration_) return;
        if (limitFrames_ > 0) frames = static_cast<size_t>(std::min<uint64_t>(frames, limitFrames_ - frames_));
        if (mode_ == Mode::Wav) {
            const size_t bytes = frames * static_cast<size_t>(channels_) * sizeof(int16_t);
            if (WriteLocked(samples, bytes)) dataBytes_ += bytes;
        } else {
            lameBuffer_.resize(frames * 5 / 4 + 7200);
            const int n = channels_ == 1
                              ? lame_encode_buffer(lame_, samples, samples, static_cast<int>(frames),
                                                   lameBuffer_.data(), static_cast<int>(lameBuffer_.size()))
                              : lame_encode_buffer_interleaved(lame_, const_cast<short*>(samples),
                                                               static_cast<int>(frames), lameBuffer_.data(),
                                                               static_cast<int>(lameBuffer_.size()));
            if (n < 0) {
                failed_ = true;
            } else {
                WriteLocked(lameBuffer_.data(), static_cast<size_t>(n));
            }
        }
        frames_ += frames;
        length_ = static_cast<int64_t>(frames_ * 10000000ull / static_cast<uint64_t>(rate_));
        if (limitFrames_ > 0 && frames_ >= limitFrames_) {
            report = FinishLocked(LX_OK);
        } else {
            report = ProgressLocked();
        }
    }
    Deliver(report);
}

void Recorder::OnSourceEnded(uint32_t generation) {
    Report report;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (mode_ == Mode::Idle || limit_ <= 0 || generation != sourceGeneration_) return;
        report = FinishLocked(LX_E_FAIL);
    }
    Deliver(report);
}

}  // namespace lxengine
