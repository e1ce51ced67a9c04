// Parses listener-count replies on its own worker thread, first in, first out, and hands each
// reply's results to the receiver (the main window posts them to itself as 5046).
// Threading: Instance, SetReceiver, Start, Enqueue and Stop are called on the user-interface
// thread; the worker parses and calls the receiver. lock_ guards queue_ and receiver_ and is
// never held while parsing or while the receiver runs.
#pragma once

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "net/IUpdateRadioListenerCount.h"
#include "platform/Sync.h"

class GetListenerCountHandler {
public:
    enum { EXIT_THREAD = 0, TASK_HANDLE = 1 };

    static GetListenerCountHandler& Instance();
    // Tear-down: stops the worker and deletes the handler.
    static void DestroyInstance();

    void SetReceiver(IUpdateRadioListenerCount* receiver);
    // Starts the worker (once; a second call is traced and ignored).
    void Start();
    // Queues one reply text of the group's request.
    void Enqueue(int groupId, std::string text);
    // Drops what is queued and ends the worker; Start may follow again.
    void Stop();

    // The results of one reply in reply order; false (nothing delivered) for invalid JSON, a
    // "program_info_list" that is not an array, or an element that is not an object.
    static bool Parse(const std::string& text, ListenerCountResults* results);

    ~GetListenerCountHandler();

private:
    struct TagTaskType {
        int groupId = 0;
        std::string text;
    };
    GetListenerCountHandler() = default;
    void WorkerMain();

    CriticalSection lock_;
    // Guarded by lock_.
    std::vector<std::shared_ptr<TagTaskType>> queue_;
    IUpdateRadioListenerCount* receiver_ = nullptr;

    std::unique_ptr<Event> events_[2];
    std::thread handle_thread_;
};
