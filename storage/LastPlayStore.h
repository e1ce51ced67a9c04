// The one item (station or local file) played last, kept in the table LastPlay so the main
// window can select it again at the next start and, when asked to, play it.
// Threading: UI thread only; Save hands its statements to the write queue.
#pragma once

#include <string>
#include <string_view>

#include "storage/TableSchema.h"

class CppSQLite3DB;
class TreeNode;

struct LastPlayRecord {
    static constexpr int kCatalogueStation = 0;  // catalogue tree (catalogue or "我的电台")
    static constexpr int kFavoriteStation = 1;   // also in the favourites
    static constexpr int kLocalFile = 2;

    int id = 0;                // the station's or the file's id
    std::u16string groupPath;  // ancestors' ids from the parent up, each followed by "|"
    std::u16string name;       // the item's GetName
    int type = 0;
};

class LastPlayStore {
public:
    LastPlayStore();

    // Reads the stored record (the last row wins) and keeps it when its item still exists,
    // else clears it. False when a database error interrupted it; the record then keeps what
    // was read before the error.
    bool Load();
    // Sets the record and queues the table's rewrite.
    void Save(int id, std::u16string_view groupPath, std::u16string_view name, int type);
    // Whether the record's item still exists: a catalogue station by name in the catalogue
    // (channel_v2, channel_category_map_v2) or the user stations, a favourite by name, a local
    // file by id. Database errors leave as CppSQLite3Exception.
    bool ItemExists(CppSQLite3DB& db, const LastPlayRecord& record) const;

    // "2000011|2000000|" for a station in the region group of location 11.
    static std::u16string GroupPathOf(const TreeNode* node);

    const LastPlayRecord& Record() const { return m_record; }

private:
    TableSchema m_schema;
    LastPlayRecord m_record;
};
