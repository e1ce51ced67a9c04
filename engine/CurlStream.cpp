// libcurl-driven byte stream (see the header). The transfer runs on a private multi handle that
// the reading thread pumps in slices of at most 50 ms, checking the abort flag between slices.
#include "CurlStream.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "EngineText.h"
#include "EngineTrace.h"

namespace lxengine {
namespace {

std::once_flag g_curlInit;

constexpr size_t kCompactThreshold = 64 * 1024;

}  // namespace

CurlStream::CurlStream(std::string url, ProxySettings proxy, AbortCheck abort)
    : url_(std::move(url)), proxy_(std::move(proxy)), abort_(std::move(abort)) {
    std::call_once(g_curlInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

CurlStream::~CurlStream() { Cleanup(); }

void CurlStream::EnableIcy(TitleSink sink) {
    icy_ = true;
    titleSink_ = std::move(sink);
}

void CurlStream::Cleanup() {
    if (easy_ != nullptr) {
        if (multi_ != nullptr) curl_multi_remove_handle(multi_, easy_);
        curl_easy_cleanup(easy_);
        easy_ = nullptr;
    }
    if (multi_ != nullptr) {
        curl_multi_cleanup(multi_);
        multi_ = nullptr;
    }
    if (headers_ != nullptr) {
        curl_slist_free_all(headers_);
        headers_ = nullptr;
    }
}

bool CurlStream::Start(int64_t offset) {
    Cleanup();
    bodyStarted_ = done_ = failed_ = false;
    error_.clear();
    contentType_.clear();
    contentLength_ = -1;
    acceptsRanges_ = false;
    metaInterval_ = 0;
    audioUntilMeta_ = 0;
    metaLength_ = -1;
    metaBlock_.clear();
    pending_.clear();
    pendingOffset_ = 0;
    offset0_ = offset;
    position_ = offset;

    multi_ = curl_multi_init();
    easy_ = curl_easy_init();
    if (multi_ == nullptr || easy_ == nullptr) {
        error_ = "curl init failed";
        return false;
    }
    curl_easy_setopt(easy_, CURLOPT_URL, url_.c_str());
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy_, CURLOPT_MAXREDIRS, 8L);
    curl_easy_setopt(easy_, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
    curl_easy_setopt(easy_, CURLOPT_USERAGENT, "LoxanRadio/1.0");
    curl_easy_setopt(easy_, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, errorBuffer_);
    curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &CurlStream::OnHeader);
    curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &CurlStream::OnWrite);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy_, CURLOPT_BUFFERSIZE, 16384L);
    if (offset > 0) curl_easy_setopt(easy_, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(offset));
    // SHOUTcast servers answer "ICY 200 OK".
    headers_ = curl_slist_append(headers_, "Icy-MetaData: 1");
    if (icy_) curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headers_);
    static char icyAlias[] = "ICY 200 OK";
    static curl_slist aliases = {icyAlias, nullptr};
    curl_easy_setopt(easy_, CURLOPT_HTTP200ALIASES, &aliases);
    proxy_.Apply(easy_);
    curl_multi_add_handle(multi_, easy_);
    lastData_ = std::chrono::steady_clock::now();
    while (!bodyStarted_ && !done_) {
        if (!Pump()) break;
    }
    if (failed_ || (done_ && !bodyStarted_ && error_.size() > 0)) return false;
    char* effective = nullptr;
    if (curl_easy_getinfo(easy_, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective != nullptr) {
        effectiveUrl_ = effective;
    }
    char* type = nullptr;
    if (curl_easy_getinfo(easy_, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type != nullptr) {
        std::string_view t = type;
        const size_t semi = t.find(';');
        contentType_ = ToLowerAscii(TrimAscii(t.substr(0, semi)));
    }
    return true;
}

bool CurlStream::Open() { return Start(0); }

bool CurlStream::Pump() {
    if (done_) return false;
    if (abort_ && abort_()) {
        aborted_ = true;
        failed_ = done_ = true;
        error_ = "aborted";
        return false;
    }
    int running = 0;
    curl_multi_perform(multi_, &running);
    int queued = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi_, &queued)) {
        if (msg->msg == CURLMSG_DONE) {
            done_ = true;
            if (msg->data.result != CURLE_OK) {
                failed_ = true;
                error_ = errorBuffer_[0] != 0 ? errorBuffer_ : curl_easy_strerror(msg->data.result);
            }
        }
    }
    if (running == 0) done_ = true;
    if (done_) return false;
    if (std::chrono::steady_clock::now() - lastData_ > stallTimeout_ && bodyStarted_) {
        failed_ = done_ = true;
        error_ = "no data";
        return false;
    }
    curl_multi_poll(multi_, nullptr, 0, 50, nullptr);
    return true;
}

size_t CurlStream::OnHeader(char* data, size_t size, size_t count, void* self) {
    auto* s = static_cast<CurlStream*>(self);
    const size_t n = size * count;
    const std::string_view line = TrimAscii(std::string_view(data, n));
    if (StartsWithNoCase(line, "HTTP/") || StartsWithNoCase(line, "ICY ")) {
        // A new response (after a redirect or a 100): forget the previous one's fields.
        s->metaInterval_ = 0;
        s->contentLength_ = -1;
        s->acceptsRanges_ = false;
        s->icyBitrate_ = 0;
        return n;
    }
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) return n;
    const std::string_view name = TrimAscii(line.substr(0, colon));
    const std::string value(TrimAscii(line.substr(colon + 1)));
    if (EqualsNoCase(name, "icy-metaint")) {
        s->metaInterval_ = std::atoll(value.c_str());
    } else if (EqualsNoCase(name, "content-length")) {
        s->contentLength_ = std::atoll(value.c_str());
    } else if (EqualsNoCase(name, "accept-ranges")) {
        s->acceptsRanges_ = EqualsNoCase(value, "bytes");
    } else if (EqualsNoCase(name, "content-range")) {
        s->acceptsRanges_ = true;
    } else if (EqualsNoCase(name, "icy-br")) {
        s->icyBitrate_ = std::atoi(value.c_str());
    }
    return n;
}

size_t CurlStream::OnWrite(char* data, size_t size, size_t count, void* self) {
    auto* s = static_cast<CurlStream*>(self);
    const size_t n = size * count;
    if (!s->bodyStarted_) {
        s->bodyStarted_ = true;
        if (!s->icy_) s->metaInterval_ = 0;
        s->audioUntilMeta_ = s->metaInterval_;
    }
    s->lastData_ = std::chrono::steady_clock::now();
    s->TakeBody(reinterpret_cast<const uint8_t*>(data), n);
    return n;
}

void CurlStream::TakeBody(const uint8_t* data, size_t size) {
    if (pendingOffset_ > kCompactThreshold && pendingOffset_ * 2 > pending_.size()) {
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(pendingOffset_));
        pendingOffset_ = 0;
    }
    if (metaInterval_ <= 0) {
        pending_.insert(pending_.end(), data, data + size);
        return;
    }
    while (size > 0) {
        if (audioUntilMeta_ > 0) {
            const size_t take = static_cast<size_t>(std::min<int64_t>(audioUntilMeta_, static_cast<int64_t>(size)));
            pending_.insert(pending_.end(), data, data + take);
            audioUntilMeta_ -= static_cast<int64_t>(take);
            data += take;
            size -= take;
        } else if (metaLength_ < 0) {
            metaLength_ = data[0] * 16;
            metaBlock_.clear();
            ++data;
            --size;
            if (metaLength_ == 0) {
                metaLength_ = -1;
                audioUntilMeta_ = metaInterval_;
            }
        } else {
            const size_t take = std::min(static_cast<size_t>(metaLength_) - metaBlock_.size(), size);
            metaBlock_.append(reinterpret_cast<const char*>(data), take);
            data += take;
            size -= take;
            if (metaBlock_.size() == static_cast<size_t>(metaLength_)) {
                ParseMetadata();
                metaLength_ = -1;
                audioUntilMeta_ = metaInterval_;
            }
        }
    }
}

void CurlStream::ParseMetadata() {
    // StreamTitle='Artist - Title';StreamUrl='...';  (the title may itself hold quotes)
    const std::string_view block(metaBlock_.data(), strnlen(metaBlock_.data(), metaBlock_.size()));
    const size_t start = block.find("StreamTitle='");
    if (start == std::string_view::npos || !titleSink_) return;
    const size_t from = start + 13;
    size_t end = block.find("';", from);
    if (end == std::string_view::npos) end = block.rfind('\'');
    if (end == std::string_view::npos || end < from) end = block.size();
    titleSink_(std::string(block.substr(from, end - from)));
}

int CurlStream::Read(uint8_t* buffer, int size) {
    while (pendingOffset_ >= pending_.size()) {
        if (done_) return failed_ ? -1 : 0;
        Pump();
    }
    const size_t take = std::min(static_cast<size_t>(size), pending_.size() - pendingOffset_);
    std::memcpy(buffer, pending_.data() + pendingOffset_, take);
    pendingOffset_ += take;
    position_ += static_cast<int64_t>(take);
    if (pendingOffset_ == pending_.size()) {
        pending_.clear();
        pendingOffset_ = 0;
    }
    return static_cast<int>(take);
}

bool CurlStream::Seek(int64_t offset) {
    EngineTrace("%s: seek %lld -> %lld of %lld", url_.c_str(), static_cast<long long>(position_),
                static_cast<long long>(offset), static_cast<long long>(Size()));
    if (offset == position_) return true;
    if (!Seekable() || offset < 0 || offset > Size()) return false;
    // Forward within what already arrived: skip it.
    const int64_t ahead = offset - position_;
    if (ahead > 0 && static_cast<size_t>(ahead) <= pending_.size() - pendingOffset_) {
        pendingOffset_ += static_cast<size_t>(ahead);
        position_ = offset;
        return true;
    }
    const int64_t total = Size();
    if (offset == total) {
        Cleanup();
        pending_.clear();
        pendingOffset_ = 0;
        position_ = offset;
        done_ = true;
        failed_ = false;
        return true;
    }
    const bool ok = Start(offset);
    // A ranged reply's Content-Length counts from the offset; keep the total size.
    if (ok) {
        contentLength_ = total - offset;
        acceptsRanges_ = true;
    }
    return ok;
}

bool CurlStream::ReadAll(std::string* out, size_t maxBytes) {
    uint8_t chunk[8192];
    out->clear();
    while (out->size() < maxBytes) {
        const int n = Read(chunk, sizeof chunk);
        if (n < 0) return false;
        if (n == 0) break;
        out->append(reinterpret_cast<const char*>(chunk), static_cast<size_t>(n));
    }
    return true;
}

}  // namespace lxengine
