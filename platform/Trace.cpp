#include "platform/Trace.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/Text.h"

namespace {
std::mutex g_mutex;
TraceSink g_sink;
}  // namespace

void Trace(std::string_view source, std::string_view text) {
    std::string line;
    line.reserve(source.size() + text.size() + 3);
    line.append(source).append(": ").append(text);
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_sink) {
        g_sink(line);
    } else if (std::getenv("LOXANRADIO_TRACE")) {
        std::fprintf(stderr, "%s\n", line.c_str());
    }
}

void Trace(std::string_view source, std::u16string_view text) { Trace(source, Utf16ToUtf8(text)); }

TraceSink SetTraceSink(TraceSink sink) {
    std::lock_guard<std::mutex> lock(g_mutex);
    TraceSink old = std::move(g_sink);
    g_sink = std::move(sink);
    return old;
}

std::string_view TraceSourceName(std::string_view file) {
    const size_t slash = file.find_last_of("/\\");
    if (slash != std::string_view::npos) file.remove_prefix(slash + 1);
    const size_t dot = file.rfind('.');
    return dot == std::string_view::npos ? file : file.substr(0, dot);
}
