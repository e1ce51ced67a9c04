// The write queue and its writer thread. The writer waits on the stop event for one period,
// flushes, and after the stop event flushes once more and ends. Errors never leave the thread:
// they are traced and the batch waits for the next flush.
#include "storage/SqlWriteQueue.h"

#include <memory>
#include <mutex>

#include "platform/Text.h"
#include "platform/Trace.h"
#include "storage/CppSQLite3Exception.h"
#include "storage/DatabasePath.h"

namespace {

// Errors that belong to one statement (bad text, a constraint, a missing table): the statement is
// skipped. Anything else (busy, locked, read-only, disk full, not a database) is the database's
// and keeps the whole batch for the next flush.
bool IsStatementError(int code) {
    switch (code) {
        case 1:   // SQLITE_ERROR
        case 18:  // SQLITE_TOOBIG
        case 19:  // SQLITE_CONSTRAINT
        case 20:  // SQLITE_MISMATCH
        case 23:  // SQLITE_AUTH
        case 25:  // SQLITE_RANGE
            return true;
        default:
            return false;
    }
}

std::mutex& InstanceMutex() {
    static std::mutex m;
    return m;
}

std::unique_ptr<SqlWriteQueue>& InstanceSlot() {
    static std::unique_ptr<SqlWriteQueue> queue;
    return queue;
}

}  // namespace

SqlWriteQueue& SqlWriteQueue::Instance() {
    std::lock_guard<std::mutex> lock(InstanceMutex());
    std::unique_ptr<SqlWriteQueue>& slot = InstanceSlot();
    if (!slot) {
        const std::u16string path = DatabasePath();
        LX_ASSERT(!path.empty());
        slot = std::make_unique<SqlWriteQueue>(path);
    }
    return *slot;
}

void SqlWriteQueue::DestroyInstance() {
    std::unique_ptr<SqlWriteQueue> queue;
    {
        std::lock_guard<std::mutex> lock(InstanceMutex());
        queue = std::move(InstanceSlot());
    }
    queue.reset();
}

SqlWriteQueue::SqlWriteQueue(std::u16string_view db_path, uint32_t flush_interval_ms)
    : path_(db_path), flush_interval_ms_(flush_interval_ms) {
    if (path_.empty()) return;
    try {
        db_.Open(path_);
    } catch (const CppSQLite3Exception& e) {
        LX_TRACE(std::string("cannot open the database for queued writes: ") + e.what());
    }
}

SqlWriteQueue::~SqlWriteQueue() {
    stop_event_.Set();
    if (writer_.joinable()) writer_.join();
    // Statements queued while no writer ran, or kept back by a failed flush, get a last try.
    try {
        Flush();
    } catch (const CppSQLite3Exception& e) {
        LX_TRACE(Format(u"%u queued statements not written: ", static_cast<uint32_t>(PendingCount())) +
                 Utf8ToUtf16(e.what()));
    }
    db_.Close();
}

void SqlWriteQueue::Enqueue(std::u16string_view sql) {
    CriticalSectionLock lock(list_lock_);
    pending_.emplace_back(sql);
}

size_t SqlWriteQueue::PendingCount() const {
    CriticalSectionLock lock(list_lock_);
    return pending_.size();
}

void SqlWriteQueue::Flush() {
    CriticalSectionLock flush(flush_lock_);
    std::vector<std::u16string> batch;
    {
        CriticalSectionLock lock(list_lock_);
        batch.swap(pending_);
    }
    if (batch.empty()) return;
    try {
        if (!db_.IsOpen()) {
            if (path_.empty()) throw CppSQLite3Exception(CPPSQLITE_ERROR, "Database not open");
            db_.Open(path_);
        }
        db_.Execute(std::string("begin transaction;"));
        for (const std::u16string& sql : batch) {
            try {
                db_.Execute(sql);
            } catch (const CppSQLite3Exception& e) {
                if (!IsStatementError(e.ErrorCode())) {
                    db_.ExecuteQuiet(u"rollback transaction;");
                    throw;
                }
                LX_TRACE(std::string("queued statement skipped: ") + e.what());
            }
        }
        try {
            db_.Execute(std::string("commit transaction;"));
        } catch (const CppSQLite3Exception&) {
            db_.ExecuteQuiet(u"rollback transaction;");
            throw;
        }
    } catch (const CppSQLite3Exception&) {
        CriticalSectionLock lock(list_lock_);
        batch.insert(batch.end(), std::make_move_iterator(pending_.begin()),
                     std::make_move_iterator(pending_.end()));
        pending_.swap(batch);
        throw;
    }
}

void SqlWriteQueue::SetBusyTimeout(int timeout_ms) {
    CriticalSectionLock flush(flush_lock_);
    db_.SetBusyTimeout(timeout_ms);
}

bool SqlWriteQueue::StartWriter() {
    if (writer_.joinable()) return false;
    writer_ = std::thread([this] { WriterLoop(); });
    return true;
}

void SqlWriteQueue::WriterLoop() {
    for (;;) {
        const bool stop = stop_event_.Wait(flush_interval_ms_);
        try {
            Flush();
        } catch (const CppSQLite3Exception& e) {
            LX_TRACE(std::string("queued writes kept for the next flush: ") + e.what());
        }
        if (stop) return;
    }
}
