// The dlopen'ed FFmpeg and the forwarding definitions of the functions the engine uses (see the
// header). Each forwarder has FFmpeg's own declaration (the headers are included), so a mismatch
// does not compile.
#include "FfmpegLibrary.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
}

#include <dlfcn.h>

#include <cstdlib>
#include <mutex>
#include <thread>

#include "EngineTrace.h"

namespace lxengine {
namespace {

// Every function the engine calls, with the library that holds it.
#define LX_FFMPEG_FUNCTIONS(X)                                  \
    X(avutil, av_malloc)                                        \
    X(avutil, av_free)                                          \
    X(avutil, av_freep)                                         \
    X(avutil, av_strerror)                                      \
    X(avutil, av_log_set_level)                                 \
    X(avutil, av_rescale_q)                                     \
    X(avutil, av_dict_set)                                      \
    X(avutil, av_dict_free)                                     \
    X(avutil, av_frame_alloc)                                   \
    X(avutil, av_frame_free)                                    \
    X(avutil, av_frame_unref)                                   \
    X(avutil, av_channel_layout_default)                        \
    X(avutil, av_channel_layout_copy)                           \
    X(avutil, av_channel_layout_uninit)                         \
    X(avcodec, av_packet_alloc)                                 \
    X(avcodec, av_packet_free)                                  \
    X(avcodec, av_packet_unref)                                 \
    X(avcodec, avcodec_find_decoder)                            \
    X(avcodec, avcodec_alloc_context3)                          \
    X(avcodec, avcodec_free_context)                            \
    X(avcodec, avcodec_parameters_to_context)                   \
    X(avcodec, avcodec_open2)                                   \
    X(avcodec, avcodec_send_packet)                             \
    X(avcodec, avcodec_receive_frame)                           \
    X(avcodec, avcodec_flush_buffers)                           \
    X(avformat, avformat_alloc_context)                         \
    X(avformat, avformat_open_input)                            \
    X(avformat, avformat_close_input)                           \
    X(avformat, avformat_find_stream_info)                      \
    X(avformat, av_find_input_format)                           \
    X(avformat, av_find_best_stream)                            \
    X(avformat, avformat_seek_file)                             \
    X(avformat, av_read_frame)                                  \
    X(avformat, avio_alloc_context)                             \
    X(avformat, avio_context_free)                              \
    X(swresample, swr_alloc_set_opts2)                          \
    X(swresample, swr_init)                                     \
    X(swresample, swr_free)                                     \
    X(swresample, swr_convert)                                  \
    X(swresample, swr_get_out_samples)

struct Table {
#define LX_FIELD(lib, name) decltype(&::name) name = nullptr;
    LX_FFMPEG_FUNCTIONS(LX_FIELD)
#undef LX_FIELD
};

Table g_table;
bool g_ok = false;
std::once_flag g_once;

void Load() {
    // Dependencies first, so that each dlopen finds what the next one needs.
    struct Lib {
        const char* key;
        const char* file;
        void* handle;
    } libs[] = {{"avutil", "libavutil.so.57", nullptr},
                {"swresample", "libswresample.so.4", nullptr},
                {"avcodec", "libavcodec.so.59", nullptr},
                {"avformat", "libavformat.so.59", nullptr}};
    for (Lib& l : libs) {
        l.handle = dlopen(l.file, RTLD_NOW | RTLD_LOCAL);
        if (l.handle == nullptr) {
            EngineTrace("cannot load %s: %s", l.file, dlerror());
            return;
        }
    }
    auto find = [&](const char* key, const char* name) -> void* {
        for (const Lib& l : libs) {
            if (std::string_view(l.key) == key) return dlsym(l.handle, name);
        }
        return nullptr;
    };
    bool all = true;
#define LX_RESOLVE(lib, name)                                                             \
    g_table.name = reinterpret_cast<decltype(&::name)>(find(#lib, #name));                \
    if (g_table.name == nullptr) {                                                        \
        EngineTrace("FFmpeg lacks %s", #name);                                            \
        all = false;                                                                      \
    }
    LX_FFMPEG_FUNCTIONS(LX_RESOLVE)
#undef LX_RESOLVE
    // The libraries stay loaded for the life of the process (FFmpeg keeps global state).
    if (!all) return;
    g_table.av_log_set_level(std::getenv("LOXANRADIO_TRACE") != nullptr ? AV_LOG_WARNING : AV_LOG_QUIET);
    g_ok = true;
}

// The background load, joined when the library goes away.
struct Prefetcher {
    std::mutex mutex;
    std::thread thread;  // guarded by mutex
    ~Prefetcher() {
        std::lock_guard<std::mutex> lock(mutex);
        if (thread.joinable()) thread.join();
    }
};
Prefetcher g_prefetcher;

const Table& T() {
    std::call_once(g_once, Load);
    return g_table;
}

}  // namespace

void FfmpegLibrary::Prefetch() {
    std::lock_guard<std::mutex> lock(g_prefetcher.mutex);
    if (!g_prefetcher.thread.joinable()) g_prefetcher.thread = std::thread([] { T(); });
}

bool FfmpegLibrary::Ready() {
    T();
    return g_ok;
}

}  // namespace lxengine

using lxengine::T;

// Forwarders. Without FFmpeg, allocations return null and operations report an error.
extern "C" {
void* av_malloc(size_t size) { return T().av_malloc ? T().av_malloc(size) : nullptr; }
void av_free(void* ptr) { if (T().av_free) T().av_free(ptr); }
void av_freep(void* ptr) { if (T().av_freep) T().av_freep(ptr); }
int av_strerror(int errnum, char* buf, size_t size) {
    if (T().av_strerror) return T().av_strerror(errnum, buf, size);
    if (size > 0) buf[0] = 0;
    return -1;
}
void av_log_set_level(int level) { if (T().av_log_set_level) T().av_log_set_level(level); }
int64_t av_rescale_q(int64_t a, AVRational bq, AVRational cq) { return T().av_rescale_q ? T().av_rescale_q(a, bq, cq) : 0; }
int av_dict_set(AVDictionary** pm, const char* key, const char* value, int flags) {
    return T().av_dict_set ? T().av_dict_set(pm, key, value, flags) : AVERROR(ENOSYS);
}
void av_dict_free(AVDictionary** m) { if (T().av_dict_free) T().av_dict_free(m); }
AVFrame* av_frame_alloc(void) { return T().av_frame_alloc ? T().av_frame_alloc() : nullptr; }
void av_frame_free(AVFrame** frame) { if (T().av_frame_free) T().av_frame_free(frame); }
void av_frame_unref(AVFrame* frame) { if (T().av_frame_unref) T().av_frame_unref(frame); }
void av_channel_layout_default(AVChannelLayout* layout, int channels) {
    if (T().av_channel_layout_default) T().av_channel_layout_default(layout, channels);
}
int av_channel_layout_copy(AVChannelLayout* dst, const AVChannelLayout* src) {
    return T().av_channel_layout_copy ? T().av_channel_layout_copy(dst, src) : AVERROR(ENOSYS);
}
void av_channel_layout_uninit(AVChannelLayout* layout) {
    if (T().av_channel_layout_uninit) T().av_channel_layout_uninit(layout);
}
AVPacket* av_packet_alloc(void) { return T().av_packet_alloc ? T().av_packet_alloc() : nullptr; }
void av_packet_free(AVPacket** pkt) { if (T().av_packet_free) T().av_packet_free(pkt); }
void av_packet_unref(AVPacket* pkt) { if (T().av_packet_unref) T().av_packet_unref(pkt); }
const AVCodec* avcodec_find_decoder(enum AVCodecID id) { return T().avcodec_find_decoder ? T().avcodec_find_decoder(id) : nullptr; }
AVCodecContext* avcodec_alloc_context3(const AVCodec* codec) {
    return T().avcodec_alloc_context3 ? T().avcodec_alloc_context3(codec) : nullptr;
}
void avcodec_free_context(AVCodecContext** avctx) { if (T().avcodec_free_context) T().avcodec_free_context(avctx); }
int avcodec_parameters_to_context(AVCodecContext* codec, const AVCodecParameters* par) {
    return T().avcodec_parameters_to_context ? T().avcodec_parameters_to_context(codec, par) : AVERROR(ENOSYS);
}
int avcodec_open2(AVCodecContext* avctx, const AVCodec* codec, AVDictionary** options) {
    return T().avcodec_open2 ? T().avcodec_open2(avctx, codec, options) : AVERROR(ENOSYS);
}
int avcodec_send_packet(AVCodecContext* avctx, const AVPacket* avpkt) {
    return T().avcodec_send_packet ? T().avcodec_send_packet(avctx, avpkt) : AVERROR(ENOSYS);
}
int avcodec_receive_frame(AVCodecContext* avctx, AVFrame* frame) {
    return T().avcodec_receive_frame ? T().avcodec_receive_frame(avctx, frame) : AVERROR(ENOSYS);
}
void avcodec_flush_buffers(AVCodecContext* avctx) { if (T().avcodec_flush_buffers) T().avcodec_flush_buffers(avctx); }
AVFormatContext* avformat_alloc_context(void) { return T().avformat_alloc_context ? T().avformat_alloc_context() : nullptr; }
int avformat_open_input(AVFormatContext** ps, const char* url, const AVInputFormat* fmt, AVDictionary** options) {
    if (T().avformat_open_input) return T().avformat_open_input(ps, url, fmt, options);
    if (ps != nullptr) *ps = nullptr;  // as FFmpeg does on failure (a caller's context is lost)
    return AVERROR(ENOSYS);
}
void avformat_close_input(AVFormatContext** s) { if (T().avformat_close_input) T().avformat_close_input(s); }
int avformat_find_stream_info(AVFormatContext* ic, AVDictionary** options) {
    return T().avformat_find_stream_info ? T().avformat_find_stream_info(ic, options) : AVERROR(ENOSYS);
}
const AVInputFormat* av_find_input_format(const char* name) {
    return T().av_find_input_format ? T().av_find_input_format(name) : nullptr;
}
int av_find_best_stream(AVFormatContext* ic, enum AVMediaType type, int wanted, int related, const AVCodec** decoder,
                        int flags) {
    return T().av_find_best_stream ? T().av_find_best_stream(ic, type, wanted, related, decoder, flags)
                                   : AVERROR_STREAM_NOT_FOUND;
}
int avformat_seek_file(AVFormatContext* s, int index, int64_t min_ts, int64_t ts, int64_t max_ts, int flags) {
    return T().avformat_seek_file ? T().avformat_seek_file(s, index, min_ts, ts, max_ts, flags) : AVERROR(ENOSYS);
}
int av_read_frame(AVFormatContext* s, AVPacket* pkt) { return T().av_read_frame ? T().av_read_frame(s, pkt) : AVERROR_EOF; }
AVIOContext* avio_alloc_context(unsigned char* buffer, int buffer_size, int write_flag, void* opaque,
                                int (*read_packet)(void*, uint8_t*, int), int (*write_packet)(void*, uint8_t*, int),
                                int64_t (*seek)(void*, int64_t, int)) {
    return T().avio_alloc_context
               ? T().avio_alloc_context(buffer, buffer_size, write_flag, opaque, read_packet, write_packet, seek)
               : nullptr;
}
void avio_context_free(AVIOContext** s) { if (T().avio_context_free) T().avio_context_free(s); }
int swr_alloc_set_opts2(SwrContext** ps, AVChannelLayout* out_layout, enum AVSampleFormat out_fmt, int out_rate,
                        AVChannelLayout* in_layout, enum AVSampleFormat in_fmt, int in_rate, int log_offset,
                        void* log_ctx) {
    return T().swr_alloc_set_opts2
               ? T().swr_alloc_set_opts2(ps, out_layout, out_fmt, out_rate, in_layout, in_fmt, in_rate, log_offset, log_ctx)
               : AVERROR(ENOSYS);
}
int swr_init(SwrContext* s) { return T().swr_init ? T().swr_init(s) : AVERROR(ENOSYS); }
void swr_free(SwrContext** s) { if (T().swr_free) T().swr_free(s); }
int swr_convert(SwrContext* s, uint8_t** out, int out_count, const uint8_t** in, int in_count) {
    return T().swr_convert ? T().swr_convert(s, out, out_count, in, in_count) : AVERROR(ENOSYS);
}
int swr_get_out_samples(SwrContext* s, int in_samples) {
    return T().swr_get_out_samples ? T().swr_get_out_samples(s, in_samples) : AVERROR(ENOSYS);
}
}
