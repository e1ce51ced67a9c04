#include "net/GetAllRadioResourceHandler.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "platform/Paths.h"
#include "platform/Trace.h"
#include "storage/UnzipToFolder.h"

namespace {

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// Removes what a failed run left in the temporary folder.
void RemoveLeftovers(const std::u16string& package_path) {
    if (!package_path.empty()) DeleteFileAt(package_path);
    DeleteFileAt(TempPackageFile());
    RemoveDirectoryTree(TempPackageFolder());
}

}  // namespace

GetAllRadioResourceHandler::~GetAllRadioResourceHandler() {
    Join();
}

void GetAllRadioResourceHandler::Join() {
    if (thread_.joinable()) thread_.join();
}

void GetAllRadioResourceHandler::StartUnpacking(bool unscramble) {
    Join();
    thread_ = std::thread(&GetAllRadioResourceHandler::Unpack, window_, package_path_, unscramble);
}

bool GetAllRadioResourceHandler::UnscrambleFile(std::u16string_view from, std::u16string_view to) {
    File in(std::fopen(NativePath(from).c_str(), "rb"));
    if (!in) return false;
    File out(std::fopen(NativePath(to).c_str(), "wb"));
    if (!out) return false;
    std::vector<unsigned char> block(64 * 1024);
    size_t total = 0;
    for (;;) {
        const size_t n = std::fread(block.data(), 1, block.size(), in.get());
        if (n == 0) break;
        for (size_t i = 0; i < n; ++i) block[i] = UnscrambleByte(block[i]);
        if (std::fwrite(block.data(), 1, n, out.get()) != n) return false;
        total += n;
    }
    const bool read_all = !std::ferror(in.get());
    return std::fclose(out.release()) == 0 && read_all && total > 0;
}

void GetAllRadioResourceHandler::Unpack(HWND window, std::u16string package_path, bool unscramble) {
    const std::u16string zip = TempPackageFile();
    const std::u16string folder = TempPackageFolder();
    if (zip.empty() || folder.empty()) return;
    if (unscramble) {
        if (package_path.empty()) return;
        if (!UnscrambleFile(package_path, zip)) {
            LX_TRACE("the downloaded package could not be unscrambled");
            RemoveLeftovers(package_path);
            return;
        }
        DeleteFileAt(package_path);
    }
    // A folder left by an earlier run must not mix its files into this package.
    RemoveDirectoryTree(folder);
    if (!UnzipToFolder(zip, folder)) {
        LX_TRACE("the downloaded package is not a usable zip archive");
        RemoveLeftovers(package_path);
        return;
    }
    if (!PostMessage(window, WM_RADIO_RESOURCE_READY, 0, 0)) RemoveLeftovers(package_path);
}
