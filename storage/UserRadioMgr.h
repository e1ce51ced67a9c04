// The user's two personal station lists: the favourites ("MyFavorite"/"FavoriteMap", root
// "我的最爱") and the self-defined stations ("UserRadio"/"UserRadioMap", root "我的电台").
// Full station records live in the item table, the list order in the map table. On a first
// start the favourites also take over the companion application's own station list.
// Threading: UI thread only; every change is a statement handed to the write queue.
#pragma once

#include <string>
#include <string_view>

#include "storage/DataManagement.h"
#include "storage/TableSchema.h"

class CRadio;
class SqlWriteQueue;

class CUserRadioMgr : public DataManagement {
public:
    // The favourites store and the self-defined stations store.
    static constexpr char16_t kFavoriteTable[] = u"MyFavorite";
    static constexpr char16_t kFavoriteMap[] = u"FavoriteMap";
    static constexpr char16_t kFavoriteRoot[] = u"我的最爱";
    static constexpr char16_t kUserRadioTable[] = u"UserRadio";
    static constexpr char16_t kUserRadioMap[] = u"UserRadioMap";
    static constexpr char16_t kUserRadioRoot[] = u"我的电台";

    CUserRadioMgr(std::u16string_view itemTable, std::u16string_view mapTable, std::u16string_view rootName);

    // Creates the tables when missing and rebuilds the list: one root group (id 0) holding the
    // stations in map order. Database errors leave as CppSQLite3Exception.
    bool Load() override;

    // Adds a station at the end of the list with the next id. With `copy`, a station whose
    // stream address is already listed is refused and a copy is added (the caller keeps its
    // own); without, the node itself is added and owned by the store. The insert is queued
    // only when `queue` is given. False for anything but a station, or when refused.
    bool AddItem(TreeNode* node, SqlWriteQueue* queue, bool copy);
    // Queues the update of every stored field of the station; false for anything else.
    bool UpdateItem(TreeNode* node, SqlWriteQueue* queue);
    // Removes (deletes) the station and queues the deletion of its row.
    bool DeleteItem(TreeNode* node, SqlWriteQueue* queue);
    // Moves a station into a group that is empty or holds stations, or a group to the top level;
    // anything else is refused. Returns UpdateItem's result (false for a moved group).
    bool MoveItem(TreeNode* node, TreeNode* parent, TreeNode* reference, bool after, SqlWriteQueue* queue);
    // Queues the map table's rewrite from the list order; nothing for an empty tree.
    void RewriteMap(SqlWriteQueue& queue);
    // Takes over the stations of the companion database at `path` (table UserRadios), each added
    // as a new station (no duplicate check) through the write queue, then rewrites the map.
    // False when the file does not exist. Call after Load. Database errors leave as
    // CppSQLite3Exception.
    bool ImportCompanionList(std::u16string_view path);
    // The companion database beside the program three folders up: A/B/C/D gives A/LXData.db.
    // Empty when the path has fewer than three folders to remove.
    static std::u16string CompanionListPath(std::u16string_view programFile);

    // The root group, or null before Load.
    TreeNode* Root() const { return First(); }
    const std::u16string& ItemTable() const { return m_items.TableName(); }

private:
    int NextId();

    TableSchema m_items;
    std::u16string m_rootName;
    TableSchema m_map;
    int m_idCounter = -1;  // highest id given out; -1 until first needed
};
