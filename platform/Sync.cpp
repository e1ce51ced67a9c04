#include "platform/Sync.h"

#include <chrono>
#include <ctime>

uint64_t GetTickCount64() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

uint32_t GetTickCount() { return static_cast<uint32_t>(GetTickCount64()); }

// A thread waiting on several events: any of them wakes it.
struct Event::Waiter {
    std::mutex mutex;
    std::condition_variable cv;
    bool woken = false;
};

Event::Event(bool manual_reset, bool initially_set) : manual_(manual_reset), set_(initially_set) {}
Event::~Event() = default;

void Event::Set() {
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = true;
    if (manual_) {
        cv_.notify_all();
    } else {
        cv_.notify_one();
    }
    for (auto& w : multi_) {
        if (!w) continue;
        std::lock_guard<std::mutex> wl(w->mutex);
        w->woken = true;
        w->cv.notify_all();
    }
}

void Event::Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = false;
}

bool Event::TryTake() {
    if (!set_) return false;
    if (!manual_) set_ = false;
    return true;
}

bool Event::Wait(uint32_t timeout_ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (timeout_ms == kInfinite) {
        cv_.wait(lock, [this] { return set_; });
    } else if (!cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] { return set_; })) {
        return false;
    }
    return TryTake();
}

bool Event::IsSet() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return set_;
}

uint32_t WaitForAnyEvent(std::initializer_list<Event*> events, uint32_t timeout_ms) {
    const uint64_t deadline = timeout_ms == kInfinite ? 0 : GetTickCount64() + timeout_ms;
    auto waiter = std::make_shared<Event::Waiter>();
    // Register with every event, then check; a Set after registration wakes us.
    for (Event* e : events) {
        std::lock_guard<std::mutex> lock(e->mutex_);
        for (auto& slot : e->multi_) {
            if (!slot) {
                slot = waiter;
                break;
            }
        }
    }
    uint32_t result = kWaitTimeout;
    for (;;) {
        uint32_t index = 0;
        for (Event* e : events) {
            std::lock_guard<std::mutex> lock(e->mutex_);
            if (e->TryTake()) {
                result = index;
                break;
            }
            ++index;
        }
        if (result != kWaitTimeout) break;
        std::unique_lock<std::mutex> wl(waiter->mutex);
        if (!waiter->woken) {
            if (timeout_ms == kInfinite) {
                waiter->cv.wait(wl, [&] { return waiter->woken; });
            } else {
                const uint64_t now = GetTickCount64();
                if (now >= deadline) break;
                waiter->cv.wait_for(wl, std::chrono::milliseconds(deadline - now), [&] { return waiter->woken; });
            }
        }
        waiter->woken = false;
        if (timeout_ms != kInfinite && GetTickCount64() >= deadline) {
            // One last look before giving up.
            index = 0;
            for (Event* e : events) {
                std::lock_guard<std::mutex> lock(e->mutex_);
                if (e->TryTake()) {
                    result = index;
                    break;
                }
                ++index;
            }
            break;
        }
    }
    for (Event* e : events) {
        std::lock_guard<std::mutex> lock(e->mutex_);
        for (auto& slot : e->multi_) {
            if (slot == waiter) slot.reset();
        }
    }
    return result;
}
