#include "storage/LastPlayStore.h"

#include "platform/Text.h"
#include "platform/Trace.h"
#include "storage/CppSQLite3DB.h"
#include "storage/CppSQLite3Exception.h"
#include "storage/DatabasePath.h"
#include "storage/SqlEscape.h"
#include "storage/SqlWriteQueue.h"
#include "storage/TreeNode.h"

namespace {

constexpr char16_t kTable[] = u"LastPlay";

bool HasRow(CppSQLite3DB& db, const std::u16string& sql) {
    return !db.Query(sql).AtEnd();
}

}  // namespace

LastPlayStore::LastPlayStore() : m_schema(kTable) {
    m_schema.AddColumn(u"id", u"integer DEFAULT 0");
    m_schema.AddColumn(u"groupID", u"nvarchar(300) DEFAULT ''");
    m_schema.AddColumn(u"name", u"nvarchar(300) DEFAULT ''");
    m_schema.AddColumn(u"type", u"integer DEFAULT 0");
}

bool LastPlayStore::Load() {
    try {
        SqlWriteQueue::Instance();
        CppSQLite3DB db;
        db.Open(DatabasePath());
        db.Execute(u"begin transaction;");
        m_schema.EnsureTable(db);
        {
            CppSQLite3Query q = db.Query(Format(u"select * from %s", kTable));
            for (; !q.AtEnd(); q.NextRow()) {
                m_record.id = q.IntField(u"id", 0);
                m_record.groupPath = q.TextField(u"groupID");
                m_record.name = q.TextField(u"name");
                m_record.type = q.IntField(u"type", 0);
            }
        }
        const bool valid = !m_record.name.empty() && ItemExists(db, m_record);
        db.Execute(u"commit transaction;");
        if (!valid) m_record = LastPlayRecord();
        return true;
    } catch (const CppSQLite3Exception& e) {
        LX_TRACE(std::string("last played item not loaded: ") + e.what());
        return false;
    }
}

void LastPlayStore::Save(int id, std::u16string_view groupPath, std::u16string_view name, int type) {
    m_record.id = id;
    m_record.groupPath = std::u16string(groupPath);
    m_record.name = std::u16string(name);
    m_record.type = type;
    SqlWriteQueue& queue = SqlWriteQueue::Instance();
    queue.Enqueue(u"DELETE FROM LastPlay");
    queue.Enqueue(Format(u"insert into %s(id,groupID,name,type) values(%d,'%s','%s',%d)", kTable, id,
                         SqlEscape(groupPath), SqlEscape(name), type));
}

bool LastPlayStore::ItemExists(CppSQLite3DB& db, const LastPlayRecord& record) const {
    const std::u16string name = SqlEscape(record.name);
    switch (record.type) {
        case LastPlayRecord::kCatalogueStation:
            // A table that does not exist yet holds no such station.
            for (const auto& [table, column] :
                 {std::pair{u"channel_v2", u"name"}, std::pair{u"channel_category_map_v2", u"channel_name"},
                  std::pair{u"UserRadio", u"name"}}) {
                if (db.TableExists(table) &&
                    HasRow(db, Format(u"select * from %s where %s='%s'", table, column, name))) {
                    return true;
                }
            }
            return false;
        case LastPlayRecord::kFavoriteStation:
            return db.TableExists(u"MyFavorite") &&
                   HasRow(db, Format(u"select * from MyFavorite where name='%s'", name));
        case LastPlayRecord::kLocalFile:
            return db.TableExists(u"FileList") &&
                   HasRow(db, Format(u"select * from FileList where id=%d", record.id));
        default:
            return false;
    }
}

std::u16string LastPlayStore::GroupPathOf(const TreeNode* node) {
    std::u16string path;
    for (const TreeNode* p = node ? node->GetParent() : nullptr; p; p = p->GetParent())
        path += IntToText(p->id) + u"|";
    return path;
}
