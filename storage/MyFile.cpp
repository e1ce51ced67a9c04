// Local file nodes. Both "/" and "\" separate folders; the extension is taken from the file
// name only, so a dot in a folder name is never mistaken for one.
#include "storage/MyFile.h"

#include "platform/Paths.h"

namespace {

// Length of the folder part, including its last separator (0 without one).
size_t FolderLength(std::u16string_view path) {
    const size_t pos = path.find_last_of(u"/\\");
    return pos == std::u16string_view::npos ? 0 : pos + 1;
}

// Position of the extension's "." inside `path`, or npos when the file name has none.
size_t ExtensionPos(std::u16string_view path) {
    const size_t dot = path.rfind(u'.');
    if (dot == std::u16string_view::npos || dot < FolderLength(path)) return std::u16string_view::npos;
    return dot;
}

}  // namespace

std::u16string MyFile::GetName() const {
    const size_t begin = FolderLength(text);
    const size_t dot = ExtensionPos(text);
    const size_t end = dot == std::u16string::npos ? text.size() : dot;
    return text.substr(begin, end - begin);
}

bool MyFile::SetName(std::u16string_view name) {
    if (name.empty() || name.find_first_of(u"/\\") != std::u16string_view::npos) return false;
    const size_t dot = ExtensionPos(text);
    std::u16string target = text.substr(0, FolderLength(text));
    target += name;
    if (dot != std::u16string::npos) target += text.substr(dot);
    if (target == text) return true;
    // Never replace another file.
    if (PathExists(target)) return false;
    if (!MoveFileTo(text, target)) return false;
    text = target;
    return true;
}
