#include "net/HttpClient.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/Trace.h"

// Contents: the system clock; one transfer (staging file, headers, limits); the client's queue,
// worker and delivery.

namespace {

HttpClient* g_instance = nullptr;
std::once_flag g_curl_init;

constexpr long kMaxRedirects = 20;
constexpr long kReceiveBufferBytes = 128 * 1024;
constexpr uint64_t kRetryBaseMs = 60000;
constexpr unsigned char kUtf8Bom[3] = {0xEF, 0xBB, 0xBF};

class SystemClock final : public IHttpClock {
public:
    uint64_t Now() override { return GetTickCount64(); }
    uint32_t Wait(Event* wake, Event* exit, uint64_t ms) override {
        const uint32_t limit = ms >= kInfinite ? kInfinite - 1 : static_cast<uint32_t>(ms);
        return WaitForAnyEvent({wake, exit}, limit);
    }
};

bool IsSeparator(char16_t c) {
    return c == u'/' || c == u'\\';
}

int HexDigit(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Form-decodes one raw header line: "+" is a space, "%" and two characters the byte they give in
// hexadecimal (as far as they are hex digits); a "%" without two characters after it ends the line.
std::string FormDecode(std::string_view line) {
    std::string out;
    out.reserve(line.size());
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '+') {
            out.push_back(' ');
        } else if (c == '%') {
            if (i + 2 >= line.size()) break;
            int value = 0;
            for (size_t k = i + 1; k <= i + 2; ++k) {
                const int d = HexDigit(static_cast<unsigned char>(line[k]));
                if (d < 0) break;
                value = value * 16 + d;
            }
            out.push_back(static_cast<char>(value));
            i += 2;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string UniqueFileIn(const std::string& folder, const char* prefix, int* fd) {
    std::string pattern = folder;
    if (!pattern.empty() && pattern.back() != '/') pattern += '/';
    pattern += prefix;
    pattern += "XXXXXX.tmp";
    *fd = mkstemps(pattern.data(), 4);
    return *fd >= 0 ? pattern : std::string();
}

bool WriteAll(int fd, const unsigned char* data, size_t len) {
    while (len > 0) {
        const ssize_t n = write(fd, data, len);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        len -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

// One run of one task: the curl options, the staging file and the response as it arrives.
// Threading: lives on the worker's stack; curl calls its callbacks on the worker.
class HttpClient::Transfer {
public:
    Transfer(HttpTask& task, const HttpTimeouts& limits, const std::atomic<bool>& exiting)
        : task_(task), limits_(limits), exiting_(exiting) {}
    ~Transfer() {
        if (headers_) curl_slist_free_all(headers_);
        if (fd_ >= 0) close(fd_);
        if (!temp_path_.empty()) unlink(temp_path_.c_str());
    }

    void Configure(CURL* easy) {
        curl_easy_setopt(easy, CURLOPT_URL, Utf16ToUtf8(task_.m_strUrl).c_str());
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        // An abort must not wait for a name look-up still running in curl's resolver thread.
        curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
        curl_easy_setopt(easy, CURLOPT_USERAGENT, "HttpClient");
        curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
        curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits_.connect_ms));
        curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
        // No CURLOPT_PROXY: libcurl then takes the proxy from http_proxy, https_proxy, all_proxy
        // and no_proxy, the system's own settings.
        bool has_expect = false;
        for (const auto& [name, value] : task_.m_headers) {
            std::string line = Utf16ToUtf8(name);
            if (EqualsNoCase(name, u"Expect")) has_expect = true;
            // "Name;" is curl's way of sending a header with an empty value.
            line += value.empty() ? ";" : ": " + Utf16ToUtf8(value);
            headers_ = curl_slist_append(headers_, line.c_str());
        }
        if (!has_expect) headers_ = curl_slist_append(headers_, "Expect:");
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers_);
        if (task_.m_dwBodyLen != 0) {
            curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(task_.m_dwBodyLen));
            curl_easy_setopt(easy, CURLOPT_POSTFIELDS, task_.m_pBody.get());
        } else {
            curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
        }
        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Transfer::HeaderCallback);
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Transfer::WriteCallback);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
        phase_start_ms_ = GetTickCount64();
    }

    // True when the transfer has waited longer than its limits allow (checked by the worker).
    bool TimedOut(uint64_t now_ms) const {
        if (in_body_) return now_ms - last_data_ms_ > limits_.block_ms;
        return now_ms - phase_start_ms_ > limits_.send_ms;
    }

    // After curl reported a complete transfer with status 200-299: the staging file (also for an
    // empty body), the response headers, then the move to the save path or the read into memory.
    bool Finish() {
        if (!failed_ && !PrepareBody()) return false;
        if (failed_ || !FlushBomCheck()) return false;
        task_.m_headers = std::move(response_headers_);
        return task_.m_strSavePath.empty() ? ReadBack() : MoveToSavePath();
    }

private:
    static size_t HeaderCallback(char* data, size_t size, size_t count, void* self) {
        return static_cast<Transfer*>(self)->OnHeader(std::string_view(data, size * count));
    }
    static size_t WriteCallback(char* data, size_t size, size_t count, void* self) {
        return static_cast<Transfer*>(self)->OnData(reinterpret_cast<const unsigned char*>(data),
                                                    size * count);
    }

    size_t OnHeader(std::string_view line) {
        if (line.substr(0, 5) == "HTTP/") {
            // A new response (after a redirect or a 1xx): start its header block afresh.
            raw_headers_.clear();
            headers_done_ = false;
            in_body_ = false;
            phase_start_ms_ = GetTickCount64();
            const size_t sp = line.find(' ');
            if (sp != std::string_view::npos) {
                task_.m_dwStatusCode = static_cast<uint32_t>(WToI(Utf8ToUtf16(line.substr(sp + 1, 3))));
            }
            return line.size();
        }
        if (headers_done_) return line.size();  // trailers
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
        if (!line.empty()) {
            raw_headers_.emplace_back(line);
            return line.size() + 2;
        }
        headers_done_ = true;
        const uint32_t status = task_.m_dwStatusCode;
        // A 1xx answer or a redirect that curl follows is not the response whose body we keep.
        if (status >= 200 && !(status >= 300 && status < 400)) {
            in_body_ = true;
            last_data_ms_ = GetTickCount64();
        } else {
            phase_start_ms_ = GetTickCount64();
        }
        return 2;
    }

    size_t OnData(const unsigned char* data, size_t len) {
        // Returning less than len makes curl end the transfer with an error.
        if (exiting_.load(std::memory_order_relaxed)) return 0;
        const size_t handed = len;
        last_data_ms_ = GetTickCount64();
        in_body_ = true;
        if (fd_ < 0 && !PrepareBody()) return 0;
        while (bom_check_ && len > 0) {
            // The body's own byte-order mark is not written a second time.
            if (*data == kUtf8Bom[bom_matched_]) {
                ++data, --len;
                if (++bom_matched_ == 3) bom_check_ = false;
            } else if (!FlushBomCheck()) {
                return 0;
            }
        }
        if (!WriteAll(fd_, data, len)) {
            failed_ = true;
            return 0;
        }
        return handed;
    }

    // Once per response: status check, header decoding, staging file, byte-order mark.
    bool PrepareBody() {
        if (prepared_) return true;
        prepared_ = true;
        const uint32_t status = task_.m_dwStatusCode;
        if (status < 200 || status > 299) return false;
        response_headers_.clear();
        for (const std::string& raw : raw_headers_) {
            const std::u16string line = Utf8ToUtf16(FormDecode(raw));
            const size_t colon = line.find(u':');
            if (colon == std::u16string::npos || colon == 0) continue;
            response_headers_.insert_or_assign(ToLower(Trim(std::u16string_view(line).substr(0, colon))),
                                               Trim(std::u16string_view(line).substr(colon + 1)));
        }
        const std::string temp_dir = NativePath(TempFilePath());
        if (temp_dir.empty()) return Fail();
        temp_path_ = UniqueFileIn(temp_dir, "TFR", &fd_);
        if (fd_ < 0) return Fail();
        if (!task_.m_strSavePath.empty() && IsUtf8Text()) {
            if (!WriteAll(fd_, kUtf8Bom, 3)) return Fail();
            bom_check_ = true;
        }
        return true;
    }

    bool IsUtf8Text() const {
        const auto it = response_headers_.find(u"content-type");
        if (it == response_headers_.end()) return false;
        const size_t pos = FindNoCase(it->second, u"charset=");
        return pos != std::u16string::npos &&
               ToLower(std::u16string_view(it->second).substr(pos + 8)).find(u"utf-8") !=
                   std::u16string::npos;
    }

    // Writes the start of the body that was held back while it looked like a byte-order mark.
    bool FlushBomCheck() {
        if (!bom_check_) return true;
        bom_check_ = false;
        if (bom_matched_ > 0 && !WriteAll(fd_, kUtf8Bom, bom_matched_)) return Fail();
        bom_matched_ = 0;
        return true;
    }

    bool Fail() {
        failed_ = true;
        return false;
    }

    bool MoveToSavePath() {
        std::u16string& save = task_.m_strSavePath;
        if (IsSeparator(save.back())) {
            int fd = -1;
            const std::string made = UniqueFileIn(NativePath(save.substr(0, save.size() - 1)), "DOWN", &fd);
            if (fd < 0) return false;
            close(fd);
            save = FromNativePath(made);
        }
        close(fd_);
        fd_ = -1;
        const std::string target = NativePath(save);
        if (std::rename(temp_path_.c_str(), target.c_str()) != 0) {
            // Another file system: copy, then the destructor removes the staging file.
            std::error_code ec;
            std::filesystem::copy_file(temp_path_, target, std::filesystem::copy_options::overwrite_existing,
                                       ec);
            if (ec) return false;
            return true;
        }
        temp_path_.clear();
        return true;
    }

    bool ReadBack() {
        struct stat st;
        if (fstat(fd_, &st) != 0 || static_cast<uint64_t>(st.st_size) > UINT32_MAX) return false;
        const auto size = static_cast<uint32_t>(st.st_size);
        task_.m_pResult.reset();
        task_.m_dwResultLen = 0;
        if (size == 0) return true;
        task_.m_pResult = AllocateHttpBuffer(size);
        if (!task_.m_pResult) return false;
        uint32_t done = 0;
        while (done < size) {
            const ssize_t n = pread(fd_, task_.m_pResult.get() + done, size - done, done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<uint32_t>(n);
        }
        task_.m_dwResultLen = done;
        if (done != size)
            Trace("HttpClient", std::string_view("assertion failed: dw == pTask->m_dwResultLen"));
        return true;
    }

    HttpTask& task_;
    const HttpTimeouts limits_;
    const std::atomic<bool>& exiting_;
    curl_slist* headers_ = nullptr;
    std::vector<std::string> raw_headers_;
    HttpHeaderMap response_headers_;
    bool headers_done_ = false;
    bool in_body_ = false;
    bool prepared_ = false;
    bool failed_ = false;
    bool bom_check_ = false;
    size_t bom_matched_ = 0;
    uint64_t phase_start_ms_ = 0;
    uint64_t last_data_ms_ = 0;
    int fd_ = -1;
    std::string temp_path_;
};

HttpClient* HttpClient::GetInstance() {
    if (!g_instance) {
        std::call_once(g_curl_init, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
        g_instance = new HttpClient();
    }
    return g_instance;
}

HttpClient* HttpClient::Current() {
    return g_instance;
}

void HttpClient::DestroyInstance() {
    HttpClient* client = g_instance;
    g_instance = nullptr;
    delete client;
}

HttpClient::HttpClient() {
    window_ = CreateMessageWindow(this);
}

HttpClient::~HttpClient() {
    HWND window = nullptr;
    {
        // The worker posts under the lock; from here on its posts find no window.
        CriticalSectionLock lock(lock_);
        std::swap(window, window_);
    }
    if (window) DestroyWindow(window);
    exiting_ = true;
    exit_.Set();
    {
        std::lock_guard<std::mutex> session(session_mutex_);
        if (multi_) curl_multi_wakeup(static_cast<CURLM*>(multi_));
    }
    std::thread worker;
    {
        CriticalSectionLock lock(lock_);
        worker = std::move(worker_);
    }
    if (worker.joinable()) worker.join();
    if (multi_) curl_multi_cleanup(static_cast<CURLM*>(multi_));
    if (share_) curl_share_cleanup(static_cast<CURLSH*>(share_));
}

bool HttpClient::AddTask(HttpTask* task, IHttpTaskEvent* event) {
    if (!task || exiting_) return false;
    CriticalSectionLock lock(lock_);
    auto entry = std::make_unique<Entry>();
    entry->task.reset(task);
    entry->event = event;
    queue_.push_back(std::move(entry));
    if (!worker_alive_) {
        // A worker that found the queue empty has left the lock for good; collect it first.
        if (worker_.joinable()) worker_.join();
        try {
            worker_ = std::thread(&HttpClient::WorkerMain, this);
            worker_alive_ = true;
            worker_idle_ = false;
        } catch (const std::system_error&) {
            (void)queue_.back()->task.release();
            queue_.pop_back();
            return false;
        }
    } else if (worker_idle_) {
        operation_.Set();
    }
    return true;
}

void HttpClient::RemoveTaskEvent(IHttpTaskEvent* event) {
    if (!event) return;
    CriticalSectionLock lock(lock_);
    queue_.remove_if([event](const std::unique_ptr<Entry>& e) { return e->event == event; });
    if (current_ && current_->event == event) current_->event = nullptr;
    for (auto& [id, entry] : delivering_) {
        if (entry->event == event) entry->event = nullptr;
    }
}

void HttpClient::SetClock(IHttpClock* clock) {
    CriticalSectionLock lock(lock_);
    clock_ = clock;
}

void HttpClient::SetTimeouts(const HttpTimeouts& timeouts) {
    CriticalSectionLock lock(lock_);
    timeouts_ = timeouts;
}

size_t HttpClient::PendingCount() {
    CriticalSectionLock lock(lock_);
    return queue_.size() + (current_ ? 1 : 0) + delivering_.size();
}

IHttpClock& HttpClient::Clock() {
    static SystemClock system_clock;
    return clock_ ? *clock_ : system_clock;
}

void HttpClient::WorkerMain() {
    for (;;) {
        HttpTask* task = nullptr;
        uint64_t now = 0;
        uint64_t next_due = UINT64_MAX;
        HttpTimeouts limits;
        {
            CriticalSectionLock lock(lock_);
            now = Clock().Now();
            if (exiting_) {
                worker_alive_ = false;
                return;
            }
            // First due entry from the head wins: first in, first out among the due ones.
            for (auto it = queue_.begin(); it != queue_.end(); ++it) {
                if ((*it)->task->m_dwDueTick <= now) {
                    current_ = std::move(*it);
                    queue_.erase(it);
                    task = current_->task.get();
                    break;
                }
                next_due = std::min(next_due, (*it)->task->m_dwDueTick);
            }
            if (!task) {
                if (queue_.empty()) {
                    worker_alive_ = false;
                    return;
                }
                worker_idle_ = true;
            }
            limits = timeouts_;
        }
        if (!task) {
            const uint32_t woken = Clock().Wait(&operation_, &exit_, next_due - now);
            CriticalSectionLock lock(lock_);
            worker_idle_ = false;
            if (woken == 1) {
                worker_alive_ = false;
                return;
            }
            continue;
        }

        const bool ok = RunTask(*task, limits);
        CriticalSectionLock lock(lock_);
        std::unique_ptr<Entry> entry = std::move(current_);
        if (exiting_) continue;  // dropped without a report; the loop head ends the worker
        if (!ok && task->m_byRetryLeft > 0) {
            --task->m_byRetryLeft;
            const unsigned exponent = static_cast<uint8_t>(task->m_byRetryTotal - task->m_byRetryLeft) % 32u;
            task->m_dwDueTick = Clock().Now() + (uint64_t{1} << exponent) * kRetryBaseMs;
            queue_.push_back(std::move(entry));
            continue;
        }
        entry->id = next_id_++;
        const uint64_t id = entry->id;
        delivering_.emplace(id, std::move(entry));
        if (!PostMessage(window_, ok ? WM_HTTP_TASK_SUCCEEDED : WM_HTTP_TASK_FAILED, static_cast<WPARAM>(id),
                         0)) {
            delivering_.erase(id);
        }
    }
}

bool HttpClient::RunTask(HttpTask& task, const HttpTimeouts& limits) {
    CURLM* multi = nullptr;
    CURLSH* share = nullptr;
    {
        std::lock_guard<std::mutex> session(session_mutex_);
        if (task.m_bNewSession && multi_) {
            curl_multi_cleanup(static_cast<CURLM*>(multi_));
            curl_share_cleanup(static_cast<CURLSH*>(share_));
            multi_ = share_ = nullptr;
        }
        if (!multi_) multi_ = curl_multi_init();
        if (!share_) {
            share_ = curl_share_init();
            if (share_)
                curl_share_setopt(static_cast<CURLSH*>(share_), CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
        }
        multi = static_cast<CURLM*>(multi_);
        share = static_cast<CURLSH*>(share_);
    }
    const std::unique_ptr<CURL, void (*)(CURL*)> handle(curl_easy_init(), &curl_easy_cleanup);
    CURL* easy = handle.get();
    if (!multi || !share || !easy) return false;
    curl_easy_setopt(easy, CURLOPT_SHARE, share);
    Transfer transfer(task, limits, exiting_);
    transfer.Configure(easy);
    if (curl_multi_add_handle(multi, easy) != CURLM_OK) return false;

    bool aborted = false;
    for (;;) {
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            aborted = true;
            break;
        }
        if (running == 0) break;
        if (exiting_ || transfer.TimedOut(GetTickCount64())) {
            aborted = true;
            break;
        }
        curl_multi_poll(multi, nullptr, 0, 100, nullptr);
    }
    CURLcode result = CURLE_ABORTED_BY_CALLBACK;
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
        if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) result = msg->data.result;
    }
    if (!task.m_bKeepUrlOnRedirect) {
        char* effective = nullptr;
        if (curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective) {
            task.m_strUrl = Utf8ToUtf16(effective);
        }
    }
    long status = 0;
    if (curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status != 0) {
        task.m_dwStatusCode = static_cast<uint32_t>(status);
    }
    curl_multi_remove_handle(multi, easy);
    if (aborted || result != CURLE_OK) return false;
    if (task.m_dwStatusCode < 200 || task.m_dwStatusCode > 299) return false;
    return transfer.Finish();
}

LRESULT HttpClient::WindowProc(HWND, UINT msg, WPARAM wParam, LPARAM) {
    if (msg == WM_HTTP_TASK_SUCCEEDED || msg == WM_HTTP_TASK_FAILED)
        Deliver(msg, static_cast<uint64_t>(wParam));
    return 0;
}

void HttpClient::Deliver(UINT msg, uint64_t id) {
    CriticalSectionLock lock(lock_);
    const auto it = delivering_.find(id);
    if (it == delivering_.end()) return;
    std::unique_ptr<Entry> entry = std::move(it->second);
    delivering_.erase(it);
    if (!entry->event) return;
    if (msg == WM_HTTP_TASK_SUCCEEDED) {
        entry->event->OnTaskSucceeded(entry->task.get());
    } else {
        entry->event->OnTaskFailed(entry->task.get());
    }
}
