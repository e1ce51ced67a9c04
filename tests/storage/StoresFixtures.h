// Fixtures shared by the store tests: package text files in the package's own encoding, small
// zip archives, and a fresh database per test.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace storesfixtures {

// Writes `utf8` as UTF-16LE with a byte-order mark; "\n" stays a bare LF.
void WriteUtf16File(const std::string& path, const std::string& utf8);

// Writes a zip archive with the given (entry name, content) pairs in order; an entry whose name
// ends in "/" is a folder entry.
void WriteZip(const std::string& path, const std::vector<std::pair<std::string, std::string>>& entries);

// Points the database path at a new file of its own and returns it (UTF-8).
std::string UseFreshDatabase(const std::string& name);

}  // namespace storesfixtures
