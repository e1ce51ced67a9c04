// Runs a program of build/bin as a child process with its output in a file, for tests that need
// two real copies of the player.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

class ChildProcess {
public:
    ChildProcess() = default;
    // Kills a child that still runs.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts build/bin/`program` with `args`. `env` entries "NAME=value" set, "NAME" removes a
    // variable of the test's environment. LOXANRADIO_TRACE=1 is always set; stdout and stderr go
    // to a file of their own.
    bool Start(const std::string& program, const std::vector<std::string>& args,
               const std::vector<std::string>& env = {});
    // Waits (pumping this thread's messages) until the child has ended; false on time-out.
    bool WaitExit(uint32_t timeout_ms = 20000);
    // The exit code, or -1 when it did not exit normally.
    int ExitCode() const;
    // The signal that ended it, or 0.
    int TermSignal() const;
    void Kill(int sig);

    std::string Output() const;
    // How many times `needle` appears in the output so far.
    size_t Count(const std::string& needle) const;
    // Waits until `needle` appears at least `times` times in the output.
    bool WaitForOutput(const std::string& needle, size_t times = 1, uint32_t timeout_ms = 20000) const;

private:
    pid_t pid_ = -1;
    bool exited_ = false;
    int status_ = 0;
    std::string log_path_;
};
