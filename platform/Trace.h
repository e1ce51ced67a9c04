// The one diagnostic sink. Assertion-style traces carry the failing expression (or a short
// text) and the source file name; they never stop the program.
// Threading: thread-safe; the sink is guarded by an internal mutex.
#pragma once

#include <functional>
#include <string>
#include <string_view>

// Writes one line to the sink: stderr when LOXANRADIO_TRACE is set, else nowhere
// (tests may install a sink of their own).
void Trace(std::string_view source, std::string_view text);
void Trace(std::string_view source, std::u16string_view text);

// Replaces the sink (nullptr restores the default); returns the previous one.
using TraceSink = std::function<void(const std::string& line)>;
TraceSink SetTraceSink(TraceSink sink);

// LX_ASSERT(expr): when expr is false, traces "expr" with the file name and goes on.
#define LX_ASSERT(expr) \
    ((expr) ? (void)0 : ::Trace(::TraceSourceName(__FILE__), std::string_view("assertion failed: " #expr)))
#define LX_TRACE(text) ::Trace(::TraceSourceName(__FILE__), (text))

// "storage/SqlWriteQueue.cpp" -> "SqlWriteQueue".
std::string_view TraceSourceName(std::string_view file);
