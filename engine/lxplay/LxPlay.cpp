// lxplay: plays, records or measures one address or file from a terminal through libLXPlayer.so
// and prints what the engine reports as JSON lines. The main thread owns the engine; engine
// threads only queue their notifications for it.
#include <malloc.h>
#include <signal.h>
#include <sys/mman.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "EngineText.h"
#include "LXPlayer.h"

namespace {

using Clock = std::chrono::steady_clock;
const Clock::time_point g_start = Clock::now();
std::atomic<bool> g_signalled{false};

void OnSignal(int) { g_signalled = true; }

long long ElapsedMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - g_start).count();
}

std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out.push_back(static_cast<char>(c));
                }
        }
    }
    return out + "\"";
}

void Emit(const char* event, const std::string& value) {
    std::printf("{\"t_ms\": %lld, \"event\": \"%s\", \"value\": %s}\n", ElapsedMs(), event, value.c_str());
    std::fflush(stdout);
}

struct Event {
    uint32_t message = 0;  // an engine message, or 0 for a recording report
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    int64_t recordLength = 0;
    LXRESULT recordStatus = LX_FALSE;
};

// Notifications and recording reports, queued by engine threads for the main thread.
class EventQueue {
public:
    void Push(const Event& e) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            events_.push_back(e);
        }
        wake_.notify_one();
    }
    bool Pop(Event* e, std::chrono::milliseconds wait) {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait_for(lock, wait, [&] { return !events_.empty(); });
        if (events_.empty()) return false;
        *e = events_.front();
        events_.pop_front();
        return true;
    }
    ~EventQueue() {
        for (const Event& e : events_) {
            if (e.message == LXMSG_SPECTRUM) LXFreeNotifyValues(reinterpret_cast<const void*>(e.wParam));
        }
    }

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Event> events_;
};

bool PostToQueue(void* context, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    static_cast<EventQueue*>(context)->Push(Event{message, wParam, lParam, 0, LX_FALSE});
    return true;
}

class RecordCallback final : public IAsyncCallback {
public:
    explicit RecordCallback(EventQueue* queue) : queue_(queue) {}
    LXRESULT QueryInterface(const LXIID& iid, void** out) override {
        if (out == nullptr) return LX_E_POINTER;
        if (iid == IID_ILXUnknown || iid == IID_IAsyncCallback) {
            AddRef();
            *out = static_cast<IAsyncCallback*>(this);
            return LX_OK;
        }
        *out = nullptr;
        return LX_E_NOINTERFACE;
    }
    // Lives on main's stack; the engine's references only keep it from being released early.
    uint32_t AddRef() override { return ++refs_; }
    uint32_t Release() override { return --refs_; }
    LXRESULT Invoke(IAsyncResult* result) override {
        Event e;
        result->GetProgress(&e.recordLength);
        e.recordStatus = result->GetStatus();
        queue_->Push(e);
        return LX_OK;
    }

private:
    EventQueue* queue_;
    std::atomic<uint32_t> refs_{1};
};

// The working-set trim the player does every 30 s: gives back freed heap, and drops the clean
// library pages touched only while loading and starting (the decoding libraries pull in a large
// closure of codecs and formats); pages still in use come straight back from the page cache.
// Only read-only file mappings without a single copied-on-write page are dropped, so nothing but
// file contents is given up.
void TrimWorkingSet() {
    malloc_trim(0);
    FILE* smaps = std::fopen("/proc/self/smaps", "r");
    if (smaps == nullptr) return;
    struct Range {
        unsigned long start, end;
    };
    std::vector<Range> ranges;
    Range current{0, 0};
    bool candidate = false;
    char line[512];
    while (std::fgets(line, sizeof line, smaps) != nullptr) {
        unsigned long start = 0, end = 0;
        char perms[8] = {};
        char path[400] = {};
        const int fields = std::sscanf(line, "%lx-%lx %7s %*s %*s %*s %399s", &start, &end, perms, path);
        if (fields >= 3 && std::strchr(line, '-') != nullptr && line[0] != ' ' && std::strncmp(line, "VmFlags", 7) != 0 &&
            std::strchr(perms, 'p') != nullptr) {
            current = {start, end};
            candidate = fields == 4 && path[0] == '/' && perms[1] != 'w';
            continue;
        }
        unsigned long kb = 0;
        if (candidate && std::sscanf(line, "Anonymous: %lu kB", &kb) == 1) {
            if (kb == 0) ranges.push_back(current);
            candidate = false;
        }
    }
    std::fclose(smaps);
    for (const Range& r : ranges) madvise(reinterpret_cast<void*>(r.start), r.end - r.start, MADV_DONTNEED);
}

int Usage(const char* problem) {
    std::fprintf(stderr,
                 "lxplay: %s\n"
                 "usage: lxplay [--seconds N] [--buffer S] [--volume V] [--ao sdl|null] [--record FILE.mp3]\n"
                 "              [--wav FILE.wav --limit SECONDS] [--proxy http://[user:pass@]host:port | "
                 "socks5://...]\n"
                 "              [--measure] ADDRESS_OR_FILE\n",
                 problem);
    return 2;
}

bool ParseNumber(const char* text, double min, double max, double* out) {
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (end == text || *end != 0 || !std::isfinite(v) || v < min || v > max) return false;
    *out = v;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = -1, buffer = -1, volume = 100, limit = 0;
    std::string ao = "sdl", record, wav, proxy, address;
    bool measure = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) return nullptr;
            (void)name;
            return argv[++i];
        };
        const char* v = nullptr;
        if (arg == "--measure") {
            measure = true;
        } else if (arg == "--seconds" || arg == "--buffer" || arg == "--volume" || arg == "--limit" ||
                   arg == "--ao" || arg == "--record" || arg == "--wav" || arg == "--proxy") {
            if ((v = value(arg.c_str())) == nullptr) return Usage(("missing value for " + arg).c_str());
            bool ok = true;
            if (arg == "--seconds") ok = ParseNumber(v, 0, 1e7, &seconds);
            if (arg == "--buffer") ok = ParseNumber(v, 0, 60, &buffer);
            if (arg == "--volume") ok = ParseNumber(v, 0, 100, &volume);
            if (arg == "--limit") ok = ParseNumber(v, 0, 1e6, &limit);
            if (arg == "--ao") {
                ao = v;
                ok = ao == "sdl" || ao == "null";
            }
            if (arg == "--record") record = v;
            if (arg == "--wav") wav = v;
            if (arg == "--proxy") proxy = v;
            if (!ok) return Usage(("bad value for " + arg + ": " + v).c_str());
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            return Usage(("unknown option " + arg).c_str());
        } else if (address.empty()) {
            address = arg;
        } else {
            return Usage("only one address or file");
        }
    }
    if (address.empty()) return Usage("no address or file");
    if (!record.empty() && !wav.empty()) return Usage("--record and --wav exclude each other");
    if (limit > 0 && wav.empty()) return Usage("--limit needs --wav");
    int proxyType = 0;
    std::string proxyText;
    if (!proxy.empty()) {
        const size_t scheme = proxy.find("://");
        const std::string kind = scheme == std::string::npos ? "" : lxengine::ToLowerAscii(proxy.substr(0, scheme));
        if (kind == "http") {
            proxyType = LXPROXY_HTTP;
        } else if (kind == "socks5" || kind == "socks5h") {
            proxyType = LXPROXY_SOCKS5;
        } else {
            return Usage("--proxy must start with http:// or socks5://");
        }
        proxyText = proxy.substr(scheme + 3);
        while (!proxyText.empty() && proxyText.back() == '/') proxyText.pop_back();
    }

    struct sigaction sa {};
    sa.sa_handler = &OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    const std::u16string address16 = lxengine::ToUtf16(address);
    EventQueue queue;
    IPlayerEngine* engine = nullptr;
    const LXNotifyTarget target{&PostToQueue, &queue};
    if (CreatePlayerEngine(&engine, &target) < 0 || engine == nullptr) {
        std::fprintf(stderr, "lxplay: the engine could not be created\n");
        return 1;
    }
    IPlayerProxy* proxyIf = nullptr;
    if (proxyType != 0 && engine->QueryInterface(IID_IPlayerProxy, reinterpret_cast<void**>(&proxyIf)) == LX_OK) {
        const LXRESULT r = proxyIf->SetProxy(lxengine::ToUtf16(proxyText).c_str(), proxyType, 1);
        proxyIf->Release();
        if (r < 0) {
            engine->Release();
            return Usage("unreadable proxy address");
        }
    }
    if (measure) {
        const int32_t ms = MeasureStreamSpeed(address16.c_str());
        Emit("measure", std::to_string(ms));
        engine->Release();
        return ms >= 0 ? 0 : 1;
    }
    IPlayerOption* options = nullptr;
    if (engine->QueryInterface(IID_IPlayerOption, reinterpret_cast<void**>(&options)) == LX_OK) {
        options->SetOption(LXOPTION_SPECTRUM, 1);
        if (buffer >= 0) options->SetOption(LXOPTION_BUFFER_TIME, static_cast<int64_t>(std::lround(buffer)));
        options->SetOption(LXOPTION_AUDIO_OUTPUT, ao == "null" ? LXOUTPUT_NULL : LXOUTPUT_DEVICE);
        options->Release();
    }
    engine->SetVolume(static_cast<int32_t>(std::lround(volume)));
    engine->Open(address16.c_str(), 0);
    engine->Play();

    RecordCallback callback(&queue);
    int exitCode = 0;
    bool played = false;
    bool recording = false;
    bool done = false;
    const auto deadline = seconds >= 0 ? g_start + std::chrono::microseconds(static_cast<int64_t>(seconds * 1e6))
                                       : Clock::time_point::max();
    auto nextTrim = Clock::time_point::max();
    while (!done) {
        if (g_signalled || Clock::now() >= deadline) break;
        if (Clock::now() >= nextTrim) {
            TrimWorkingSet();
            nextTrim = Clock::now() + std::chrono::seconds(30);
        }
        Event e;
        if (!queue.Pop(&e, std::chrono::milliseconds(100))) continue;
        const bool current = e.message == 0 || e.message == LXMSG_POSITION || e.message == LXMSG_SPECTRUM ||
                             static_cast<uint32_t>(e.lParam) == engine->GetGeneration();
        switch (e.message) {
            case 0: {
                const char* status = e.recordStatus == LX_FALSE ? "progress" : e.recordStatus == LX_OK ? "complete" : "failed";
                Emit("record", "{\"length_ms\": " + std::to_string(e.recordLength / 10000) + ", \"status\": \"" +
                                   status + "\"}");
                break;
            }
            case LXMSG_STATE: {
                if (!current) break;
                const int state = static_cast<int>(e.wParam);
                Emit("state", std::to_string(state));
                if (state == LXSTATE_PLAYING && !played) {
                    played = true;
                    nextTrim = Clock::now() + std::chrono::seconds(1);
                    const std::string& file = record.empty() ? wav : record;
                    if (!file.empty()) {
                        const LXRESULT r = engine->StartRecord(
                            lxengine::ToUtf16(file).c_str(), static_cast<int64_t>(std::llround(limit * 1e7)), &callback,
                            record.empty() ? LXRECORD_PCM : LXRECORD_MP3, LXRECORD_FLAG_PROGRESS);
                        recording = r >= 0;
                        Emit("record", std::string("{\"length_ms\": 0, \"status\": \"") + (recording ? "started" : "refused") + "\"}");
                    }
                }
                if (state == LXSTATE_OPEN_FAILED || state == LXSTATE_UNSUPPORTED || state == LXSTATE_OUTPUT_FAILED) {
                    exitCode = 1;
                    done = true;
                } else if (state == LXSTATE_ENDED) {
                    exitCode = played ? 0 : 1;
                    done = true;
                }
                break;
            }
            case LXMSG_BUFFER:
                if (current) Emit("buffer", std::to_string(e.wParam));
                break;
            case LXMSG_POSITION: {
                const uint64_t position = (static_cast<uint64_t>(static_cast<uint32_t>(e.lParam)) << 32) | (e.wParam & 0xFFFFFFFFu);
                char buf[32];
                std::snprintf(buf, sizeof buf, "%.3f", static_cast<double>(position) / 1e7);
                Emit("position", buf);
                break;
            }
            case LXMSG_SPECTRUM: {
                const auto* values = reinterpret_cast<const float*>(e.wParam);
                float peak = 0;
                for (intptr_t i = 0; i < e.lParam; ++i) peak = std::max(peak, values[i]);
                LXFreeNotifyValues(values);
                char buf[96];
                std::snprintf(buf, sizeof buf, "{\"count\": %ld, \"peak\": %.3f}", static_cast<long>(e.lParam), peak);
                Emit("spectrum", buf);
                break;
            }
            case LXMSG_TITLE: {
                if (!current) break;
                char16_t title[512];
                engine->GetStreamTitle(title, 512);
                Emit("title", JsonString(lxengine::ToUtf8(title)));
                break;
            }
            default:
                break;
        }
    }
    if (recording) engine->StopRecord(false);
    engine->Stop();
    engine->Release();
    return exitCode;
}
