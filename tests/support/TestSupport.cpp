#include "tests/support/TestSupport.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "platform/Message.h"
#include "platform/Sync.h"

namespace testsupport {

std::string MakeTempDir(const std::string& name) {
    const std::string path = TempRoot() + "/" + name;
    std::string partial;
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') mkdir(path.substr(0, i).c_str(), 0700);
    }
    return path;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f) throw std::runtime_error("cannot write " + path);
    f << bytes;
}

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

bool WaitUntil(const std::function<bool()>& done, uint32_t timeout_ms) {
    const uint64_t deadline = GetTickCount64() + timeout_ms;
    for (;;) {
        MSG msg;
        while (PeekMessage(&msg, true)) {
            if (msg.message != WM_QUIT) DispatchMessage(msg);
        }
        if (done()) return true;
        if (GetTickCount64() >= deadline) return false;
        WaitMessage(5);
    }
}

std::string BinDir() {
    const char* v = std::getenv("LOXANRADIO_BIN_DIR");
    return v ? v : "";
}

std::string SourceDir() {
    const char* v = std::getenv("LOXANRADIO_SOURCE_DIR");
    return v ? v : "";
}

}  // namespace testsupport
