#include "storage/UnzipToFolder.h"

#include <unzip.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/Trace.h"

namespace {

constexpr size_t kBlockSize = 65536;
constexpr unsigned long kUtf8NameFlag = 1u << 11;

// Closes the archive on every path out of UnzipToFolder.
class ArchiveHandle {
public:
    explicit ArchiveHandle(unzFile f) : file_(f) {}
    ~ArchiveHandle() {
        if (file_) unzClose(file_);
    }
    ArchiveHandle(const ArchiveHandle&) = delete;
    ArchiveHandle& operator=(const ArchiveHandle&) = delete;
    unzFile get() const { return file_; }

private:
    unzFile file_;
};

// An entry name is safe when it is relative and none of its parts is "..". A drive letter
// ("C:...") counts as absolute, as it would on the system the packages are made on.
bool IsSafeEntryName(std::u16string_view name) {
    if (name.empty() || name.front() == u'/') return false;
    if (name.size() >= 2 && name[1] == u':') return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find(u'/', start);
        if (end == std::u16string_view::npos) end = name.size();
        if (name.substr(start, end - start) == u"..") return false;
        start = end + 1;
    }
    return true;
}

// Copies the current entry into `path`; false when any byte could not be read or written.
bool WriteCurrentEntry(unzFile zip, const std::u16string& path) {
    if (unzOpenCurrentFile(zip) != UNZ_OK) return false;
    FILE* out = std::fopen(NativePath(path).c_str(), "wb");
    bool ok = out != nullptr;
    std::vector<char> block(kBlockSize);
    while (ok) {
        const int n = unzReadCurrentFile(zip, block.data(), static_cast<unsigned>(block.size()));
        if (n < 0) ok = false;
        if (n <= 0) break;
        ok = std::fwrite(block.data(), 1, static_cast<size_t>(n), out) == static_cast<size_t>(n);
    }
    if (out && std::fclose(out) != 0) ok = false;
    // A CRC mismatch shows up only when the entry is closed.
    if (unzCloseCurrentFile(zip) != UNZ_OK) ok = false;
    return ok;
}

}  // namespace

bool UnzipToFolder(std::u16string_view zipPath, std::u16string_view folder) {
    ArchiveHandle zip(unzOpen64(NativePath(zipPath).c_str()));
    if (!zip.get()) return false;
    int rc = unzGoToFirstFile(zip.get());
    while (rc == UNZ_OK) {
        unz_file_info64 entry{};
        if (unzGetCurrentFileInfo64(zip.get(), &entry, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            return false;
        std::string raw(entry.size_filename, '\0');
        if (unzGetCurrentFileInfo64(zip.get(), &entry, raw.data(), static_cast<uLong>(raw.size()), nullptr, 0,
                                    nullptr, 0) != UNZ_OK) {
            return false;
        }
        std::u16string name = (entry.flag & kUtf8NameFlag) ? Utf8ToUtf16(raw) : AnsiToUtf16(raw);
        for (char16_t& c : name) {
            if (c == u'\\') c = u'/';
        }
        if (!IsSafeEntryName(name)) {
            LX_TRACE(u"refused zip entry outside the target folder: " + name);
            return false;
        }
        const std::u16string path = JoinPath(folder, name);
        if (name.back() == u'/') {
            if (!EnsureDirectory(path.substr(0, path.size() - 1))) return false;
        } else {
            const std::u16string parent = ParentPath(path);
            if (!parent.empty() && !EnsureDirectory(parent)) return false;
            if (!WriteCurrentEntry(zip.get(), path)) return false;
        }
        rc = unzGoToNextFile(zip.get());
    }
    return rc == UNZ_END_OF_LIST_OF_FILE;
}
