// The reply of one listener-count request: its text goes to the listener-count worker for
// parsing. Deletes itself after either handler.
// Threading: made and called on the user-interface thread.
#pragma once

#include "net/IHttpTaskEvent.h"

class GetListenerCountEvent final : public IHttpTaskEvent {
public:
    explicit GetListenerCountEvent(int groupId);
    ~GetListenerCountEvent() override;
    // Tear-down: withdraws every request still on its way and deletes its event.
    static void DestroyAll();
    void OnTaskSucceeded(HttpTask* task) override;
    void OnTaskFailed(HttpTask* task) override;
    int groupId() const { return groupId_; }

private:
    const int groupId_;
};
