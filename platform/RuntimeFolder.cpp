#include "platform/RuntimeFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

std::string RuntimeFolder() {
    const char* run = std::getenv("XDG_RUNTIME_DIR");
    const std::string dir =
        run && *run ? std::string(run) + "/loxanradio" : "/tmp/loxanradio-" + std::to_string(getuid());
    mkdir(dir.c_str(), 0700);
    struct stat st;
    if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) return {};
    return dir;
}

std::string SharedMemoryPrefix() {
    const char* run = std::getenv("XDG_RUNTIME_DIR");
    const std::string key = run && *run ? run : "";
    uint64_t h = 0xcbf29ce484222325ull;  // FNV-1a
    for (unsigned char c : key) {
        h ^= c;
        h *= 0x100000001b3ull;
    }
    char buf[64];
    std::snprintf(buf, sizeof(buf), "/loxanradio-%u-%016llx-", static_cast<unsigned>(getuid()),
                  static_cast<unsigned long long>(h));
    return buf;
}
