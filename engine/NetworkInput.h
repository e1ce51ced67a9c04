// FFmpeg's view of a CurlStream: an AVIOContext whose reads and seeks go to the stream, with the
// first bytes kept aside when the session had to look at them before choosing the demuxer.
// Threading: used only by the session's decode thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "CurlStream.h"

struct AVIOContext;

namespace lxengine {

class NetworkInput {
public:
    explicit NetworkInput(std::unique_ptr<CurlStream> stream);
    ~NetworkInput();
    NetworkInput(const NetworkInput&) = delete;
    NetworkInput& operator=(const NetworkInput&) = delete;

    CurlStream& Stream() { return *stream_; }
    // Reads up to `size` bytes ahead without consuming them (once, before any other read).
    const std::string& Peek(size_t size);
    const std::string& Peeked() const { return prefix_; }
    // Makes the AVIOContext (owned by this object); null on allocation failure.
    AVIOContext* Context();
    // Audio bytes delivered so far (for a bit-rate estimate).
    int64_t BytesRead() const { return bytesRead_; }

    // The NetworkInput behind an AVIOContext made by Context().
    static NetworkInput* From(AVIOContext* context);
    // True when `context` was made by Context().
    static bool Owns(AVIOContext* context);

private:
    static int ReadPacket(void* self, uint8_t* buffer, int size);
    static int64_t SeekTo(void* self, int64_t offset, int whence);

    std::unique_ptr<CurlStream> stream_;
    std::string prefix_;
    int64_t position_ = 0;
    int64_t bytesRead_ = 0;
    bool prefixValid_ = true;  // the stream sits right after the prefix
    AVIOContext* context_ = nullptr;
};

}  // namespace lxengine
