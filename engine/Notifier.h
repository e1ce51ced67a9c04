// The engine's one way to the program: posts through the notify target, but only messages of the
// current generation. Open and Stop start a new generation under the same lock that every post
// holds, so once they return nothing of an older generation is posted any more.
// Threading: thread-safe; mutex_ guards the generation, the last state and the target (held
// while the program's post function runs, which only queues).
#pragma once

#include <cstdint>
#include <mutex>

#include "LXPlayer.h"

namespace lxengine {

class Notifier {
public:
    explicit Notifier(const LXNotifyTarget& target) : target_(target) {}

    uint32_t NewGeneration();
    uint32_t Generation() const;
    int LastState() const;
    // Posts when `generation` is current (and the notifier is open); true when posted.
    bool Post(uint32_t generation, uint32_t message, uintptr_t wParam, intptr_t lParam);
    bool PostState(uint32_t generation, int state);
    // Hands malloc'd values to the program; frees them when they are not delivered.
    bool PostSpectrum(uint32_t generation, float* values, int count);
    // No post at all after this returns.
    void Close();

private:
    mutable std::mutex mutex_;
    // Guarded by mutex_:
    LXNotifyTarget target_;
    uint32_t generation_ = 0;
    int lastState_ = LXSTATE_READY;
    bool closed_ = false;
};

}  // namespace lxengine
