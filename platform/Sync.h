// Synchronisation in the design's vocabulary: events (auto and manual reset) that threads wait
// on alone or several at once, a re-entrant critical section, and the monotonic tick count.
// Threading: every class here is thread-safe; that is its purpose.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>

constexpr uint32_t kInfinite = 0xFFFFFFFF;
constexpr uint32_t kWaitTimeout = 258;  // WAIT_TIMEOUT; WAIT_OBJECT_0 + i is plain i

// Milliseconds from an arbitrary start, monotonic (CLOCK_MONOTONIC).
uint64_t GetTickCount64();
uint32_t GetTickCount();

class Event {
public:
    Event(bool manual_reset, bool initially_set);
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    // True when the event was (or became) signalled within timeout_ms; an auto-reset event is
    // reset by the waiter that takes it.
    bool Wait(uint32_t timeout_ms = kInfinite);
    bool IsSet() const;

private:
    friend uint32_t WaitForAnyEvent(std::initializer_list<Event*> events, uint32_t timeout_ms);
    struct Waiter;
    bool TryTake();  // under mutex_
    const bool manual_;
    mutable std::mutex mutex_;
    bool set_ = false;
    std::condition_variable cv_;
    // Waiters blocked on several events at once; guarded by mutex_.
    std::shared_ptr<Waiter> multi_[8];
};

// Waits until one of the events is signalled: returns its index (the first signalled one in
// list order), or kWaitTimeout. At most 8 events.
uint32_t WaitForAnyEvent(std::initializer_list<Event*> events, uint32_t timeout_ms);

// Re-entrant lock, as a Windows critical section.
class CriticalSection {
public:
    void Enter() { mutex_.lock(); }
    void Leave() { mutex_.unlock(); }
    bool TryEnter() { return mutex_.try_lock(); }
    // BasicLockable, for std::lock_guard and std::unique_lock.
    void lock() { mutex_.lock(); }
    void unlock() { mutex_.unlock(); }

private:
    std::recursive_mutex mutex_;
};

// Enters on construction, leaves on every path out of the scope.
class CriticalSectionLock {
public:
    explicit CriticalSectionLock(CriticalSection& cs) : cs_(cs) { cs_.Enter(); }
    ~CriticalSectionLock() { cs_.Leave(); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

private:
    CriticalSection& cs_;
};
