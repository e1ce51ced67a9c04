// Gives freed heap memory back to the system every 30 s (malloc_trim), as the player trims its
// working set while it runs in the background for hours.
// Threading: a timer thread of its own that only calls malloc_trim; constructed and destroyed on
// the main thread (the destructor stops and joins the thread).
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "platform/Sync.h"

class WorkingSetTrimmer {
public:
    static constexpr uint32_t kPeriodMs = 30000;

    explicit WorkingSetTrimmer(uint32_t period_ms = kPeriodMs);
    ~WorkingSetTrimmer();
    WorkingSetTrimmer(const WorkingSetTrimmer&) = delete;
    WorkingSetTrimmer& operator=(const WorkingSetTrimmer&) = delete;

    // How many times the heap was trimmed so far (read from any thread).
    uint32_t TrimCount() const { return count_.load(); }

private:
    const uint32_t period_ms_;
    Event stop_{true, false};
    std::atomic<uint32_t> count_{0};
    std::thread thread_;
};
