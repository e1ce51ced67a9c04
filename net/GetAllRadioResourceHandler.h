// Turns a downloaded resource package into the folder "radio_resource" of the temporary folder on
// its own unpacking thread (unscrambling the package query service's ".bin" first), then posts
// 5038 to the main window, which imports the folder. Any failure removes what it wrote and posts
// nothing, so the catalogue and the installed version stay as they were.
// Threading: configured and started on the user-interface thread; each run copies what it needs,
// so the unpacking thread shares nothing with it. Start and the destructor join the previous run.
#pragma once

#include <string>
#include <string_view>
#include <thread>

#include "platform/Message.h"

// Posted to the main window when the folder "radio_resource" is ready (no parameters).
constexpr UINT WM_RADIO_RESOURCE_READY = 5038;

class GetAllRadioResourceHandler {
public:
    static constexpr unsigned char kPackageKey = 0xB6;

    GetAllRadioResourceHandler() = default;
    ~GetAllRadioResourceHandler();
    GetAllRadioResourceHandler(const GetAllRadioResourceHandler&) = delete;
    GetAllRadioResourceHandler& operator=(const GetAllRadioResourceHandler&) = delete;

    void SetWindow(HWND window) { window_ = window; }
    // The scrambled ".bin" of the current download; empty for the direct request (already a zip).
    void SetPackagePath(std::u16string_view path) { package_path_ = std::u16string(path); }
    const std::u16string& PackagePath() const { return package_path_; }

    // Starts the unpacking thread; `unscramble` is the RadioUseMagpie choice of this run.
    void StartUnpacking(bool unscramble);
    // Waits for the running unpacking thread, if any.
    void Join();

    // One byte of the package: nibbles swapped, then XOR with the package key.
    static unsigned char UnscrambleByte(unsigned char b) {
        return static_cast<unsigned char>(((b >> 4) | (b << 4)) & 0xFF) ^ kPackageKey;
    }
    // Writes the unscrambled `from` to `to` (created or overwritten); false when `from` cannot be
    // read or is empty, or `to` cannot be written whole.
    static bool UnscrambleFile(std::u16string_view from, std::u16string_view to);

private:
    static void Unpack(HWND window, std::u16string package_path, bool unscramble);

    HWND window_ = nullptr;
    std::u16string package_path_;
    std::thread thread_;
};
