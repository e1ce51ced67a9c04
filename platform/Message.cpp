// Window handles, per-thread queues, timers and loops; windows of other processes are reached
// through a Unix socket per titled window in the runtime folder.
//
// Sections: handle registry - thread queues - posting and sending - timers - get/peek/dispatch -
// cross-process windows - message loop.
//
// Threading: the registry is guarded by g_registry_mutex; each queue by its own mutex. Lock order:
// registry before queue; no lock is held while a window procedure runs. One listener thread per
// process accepts posts from other processes and turns them into PostMessage calls.
#include "platform/Message.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/Sync.h"
#include "platform/Text.h"
#include "platform/Trace.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Thread queues

struct SendRecord;

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    uint32_t elapse_ms;
    uint64_t due;
};

struct ThreadQueue {
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<MSG> posted;                          // guarded by mutex
    std::deque<std::shared_ptr<SendRecord>> sends;   // guarded by mutex
    std::vector<Timer> timers;                       // guarded by mutex
    bool quit = false;                               // guarded by mutex
    int quit_code = 0;                               // guarded by mutex
    bool woken = false;                              // guarded by mutex
    bool dead = false;                               // guarded by mutex
    IThreadPump* pump = nullptr;                     // set on the owning thread only

    void Wake() {
        woken = true;
        cv.notify_all();
    }
};

struct SendRecord {
    MSG msg;
    LRESULT result = 0;
    std::atomic<bool> done{false};
    std::shared_ptr<ThreadQueue> sender;
};

void CompleteSend(const std::shared_ptr<SendRecord>& rec, LRESULT result) {
    rec->result = result;
    std::shared_ptr<ThreadQueue> sender = rec->sender;
    {
        std::lock_guard<std::mutex> lock(sender->mutex);
        rec->done = true;
        sender->Wake();
    }
    if (sender->pump) sender->pump->Wake();
}

void RemoveThreadWindows(ThreadQueue* queue);

// Owned by thread_local storage; on thread exit its windows die and waiting senders get 0.
struct QueueHolder {
    std::shared_ptr<ThreadQueue> queue = std::make_shared<ThreadQueue>();
    ~QueueHolder() {
        std::deque<std::shared_ptr<SendRecord>> sends;
        {
            std::lock_guard<std::mutex> lock(queue->mutex);
            queue->dead = true;
            sends.swap(queue->sends);
        }
        for (auto& s : sends) CompleteSend(s, 0);
        RemoveThreadWindows(queue.get());
    }
};

ThreadQueue& CurrentQueue();
std::shared_ptr<ThreadQueue> CurrentQueuePtr() {
    thread_local QueueHolder holder;
    return holder.queue;
}
ThreadQueue& CurrentQueue() { return *CurrentQueuePtr(); }

// ---------------------------------------------------------------------------------------------
// Handle registry

struct WindowRecord {
    IWindowProc* proc = nullptr;                 // local windows
    std::weak_ptr<ThreadQueue> queue;            // local windows
    ThreadQueue* queue_raw = nullptr;
    std::u16string title;
    std::string socket_path;                     // titled local windows: where we listen; remote: where to post
    int listen_fd = -1;
    bool remote = false;
};

std::mutex g_registry_mutex;
std::unordered_map<uintptr_t, std::shared_ptr<WindowRecord>> g_windows;  // guarded by g_registry_mutex
uintptr_t g_next_handle = 0x10000;                                       // guarded by g_registry_mutex

HWND ToHandle(uintptr_t v) { return reinterpret_cast<HWND>(v); }
uintptr_t FromHandle(HWND h) { return reinterpret_cast<uintptr_t>(h); }

std::shared_ptr<WindowRecord> Lookup(HWND hwnd) {
    std::lock_guard<std::mutex> lock(g_registry_mutex);
    auto it = g_windows.find(FromHandle(hwnd));
    return it == g_windows.end() ? nullptr : it->second;
}

// ---------------------------------------------------------------------------------------------
// Cross-process windows

struct Packet {
    uint32_t magic;
    uint32_t msg;
    uint64_t wparam;
    int64_t lparam;
};
constexpr uint32_t kPacketMagic = 0x4D57584C;  // "LXWM"

std::string RuntimeFolder() {
    const char* run = std::getenv("XDG_RUNTIME_DIR");
    std::string dir = run && *run ? std::string(run) + "/loxanradio" : "/tmp/loxanradio-" + std::to_string(getuid());
    mkdir(dir.c_str(), 0700);
    return dir;
}

// Socket files are named after the title's UTF-8 bytes in hex, then the owning process id.
std::string TitleKey(std::u16string_view title) {
    static const char* hex = "0123456789abcdef";
    std::string key;
    for (unsigned char c : Utf16ToUtf8(title)) {
        key.push_back(hex[c >> 4]);
        key.push_back(hex[c & 15]);
        if (key.size() >= 64) break;
    }
    return key;
}

bool FillAddress(const std::string& path, sockaddr_un& addr) {
    std::memset(&addr, 0, sizeof(addr));
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof(addr.sun_path)) return false;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return true;
}

int ConnectTo(const std::string& path) {
    sockaddr_un addr;
    if (!FillAddress(path, addr)) return -1;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool SendPacket(const std::string& path, UINT msg, WPARAM wParam, LPARAM lParam) {
    const int fd = ConnectTo(path);
    if (fd < 0) return false;
    const Packet p{kPacketMagic, msg, static_cast<uint64_t>(wParam), static_cast<int64_t>(lParam)};
    const ssize_t n = send(fd, &p, sizeof(p), MSG_NOSIGNAL);
    close(fd);
    return n == static_cast<ssize_t>(sizeof(p));
}

// Accepts posts from other processes for every titled window of this process.
class Listener {
public:
    static Listener& Instance() {
        static Listener listener;
        return listener;
    }

    void Add(uintptr_t handle, int fd) {
        std::lock_guard<std::mutex> lock(mutex_);
        fds_[handle] = fd;
        if (!thread_.joinable()) {
            if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) return;
            thread_ = std::thread([this] { Run(); });
        }
        Poke();
    }

    void Remove(uintptr_t handle) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = fds_.find(handle);
        if (it == fds_.end()) return;
        closing_.push_back(it->second);
        fds_.erase(it);
        Poke();
    }

    ~Listener() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
            Poke();
        }
        if (thread_.joinable()) thread_.join();
        for (auto& [h, fd] : fds_) close(fd);
        for (int fd : closing_) close(fd);
        if (wake_[0] >= 0) close(wake_[0]), close(wake_[1]);
    }

private:
    void Poke() {
        if (wake_[1] >= 0) {
            const char c = 1;
            [[maybe_unused]] ssize_t n = write(wake_[1], &c, 1);
        }
    }

    void Run() {
        for (;;) {
            std::vector<pollfd> fds;
            std::vector<uintptr_t> handles;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (stop_) return;
                for (int fd : closing_) close(fd);
                closing_.clear();
                fds.push_back({wake_[0], POLLIN, 0});
                handles.push_back(0);
                for (auto& [h, fd] : fds_) {
                    fds.push_back({fd, POLLIN, 0});
                    handles.push_back(h);
                }
            }
            if (poll(fds.data(), fds.size(), -1) < 0) continue;
            if (fds[0].revents) {
                char buf[64];
                while (read(wake_[0], buf, sizeof(buf)) > 0) {
                }
            }
            for (size_t i = 1; i < fds.size(); ++i) {
                if (!(fds[i].revents & POLLIN)) continue;
                {
                    // The descriptor may have been closed since the poll began.
                    std::lock_guard<std::mutex> lock(mutex_);
                    auto it = fds_.find(handles[i]);
                    if (it == fds_.end() || it->second != fds[i].fd) continue;
                }
                const int client = accept4(fds[i].fd, nullptr, nullptr, SOCK_CLOEXEC);
                if (client < 0) continue;
                pollfd pc{client, POLLIN, 0};
                Packet p{};
                if (poll(&pc, 1, 1000) > 0 && recv(client, &p, sizeof(p), MSG_WAITALL) == sizeof(p) &&
                    p.magic == kPacketMagic) {
                    PostMessage(ToHandle(handles[i]), p.msg, static_cast<WPARAM>(p.wparam),
                                static_cast<LPARAM>(p.lparam));
                }
                close(client);
            }
        }
    }

    std::mutex mutex_;
    std::unordered_map<uintptr_t, int> fds_;  // guarded by mutex_
    std::vector<int> closing_;                // guarded by mutex_
    bool stop_ = false;                       // guarded by mutex_
    int wake_[2] = {-1, -1};
    std::thread thread_;
};

// Listens for the titled window; false when the socket cannot be made (the window still works
// inside the process).
bool Publish(uintptr_t handle, WindowRecord& rec) {
    rec.socket_path = RuntimeFolder() + "/w-" + TitleKey(rec.title) + "-" + std::to_string(getpid()) + "-" +
                      std::to_string(handle) + ".sock";
    sockaddr_un addr;
    if (!FillAddress(rec.socket_path, addr)) return false;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return false;
    unlink(rec.socket_path.c_str());
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || listen(fd, 8) != 0) {
        LX_TRACE("cannot listen on " + rec.socket_path);
        close(fd);
        return false;
    }
    rec.listen_fd = fd;
    Listener::Instance().Add(handle, fd);
    return true;
}

void Unpublish(uintptr_t handle, WindowRecord& rec) {
    if (rec.listen_fd < 0) return;
    Listener::Instance().Remove(handle);
    unlink(rec.socket_path.c_str());
    rec.listen_fd = -1;
}

void RemoveThreadWindows(ThreadQueue* queue) {
    std::vector<std::pair<uintptr_t, std::shared_ptr<WindowRecord>>> dead;
    {
        std::lock_guard<std::mutex> lock(g_registry_mutex);
        for (auto it = g_windows.begin(); it != g_windows.end();) {
            if (!it->second->remote && it->second->queue_raw == queue) {
                dead.emplace_back(it->first, it->second);
                it = g_windows.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& [h, rec] : dead) Unpublish(h, *rec);
}

// ---------------------------------------------------------------------------------------------
// Get, peek, wait

// Runs the sends queued for this thread; no lock is held while a procedure runs.
void RunIncomingSends(ThreadQueue& q) {
    for (;;) {
        std::shared_ptr<SendRecord> rec;
        {
            std::lock_guard<std::mutex> lock(q.mutex);
            if (q.sends.empty()) return;
            rec = q.sends.front();
            q.sends.pop_front();
        }
        CompleteSend(rec, DispatchMessage(rec->msg));
    }
}

bool TakeMessage(ThreadQueue& q, MSG* out, bool remove) {
    RunIncomingSends(q);
    std::lock_guard<std::mutex> lock(q.mutex);
    if (!q.posted.empty()) {
        *out = q.posted.front();
        if (remove) q.posted.pop_front();
        return true;
    }
    if (q.quit) {
        *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q.quit_code), 0, GetTickCount()};
        if (remove) q.quit = false;
        return true;
    }
    const uint64_t now = GetTickCount64();
    Timer* due = nullptr;
    for (auto& t : q.timers) {
        if (t.due <= now && (!due || t.due < due->due)) due = &t;
    }
    if (due) {
        *out = MSG{due->hwnd, WM_TIMER, due->id, 0, static_cast<uint32_t>(now)};
        if (remove) due->due = now + due->elapse_ms;
        return true;
    }
    return false;
}

// Milliseconds until the next timer is due (0 when one is due), or kInfinite. Under q.mutex.
uint32_t NextTimerWait(const ThreadQueue& q) {
    if (q.timers.empty()) return kInfinite;
    const uint64_t now = GetTickCount64();
    uint64_t next = UINT64_MAX;
    for (const auto& t : q.timers) next = std::min(next, t.due);
    return next <= now ? 0 : static_cast<uint32_t>(std::min<uint64_t>(next - now, kInfinite - 1));
}

bool HasWork(const ThreadQueue& q) { return !q.posted.empty() || !q.sends.empty() || q.quit; }

// Waits until a message, a send or a due timer is there, or timeout_ms passes.
bool WaitOn(ThreadQueue& q, uint32_t timeout_ms) {
    const uint64_t deadline = timeout_ms == kInfinite ? UINT64_MAX : GetTickCount64() + timeout_ms;
    for (;;) {
        uint32_t wait_ms;
        {
            std::unique_lock<std::mutex> lock(q.mutex);
            q.woken = false;
            if (HasWork(q)) return true;
            const uint32_t timer_ms = NextTimerWait(q);
            if (timer_ms == 0) return true;
            const uint64_t now = GetTickCount64();
            if (now >= deadline) return false;
            const uint64_t left = deadline == UINT64_MAX ? kInfinite : deadline - now;
            wait_ms = static_cast<uint32_t>(std::min<uint64_t>({left, timer_ms, kInfinite}));
            if (!q.pump) {
                auto pred = [&] { return q.woken || HasWork(q); };
                if (wait_ms == kInfinite) {
                    q.cv.wait(lock, pred);
                } else {
                    q.cv.wait_for(lock, std::chrono::milliseconds(wait_ms), pred);
                }
                continue;
            }
        }
        q.pump->Wait(wait_ms);
    }
}

// Posts to a local record; false when its thread is gone.
bool PostLocal(const WindowRecord& rec, const MSG& msg) {
    std::shared_ptr<ThreadQueue> q = rec.queue.lock();
    if (!q) return false;
    {
        std::lock_guard<std::mutex> lock(q->mutex);
        if (q->dead) return false;
        q->posted.push_back(msg);
        q->Wake();
    }
    if (q->pump) q->pump->Wake();
    return true;
}

thread_local std::vector<MessageLoop*> t_loops;

}  // namespace

// ---------------------------------------------------------------------------------------------
// Windows

HWND CreateMessageWindow(IWindowProc* proc, std::u16string_view title) {
    auto rec = std::make_shared<WindowRecord>();
    rec->proc = proc;
    rec->queue = CurrentQueuePtr();
    rec->queue_raw = &CurrentQueue();
    rec->title = std::u16string(title);
    uintptr_t handle;
    {
        std::lock_guard<std::mutex> lock(g_registry_mutex);
        handle = g_next_handle++;
        g_windows[handle] = rec;
    }
    if (!rec->title.empty()) Publish(handle, *rec);
    const HWND hwnd = ToHandle(handle);
    if (proc) proc->WindowProc(hwnd, WM_CREATE, 0, 0);
    return hwnd;
}

bool DestroyWindow(HWND hwnd) {
    std::shared_ptr<WindowRecord> rec = Lookup(hwnd);
    if (!rec || rec->remote || rec->queue_raw != &CurrentQueue()) return false;
    if (rec->proc) rec->proc->WindowProc(hwnd, WM_DESTROY, 0, 0);
    {
        std::lock_guard<std::mutex> lock(g_registry_mutex);
        g_windows.erase(FromHandle(hwnd));
    }
    Unpublish(FromHandle(hwnd), *rec);
    ThreadQueue& q = CurrentQueue();
    std::lock_guard<std::mutex> lock(q.mutex);
    q.timers.erase(std::remove_if(q.timers.begin(), q.timers.end(), [&](const Timer& t) { return t.hwnd == hwnd; }),
                   q.timers.end());
    q.posted.erase(std::remove_if(q.posted.begin(), q.posted.end(), [&](const MSG& m) { return m.hwnd == hwnd; }),
                   q.posted.end());
    return true;
}

bool IsWindow(HWND hwnd) {
    std::shared_ptr<WindowRecord> rec = Lookup(hwnd);
    if (!rec) return false;
    if (!rec->remote) return true;
    const int fd = ConnectTo(rec->socket_path);
    if (fd < 0) return false;
    close(fd);
    return true;
}

std::u16string GetWindowTitle(HWND hwnd) {
    std::shared_ptr<WindowRecord> rec = Lookup(hwnd);
    if (!rec) return {};
    std::lock_guard<std::mutex> lock(g_registry_mutex);
    return rec->title;
}

bool SetWindowTitle(HWND hwnd, std::u16string_view title) {
    std::shared_ptr<WindowRecord> rec = Lookup(hwnd);
    if (!rec || rec->remote) return false;
    Unpublish(FromHandle(hwnd), *rec);
    {
        std::lock_guard<std::mutex> lock(g_registry_mutex);
        rec->title = std::u16string(title);
    }
    if (!title.empty()) Publish(FromHandle(hwnd), *rec);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Posting and sending

bool PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<WindowRecord> rec = Lookup(hwnd);
    if (!rec) return false;
    if (rec->remote) return SendPacket(rec->socket_path, msg, wParam, lParam);
    return PostLocal(*rec, MSG{hwnd, msg, wParam, lParam, GetTickCount()});
}

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<WindowRecord> rec = Lookup(hwnd);
    if (!rec) return 0;
    if (rec->remote) {
        SendPacket(rec->socket_path, msg, wParam, lParam);
        return 0;
    }
    ThreadQueue& self = CurrentQueue();
    if (rec->queue_raw == &self) return rec->proc ? rec->proc->WindowProc(hwnd, msg, wParam, lParam) : 0;

    std::shared_ptr<ThreadQueue> target = rec->queue.lock();
    if (!target) return 0;
    auto send = std::make_shared<SendRecord>();
    send->msg = MSG{hwnd, msg, wParam, lParam, GetTickCount()};
    send->sender = CurrentQueuePtr();
    {
        std::lock_guard<std::mutex> lock(target->mutex);
        if (target->dead) return 0;
        target->sends.push_back(send);
        target->Wake();
    }
    if (target->pump) target->pump->Wake();
    // While waiting, answer sends made to this thread so two threads sending to each other go on.
    for (;;) {
        RunIncomingSends(self);
        std::unique_lock<std::mutex> lock(self.mutex);
        if (send->done) break;
        self.cv.wait(lock, [&] { return send->done || !self.sends.empty(); });
        if (send->done) break;
    }
    return send->result;
}

// ---------------------------------------------------------------------------------------------
// Timers

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse_ms) {
    std::shared_ptr<WindowRecord> rec = Lookup(hwnd);
    ThreadQueue& q = CurrentQueue();
    if (!rec || rec->remote || rec->queue_raw != &q) return 0;
    const uint64_t due = GetTickCount64() + elapse_ms;
    std::lock_guard<std::mutex> lock(q.mutex);
    for (auto& t : q.timers) {
        if (t.hwnd == hwnd && t.id == id) {
            t.elapse_ms = elapse_ms;
            t.due = due;
            return id;
        }
    }
    q.timers.push_back(Timer{hwnd, id, elapse_ms, due});
    return id;
}

bool KillTimer(HWND hwnd, UINT_PTR id) {
    ThreadQueue& q = CurrentQueue();
    std::lock_guard<std::mutex> lock(q.mutex);
    const auto before = q.timers.size();
    q.timers.erase(std::remove_if(q.timers.begin(), q.timers.end(),
                                  [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; }),
                   q.timers.end());
    return q.timers.size() != before;
}

// ---------------------------------------------------------------------------------------------
// Get, peek, dispatch

void PostQuitMessage(int exit_code) {
    ThreadQueue& q = CurrentQueue();
    std::lock_guard<std::mutex> lock(q.mutex);
    q.quit = true;
    q.quit_code = exit_code;
    q.Wake();
}

bool GetMessage(MSG* msg) {
    ThreadQueue& q = CurrentQueue();
    while (!TakeMessage(q, msg, true)) WaitOn(q, kInfinite);
    return msg->message != WM_QUIT;
}

bool PeekMessage(MSG* msg, bool remove) { return TakeMessage(CurrentQueue(), msg, remove); }

bool WaitMessage(uint32_t timeout_ms) { return WaitOn(CurrentQueue(), timeout_ms); }

LRESULT DispatchMessage(const MSG& msg) {
    std::shared_ptr<WindowRecord> rec = Lookup(msg.hwnd);
    if (!rec || rec->remote || !rec->proc) return 0;
    return rec->proc->WindowProc(msg.hwnd, msg.message, msg.wParam, msg.lParam);
}

void SetThreadPump(IThreadPump* pump) { CurrentQueue().pump = pump; }

// ---------------------------------------------------------------------------------------------
// Cross-process lookup

HWND FindWindow(std::u16string_view title) {
    if (title.empty()) return nullptr;
    {
        std::lock_guard<std::mutex> lock(g_registry_mutex);
        for (auto& [h, rec] : g_windows) {
            if (!rec->remote && rec->title == title) return ToHandle(h);
        }
    }
    const std::string folder = RuntimeFolder();
    const std::string prefix = "w-" + TitleKey(title) + "-";
    DIR* dir = opendir(folder.c_str());
    if (!dir) return nullptr;
    std::string found;
    while (dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string path = folder + "/" + name;
        const int fd = ConnectTo(path);
        if (fd < 0) {
            unlink(path.c_str());  // left behind by a process that ended without cleaning up
            continue;
        }
        close(fd);
        found = path;
        break;
    }
    closedir(dir);
    if (found.empty()) return nullptr;
    std::lock_guard<std::mutex> lock(g_registry_mutex);
    for (auto& [h, rec] : g_windows) {
        if (rec->remote && rec->socket_path == found) return ToHandle(h);
    }
    auto rec = std::make_shared<WindowRecord>();
    rec->remote = true;
    rec->title = std::u16string(title);
    rec->socket_path = found;
    const uintptr_t handle = g_next_handle++;
    g_windows[handle] = rec;
    return ToHandle(handle);
}

bool SetForegroundWindow(HWND hwnd) { return PostMessage(hwnd, WM_LX_FOREGROUND, 0, 0); }

// ---------------------------------------------------------------------------------------------
// Message loop

struct MessageLoop::Impl {
    std::vector<IMessageFilter*> filters;
    std::vector<IIdleHandler*> idle_handlers;
};

MessageLoop::~MessageLoop() { delete impl_; }

MessageLoop::Impl& MessageLoop::impl() {
    if (!impl_) impl_ = new Impl;
    return *impl_;
}

void MessageLoop::AddMessageFilter(IMessageFilter* filter) { impl().filters.push_back(filter); }
void MessageLoop::RemoveMessageFilter(IMessageFilter* filter) {
    auto& v = impl().filters;
    v.erase(std::remove(v.begin(), v.end(), filter), v.end());
}
void MessageLoop::AddIdleHandler(IIdleHandler* handler) { impl().idle_handlers.push_back(handler); }
void MessageLoop::RemoveIdleHandler(IIdleHandler* handler) {
    auto& v = impl().idle_handlers;
    v.erase(std::remove(v.begin(), v.end(), handler), v.end());
}

bool MessageLoop::PreTranslateMessage(MSG* msg) {
    // Copy: a filter may remove itself while it runs.
    const std::vector<IMessageFilter*> filters = impl().filters;
    for (auto it = filters.rbegin(); it != filters.rend(); ++it) {
        if ((*it)->PreTranslateMessage(msg)) return true;
    }
    return false;
}

bool MessageLoop::OnIdle(int) {
    const std::vector<IIdleHandler*> handlers = impl().idle_handlers;
    bool again = false;
    for (IIdleHandler* h : handlers) again |= h->OnIdle();
    return again;
}

int MessageLoop::Run() {
    bool done = false;
    RunModal(&done);
    MSG msg;
    // RunModal posted the quit again for enclosing loops; the outermost loop takes it here.
    if (t_loops.empty()) {
        PeekMessage(&msg, true);
        return static_cast<int>(msg.wParam);
    }
    PeekMessage(&msg, false);
    return static_cast<int>(msg.wParam);
}

bool MessageLoop::RunModal(const bool* done) {
    t_loops.push_back(this);
    ThreadQueue& q = CurrentQueue();
    bool quit = false;
    while (!*done) {
        MSG msg;
        int idle_count = 0;
        while (!TakeMessage(q, &msg, true)) {
            if (!OnIdle(idle_count++)) WaitOn(q, kInfinite);
        }
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            quit = true;
            break;
        }
        if (!PreTranslateMessage(&msg)) DispatchMessage(msg);
    }
    t_loops.pop_back();
    return !quit;
}

MessageLoop* MessageLoop::ForCurrentThread() { return t_loops.empty() ? nullptr : t_loops.back(); }
