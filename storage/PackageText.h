// Reading the resource package's text files (channel.txt, location.txt, category_map.txt,
// category.txt): UTF-16 little-endian lines split into comma-separated fields.
// Threading: free functions without shared state; safe from any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// A line this long or longer ends the reading of its file.
constexpr size_t kPackageLineLimit = 1024;

// Reads the file at `path` as UTF-16LE without newline translation and returns its lines after
// the first one. Lines end at U+000A; a U+000D before it stays in the line. Reading stops before
// the first line of kPackageLineLimit or more units. A trailing odd byte is ignored. False (and
// no lines) when the file cannot be read.
bool ReadPackageLines(std::u16string_view path, std::vector<std::u16string>& lines);

// The non-empty pieces of `line` between commas, in order: ",a,,b," gives a and b, so an empty
// field shifts the following ones forward.
std::vector<std::u16string_view> SplitPackageFields(std::u16string_view line);
