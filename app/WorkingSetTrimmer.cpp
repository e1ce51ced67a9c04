#include "app/WorkingSetTrimmer.h"

#include <malloc.h>

WorkingSetTrimmer::WorkingSetTrimmer(uint32_t period_ms) : period_ms_(period_ms) {
    thread_ = std::thread([this] {
        while (!stop_.Wait(period_ms_)) {
            malloc_trim(0);
            ++count_;
        }
    });
}

WorkingSetTrimmer::~WorkingSetTrimmer() {
    stop_.Set();
    thread_.join();
}
