#include "net/HttpTask.h"

#include <sys/mman.h>

#include <cstring>
#include <new>

#include "platform/Text.h"
#include "platform/Trace.h"

namespace {
char16_t LowerAscii(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}
constexpr size_t kMappedFrom = 2u << 20;
}  // namespace

void HttpBufferFree::operator()(uint8_t* p) const {
    if (!p) return;
    if (mapped_bytes) {
        munmap(p, mapped_bytes);
    } else {
        delete[] p;
    }
}

HttpBuffer AllocateHttpBuffer(size_t bytes) {
    if (bytes >= kMappedFrom) {
        void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) return HttpBuffer();
        madvise(p, bytes, MADV_HUGEPAGE);
        return HttpBuffer(static_cast<uint8_t*>(p), HttpBufferFree{bytes});
    }
    return HttpBuffer(new (std::nothrow) uint8_t[bytes]);
}

size_t HttpHeaderNameHash::operator()(const std::u16string& name) const {
    size_t h = 1469598103934665603ull;
    for (char16_t c : name) h = (h ^ LowerAscii(c)) * 1099511628211ull;
    return h;
}

bool HttpHeaderNameEqual::operator()(const std::u16string& a, const std::u16string& b) const {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

HttpTask::HttpTask(std::u16string_view url, std::u16string_view save_path)
    : m_strUrl(url), m_strSavePath(save_path) {}

void HttpTask::SetHeaders(const HttpHeaderMap& headers) {
    for (const auto& [name, value] : headers) m_headers.insert_or_assign(name, value);
}

void HttpTask::SetBody(const void* pBody, uint32_t dwLen) {
    if (!pBody && dwLen != 0) {
        Trace("HttpTask", std::string_view("assertion failed: pBody && !IsBadReadPtr( pBody, dwLen )"));
        return;
    }
    m_pBody.reset();
    m_dwBodyLen = 0;
    m_headers.erase(u"Content-Type");
    if (dwLen == 0) return;
    m_headers[u"Content-Type"] = u"application/octet-stream";
    m_pBody = std::make_unique<uint8_t[]>(dwLen);
    std::memcpy(m_pBody.get(), pBody, dwLen);
    m_dwBodyLen = dwLen;
}

std::string HttpTask::GetResultString() const {
    if (!m_pResult || m_dwResultLen == 0) return {};
    return std::string(reinterpret_cast<const char*>(m_pResult.get()), m_dwResultLen);
}
