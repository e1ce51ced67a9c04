// One Open of the engine (see the header).
//
// Play phases, and who moves between them (the state posted on entry in brackets):
//
//   Opening --DecodeMain: source open, decoder ready [4 connected, 10 buffering]--> Buffering
//   Opening --DecodeMain: no connection / timeout [6], no playable audio [8]-------> Failed
//   Buffering --ClockMain: buffer full and Play wanted [9234 100, 1 playing]-------> Playing
//   Playing --ClockMain: live stream ran dry [10 buffering]------------------------> Buffering
//   Playing --ClockMain: source ended and everything played [5 ended]--------------> Ended
//   any --DeliverFrame: the sound device cannot be opened [9]----------------------> Failed
//   Pause/Play (owner thread) toggle `paused_` inside Buffering/Playing [3 / 1].
#include "Session.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <pthread.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "AudioOutput.h"
#include "AudioRing.h"
#include "CurlStream.h"
#include "EngineText.h"
#include "EngineTrace.h"
#include "NetworkInput.h"
#include "Notifier.h"
#include "Playlist.h"
#include "SdlAudioOutput.h"
#include "SpectrumAnalyzer.h"

namespace lxengine {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kMaxPlaylistDepth = 4;
constexpr size_t kMaxPlaylistBytes = 256 * 1024;
constexpr auto kPositionInterval = std::chrono::milliseconds(200);
constexpr auto kSpectrumInterval = std::chrono::milliseconds(40);
constexpr auto kClockTick = std::chrono::milliseconds(20);
constexpr auto kLiveReadPause = std::chrono::milliseconds(100);

// The demuxer a content type names, or null when it says nothing (then the data is probed).
const char* FormatForContentType(const std::string& type) {
    static constexpr std::pair<const char*, const char*> kTypes[] = {
        {"audio/mpeg", "mp3"},       {"audio/mp3", "mp3"},         {"audio/mpeg3", "mp3"},
        {"audio/x-mpeg", "mp3"},     {"audio/x-mp3", "mp3"},       {"audio/mpg", "mp3"},
        {"audio/aac", "aac"},        {"audio/aacp", "aac"},        {"audio/x-aac", "aac"},
        {"audio/x-aacp", "aac"},     {"audio/aac-adts", "aac"},    {"audio/ogg", "ogg"},
        {"application/ogg", "ogg"},  {"audio/x-ogg", "ogg"},       {"audio/opus", "ogg"},
        {"audio/vorbis", "ogg"},     {"audio/flac", "flac"},       {"audio/x-flac", "flac"},
        {"audio/wav", "wav"},        {"audio/x-wav", "wav"},       {"audio/wave", "wav"},
        {"audio/vnd.wave", "wav"},   {"video/x-ms-asf", "asf"},    {"audio/x-ms-wma", "asf"},
        {"application/vnd.ms-asf", "asf"}, {"video/mp2t", "mpegts"},
        {"application/vnd.apple.mpegurl", "hls"}, {"application/x-mpegurl", "hls"},
    };
    for (const auto& [name, format] : kTypes) {
        if (type == name) return format;
    }
    return nullptr;
}

int FormatTagFor(AVCodecID id) {
    switch (id) {
        case AV_CODEC_ID_MP3: return 0x55;
        case AV_CODEC_ID_AAC: return 0xFF;
        case AV_CODEC_ID_WMAV1: return 0x160;
        case AV_CODEC_ID_WMAV2: return 0x161;
        case AV_CODEC_ID_PCM_S16LE:
        case AV_CODEC_ID_PCM_U8:
        case AV_CODEC_ID_PCM_S24LE:
        case AV_CODEC_ID_PCM_S32LE: return 1;
        default: return 0;
    }
}

std::string ErrorString(int err) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(err, text, sizeof text);
    return text;
}

bool IsHttp(const std::string& url) { return StartsWithNoCase(url, "http://") || StartsWithNoCase(url, "https://"); }

std::string PercentDecode(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
            out.push_back(static_cast<char>(std::stoi(std::string(s.substr(i + 1, 2)), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

}  // namespace

Session::Session(Config config) : config_(std::move(config)) {
    spectrum_ = config_.spectrum;
    gain_ = config_.gain;
}

Session::~Session() {
    RequestStop();
    Join();
}

void Session::Start() {
    threadCount_ = 2;
    decodeThread_ = std::thread([this] {
        pthread_setname_np(pthread_self(), "lx-decode");
        DecodeMain();
        ++finishedThreads_;
    });
    clockThread_ = std::thread([this] {
        pthread_setname_np(pthread_self(), "lx-clock");
        ClockMain();
        ++finishedThreads_;
    });
}

void Session::RequestStop() {
    abort_ = true;
    std::lock_guard<std::mutex> lock(stateMutex_);
    stopping_ = true;
    if (ring_) ring_->Abort();
    stateChanged_.notify_all();
}

void Session::Join() {
    if (decodeThread_.joinable()) decodeThread_.join();
    if (clockThread_.joinable()) clockThread_.join();
}

bool Session::ShouldAbort() const {
    if (abort_) return true;
    return !connected_ && Clock::now() > openDeadline_;
}

int Session::InterruptCallback(void* self) { return static_cast<Session*>(self)->ShouldAbort() ? 1 : 0; }

// ---------------------------------------------------------------------------------------------
// Owner-thread controls
// ---------------------------------------------------------------------------------------------

void Session::Play() {
    std::lock_guard<std::mutex> lock(stateMutex_);
    playWanted_ = true;
    if (!paused_) return;
    paused_ = false;
    if (ring_) ring_->SetPaused(false);
    if (phase_ == Phase::Playing) config_.notifier->PostState(config_.generation, LXSTATE_PLAYING);
    stateChanged_.notify_all();
}

LXRESULT Session::Pause() {
    std::lock_guard<std::mutex> lock(stateMutex_);
    if (phase_ != Phase::Buffering && phase_ != Phase::Playing) return LX_E_UNEXPECTED;
    if (live_) return LX_E_NOTIMPL;
    if (paused_) return LX_FALSE;
    paused_ = true;
    if (ring_) ring_->SetPaused(true);
    config_.notifier->PostState(config_.generation, LXSTATE_PAUSED);
    return LX_OK;
}

LXRESULT Session::Seek(int64_t position) {
    std::lock_guard<std::mutex> lock(stateMutex_);
    if (phase_ != Phase::Buffering && phase_ != Phase::Playing) return LX_E_UNEXPECTED;
    if (live_) return LX_E_NOTIMPL;
    position = std::clamp<int64_t>(position, 0, info_.duration > 0 ? info_.duration : position);
    seekTarget_ = position;
    if (ring_) ring_->Flush(position);
    stateChanged_.notify_all();
    return LX_OK;
}

void Session::SetGain(float gain) {
    std::lock_guard<std::mutex> lock(stateMutex_);
    gain_ = gain;
    if (ring_) ring_->SetGain(gain);
}

int64_t Session::Position() const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return ring_ ? ring_->Position() : 0;
}

LXMediaInfo Session::MediaInfo() const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return info_;
}

std::u16string Session::Title() const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return title_;
}

bool Session::RecordSource(Recorder::Source* source) const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    if (!ring_ || (phase_ != Phase::Playing && phase_ != Phase::Buffering)) return false;
    source->isMp3 = sourceIsMp3_;
    source->sampleRate = ring_->SampleRate();
    source->channels = ring_->Channels();
    source->bitRateKbps = info_.bitRate;
    source->generation = config_.generation;
    return true;
}

void Session::SetPhaseAndPost(Phase phase, int state) {
    std::lock_guard<std::mutex> lock(stateMutex_);
    phase_ = phase;
    if (config_.notifier) config_.notifier->PostState(config_.generation, state);
}

void Session::OnTitle(const std::string& raw) {
    const std::u16string title = DecodeTitle(raw);
    std::lock_guard<std::mutex> lock(stateMutex_);
    if (title == title_) return;
    title_ = title;
    if (config_.notifier) {
        config_.notifier->Post(config_.generation, LXMSG_TITLE, 0, static_cast<intptr_t>(config_.generation));
    }
}

// ---------------------------------------------------------------------------------------------
// Opening
// ---------------------------------------------------------------------------------------------

int Session::IoOpen(AVFormatContext* s, AVIOContext** pb, const char* url, int flags, AVDictionary** options) {
    auto* self = static_cast<Session*>(s->opaque);
    if (!IsHttp(url)) return self->defaultIoOpen_(s, pb, url, flags, options);
    auto stream = std::make_unique<CurlStream>(url, self->config_.proxy, [self] { return self->ShouldAbort(); });
    if (!stream->Open()) {
        self->ioFailed_ = true;
        return self->abort_ ? AVERROR_EXIT : AVERROR(EIO);
    }
    auto* input = new NetworkInput(std::move(stream));
    AVIOContext* context = input->Context();
    if (context == nullptr) {
        delete input;
        return AVERROR(ENOMEM);
    }
    *pb = context;
    return 0;
}

void Session::IoClose(AVFormatContext* s, AVIOContext* pb) {
    auto* self = static_cast<Session*>(s->opaque);
    if (pb == nullptr) return;
    if (NetworkInput::Owns(pb)) {
        delete NetworkInput::From(pb);
        return;
    }
    self->defaultIoClose_(s, pb);
}

void Session::CloseFormat() {
    if (format_ != nullptr) avformat_close_input(&format_);
    delete topInput_;
    topInput_ = nullptr;
}

Session::OpenResult Session::OpenAddress(const std::string& address, int depth) {
    if (depth > kMaxPlaylistDepth || ShouldAbort()) return abort_ ? OpenResult::Aborted : OpenResult::Failed;
    if (StartsWithNoCase(address, "mms://")) {
        const std::string rest = address.substr(6);
        const OpenResult http = OpenNative("mmsh://" + rest, nullptr);
        if (http == OpenResult::Ok || http == OpenResult::Aborted) return http;
        return OpenNative("mmst://" + rest, nullptr);
    }
    if (StartsWithNoCase(address, "mmsh://") || StartsWithNoCase(address, "mmst://")) {
        return OpenNative(address, nullptr);
    }
    if (IsHttp(address)) return OpenNetwork(address, depth);
    if (address.find("://") != std::string::npos && !StartsWithNoCase(address, "file://")) {
        return OpenResult::Unsupported;
    }
    const std::string path = StartsWithNoCase(address, "file://") ? PercentDecode(address.substr(7)) : address;
    const Playlist::Kind kind = Playlist::FromAddress(path, "");
    if (kind == Playlist::Kind::Pls || kind == Playlist::Kind::M3u || kind == Playlist::Kind::Asx) {
        std::ifstream file(path, std::ios::binary);
        if (!file) return OpenResult::Failed;
        std::string body(kMaxPlaylistBytes, '\0');
        file.read(body.data(), static_cast<std::streamsize>(body.size()));
        body.resize(static_cast<size_t>(file.gcount()));
        const Playlist::Kind content = Playlist::FromContent(body);
        const size_t slash = path.rfind('/');
        const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
        std::vector<std::string> entries;
        for (std::string& e : Playlist::Entries(content == Playlist::Kind::None ? kind : content, body, "")) {
            entries.push_back((e.find("://") != std::string::npos || e.front() == '/') ? e : folder + e);
        }
        return OpenPlaylistEntries(entries, depth + 1);
    }
    return OpenNative(path, nullptr);
}

Session::OpenResult Session::OpenPlaylistEntries(const std::vector<std::string>& entries, int depth) {
    OpenResult last = OpenResult::Failed;
    for (const std::string& entry : entries) {
        last = OpenAddress(entry, depth);
        if (last == OpenResult::Ok || last == OpenResult::Aborted) return last;
        CloseFormat();
    }
    return last;
}

Session::OpenResult Session::OpenNetwork(const std::string& url, int depth) {
    auto stream = std::make_unique<CurlStream>(url, config_.proxy, [this] { return ShouldAbort(); });
    stream->EnableIcy([this](const std::string& raw) { OnTitle(raw); });
    if (!stream->Open()) {
        EngineTrace("%s: %s", url.c_str(), stream->ErrorText().c_str());
        return abort_ ? OpenResult::Aborted : OpenResult::Failed;
    }
    EngineTrace("%s: answered %s", url.c_str(), stream->ContentType().c_str());
    const std::string base = stream->EffectiveUrl().empty() ? url : stream->EffectiveUrl();
    const std::string type = stream->ContentType();
    const int icyBitrate = stream->IcyBitrate();
    Playlist::Kind kind = Playlist::FromAddress(base, type);
    const char* formatName = FormatForContentType(type);
    auto input = std::make_unique<NetworkInput>(std::move(stream));
    const bool vague = formatName == nullptr || std::strcmp(formatName, "asf") == 0;
    if (vague || kind == Playlist::Kind::M3u || kind == Playlist::Kind::Pls || kind == Playlist::Kind::Asx) {
        const Playlist::Kind content = Playlist::FromContent(input->Peek(4096));
        if (content != Playlist::Kind::None) {
            kind = content;
        } else if (formatName != nullptr && kind != Playlist::Kind::Hls) {
            kind = Playlist::Kind::None;  // named like a playlist, but it is media
        }
    }
    if (kind == Playlist::Kind::Pls || kind == Playlist::Kind::M3u || kind == Playlist::Kind::Asx) {
        std::string rest;
        if (!input->Stream().ReadAll(&rest, kMaxPlaylistBytes)) return abort_ ? OpenResult::Aborted : OpenResult::Failed;
        const std::string body = input->Peeked() + rest;
        return OpenPlaylistEntries(Playlist::Entries(kind, body, base), depth + 1);
    }
    if (kind == Playlist::Kind::Hls) formatName = "hls";

    format_ = avformat_alloc_context();
    if (format_ == nullptr) return OpenResult::Failed;
    format_->interrupt_callback = {&Session::InterruptCallback, this};
    format_->opaque = this;
    defaultIoOpen_ = format_->io_open;
    defaultIoClose_ = format_->io_close;
    format_->io_open = &Session::IoOpen;
    format_->io_close = &Session::IoClose;
    topInput_ = input.release();
    format_->pb = topInput_->Context();
    format_->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (formatName == nullptr) format_->probesize = 256 * 1024;
    const AVInputFormat* inputFormat = formatName != nullptr ? av_find_input_format(formatName) : nullptr;
    AVDictionary* options = nullptr;
    if (kind == Playlist::Kind::Hls) av_dict_set(&options, "http_persistent", "0", 0);
    ioFailed_ = false;
    const int err = avformat_open_input(&format_, base.c_str(), inputFormat, &options);
    av_dict_free(&options);
    if (err < 0) {
        EngineTrace("%s: demuxer %s: %s (%s)", base.c_str(), formatName ? formatName : "probe", ErrorString(err).c_str(),
                    topInput_->Stream().ErrorText().c_str());
        format_ = nullptr;  // freed by avformat_open_input
        const bool ioError = ioFailed_ || err == AVERROR(EIO) || err == AVERROR_EXIT || topInput_->Stream().ErrorText().size() > 0;
        delete topInput_;
        topInput_ = nullptr;
        if (abort_) return OpenResult::Aborted;
        return ioError ? OpenResult::Failed : OpenResult::Unsupported;
    }
    EngineTrace("%s: demuxer %s open", base.c_str(), format_->iformat->name);
    const OpenResult r = FinishOpen(formatName == nullptr);
    if (r == OpenResult::Ok && icyBitrate > 0) {
        std::lock_guard<std::mutex> lock(stateMutex_);
        if (info_.bitRate == 0) info_.bitRate = icyBitrate;
    }
    return r;
}

Session::OpenResult Session::OpenNative(const std::string& url, const char* formatName) {
    format_ = avformat_alloc_context();
    if (format_ == nullptr) return OpenResult::Failed;
    format_->interrupt_callback = {&Session::InterruptCallback, this};
    format_->opaque = this;
    const AVInputFormat* inputFormat = formatName != nullptr ? av_find_input_format(formatName) : nullptr;
    const int err = avformat_open_input(&format_, url.c_str(), inputFormat, nullptr);
    if (err < 0) {
        EngineTrace("%s: %s", url.c_str(), ErrorString(err).c_str());
        format_ = nullptr;
        if (abort_) return OpenResult::Aborted;
        return err == AVERROR_INVALIDDATA ? OpenResult::Unsupported : OpenResult::Failed;
    }
    const bool local = url.find("://") == std::string::npos;
    return FinishOpen(local);
}

Session::OpenResult Session::FinishOpen(bool needStreamInfo) {
    if (needStreamInfo || format_->nb_streams == 0) {
        format_->max_analyze_duration = 2 * AV_TIME_BASE;
        if (avformat_find_stream_info(format_, nullptr) < 0 && format_->nb_streams == 0) {
            return abort_ ? OpenResult::Aborted : OpenResult::Unsupported;
        }
    }
    // The first audio stream with a decoder. (av_find_best_stream would skip streams whose rate
    // is not known yet, which is the case without the slow stream-info pass.)
    const AVCodec* decoder = nullptr;
    streamIndex_ = -1;
    for (unsigned i = 0; i < format_->nb_streams && streamIndex_ < 0; ++i) {
        const AVCodecParameters* par = format_->streams[i]->codecpar;
        if (par->codec_type != AVMEDIA_TYPE_AUDIO) continue;
        decoder = avcodec_find_decoder(par->codec_id);
        if (decoder != nullptr) streamIndex_ = static_cast<int>(i);
    }
    if (streamIndex_ < 0 || decoder == nullptr) {
        EngineTrace("%s: no audio stream among %u", format_->url, format_->nb_streams);
        return OpenResult::Unsupported;
    }
    for (unsigned i = 0; i < format_->nb_streams; ++i) {
        if (static_cast<int>(i) != streamIndex_) format_->streams[i]->discard = AVDISCARD_ALL;
    }
    AVStream* stream = format_->streams[streamIndex_];
    codec_ = avcodec_alloc_context3(decoder);
    if (codec_ == nullptr || avcodec_parameters_to_context(codec_, stream->codecpar) < 0) return OpenResult::Failed;
    codec_->pkt_timebase = stream->time_base;
    codec_->thread_count = 1;
    if (avcodec_open2(codec_, decoder, nullptr) < 0) {
        EngineTrace("%s: decoder %s cannot open", format_->url, decoder->name);
        return OpenResult::Unsupported;
    }
    sourceIsMp3_ = stream->codecpar->codec_id == AV_CODEC_ID_MP3;

    const bool hasDuration = format_->duration > 0 && format_->duration != AV_NOPTS_VALUE;
    const bool pbSeekable = format_->pb != nullptr && (format_->pb->seekable & AVIO_SEEKABLE_NORMAL) != 0;
    const bool hls = std::strcmp(format_->iformat->name, "hls") == 0;
    seekable_ = hasDuration && (pbSeekable || hls);

    std::lock_guard<std::mutex> lock(stateMutex_);
    live_ = !seekable_;
    info_.sampleRate = stream->codecpar->sample_rate;
    info_.channels = stream->codecpar->ch_layout.nb_channels;
    info_.bitsPerSample = stream->codecpar->bits_per_coded_sample > 0 && FormatTagFor(stream->codecpar->codec_id) == 1
                              ? stream->codecpar->bits_per_coded_sample
                              : 16;
    int64_t bitRate = stream->codecpar->bit_rate;
    if (bitRate <= 0 && seekable_) bitRate = format_->bit_rate;
    info_.bitRate = bitRate > 0 ? static_cast<int32_t>((bitRate + 500) / 1000) : 0;
    info_.formatTag = FormatTagFor(stream->codecpar->codec_id);
    info_.duration = seekable_ ? format_->duration * 10 : 0;
    return OpenResult::Ok;
}

// ---------------------------------------------------------------------------------------------
// Decoding
// ---------------------------------------------------------------------------------------------

void Session::DecodeMain() {
    openDeadline_ = Clock::now() + config_.openTimeout;
    measureStart_ = Clock::now();
    const OpenResult r = OpenAddress(config_.address, 0);
    if (r != OpenResult::Ok) {
        if (r != OpenResult::Aborted) SetPhaseAndPost(Phase::Failed, r == OpenResult::Unsupported ? LXSTATE_UNSUPPORTED : LXSTATE_OPEN_FAILED);
    } else {
        if (!measure_) connected_ = true;
        {
            std::lock_guard<std::mutex> lock(stateMutex_);
            if (config_.notifier) {
                config_.notifier->PostState(config_.generation, LXSTATE_CONNECTED);
                config_.notifier->PostState(config_.generation, LXSTATE_BUFFERING);
            }
            phase_ = Phase::Buffering;
        }
        RunDecoder();
    }
    if (output_) output_->Stop();
    swr_free(&swr_);
    avcodec_free_context(&codec_);
    CloseFormat();
}

void Session::RunDecoder() {
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    bool ended = false;
    bool running = true;
    while (running && !abort_) {
        const int64_t seek = seekTarget_.exchange(-1);
        if (seek >= 0 && seekable_) {
            const int64_t ts = seek / 10;  // AV_TIME_BASE is microseconds
            avformat_seek_file(format_, -1, INT64_MIN, ts, ts, 0);
            avcodec_flush_buffers(codec_);
            if (ring_) ring_->Flush(seek);
            skipUntil_ = seek;
            ended = false;
        }
        if (ended) {
            std::unique_lock<std::mutex> lock(stateMutex_);
            stateChanged_.wait_for(lock, std::chrono::milliseconds(100),
                                   [this] { return stopping_ || seekTarget_.load() >= 0; });
            continue;
        }
        if (live_ && ring_ && ring_->Running() && ring_->FillFrames() > ring_->CapacityFrames() / 2) {
            // Plenty buffered: let the network gather data for a while and take it in one go
            // instead of waking for every small packet of a live stream.
            std::unique_lock<std::mutex> lock(stateMutex_);
            stateChanged_.wait_for(lock, kLiveReadPause, [this] { return stopping_; });
            continue;
        }
        const int err = av_read_frame(format_, packet);
        if (err == AVERROR(EAGAIN)) continue;
        if (err < 0) {
            if (abort_) break;
            EngineTrace("%s: input ended: %s", config_.address.c_str(), ErrorString(err).c_str());
            avcodec_send_packet(codec_, nullptr);
            while (running && avcodec_receive_frame(codec_, frame) == 0) {
                running = DeliverFrame(frame);
                av_frame_unref(frame);
            }
            avcodec_flush_buffers(codec_);
            if (measure_) break;
            if (ring_) {
                ring_->SetEof();
            } else {
                SetPhaseAndPost(Phase::Failed, LXSTATE_OPEN_FAILED);
                break;
            }
            if (config_.recorder) config_.recorder->OnSourceEnded(config_.generation);
            // Stay (idle) until stopped: the output must play out what is buffered, and a file
            // may still be sought back into.
            ended = true;
            continue;
        }
        if (packet->stream_index != streamIndex_) {
            av_packet_unref(packet);
            continue;
        }
        if (config_.recorder && sourceIsMp3_ && config_.recorder->WantsPackets()) {
            config_.recorder->OnPacket(config_.generation, packet->data, static_cast<size_t>(packet->size));
        }
        packetBytes_ += packet->size;
        if (avcodec_send_packet(codec_, packet) >= 0) {
            while (running && avcodec_receive_frame(codec_, frame) == 0) {
                running = DeliverFrame(frame);
                av_frame_unref(frame);
            }
        }
        av_packet_unref(packet);
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
}

bool Session::EnsureOutput(int sampleRate, int channels) {
    const int bufferSeconds = std::clamp(config_.bufferSeconds, 0, 60);
    auto ring = std::make_shared<AudioRing>(sampleRate, channels,
                                            static_cast<size_t>(sampleRate) * static_cast<size_t>(bufferSeconds + 1));
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        ring->SetGain(gain_);
        ring->SetPaused(paused_);
        ring_ = ring;
        targetFrames_ = static_cast<int64_t>(bufferSeconds) * sampleRate;
        if (stopping_) ring->Abort();
    }
    output_ = AudioOutput::Create(config_.nullOutput);
    if (!output_->Start(ring.get())) {
        SetPhaseAndPost(Phase::Failed, LXSTATE_OUTPUT_FAILED);
        return false;
    }
    return true;
}

bool Session::DeliverFrame(AVFrame* frame) {
    if (measure_) {
        measuredMs_ = static_cast<int32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - measureStart_).count());
        return false;
    }
    if (frame->nb_samples <= 0 || frame->sample_rate <= 0) return true;
    AVChannelLayout inLayout{};
    if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || frame->ch_layout.nb_channels == 0) {
        av_channel_layout_default(&inLayout, std::max(1, frame->ch_layout.nb_channels));
    } else {
        av_channel_layout_copy(&inLayout, &frame->ch_layout);
    }
    if (!ring_) EngineTrace("%s: first sound decoded", config_.address.c_str());
    if (!ring_ && !EnsureOutput(frame->sample_rate, inLayout.nb_channels == 1 ? 1 : 2)) {
        av_channel_layout_uninit(&inLayout);
        return false;
    }
    const uint64_t layoutHash = (static_cast<uint64_t>(inLayout.nb_channels) << 32) ^ inLayout.u.mask;
    if (swr_ == nullptr || swrInRate_ != frame->sample_rate || swrInFormat_ != frame->format ||
        swrInLayoutHash_ != layoutHash) {
        swr_free(&swr_);
        AVChannelLayout outLayout{};
        av_channel_layout_default(&outLayout, ring_->Channels());
        if (swr_alloc_set_opts2(&swr_, &outLayout, AV_SAMPLE_FMT_S16, ring_->SampleRate(), &inLayout,
                                static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr) < 0 ||
            swr_init(swr_) < 0) {
            swr_free(&swr_);
            av_channel_layout_uninit(&inLayout);
            return true;  // skip what cannot be converted
        }
        swrInRate_ = frame->sample_rate;
        swrInFormat_ = frame->format;
        swrInLayoutHash_ = layoutHash;
    }
    av_channel_layout_uninit(&inLayout);
    const int channels = ring_->Channels();
    const int capacity = swr_get_out_samples(swr_, frame->nb_samples);
    convertBuffer_.resize(static_cast<size_t>(std::max(capacity, 0)) * static_cast<size_t>(channels));
    auto* out = reinterpret_cast<uint8_t*>(convertBuffer_.data());
    const int n = swr_convert(swr_, &out, capacity, const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
    if (n <= 0) return true;
    const int16_t* samples = convertBuffer_.data();
    size_t frames = static_cast<size_t>(n);

    if (skipUntil_ >= 0) {
        const int64_t pts = frame->best_effort_timestamp;
        if (pts == AV_NOPTS_VALUE) {
            skipUntil_ = -1;
        } else {
            const AVRational tb = format_->streams[streamIndex_]->time_base;
            const int64_t start = av_rescale_q(pts, tb, AVRational{1, 10000000});
            const int64_t drop = (skipUntil_ - start) * ring_->SampleRate() / 10000000;
            if (drop >= static_cast<int64_t>(frames)) return true;
            if (drop > 0) {
                samples += drop * channels;
                frames -= static_cast<size_t>(drop);
            }
            skipUntil_ = -1;
        }
    }

    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        if (info_.sampleRate == 0) info_.sampleRate = frame->sample_rate;
        if (info_.channels == 0) info_.channels = frame->ch_layout.nb_channels;
        if (info_.bitRate == 0 && codec_->bit_rate > 0) info_.bitRate = static_cast<int32_t>((codec_->bit_rate + 500) / 1000);
        packetDuration_ += static_cast<int64_t>(frame->nb_samples) * 10000000 / frame->sample_rate;
        if (info_.bitRate == 0 && packetDuration_ >= 20000000) {
            info_.bitRate = static_cast<int32_t>(packetBytes_ * 8 * 10000 / packetDuration_);
        }
    }
    if (config_.recorder && config_.recorder->WantsPcm()) config_.recorder->OnPcm(config_.generation, samples, frames);
    if (!ring_->Push(samples, frames)) return false;
    if (!ring_->Running()) stateChanged_.notify_all();  // buffering: let the clock look at once
    return true;
}

// ---------------------------------------------------------------------------------------------
// Clock: buffering, positions, spectrum
// ---------------------------------------------------------------------------------------------

void Session::ClockMain() {
    // Warm up the sound device's library while the decode thread waits for the network.
    const bool sdl = !config_.nullOutput && SdlAudioOutput::AcquireAudio();
    ClockLoop();
    if (sdl) SdlAudioOutput::ReleaseAudio();
}

void Session::ClockLoop() {
    std::unique_ptr<SpectrumAnalyzer> analyzer;
    std::vector<float> history(SpectrumAnalyzer::kFftSize);
    auto lastPosition = Clock::time_point{};
    auto lastSpectrum = Clock::time_point{};
    int lastPercent = -1;
    Notifier& notifier = *config_.notifier;
    const uint32_t gen = config_.generation;
    std::unique_lock<std::mutex> lock(stateMutex_);
    auto wake = Clock::now();
    while (!stopping_) {
        // While buffering, look often (playing starts on the next tick); while playing, wake
        // only when a position or spectrum update is due.
        wake = phase_ == Phase::Playing && !paused_ ? std::max(wake, Clock::now()) : Clock::now() + kClockTick;
        stateChanged_.wait_until(lock, wake);
        if (stopping_) break;
        if (!ring_) continue;
        AudioRing& ring = *ring_;
        const auto now = Clock::now();
        if (phase_ == Phase::Buffering) {
            const int64_t fill = static_cast<int64_t>(ring.FillFrames());
            const bool full = ring.Eof() || fill >= std::max<int64_t>(targetFrames_, 1);
            int percent = targetFrames_ > 0 ? static_cast<int>(std::min<int64_t>(100, fill * 100 / targetFrames_)) : 100;
            if (!full) percent = std::min(percent, 99);
            if (percent != lastPercent) {
                notifier.Post(gen, LXMSG_BUFFER, static_cast<uintptr_t>(percent), static_cast<intptr_t>(gen));
                lastPercent = percent;
            }
            if (full && playWanted_ && !paused_) {
                ring.SetRunning(true);
                phase_ = Phase::Playing;
                notifier.PostState(gen, LXSTATE_PLAYING);
                lastPosition = Clock::time_point{};
            }
            continue;
        }
        if (phase_ != Phase::Playing || paused_) continue;
        if (ring.Eof() && ring.FillFrames() == 0) {
            phase_ = Phase::Ended;
            notifier.PostState(gen, LXSTATE_ENDED);
            continue;
        }
        if (live_ && ring.TakeUnderrun() && !ring.Eof()) {
            ring.SetRunning(false);
            phase_ = Phase::Buffering;
            lastPercent = -1;
            notifier.PostState(gen, LXSTATE_BUFFERING);
            continue;
        }
        if (now - lastPosition >= kPositionInterval) {
            const auto position = static_cast<uint64_t>(ring.Position());
            notifier.Post(gen, LXMSG_POSITION, static_cast<uintptr_t>(position & 0xFFFFFFFFu),
                          static_cast<intptr_t>(static_cast<int32_t>(position >> 32)));
            lastPosition = now;
        }
        if (spectrum_ && now - lastSpectrum >= kSpectrumInterval) {
            if (!analyzer) analyzer = std::make_unique<SpectrumAnalyzer>();
            ring.CopyHistory(history.data(), history.size());
            auto* values = static_cast<float*>(std::malloc(sizeof(float) * SpectrumAnalyzer::kBins));
            if (values != nullptr) {
                analyzer->Compute(history.data(), values);
                notifier.PostSpectrum(gen, values, SpectrumAnalyzer::kBins);
            }
            lastSpectrum = Clock::now();  // from the post itself, so that posts are >= 40 ms apart
        }
        wake = std::min(lastPosition + kPositionInterval, spectrum_ ? lastSpectrum + kSpectrumInterval : lastPosition + kPositionInterval);
        wake = std::min(wake, now + kPositionInterval);
    }
}

// ---------------------------------------------------------------------------------------------
// Measuring
// ---------------------------------------------------------------------------------------------

int32_t Session::Measure(const std::string& address, const ProxySettings& proxy) {
    Config config;
    config.address = address;
    config.proxy = proxy;
    Session session(std::move(config));
    session.measure_ = true;
    session.DecodeMain();
    return session.measuredMs_;
}

}  // namespace lxengine
