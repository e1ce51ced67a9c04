#include "storage/FolderScanner.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include "platform/Paths.h"

void FolderScanner::SetExtensions(std::u16string_view extensions) {
    m_extensions.clear();
    size_t start = 0;
    while (start < extensions.size()) {
        size_t end = extensions.find(u';', start);
        if (end == std::u16string_view::npos) end = extensions.size();
        if (end > start) m_extensions.emplace_back(extensions.substr(start, end - start));
        start = end + 1;
    }
}

bool FolderScanner::Matches(std::u16string_view name) const {
    if (m_extensions.empty()) return true;
    const size_t dot = name.rfind(u'.');
    if (dot == std::u16string_view::npos) return false;
    const std::u16string_view ext = name.substr(dot + 1);
    return std::find(m_extensions.begin(), m_extensions.end(), ext) != m_extensions.end();
}

int FolderScanner::ScanFolder(std::u16string_view folder, std::vector<std::u16string>& out, int limit) {
    if (limit == 0) return 0;
    auto full = [&]() { return limit > 0 && out.size() >= static_cast<size_t>(limit); };
    if (full()) return static_cast<int>(out.size());

    std::vector<std::u16string> names;
    if (DIR* dir = opendir(NativePath(folder).c_str())) {
        while (const dirent* e = readdir(dir)) {
            const std::string_view n(e->d_name);
            if (n != "." && n != "..") names.push_back(FromNativePath(n));
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());

    for (const std::u16string& name : names) {
        if (full()) break;
        const std::u16string path = JoinPath(folder, name);
        struct stat st;
        if (lstat(NativePath(path).c_str(), &st) != 0) continue;
        if (S_ISLNK(st.st_mode)) {
            // A link to a file counts as that file; a link to a folder is not entered, so a link
            // pointing back up cannot make the scan endless.
            if (stat(NativePath(path).c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
        }
        if (S_ISDIR(st.st_mode)) {
            if (m_descend) ScanFolder(path, out, limit);
        } else if (Matches(name)) {
            out.push_back(path);
        }
    }
    return static_cast<int>(out.size());
}
