// Hands listener counts to a window: posts 5046 with a copy of the results (wParam, allocated
// with new and owned by the window from then on) and the group id (lParam).
// Threading: OnListenerCounts runs on the listener-count worker; the window is set beforehand.
#pragma once

#include "net/IUpdateRadioListenerCount.h"
#include "platform/Message.h"

// wParam: ListenerCountResults* that the receiving window deletes; lParam: the group id.
constexpr UINT WM_LISTENER_COUNTS = 5046;

class ListenerCountPoster final : public IUpdateRadioListenerCount {
public:
    explicit ListenerCountPoster(HWND window) : window_(window) {}
    void OnListenerCounts(int groupId, const ListenerCountResults& results) override;
    // For the window's handler of 5046: takes ownership of the posted results (null for 0).
    static ListenerCountResults* Take(WPARAM wParam) {
        return reinterpret_cast<ListenerCountResults*>(wParam);
    }

private:
    HWND window_;
};
