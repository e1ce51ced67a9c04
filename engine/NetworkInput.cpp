// AVIO glue between FFmpeg and CurlStream (see the header).
#include "NetworkInput.h"

#include <algorithm>
#include <cerrno>

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace lxengine {
namespace {
constexpr int kAvioBufferSize = 32 * 1024;
}

NetworkInput::NetworkInput(std::unique_ptr<CurlStream> stream) : stream_(std::move(stream)) {}

NetworkInput::~NetworkInput() {
    if (context_ != nullptr) {
        av_freep(&context_->buffer);
        avio_context_free(&context_);
    }
}

const std::string& NetworkInput::Peek(size_t size) {
    std::string buffer(size, '\0');
    size_t got = 0;
    while (got < size) {
        const int n = stream_->Read(reinterpret_cast<uint8_t*>(buffer.data() + got), static_cast<int>(size - got));
        if (n <= 0) break;
        got += static_cast<size_t>(n);
        if (got >= 512) break;  // enough to recognise a playlist; do not wait for more
    }
    buffer.resize(got);
    prefix_ = std::move(buffer);
    return prefix_;
}

AVIOContext* NetworkInput::Context() {
    if (context_ != nullptr) return context_;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kAvioBufferSize));
    if (buffer == nullptr) return nullptr;
    context_ = avio_alloc_context(buffer, kAvioBufferSize, 0, this, &NetworkInput::ReadPacket, nullptr,
                                  &NetworkInput::SeekTo);
    if (context_ == nullptr) {
        av_free(buffer);
        return nullptr;
    }
    context_->seekable = stream_->Seekable() ? AVIO_SEEKABLE_NORMAL : 0;
    return context_;
}

NetworkInput* NetworkInput::From(AVIOContext* context) { return static_cast<NetworkInput*>(context->opaque); }

bool NetworkInput::Owns(AVIOContext* context) { return context->read_packet == &NetworkInput::ReadPacket; }

int NetworkInput::ReadPacket(void* self, uint8_t* buffer, int size) {
    auto* in = static_cast<NetworkInput*>(self);
    int n;
    if (in->prefixValid_ && in->position_ < static_cast<int64_t>(in->prefix_.size())) {
        n = static_cast<int>(std::min<int64_t>(size, static_cast<int64_t>(in->prefix_.size()) - in->position_));
        std::copy_n(in->prefix_.data() + in->position_, n, buffer);
    } else {
        n = in->stream_->Read(buffer, size);
        if (n < 0) return in->stream_->Aborted() ? AVERROR_EXIT : AVERROR(EIO);
        if (n == 0) return AVERROR_EOF;
    }
    in->position_ += n;
    in->bytesRead_ += n;
    return n;
}

int64_t NetworkInput::SeekTo(void* self, int64_t offset, int whence) {
    auto* in = static_cast<NetworkInput*>(self);
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) return in->stream_->Size() >= 0 ? in->stream_->Size() : AVERROR(ENOSYS);
    int64_t target = offset;
    if (whence == SEEK_CUR) target = in->position_ + offset;
    if (whence == SEEK_END) {
        if (in->stream_->Size() < 0) return AVERROR(ENOSYS);
        target = in->stream_->Size() + offset;
    }
    if (in->prefixValid_ && target <= static_cast<int64_t>(in->prefix_.size()) &&
        in->stream_->Position() == static_cast<int64_t>(in->prefix_.size())) {
        in->position_ = target;
        return target;
    }
    in->prefixValid_ = false;
    if (!in->stream_->Seek(target)) return AVERROR(ENOSYS);
    in->position_ = target;
    return target;
}

}  // namespace lxengine
