// An engine made through the library's export, with a notify target that logs every message
// (spectrum values are checked and freed at once, as the program must).
// Threading: the test's thread owns the engine; engine threads only append to the log under its
// mutex.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "LXPlayer.h"

namespace enginetest {

struct Note {
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    float peak = 0;  // spectrum: the largest value
    std::chrono::steady_clock::time_point at;
};

class EngineHarness {
public:
    // Null output, the given buffer time, spectrum on.
    explicit EngineHarness(int bufferSeconds = 0);
    ~EngineHarness();

    IPlayerEngine* operator->() const { return engine_; }
    IPlayerEngine* Engine() const { return engine_; }
    bool SetProxy(const std::u16string& text, int type);

    std::vector<Note> Notes() const;
    // States and buffer percentages in arrival order.
    std::vector<int> States() const;
    std::vector<int> Buffers() const;
    size_t Count(uint32_t message) const;
    bool WaitState(int state, int timeoutMs) const;
    bool WaitCount(uint32_t message, size_t count, int timeoutMs) const;
    void Clear();

private:
    static bool Post(void* self, uint32_t message, uintptr_t wParam, intptr_t lParam);

    IPlayerEngine* engine_ = nullptr;
    mutable std::mutex mutex_;
    std::vector<Note> notes_;  // guarded by mutex_
};

std::string ToUtf8(const std::u16string& s);
std::u16string ToUtf16(const std::string& s);

}  // namespace enginetest
