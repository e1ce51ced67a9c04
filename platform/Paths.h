// The program's folders and path rules. User data lives in $APPDATA/LoxanRadio when APPDATA is
// set (tests set it), else $XDG_DATA_HOME/LoxanRadio, else ~/.local/share/LoxanRadio.
// Threading: free functions; they read the environment on every call and are safe from any thread.
#pragma once

#include <string>
#include <string_view>

// The base folder standing in for %APPDATA%; empty when neither APPDATA, XDG_DATA_HOME nor HOME
// gives one (start-up then refuses to run).
std::u16string AppDataBase();
// User data folder, then "/" and `name` when it is not empty.
std::u16string AppDataPath(std::u16string_view name = {});
// The companion application's data folder (read only), then "/" and `name`.
std::u16string CompanionDataPath(std::u16string_view name = {});
// Temporary folder ($TMPDIR or /tmp) with a trailing separator, then `name`. Empty when the
// temporary folder cannot be read or its path is 260 units or longer.
std::u16string TempFilePath(std::u16string_view name = {});
std::u16string TempPackageFile();        // temp + "radio_resource.zip"
std::u16string TempPackageFolder();      // temp + "radio_resource"
std::u16string CompanionPackageFile();   // companion + "//AppStore/24/radio_resource.zip"
std::u16string CompanionPackageFolder(); // companion + "//AppStore/24/radio_resource"
// The user's music folder (XDG_MUSIC_DIR, else ~/Music).
std::u16string MusicFolder();
// The folder of the running program (build/bin in the build tree), without a trailing separator.
std::u16string ProgramFolder();
std::u16string ProgramFilePath();

// True when `path` is (or has just been made) a folder; creates missing parents first.
bool EnsureDirectory(std::u16string_view path);
// Deletes a file or folder with everything in it. True on success and when the path does not
// exist; false when something could not be removed.
bool RemoveDirectoryTree(std::u16string_view path);

bool PathExists(std::u16string_view path);
bool IsDirectory(std::u16string_view path);
bool IsRegularFile(std::u16string_view path);
bool DeleteFileAt(std::u16string_view path);
bool MoveFileTo(std::u16string_view from, std::u16string_view to);

// Path rules; both "/" and "\" separate.
std::u16string ParentPath(std::u16string_view path);     // before the last separator, or ""
std::u16string FileNameOf(std::u16string_view path);     // after the last separator
std::u16string ExtensionOf(std::u16string_view path);    // after the last "." of the file name, or ""
std::u16string JoinPath(std::u16string_view folder, std::u16string_view name);

// UTF-16 path to the file system's bytes (UTF-8) and back.
std::string NativePath(std::u16string_view path);
std::u16string FromNativePath(std::string_view path);
