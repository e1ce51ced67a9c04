// The crash report writer. When the process faults (SIGSEGV, SIGBUS, SIGFPE, SIGILL) or aborts
// (SIGABRT: failed run-time checks end there), a handler writes a short report with the signal,
// the fault address, the thread and a backtrace into the report folder, under the dump name
// ("default.dump" until start-up sets "<version>.dmp"), then lets the signal end the process.
// Threading: Install and SetDumpName on the main thread at start-up; the handler runs on whichever
// thread faults and only uses async-signal-safe calls on buffers prepared beforehand.
#pragma once

#include <string>
#include <string_view>

class CrashHandler {
public:
    // Installs the handlers (once per process; a later call only changes the folder). Reports go
    // to `folder` + "/" + the dump name.
    static void Install(std::u16string_view folder);
    // The file name of the next report; empty names are refused.
    static void SetDumpName(std::u16string_view name);
    // The full path the next report is written to ("" before Install).
    static std::u16string ReportPath();
};
