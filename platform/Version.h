// The program's version (the four numbers of the CMake project version) and the reading of the
// version stamp that every program built with this library carries in its file.
// Threading: free functions without state; safe from any thread.
#pragma once

#include <string>
#include <string_view>

// "1.0.0.1".
std::u16string ProgramVersion();

// Sets *text to " " first, then reads the version stamp of the program file `file` (the ELF
// section ".lxversion" that this library puts into every program linked with it) into *text, at
// most 63 units. True only when the stamp was found.
bool GetFileVersionString(std::u16string_view file, std::u16string* text);
