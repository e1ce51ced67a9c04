// The process-wide HTTP client: callers queue HttpTasks with an event object; one worker thread
// runs them one at a time on libcurl and the outcome comes back on the creating thread through
// the client's notification window (11024 succeeded, 11025 failed).
//
// Threading: made on the user-interface thread by the first GetInstance; AddTask,
// RemoveTaskEvent and DestroyInstance are called there. The worker exists only while tasks are
// queued. lock_ (re-entrant) guards window_, queue_, current_, delivering_, worker_ and
// worker_alive_, and is held while a handler runs; session_mutex_ guards multi_ against the
// wake-up from DestroyInstance. Lock order: lock_ before session_mutex_.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "net/HttpTask.h"
#include "net/IHttpClock.h"
#include "net/IHttpTaskEvent.h"
#include "platform/Message.h"
#include "platform/Sync.h"

constexpr UINT WM_HTTP_TASK_SUCCEEDED = 11024;
constexpr UINT WM_HTTP_TASK_FAILED = 11025;

// Limits of one transfer, in milliseconds.
struct HttpTimeouts {
    uint32_t connect_ms = 5000;  // name look-up and connection
    uint32_t send_ms = 100000;   // from connected until the response headers are complete
    uint32_t block_ms = 5000;    // longest pause while the body arrives
};

class HttpClient final : private IWindowProc {
public:
    // The client, made on the first call (on the user-interface thread).
    static HttpClient* GetInstance();
    // The client when it exists, without making one.
    static HttpClient* Current();
    // Tears the client down: the notification window first (outcomes in flight are dropped),
    // then the running transfer is aborted at once and the worker ended; queued tasks are
    // deleted without any report. Never from inside a handler.
    static void DestroyInstance();

    // Queues the task; true when a worker runs for the queue (the client then owns the task).
    // False for a null task or when no worker could be started: the caller still owns the task.
    bool AddTask(HttpTask* task, IHttpTaskEvent* event);
    // Withdraws every use of `event`: queued tasks carrying it are deleted, and the running task
    // or an outcome already on its way reaches no handler.
    void RemoveTaskEvent(IHttpTaskEvent* event);

    // For tests: the clock of due ticks and back-off (nullptr: the system tick count), and
    // shorter transfer limits. Set while no task is queued.
    void SetClock(IHttpClock* clock);
    void SetTimeouts(const HttpTimeouts& timeouts);

    // Work left: tasks queued, running or awaiting delivery.
    size_t PendingCount();

private:
    struct Entry {
        std::unique_ptr<HttpTask> task;
        IHttpTaskEvent* event = nullptr;  // null once withdrawn
        uint64_t id = 0;                  // the posted message's wParam
    };
    class Transfer;

    HttpClient();
    ~HttpClient();
    LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;

    void WorkerMain();
    // Runs the task on the worker; true on success. Nothing of the lock is held.
    bool RunTask(HttpTask& task, const HttpTimeouts& limits);
    void Deliver(UINT msg, uint64_t id);
    IHttpClock& Clock();

    HWND window_ = nullptr;
    Event exit_{true, false};
    Event operation_{false, false};
    std::atomic<bool> exiting_{false};
    IHttpClock* clock_ = nullptr;
    HttpTimeouts timeouts_;

    CriticalSection lock_;
    // Guarded by lock_.
    std::list<std::unique_ptr<Entry>> queue_;
    std::unique_ptr<Entry> current_;
    std::map<uint64_t, std::unique_ptr<Entry>> delivering_;
    uint64_t next_id_ = 1;
    std::thread worker_;
    bool worker_alive_ = false;
    bool worker_idle_ = false;

    // The session: curl's multi handle (connection cache) and share handle (cookies), kept across
    // tasks and worker threads. Used by the worker only, except the wake-up under session_mutex_.
    std::mutex session_mutex_;
    void* multi_ = nullptr;
    void* share_ = nullptr;
};
