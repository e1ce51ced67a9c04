// Ends the player the orderly way on SIGTERM and SIGINT: the signal handler only writes a byte
// to a pipe; a watcher thread reads it and posts the exit command (WM_COMMAND, IDCANCEL, as the
// menu's "退出" does) to the main window, so the configuration is saved and queued writes reach
// the database. A second signal while the first is being handled ends the process at once.
// Threading: Install, Watch and the destructor on the main thread; the watcher thread only posts.
#pragma once

#include <thread>

#include "platform/Message.h"

class SignalWatcher {
public:
    // Installs the handlers; a signal that arrives before Watch waits in the pipe.
    SignalWatcher();
    // Restores the default handlers and stops the watcher thread.
    ~SignalWatcher();
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;

    // Starts posting the exit command to `target` for each signal.
    void Watch(HWND target);

private:
    std::thread thread_;
    int stop_pipe_[2] = {-1, -1};
};
