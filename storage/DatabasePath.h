// The process-wide path of the database file, set once by start-up before any store or the write
// queue is used ($APPDATA/LoxanRadio/LXRadio.db in the program; a temporary file in tests).
// Threading: thread-safe; guarded by an internal mutex.
#pragma once

#include <string>
#include <string_view>

std::u16string DatabasePath();
void SetDatabasePath(std::u16string_view path);
