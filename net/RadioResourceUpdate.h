// The resource package update, once per start: the version query (or the direct conditional
// request), the package download, and the import once the package has been unpacked (5038).
// Threading: user-interface thread only.
#pragma once

#include <functional>
#include <string>

#include "net/IGetRadioResourceVersion.h"

class CRadioManagement;

class RadioResourceUpdate {
public:
    // "Referer" of the direct request: the catalogue web site.
    static constexpr char16_t kCatalogueSite[] = u"http://radio.loxan.example/";
    static constexpr char16_t kUserAgent[] = u"LoxanRadio";

    // Starts the version query (RadioUseMagpie) with `receiver` told of a newer package, or the
    // direct request. False when the HTTP client refused the task.
    static bool Request(IGetRadioResourceVersion* receiver);
    // The version query address built from MagpieUrl, the program version and RadioMagpieID.
    static std::u16string VersionQueryUrl();
    // The download's file in the temporary folder: "Package_<hash>_<version>.bin" (characters of
    // the hash that do not belong in a file name become "_"). Empty when no temporary folder.
    static std::u16string PackageFilePath(const RadioResourceVersionInfo& info);
    // What the main window does for OnNewRadioResourceVersion: downloads the package to its file.
    static bool StartPackageDownload(const RadioResourceVersionInfo& info);
    // Message 5038: replaces the catalogue by the unpacked folder, calls `refresh`, removes the
    // folder and the zip, and takes the pending version (and entity tag) as the installed one.
    // False, with the catalogue untouched, when the folder lacks one of the package's files.
    static bool ImportDownloadedPackage(CRadioManagement& store, const std::function<void()>& refresh);
};
