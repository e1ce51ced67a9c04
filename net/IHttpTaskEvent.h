// The caller's side of one HTTP task: told on the user-interface thread how the task ended.
// Threading: called only on the thread that created the HTTP client, with the client's lock held
// (so a handler may add tasks or withdraw events, but must not destroy the client).
#pragma once

class HttpTask;

class IHttpTaskEvent {
public:
    // Status 200-299 and the whole body received. The task is the client's; it is deleted after
    // the handler returns. Implementations usually delete themselves at the end of a handler.
    virtual void OnTaskSucceeded(HttpTask* task) = 0;
    // Every other end (after the retries): m_dwStatusCode holds the status if one arrived.
    virtual void OnTaskFailed(HttpTask* task) = 0;
    virtual ~IHttpTaskEvent() = default;
};
