// Receives the listener counts of one catalogue group.
// Threading: called on the listener-count worker thread, never on the user-interface thread; the
// results are freed when the call returns, so a receiver copies what it hands on.
#pragma once

#include "net/ListenerCountResult.h"

class IUpdateRadioListenerCount {
public:
    virtual void OnListenerCounts(int groupId, const ListenerCountResults& results) = 0;

protected:
    ~IUpdateRadioListenerCount() = default;
};
