#include "platform/Paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/Text.h"

namespace {

std::u16string Env(const char* name) {
    const char* v = std::getenv(name);
    return v && *v ? FromNativePath(v) : std::u16string();
}

std::u16string WithName(std::u16string base, std::u16string_view name) {
    if (base.empty()) return base;
    if (!name.empty()) {
        base += u'/';
        base += name;
    }
    return base;
}

bool IsSeparator(char16_t c) { return c == u'/' || c == u'\\'; }

}  // namespace

std::string NativePath(std::u16string_view path) { return Utf16ToUtf8(path); }
std::u16string FromNativePath(std::string_view path) { return Utf8ToUtf16(path); }

std::u16string AppDataBase() {
    if (auto v = Env("APPDATA"); !v.empty()) return v;
    if (auto v = Env("XDG_DATA_HOME"); !v.empty()) return v;
    if (auto v = Env("HOME"); !v.empty()) return v + u"/.local/share";
    return {};
}

std::u16string AppDataPath(std::u16string_view name) {
    const std::u16string base = AppDataBase();
    return base.empty() ? base : WithName(base + u"/LoxanRadio", name);
}

std::u16string CompanionDataPath(std::u16string_view name) {
    const std::u16string base = AppDataBase();
    return base.empty() ? base : WithName(base + u"/Loxan8", name);
}

std::u16string TempFilePath(std::u16string_view name) {
    std::u16string dir = Env("TMPDIR");
    if (dir.empty()) dir = u"/tmp";
    if (!IsDirectory(dir) || access(NativePath(dir).c_str(), R_OK | W_OK | X_OK) != 0) return {};
    if (!IsSeparator(dir.back())) dir += u'/';
    if (dir.size() > 259) return {};
    return dir + std::u16string(name);
}

std::u16string TempPackageFile() { return TempFilePath(u"radio_resource.zip"); }
std::u16string TempPackageFolder() { return TempFilePath(u"radio_resource"); }
std::u16string CompanionPackageFile() { return CompanionDataPath() + u"//AppStore/24/radio_resource.zip"; }
std::u16string CompanionPackageFolder() { return CompanionDataPath() + u"//AppStore/24/radio_resource"; }

std::u16string MusicFolder() {
    if (auto v = Env("XDG_MUSIC_DIR"); !v.empty()) return v;
    if (auto v = Env("HOME"); !v.empty()) return v + u"/Music";
    return {};
}

std::u16string ProgramFilePath() {
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
    return n > 0 ? FromNativePath(std::string_view(buf, static_cast<size_t>(n))) : std::u16string();
}

std::u16string ProgramFolder() { return ParentPath(ProgramFilePath()); }

bool PathExists(std::u16string_view path) {
    struct stat st;
    return !path.empty() && stat(NativePath(path).c_str(), &st) == 0;
}

bool IsDirectory(std::u16string_view path) {
    struct stat st;
    return !path.empty() && stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(std::u16string_view path) {
    struct stat st;
    return !path.empty() && stat(NativePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool EnsureDirectory(std::u16string_view path) {
    if (path.empty()) return false;
    if (PathExists(path)) return IsDirectory(path);
    const std::u16string parent = ParentPath(path);
    if (!parent.empty() && parent != path && !EnsureDirectory(parent)) return false;
    if (parent == path) return false;
    if (mkdir(NativePath(path).c_str(), 0755) == 0) return true;
    return errno == EEXIST && IsDirectory(path);
}

bool RemoveDirectoryTree(std::u16string_view path) {
    if (path.empty()) return true;
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(NativePath(path)), ec);
    return !ec;
}

bool DeleteFileAt(std::u16string_view path) { return unlink(NativePath(path).c_str()) == 0; }

bool MoveFileTo(std::u16string_view from, std::u16string_view to) {
    return std::rename(NativePath(from).c_str(), NativePath(to).c_str()) == 0;
}

std::u16string ParentPath(std::u16string_view path) {
    const size_t pos = path.find_last_of(u"/\\");
    return pos == std::u16string_view::npos ? std::u16string() : std::u16string(path.substr(0, pos));
}

std::u16string FileNameOf(std::u16string_view path) {
    const size_t pos = path.find_last_of(u"/\\");
    return std::u16string(pos == std::u16string_view::npos ? path : path.substr(pos + 1));
}

std::u16string ExtensionOf(std::u16string_view path) {
    const std::u16string name = FileNameOf(path);
    const size_t dot = name.rfind(u'.');
    return dot == std::u16string::npos ? std::u16string() : name.substr(dot + 1);
}

std::u16string JoinPath(std::u16string_view folder, std::u16string_view name) {
    std::u16string out(folder);
    if (!out.empty() && !IsSeparator(out.back())) out += u'/';
    out += name;
    return out;
}
