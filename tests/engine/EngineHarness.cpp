// The logging engine harness (see the header).
#include "tests/engine/EngineHarness.h"

#include <algorithm>
#include <thread>

#include "EngineText.h"

namespace enginetest {

std::string ToUtf8(const std::u16string& s) { return lxengine::ToUtf8(s); }
std::u16string ToUtf16(const std::string& s) { return lxengine::ToUtf16(s); }

EngineHarness::EngineHarness(int bufferSeconds) {
    const LXNotifyTarget target{&EngineHarness::Post, this};
    CreatePlayerEngine(&engine_, &target);
    IPlayerOption* options = nullptr;
    if (engine_ != nullptr && engine_->QueryInterface(IID_IPlayerOption, reinterpret_cast<void**>(&options)) == LX_OK) {
        options->SetOption(LXOPTION_SPECTRUM, 1);
        options->SetOption(LXOPTION_BUFFER_TIME, bufferSeconds);
        options->SetOption(LXOPTION_AUDIO_OUTPUT, LXOUTPUT_NULL);
        options->Release();
    }
}

EngineHarness::~EngineHarness() {
    if (engine_ != nullptr) engine_->Release();
}

bool EngineHarness::SetProxy(const std::u16string& text, int type) {
    IPlayerProxy* proxy = nullptr;
    if (engine_->QueryInterface(IID_IPlayerProxy, reinterpret_cast<void**>(&proxy)) != LX_OK) return false;
    const LXRESULT r = proxy->SetProxy(text.c_str(), type, text.empty() ? 0 : 1);
    proxy->Release();
    return r == LX_OK;
}

bool EngineHarness::Post(void* self, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    auto* h = static_cast<EngineHarness*>(self);
    Note n{message, wParam, lParam, 0, std::chrono::steady_clock::now()};
    if (message == LXMSG_SPECTRUM) {
        const auto* values = reinterpret_cast<const float*>(wParam);
        n.peak = *std::max_element(values, values + lParam);
        LXFreeNotifyValues(values);
        n.wParam = 0;
    }
    std::lock_guard<std::mutex> lock(h->mutex_);
    h->notes_.push_back(n);
    return true;
}

std::vector<Note> EngineHarness::Notes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return notes_;
}

std::vector<int> EngineHarness::States() const {
    std::vector<int> out;
    for (const Note& n : Notes()) {
        if (n.message == LXMSG_STATE) out.push_back(static_cast<int>(n.wParam));
    }
    return out;
}

std::vector<int> EngineHarness::Buffers() const {
    std::vector<int> out;
    for (const Note& n : Notes()) {
        if (n.message == LXMSG_BUFFER) out.push_back(static_cast<int>(n.wParam));
    }
    return out;
}

size_t EngineHarness::Count(uint32_t message) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<size_t>(std::count_if(notes_.begin(), notes_.end(), [&](const Note& n) { return n.message == message; }));
}

bool EngineHarness::WaitState(int state, int timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        const auto states = States();
        if (std::find(states.begin(), states.end(), state) != states.end()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

bool EngineHarness::WaitCount(uint32_t message, size_t count, int timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (Count(message) >= count) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

void EngineHarness::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    notes_.clear();
}

}  // namespace enginetest
