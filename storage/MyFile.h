// A local audio file node; its text is the file's full path.
// Threading: UI thread only.
#pragma once

#include <cstdint>

#include "storage/TreeNode.h"

class MyFile : public TreeNode {
public:
    MyFile(std::u16string_view path, int id, int64_t LastPlayTime)
        : TreeNode(id, path), LastPlayTime(LastPlayTime) {}

    // The file name without folder and extension: "/music/song.mp3" gives "song".
    std::u16string GetName() const override;
    // Renames the file on disk to `name` plus the current extension, in the same folder; the
    // node then holds the new path. False, with nothing changed, when the name is empty or holds
    // a path separator, when another file already has the new path, or when renaming fails.
    bool SetName(std::u16string_view name) override;
    std::u16string GetUrl() const override { return text; }
    int GetType() const override { return TYPE_FILE; }
    int GetChildType() const override { return 0; }

    int64_t LastPlayTime = 0;  // seconds since 1970
};
