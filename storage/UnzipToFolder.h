// Unpacks a zip archive (the resource package, skin packages) into a folder.
// Threading: a free function without shared state; the UI thread and the package unpacking
// thread both call it.
#pragma once

#include <string_view>

// Writes every entry of the archive at `zipPath` below `folder` in archive order: entries whose
// names end in a separator become folders, the others files (parent folders made as needed;
// "\" in entry names counts as a separator). Returns false when the archive cannot be opened,
// at the first entry that cannot be written completely, and at the first entry whose name is
// absolute or climbs out of `folder` with ".." (nothing of that entry is written); true when
// every entry was written. Entries written before a failure stay.
bool UnzipToFolder(std::u16string_view zipPath, std::u16string_view folder);
