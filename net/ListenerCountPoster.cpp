#include "net/ListenerCountPoster.h"

void ListenerCountPoster::OnListenerCounts(int groupId, const ListenerCountResults& results) {
    auto* copy = new ListenerCountResults(results);
    // A window that is gone cannot take them: they are freed here instead.
    if (!PostMessage(window_, WM_LISTENER_COUNTS, reinterpret_cast<WPARAM>(copy),
                     static_cast<LPARAM>(groupId))) {
        delete copy;
    }
}
