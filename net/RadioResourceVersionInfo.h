// What the package query service says about the newest resource package (UTF-8 texts as sent).
// Threading: a value; copied freely.
#pragma once

#include <string>

struct RadioResourceVersionInfo {
    std::string version;      // "a.b.c"
    std::string hash;         // used only in the download's file name
    std::string encryptHash;  // carried along, not checked
    std::string url;          // address of the scrambled package
};
