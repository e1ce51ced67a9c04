#include "storage/PackageText.h"

#include <cstdio>

#include "platform/Paths.h"

namespace {

bool ReadAllBytes(std::u16string_view path, std::string& bytes) {
    FILE* f = std::fopen(NativePath(path).c_str(), "rb");
    if (!f) return false;
    char block[65536];
    size_t n = 0;
    while ((n = std::fread(block, 1, sizeof(block), f)) > 0) bytes.append(block, n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

}  // namespace

bool ReadPackageLines(std::u16string_view path, std::vector<std::u16string>& lines) {
    lines.clear();
    std::string bytes;
    if (path.empty() || !ReadAllBytes(path, bytes)) return false;
    const size_t units = bytes.size() / 2;
    std::u16string line;
    bool first = true;
    auto finishLine = [&]() {
        if (line.size() >= kPackageLineLimit) return false;
        if (!first) lines.push_back(line);
        first = false;
        line.clear();
        return true;
    };
    for (size_t i = 0; i < units; ++i) {
        const auto lo = static_cast<unsigned char>(bytes[2 * i]);
        const auto hi = static_cast<unsigned char>(bytes[2 * i + 1]);
        const auto c = static_cast<char16_t>(lo | (hi << 8));
        if (c == u'\n') {
            if (!finishLine()) return true;
        } else {
            line.push_back(c);
        }
    }
    if (!line.empty()) finishLine();
    return true;
}

std::vector<std::u16string_view> SplitPackageFields(std::u16string_view line) {
    std::vector<std::u16string_view> fields;
    size_t start = 0;
    while (start <= line.size()) {
        size_t end = line.find(u',', start);
        if (end == std::u16string_view::npos) end = line.size();
        if (end > start) fields.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}
