// The main of every test program: a private temporary root for the user's folders, offscreen Qt,
// a silent audio driver, and a shutdown command that does nothing.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "tests/support/TestSupport.h"

namespace {
std::string g_root;
}

namespace testsupport {
const std::string& TempRoot() { return g_root; }
}  // namespace testsupport

int main(int argc, char** argv) {
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/lxtest.XXXXXX";
    if (!mkdtemp(pattern.data())) return 3;
    g_root = pattern;
    auto sub = [](const char* name) {
        const std::string p = g_root + "/" + name;
        mkdir(p.c_str(), 0700);
        return p;
    };
    setenv("HOME", sub("home").c_str(), 1);
    setenv("APPDATA", sub("appdata").c_str(), 1);
    setenv("XDG_DATA_HOME", sub("data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", sub("config").c_str(), 1);
    setenv("XDG_CACHE_HOME", sub("cache").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", sub("run").c_str(), 1);
    setenv("XDG_MUSIC_DIR", sub("music").c_str(), 1);
    setenv("TMPDIR", sub("tmp").c_str(), 1);
    setenv("LOXANRADIO_SHUTDOWN_COMMAND", "true", 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    unsetenv("http_proxy");
    unsetenv("https_proxy");
    unsetenv("all_proxy");
    unsetenv("HTTP_PROXY");
    unsetenv("HTTPS_PROXY");
    unsetenv("ALL_PROXY");

    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    if (!getenv("LOXANRADIO_KEEP_TEST_DIR")) {
        std::error_code ec;
        std::filesystem::remove_all(g_root, ec);
    }
    return rc;
}
