// One HTTP(S) resource read through libcurl as a byte stream: the engine's only way onto the
// network (the demuxer's custom I/O and its io_open both land here), so the proxy reaches every
// request. Strips ICY metadata out of the audio and reports stream titles.
// Threading: owned by one thread (the session's decode thread), which also drives the transfer
// inside Open/Read/Seek; the abort check lets another thread end any wait within 50 ms.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ProxySettings.h"

typedef void CURL;
typedef void CURLM;
struct curl_slist;

namespace lxengine {

class CurlStream {
public:
    using AbortCheck = std::function<bool()>;
    using TitleSink = std::function<void(const std::string& rawTitle)>;

    CurlStream(std::string url, ProxySettings proxy, AbortCheck abort);
    ~CurlStream();
    CurlStream(const CurlStream&) = delete;
    CurlStream& operator=(const CurlStream&) = delete;

    // Asks for ICY metadata (live audio streams); the titles go to `sink` from inside Read.
    void EnableIcy(TitleSink sink);
    // No data for this long while reading ends the stream with an error (default 15 s).
    void SetStallTimeout(std::chrono::milliseconds timeout) { stallTimeout_ = timeout; }

    // Sends the request and waits until the body starts (or the transfer ends). False on any
    // failure (connection, HTTP status >= 400, abort); ErrorText() says which.
    bool Open();
    // Copies up to `size` bytes of the body (ICY metadata removed); 0 at the end of the body,
    // -1 on error or abort.
    int Read(uint8_t* buffer, int size);
    // Moves to `offset` of the body by a new ranged request; false when the server cannot.
    bool Seek(int64_t offset);

    bool Seekable() const { return acceptsRanges_ && contentLength_ > 0; }
    int64_t Size() const { return contentLength_ > 0 ? offset0_ + contentLength_ : -1; }
    int64_t Position() const { return position_; }
    const std::string& ContentType() const { return contentType_; }
    const std::string& EffectiveUrl() const { return effectiveUrl_; }
    const std::string& ErrorText() const { return error_; }
    int IcyBitrate() const { return icyBitrate_; }  // kbit/s from icy-br, 0 when not sent
    bool Aborted() const { return aborted_; }
    // Reads the whole body (at most maxBytes) into `out`; for playlists.
    bool ReadAll(std::string* out, size_t maxBytes);

    // Milliseconds a connection may take before it counts as failed.
    static constexpr long kConnectTimeoutMs = 15000;

private:
    static size_t OnHeader(char* data, size_t size, size_t count, void* self);
    static size_t OnWrite(char* data, size_t size, size_t count, void* self);
    bool Start(int64_t offset);
    void Cleanup();
    // Runs the transfer for up to 50 ms; false when the transfer is over (done_ is set).
    bool Pump();
    void TakeBody(const uint8_t* data, size_t size);
    void ParseMetadata();

    std::string url_;
    ProxySettings proxy_;
    AbortCheck abort_;
    TitleSink titleSink_;
    bool icy_ = false;
    std::chrono::milliseconds stallTimeout_{15000};

    CURLM* multi_ = nullptr;
    CURL* easy_ = nullptr;
    curl_slist* headers_ = nullptr;
    char errorBuffer_[256] = {};

    // Response of the current request.
    bool bodyStarted_ = false;
    bool done_ = false;
    bool failed_ = false;
    bool aborted_ = false;
    std::string error_;
    std::string contentType_;
    std::string effectiveUrl_;
    int64_t contentLength_ = -1;
    bool acceptsRanges_ = false;
    int icyBitrate_ = 0;
    int64_t offset0_ = 0;    // body offset the current request started at
    int64_t position_ = 0;   // body offset of the next byte Read returns

    // ICY de-interleaving: audio bytes until the next metadata block, then its length byte and
    // the block.
    int64_t metaInterval_ = 0;
    int64_t audioUntilMeta_ = 0;
    int metaLength_ = -1;  // -1: expecting the length byte
    std::string metaBlock_;

    std::vector<uint8_t> pending_;
    size_t pendingOffset_ = 0;
    std::chrono::steady_clock::time_point lastData_;
};

}  // namespace lxengine
