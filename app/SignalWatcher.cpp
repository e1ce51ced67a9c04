#include "app/SignalWatcher.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/Trace.h"

namespace {

constexpr UINT kIdCancel = 2;
int g_signal_pipe[2] = {-1, -1};
std::atomic<int> g_signal_count{0};

void OnSignal(int sig) {
    const int saved_errno = errno;
    if (g_signal_count.fetch_add(1) >= 1) _exit(128 + sig);
    const char c = static_cast<char>(sig);
    [[maybe_unused]] const ssize_t n = write(g_signal_pipe[1], &c, 1);
    errno = saved_errno;
}

}  // namespace

SignalWatcher::SignalWatcher() {
    if (g_signal_pipe[0] < 0 && pipe2(g_signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        LX_TRACE("no signal pipe; SIGTERM ends the player at once");
        return;
    }
    g_signal_count = 0;
    struct sigaction sa{};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

SignalWatcher::~SignalWatcher() {
    signal(SIGTERM, SIG_DFL);
    signal(SIGINT, SIG_DFL);
    if (thread_.joinable()) {
        const char c = 0;
        [[maybe_unused]] const ssize_t n = write(stop_pipe_[1], &c, 1);
        thread_.join();
        close(stop_pipe_[0]);
        close(stop_pipe_[1]);
    }
}

void SignalWatcher::Watch(HWND target) {
    if (g_signal_pipe[0] < 0 || thread_.joinable() || pipe2(stop_pipe_, O_CLOEXEC) != 0) return;
    thread_ = std::thread([this, target] {
        for (;;) {
            pollfd fds[2] = {{g_signal_pipe[0], POLLIN, 0}, {stop_pipe_[0], POLLIN, 0}};
            if (poll(fds, 2, -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (fds[1].revents) return;
            char buf[16];
            const ssize_t n = read(g_signal_pipe[0], buf, sizeof(buf));
            if (n <= 0) continue;
            LX_TRACE(std::string(buf[0] == SIGINT ? "SIGINT" : "SIGTERM") + ": exiting");
            PostMessage(target, WM_COMMAND, MakeWParam(kIdCancel, 0), 0);
        }
    });
}
