// Builds skin packages for tests and benchmarks: zip archives written with minizip, PNG images
// made with the bitmap layer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class Bitmap;

namespace skintest {

struct ZipEntry {
    std::string name;
    std::string bytes;
};

// Writes a zip archive (deflated entries); false on failure.
bool WriteZip(const std::string& path, const std::vector<ZipEntry>& entries);
// PNG bytes of a w x h image filled with `argb`, with a different pixel at (0, 0) when `corner` is set.
std::string PngBytes(int w, int h, uint32_t argb, uint32_t corner = 0);
std::string PngBytes(const Bitmap& b);

// A version 6 definition: a Common section and NormalMainPlayWnd/MainPanel/PlayBtn.
std::string DefinitionXml(const std::string& version = "6", const std::string& name = "Blue Sky");

}  // namespace skintest
