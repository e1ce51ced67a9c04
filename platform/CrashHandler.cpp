#include "platform/CrashHandler.h"

#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/Text.h"

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr size_t kPathMax = 4096;

std::mutex g_mutex;  // guards the strings below against two set-up calls at once
std::string g_folder;
std::string g_name = "default.dump";
// The path the handler writes to, rebuilt whenever folder or name change. The handler reads it
// without the lock: it is written only at start-up, before anything can fault.
char g_path[kPathMax];
bool g_installed = false;

void RebuildPath() {
    const std::string path = g_folder.empty() ? std::string() : g_folder + "/" + g_name;
    if (path.size() >= kPathMax) {
        g_path[0] = '\0';
        return;
    }
    std::memcpy(g_path, path.c_str(), path.size() + 1);
}

// Async-signal-safe writing helpers.
void Put(int fd, const char* s) {
    size_t n = std::strlen(s);
    while (n > 0) {
        const ssize_t w = write(fd, s, n);
        if (w <= 0) return;
        s += w;
        n -= static_cast<size_t>(w);
    }
}

void PutNumber(int fd, uint64_t v, unsigned base) {
    char buf[32];
    char* p = buf + sizeof(buf) - 1;
    *p = '\0';
    do {
        *--p = "0123456789abcdef"[v % base];
        v /= base;
    } while (v != 0);
    if (base == 16) {
        *--p = 'x';
        *--p = '0';
    }
    Put(fd, p);
}

const char* SignalName(int sig) {
    switch (sig) {
        case SIGSEGV: return "SIGSEGV";
        case SIGBUS: return "SIGBUS";
        case SIGFPE: return "SIGFPE";
        case SIGILL: return "SIGILL";
        case SIGABRT: return "SIGABRT";
        default: return "signal";
    }
}

void OnCrash(int sig, siginfo_t* info, void*) {
    const int saved_errno = errno;
    if (g_path[0] != '\0') {
        const int fd = open(g_path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd >= 0) {
            Put(fd, "LoxanRadio crash report\nversion: " LOXANRADIO_VERSION "\nsignal: ");
            PutNumber(fd, static_cast<uint64_t>(sig), 10);
            Put(fd, " (");
            Put(fd, SignalName(sig));
            Put(fd, ")\ncode: ");
            PutNumber(fd, static_cast<uint64_t>(static_cast<int64_t>(info ? info->si_code : 0)), 10);
            Put(fd, "\naddress: ");
            PutNumber(fd, reinterpret_cast<uintptr_t>(info ? info->si_addr : nullptr), 16);
            Put(fd, "\nprocess: ");
            PutNumber(fd, static_cast<uint64_t>(getpid()), 10);
            Put(fd, "\nthread: ");
            PutNumber(fd, static_cast<uint64_t>(syscall(SYS_gettid)), 10);
            Put(fd, "\nbacktrace:\n");
            void* frames[64];
            const int n = backtrace(frames, 64);
            backtrace_symbols_fd(frames, n, fd);
            close(fd);
        }
    }
    // Let the signal end the process as it would have without us.
    signal(sig, SIG_DFL);
    errno = saved_errno;
    raise(sig);
}

}  // namespace

void CrashHandler::Install(std::u16string_view folder) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_folder = Utf16ToUtf8(folder);
    RebuildPath();
    if (g_installed) return;
    g_installed = true;

    // The first backtrace loads the unwinder, which allocates; do it now, not in the handler.
    void* frames[4];
    backtrace(frames, 4);

    // A stack overflow leaves no stack to run the handler on; give it one of its own.
    static char alt_stack[64 * 1024];
    stack_t ss{};
    ss.ss_sp = alt_stack;
    ss.ss_size = sizeof(alt_stack);
    sigaltstack(&ss, nullptr);

    struct sigaction sa{};
    sa.sa_sigaction = OnCrash;
    sa.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
    sigemptyset(&sa.sa_mask);
    for (int sig : kSignals) sigaction(sig, &sa, nullptr);
}

void CrashHandler::SetDumpName(std::u16string_view name) {
    if (name.empty()) return;
    std::lock_guard<std::mutex> lock(g_mutex);
    g_name = Utf16ToUtf8(name);
    RebuildPath();
}

std::u16string CrashHandler::ReportPath() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return Utf8ToUtf16(g_path);
}
