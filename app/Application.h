// The process: single-instance check and hand-over to a running copy, start-up of the first copy,
// its message loop and the tear-down of the process-wide objects in their fixed order (see
// README.md). main() hands the player's arguments here after the headless entries.
// Threading: main thread only; it becomes the user-interface thread.
#pragma once

#include <functional>
#include <string>
#include <vector>

class SignalWatcher;

class Application {
public:
    // Starting and stopping the GUI toolkit: only a first copy that really runs the player starts
    // it (right before its message loop is made), and stops it after the tear-down. `start`
    // returns false, having told the user why, when there is no display to show the player on.
    struct Gui {
        std::function<bool()> start;
        std::function<void()> stop;
    };

    // `args`: the command line without the program name.
    Application(std::vector<std::u16string> args, Gui gui = {});

    // The player's whole life; returns the process exit code: 0 after the orderly exit and for a
    // second copy, 1 when the environment gives no user data folder or display, or the main window
    // cannot be made.
    int Main();

    // Makes sure the user data folder exists and sets the database path when it is still empty;
    // false (with a message on stderr) when the environment names no user data folder.
    static bool PrepareUserData();

private:
    // A copy already runs: raise it and hand the arguments over; always 0.
    int HandOverToFirstInstance();
    // Start-up after the process-wide set-up, the loop, and the destruction of the windows;
    // returns -1 when the main window cannot be made, else the loop's exit code.
    int Run(SignalWatcher& watcher);
    static void TearDown();

    std::vector<std::u16string> args_;
    Gui gui_;
};
