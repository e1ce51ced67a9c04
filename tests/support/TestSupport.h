// Shared test helpers. The test main gives every test process a fresh temporary root and points
// APPDATA, HOME, XDG_* and TMPDIR into it, so no test touches the real user's folders.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace testsupport {

// The temporary root of this test process (UTF-8 path, no trailing separator).
const std::string& TempRoot();
// A new empty folder under the root.
std::string MakeTempDir(const std::string& name);
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);

// Polls `done` every few milliseconds until it is true or `timeout_ms` passes; true when done.
// Pumps the calling thread's message queue between polls, so posted messages get handled.
bool WaitUntil(const std::function<bool()>& done, uint32_t timeout_ms = 10000);

// build/bin and the source tree (from the environment CTest gives each test).
std::string BinDir();
std::string SourceDir();

}  // namespace testsupport
