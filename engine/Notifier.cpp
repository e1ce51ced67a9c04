// Generation-checked posting to the program (see the header).
#include "Notifier.h"

#include <cstdlib>

namespace lxengine {

uint32_t Notifier::NewGeneration() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (++generation_ > 0x7FFFFFFFu) generation_ = 1;
    return generation_;
}

uint32_t Notifier::Generation() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return generation_;
}

int Notifier::LastState() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastState_;
}

bool Notifier::Post(uint32_t generation, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_ || generation != generation_) return false;
    if (message == LXMSG_STATE) lastState_ = static_cast<int>(wParam);
    if (target_.post == nullptr) return false;
    return target_.post(target_.context, message, wParam, lParam);
}

bool Notifier::PostState(uint32_t generation, int state) {
    return Post(generation, LXMSG_STATE, static_cast<uintptr_t>(state), static_cast<intptr_t>(generation));
}

bool Notifier::PostSpectrum(uint32_t generation, float* values, int count) {
    if (Post(generation, LXMSG_SPECTRUM, reinterpret_cast<uintptr_t>(values), count)) return true;
    std::free(values);
    return false;
}

void Notifier::Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
}

}  // namespace lxengine
