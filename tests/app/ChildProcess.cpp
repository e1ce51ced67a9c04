#include "tests/app/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

#include "tests/support/TestSupport.h"

extern char** environ;

namespace {
std::atomic<int> g_counter{0};
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !exited_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status_, 0);
    }
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env) {
    log_path_ = testsupport::MakeTempDir("children") + "/" + program + "-" + std::to_string(++g_counter) + ".log";

    std::vector<std::string> vars;
    for (char** e = environ; *e; ++e) vars.emplace_back(*e);
    auto remove = [&](const std::string& name) {
        for (auto it = vars.begin(); it != vars.end();) {
            it = it->compare(0, name.size() + 1, name + "=") == 0 ? vars.erase(it) : it + 1;
        }
    };
    std::vector<std::string> overrides = env;
    overrides.push_back("LOXANRADIO_TRACE=1");
    // The player asks the web service at late initialisation; a closed local port answers it at
    // once, so no test ever looks a real host up.
    overrides.push_back("http_proxy=http://127.0.0.1:9");
    overrides.push_back("no_proxy=127.0.0.1,localhost");
    for (const std::string& o : overrides) {
        const size_t eq = o.find('=');
        remove(o.substr(0, eq));
        if (eq != std::string::npos) vars.push_back(o);
    }

    const std::string path = testsupport::BinDir() + "/" + program;
    std::vector<char*> argv{const_cast<char*>(path.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& v : vars) envp.push_back(v.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const int rc = posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) pid_ = -1;
    return rc == 0;
}

bool ChildProcess::WaitExit(uint32_t timeout_ms) {
    if (pid_ <= 0) return false;
    return testsupport::WaitUntil(
        [&] {
            if (!exited_ && waitpid(pid_, &status_, WNOHANG) == pid_) exited_ = true;
            return exited_;
        },
        timeout_ms);
}

int ChildProcess::ExitCode() const { return exited_ && WIFEXITED(status_) ? WEXITSTATUS(status_) : -1; }
int ChildProcess::TermSignal() const { return exited_ && WIFSIGNALED(status_) ? WTERMSIG(status_) : 0; }

void ChildProcess::Kill(int sig) {
    if (pid_ > 0 && !exited_) kill(pid_, sig);
}

std::string ChildProcess::Output() const { return testsupport::ReadFile(log_path_); }

size_t ChildProcess::Count(const std::string& needle) const {
    const std::string out = Output();
    size_t n = 0;
    for (size_t pos = out.find(needle); pos != std::string::npos; pos = out.find(needle, pos + needle.size())) ++n;
    return n;
}

bool ChildProcess::WaitForOutput(const std::string& needle, size_t times, uint32_t timeout_ms) const {
    return testsupport::WaitUntil([&] { return Count(needle) >= times; }, timeout_ms);
}
