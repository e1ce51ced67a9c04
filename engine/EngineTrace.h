// The engine's diagnostic line: written to stderr when LOXANRADIO_TRACE is set, else nowhere.
// (The engine shares nothing with the program, so it has its own small sink.)
// Threading: any thread; each line is written with one call.
#pragma once

namespace lxengine {

void EngineTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace lxengine
