// File decoding for song recognition (see the header).
#include "AudioDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>

#include "EngineText.h"

namespace lxengine {

AudioDecoder::~AudioDecoder() { Close(); }

LXRESULT AudioDecoder::QueryInterface(const LXIID& iid, void** out) {
    if (out == nullptr) return LX_E_POINTER;
    if (iid == IID_ILXUnknown || iid == IID_IAudioDecoder) {
        AddRef();
        *out = static_cast<IAudioDecoder*>(this);
        return LX_OK;
    }
    *out = nullptr;
    return LX_E_NOINTERFACE;
}

uint32_t AudioDecoder::Release() {
    const uint32_t left = --refs_;
    if (left == 0) delete this;
    return left;
}

void AudioDecoder::Close() {
    swr_free(&swr_);
    avcodec_free_context(&codec_);
    if (format_ != nullptr) avformat_close_input(&format_);
    av_packet_free(&packet_);
    av_frame_free(&frame_);
    pending_.clear();
    pendingOffset_ = 0;
    eof_ = false;
    skipUntil_ = -1;
}

LXRESULT AudioDecoder::Open(const char16_t* path) {
    Close();
    if (path == nullptr || *path == 0) return LX_E_INVALIDARG;
    const std::string file = ToUtf8(path);
    if (avformat_open_input(&format_, file.c_str(), nullptr, nullptr) < 0) {
        format_ = nullptr;
        return LX_E_FAIL;
    }
    const AVCodec* decoder = nullptr;
    if (avformat_find_stream_info(format_, nullptr) < 0 ||
        (stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0)) < 0 || decoder == nullptr) {
        Close();
        return LX_E_FAIL;
    }
    AVCodecParameters* par = format_->streams[stream_]->codecpar;
    codec_ = avcodec_alloc_context3(decoder);
    if (codec_ == nullptr || avcodec_parameters_to_context(codec_, par) < 0 || avcodec_open2(codec_, decoder, nullptr) < 0) {
        Close();
        return LX_E_FAIL;
    }
    codec_->pkt_timebase = format_->streams[stream_]->time_base;
    channels_ = par->ch_layout.nb_channels;
    rate_ = par->sample_rate;
    native_ = true;
    switch (par->codec_id) {
        case AV_CODEC_ID_PCM_U8: bits_ = 8; break;
        case AV_CODEC_ID_PCM_S16LE: bits_ = 16; break;
        case AV_CODEC_ID_PCM_S24LE: bits_ = 24; break;
        case AV_CODEC_ID_PCM_S32LE: bits_ = 32; break;
        default:
            bits_ = 16;
            native_ = false;
    }
    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
    if (channels_ <= 0 || rate_ <= 0 || packet_ == nullptr || frame_ == nullptr) {
        Close();
        return LX_E_FAIL;
    }
    return LX_OK;
}

LXRESULT AudioDecoder::GetFormat(int32_t* bitsPerSample, int32_t* channels, int32_t* sampleRate) {
    if (codec_ == nullptr) return LX_E_UNEXPECTED;
    if (bitsPerSample != nullptr) *bitsPerSample = bits_;
    if (channels != nullptr) *channels = channels_;
    if (sampleRate != nullptr) *sampleRate = rate_;
    return LX_OK;
}

LXRESULT AudioDecoder::Seek(int64_t position) {
    if (codec_ == nullptr) return LX_E_UNEXPECTED;
    position = std::max<int64_t>(position, 0);
    const int64_t ts = position / 10;
    if (avformat_seek_file(format_, -1, INT64_MIN, ts, ts, 0) < 0) return LX_E_FAIL;
    avcodec_flush_buffers(codec_);
    pending_.clear();
    pendingOffset_ = 0;
    eof_ = false;
    skipUntil_ = position;
    return LX_OK;
}

void AudioDecoder::Append(AVFrame* frame) {
    const int frameBytes = bits_ / 8 * channels_;
    std::vector<uint8_t> bytes;
    if (native_ && frame->ch_layout.nb_channels == channels_) {
        const int n = frame->nb_samples;
        if (bits_ == 24) {  // the decoder widened to 32 bits: keep the top three bytes
            bytes.resize(static_cast<size_t>(n) * frameBytes);
            const auto* src = reinterpret_cast<const int32_t*>(frame->data[0]);
            for (int i = 0; i < n * channels_; ++i) {
                const uint32_t v = static_cast<uint32_t>(src[i]) >> 8;
                bytes[i * 3] = static_cast<uint8_t>(v);
                bytes[i * 3 + 1] = static_cast<uint8_t>(v >> 8);
                bytes[i * 3 + 2] = static_cast<uint8_t>(v >> 16);
            }
        } else {
            bytes.assign(frame->data[0], frame->data[0] + static_cast<size_t>(n) * frameBytes);
        }
    } else {
        if (swr_ == nullptr) {
            AVChannelLayout out{};
            av_channel_layout_default(&out, channels_);
            if (swr_alloc_set_opts2(&swr_, &out, AV_SAMPLE_FMT_S16, rate_, &frame->ch_layout,
                                    static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr) < 0 ||
                swr_init(swr_) < 0) {
                swr_free(&swr_);
                return;
            }
        }
        const int capacity = swr_get_out_samples(swr_, frame->nb_samples);
        bytes.resize(static_cast<size_t>(std::max(capacity, 0)) * frameBytes);
        uint8_t* out = bytes.data();
        const int n = swr_convert(swr_, &out, capacity, const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
        bytes.resize(static_cast<size_t>(std::max(n, 0)) * frameBytes);
    }
    size_t skip = 0;
    if (skipUntil_ >= 0) {
        if (frame->best_effort_timestamp != AV_NOPTS_VALUE) {
            const int64_t start = av_rescale_q(frame->best_effort_timestamp, format_->streams[stream_]->time_base,
                                               AVRational{1, 10000000});
            const int64_t drop = (skipUntil_ - start) * rate_ / 10000000;
            if (drop > 0) skip = std::min(bytes.size(), static_cast<size_t>(drop) * frameBytes);
        }
        skipUntil_ = -1;
    }
    pending_.insert(pending_.end(), bytes.begin() + static_cast<std::ptrdiff_t>(skip), bytes.end());
}

bool AudioDecoder::Refill() {
    while (!eof_) {
        if (avcodec_receive_frame(codec_, frame_) == 0) {
            Append(frame_);
            av_frame_unref(frame_);
            return true;
        }
        const int err = av_read_frame(format_, packet_);
        if (err < 0) {
            avcodec_send_packet(codec_, nullptr);
            while (avcodec_receive_frame(codec_, frame_) == 0) {
                Append(frame_);
                av_frame_unref(frame_);
            }
            eof_ = true;
            return pendingOffset_ < pending_.size();
        }
        if (packet_->stream_index == stream_) avcodec_send_packet(codec_, packet_);
        av_packet_unref(packet_);
    }
    return false;
}

LXRESULT AudioDecoder::Read(void* buffer, uint32_t size, uint32_t* read) {
    if (read == nullptr || (buffer == nullptr && size > 0)) return LX_E_POINTER;
    *read = 0;
    if (codec_ == nullptr) return LX_E_UNEXPECTED;
    const uint32_t frameBytes = static_cast<uint32_t>(bits_ / 8 * channels_);
    size -= size % frameBytes;
    auto* out = static_cast<uint8_t*>(buffer);
    while (*read < size) {
        if (pendingOffset_ >= pending_.size()) {
            pending_.clear();
            pendingOffset_ = 0;
            if (!Refill()) break;
            continue;
        }
        const size_t n = std::min<size_t>(size - *read, pending_.size() - pendingOffset_);
        std::memcpy(out + *read, pending_.data() + pendingOffset_, n);
        pendingOffset_ += n;
        *read += static_cast<uint32_t>(n);
    }
    return LX_OK;
}

}  // namespace lxengine
