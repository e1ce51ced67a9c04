// The process-wide write queue: stores hand it the statements that the user's changes cause, and
// its writer thread commits them on the queue's own connection every 3000 ms, one transaction
// per flush, in queue order. A statement that fails on its own is skipped; when the transaction
// cannot begin or commit, or the database fails (busy, locked, read-only, full), the whole batch
// stays queued for the next flush. Destroying the queue writes whatever is still queued.
// Threading: Enqueue, Flush and PendingCount may be called from any thread. pending_ is guarded
// by list_lock_; the connection and the transaction by flush_lock_. Lock order: flush_lock_ before
// list_lock_. Enqueue takes only list_lock_, so it never waits for a running transaction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/Sync.h"
#include "storage/CppSQLite3DB.h"

class SqlWriteQueue {
public:
    static constexpr uint32_t kFlushIntervalMs = 3000;

    // The queue on DatabasePath(), made on the first call (which creates the database file on a
    // first run). A database that cannot be opened now is opened again at each flush.
    static SqlWriteQueue& Instance();
    // Tear-down: deletes the queue made by Instance (if any), which writes what is still queued.
    static void DestroyInstance();

    // A queue of its own on `db_path` (tests and benchmarks); `flush_interval_ms` is the writer's period.
    explicit SqlWriteQueue(std::u16string_view db_path, uint32_t flush_interval_ms = kFlushIntervalMs);
    SqlWriteQueue(const SqlWriteQueue&) = delete;
    SqlWriteQueue& operator=(const SqlWriteQueue&) = delete;
    ~SqlWriteQueue();

    // Appends a copy of the statement; never touches the database.
    void Enqueue(std::u16string_view sql);
    // Writes every queued statement in one transaction. Throws CppSQLite3Exception when the
    // database cannot be opened or the transaction cannot begin or commit; the statements then
    // stay queued, in order, ahead of any queued meanwhile.
    void Flush();
    // Starts the writer thread once; false when it already runs.
    bool StartWriter();
    bool WriterStarted() const { return writer_.joinable(); }
    size_t PendingCount() const;
    // How long the queue's connection waits for a lock held by another one (60000 ms by default).
    void SetBusyTimeout(int timeout_ms);

private:
    void WriterLoop();

    const std::u16string path_;
    const uint32_t flush_interval_ms_;
    Event stop_event_{false, false};
    std::thread writer_;  // started and joined on the owner's thread

    CriticalSection flush_lock_;
    // Guarded by flush_lock_:
    CppSQLite3DB db_;

    mutable CriticalSection list_lock_;
    // Guarded by list_lock_:
    std::vector<std::u16string> pending_;
};
