// Diagnostic lines of the engine (see the header).
#include "EngineTrace.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace lxengine {
namespace {
const auto g_loaded = std::chrono::steady_clock::now();  // times are counted from the library's load
}  // namespace

void EngineTrace(const char* format, ...) {
    static const bool enabled = std::getenv("LOXANRADIO_TRACE") != nullptr;
    if (!enabled) return;
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - g_loaded);
    std::fprintf(stderr, "[LXPlayer %6lld] %s\n", static_cast<long long>(ms.count()), line);
}

}  // namespace lxengine
