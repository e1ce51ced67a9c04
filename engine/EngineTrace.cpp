// Diagnostic lines of the engine (see the header).
#include "EngineTrace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace lxengine {

void EngineTrace(const char* format, ...) {
    static const bool enabled = std::getenv("LOXANRADIO_TRACE") != nullptr;
    if (!enabled) return;
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    std::fprintf(stderr, "[LXPlayer] %s\n", line);
}

}  // namespace lxengine
