// Collects the files of a folder (optionally with its subfolders) whose extension is on a list:
// the local file panel adds whole folders of audio files with it, the skin window finds skin
// packages. Threading: no shared state; each caller uses its own scanner.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class FolderScanner {
public:
    explicit FolderScanner(bool descend = true) : m_descend(descend) {}

    // "mp3;wav;wma;" gives mp3, wav and wma (empty pieces dropped); a text without ";" is one
    // extension; the empty text empties the list, which then takes every file.
    void SetExtensions(std::u16string_view extensions);
    const std::vector<std::u16string>& Extensions() const { return m_extensions; }
    void SetDescend(bool descend) { m_descend = descend; }

    // Appends the full paths (folder + "/" + name) of the matching files to `out` and returns the
    // size of `out`. A file matches when the list is empty or the text after the last "." of its
    // name equals a listed extension exactly (case-sensitive); a name without "." never matches
    // a list. Stops once `out` holds `limit` paths; limit 0 returns 0 at once, a negative limit
    // means none. Names within a folder are visited in code-unit order; subfolders are entered
    // where they are met, symbolic links to folders are not followed.
    int ScanFolder(std::u16string_view folder, std::vector<std::u16string>& out, int limit);

private:
    bool Matches(std::u16string_view name) const;

    std::vector<std::u16string> m_extensions;
    bool m_descend;
};
