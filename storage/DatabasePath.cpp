// Storage of the database path.
#include "storage/DatabasePath.h"

#include <mutex>

namespace {

std::mutex& PathMutex() {
    static std::mutex m;
    return m;
}

std::u16string& PathValue() {
    static std::u16string path;
    return path;
}

}  // namespace

std::u16string DatabasePath() {
    std::lock_guard<std::mutex> lock(PathMutex());
    return PathValue();
}

void SetDatabasePath(std::u16string_view path) {
    std::lock_guard<std::mutex> lock(PathMutex());
    PathValue() = std::u16string(path);
}
