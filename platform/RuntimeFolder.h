// The per-user folder for the program's sockets and lock files, and the namespace of its shared
// memory names: $XDG_RUNTIME_DIR/loxanradio, else /tmp/loxanradio-<uid>.
// Threading: free functions; they read the environment on every call and are safe from any thread.
#pragma once

#include <string>

// The folder (UTF-8, no trailing separator), created with mode 0700 when missing. Empty when it
// cannot be made or is not a private folder of this user (a fallback in /tmp must not be a link
// or belong to someone else).
std::string RuntimeFolder();

// A prefix that keeps POSIX shared memory names of different users and different runtime folders
// (sessions, test cases) apart: "/loxanradio-<uid>-<hash of the runtime folder>-".
std::string SharedMemoryPrefix();
