// The skin authors' lint: loads a skin package with a private loader and describes what it found
// as one JSON object (loaded, name, version, image count, images that did not decode, image names
// the definition uses that the archive lacks, the definition's parse code).
// Threading: any one thread at a time (the loader it uses is its own).
#pragma once

#include <string>
#include <string_view>

// Fills `json` (one line, UTF-8) and returns the exit code of "--check-skin": 0 when the package
// loaded, 1 when it did not, 2 when `path` is not a readable file.
int CheckSkinPackage(std::u16string_view path, std::string& json);
