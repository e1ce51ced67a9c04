// One web-service request and, once it has run, its response: the unit of work the HTTP client
// queues, runs and hands back to the caller's event.
// Threading: made by the caller on the user-interface thread; from AddTask on owned by the client
// (its worker changes it while it runs, the user-interface thread reads it in the handlers).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

// Header names compare without regard to ASCII letter case.
struct HttpHeaderNameHash {
    size_t operator()(const std::u16string& name) const;
};
struct HttpHeaderNameEqual {
    bool operator()(const std::u16string& a, const std::u16string& b) const;
};
using HttpHeaderMap =
    std::unordered_map<std::u16string, std::u16string, HttpHeaderNameHash, HttpHeaderNameEqual>;

// A response body in memory. Large ones are mapped so the system can back them with huge pages
// (touching tens of megabytes of small pages costs more than receiving them); the deleter knows
// which kind it holds.
struct HttpBufferFree {
    size_t mapped_bytes = 0;  // 0: allocated with new[]
    void operator()(uint8_t* p) const;
};
using HttpBuffer = std::unique_ptr<uint8_t[], HttpBufferFree>;
// Uninitialised room for `bytes` bytes; null when it cannot be had.
HttpBuffer AllocateHttpBuffer(size_t bytes);

class HttpTask {
public:
    // `save_path` empty: the body is kept in m_pResult. A path ending in a separator names a
    // folder in which a new "DOWN" file receives the body.
    explicit HttpTask(std::u16string_view url, std::u16string_view save_path = {});
    HttpTask(const HttpTask&) = delete;
    HttpTask& operator=(const HttpTask&) = delete;

    // Copies every pair; a later value for the same name (any case) replaces an earlier one.
    void SetHeaders(const HttpHeaderMap& headers);
    // Replaces the body (and drops any "Content-Type"); a non-empty body makes the request a POST
    // with "Content-Type: application/octet-stream". A null body with a length is refused.
    void SetBody(const void* pBody, uint32_t dwLen);
    // The response body as bytes; empty when there is none.
    std::string GetResultString() const;

    // Request headers before the transfer; the response headers (lower-cased names, trimmed)
    // after a response with status 200-299.
    HttpHeaderMap m_headers;
    std::unique_ptr<uint8_t[]> m_pBody;
    uint32_t m_dwBodyLen = 0;
    // Status of the last response, kept for failures too; 0 when none arrived.
    uint32_t m_dwStatusCode = 0;
    std::u16string m_strUrl;
    std::u16string m_strSavePath;
    // Tick (ms, the client's clock) after which the task may start; 0: at once.
    uint64_t m_dwDueTick = 0;
    uint8_t m_byRetryTotal = 0;
    uint8_t m_byRetryLeft = 0;
    // 1: redirects leave m_strUrl alone; 0: m_strUrl follows them.
    uint8_t m_bKeepUrlOnRedirect = 1;
    // 1: the client drops its connections and cookies before running this task.
    uint8_t m_bNewSession = 0;
    HttpBuffer m_pResult;
    uint32_t m_dwResultLen = 0;
};
