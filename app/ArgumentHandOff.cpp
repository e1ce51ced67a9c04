#include "app/ArgumentHandOff.h"

#include <cstring>

std::u16string BuildHandOffString(const std::vector<std::u16string>& args) {
    std::u16string out;
    for (const auto& a : args) {
        out += a;
        out += u'"';
    }
    return out;
}

bool IsWorthHandingOver(std::u16string_view text) { return text.size() > 5; }

bool WriteHandOff(void* block, size_t block_bytes, std::u16string_view text) {
    const size_t bytes = (text.size() + 1) * sizeof(char16_t);
    if (!block || bytes > block_bytes) return false;
    std::memcpy(block, text.data(), text.size() * sizeof(char16_t));
    std::memset(static_cast<char*>(block) + text.size() * sizeof(char16_t), 0, sizeof(char16_t));
    return true;
}

std::u16string ReadHandOff(const void* block, size_t block_bytes) {
    std::u16string out;
    if (!block) return out;
    const auto* bytes = static_cast<const unsigned char*>(block);
    for (size_t i = 0; i + 1 < block_bytes; i += 2) {
        char16_t c;
        std::memcpy(&c, bytes + i, sizeof(c));
        if (c == 0) break;
        out += c;
    }
    return out;
}

std::vector<std::u16string> SplitHandOff(std::u16string_view text) {
    std::vector<std::u16string> pieces;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(u'"', start);
        if (end == std::u16string_view::npos) end = text.size();
        if (end > start) pieces.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}
