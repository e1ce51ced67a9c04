#include "storage/LastListManagement.h"

#include <ctime>

#include "platform/Text.h"
#include "storage/CppSQLite3DB.h"
#include "storage/DatabasePath.h"
#include "storage/Group.h"
#include "storage/Radio.h"
#include "storage/SqlEscape.h"
#include "storage/SqlWriteQueue.h"
#include "storage/StoreRows.h"

namespace {
constexpr char16_t kTable[] = u"lastlist";
}

CLastListManagement::CLastListManagement(Clock now) : m_now(std::move(now)), m_schema(kTable) {
    if (!m_now) m_now = [] { return static_cast<int64_t>(std::time(nullptr)); };
    m_schema.AddColumn(u"id", u"integer PRIMARY KEY");
    m_schema.AddColumn(u"parentid", u"integer");
    m_schema.AddColumn(u"LastPlayTime", u"time_t DEFAULT 0");
    m_schema.AddColumn(u"name", u"nvarchar(300) DEFAULT ''");
    m_schema.AddColumn(u"radioUrl", u"nvarchar(300) DEFAULT ''");
    m_schema.AddColumn(u"webUrl", u"nvarchar(300) DEFAULT ''");
    m_schema.AddColumn(u"iconUrl", u"nvarchar(300) DEFAULT ''");
    m_schema.AddColumn(u"playbill", u"nvarchar(300) DEFAULT ''");
    m_schema.AddColumn(u"Frequency", u"nvarchar(100) DEFAULT ''");
    m_schema.AddColumn(u"country", u"nvarchar(100) DEFAULT ''");
    m_schema.AddColumn(u"province", u"nvarchar(100) DEFAULT ''");
    m_schema.AddColumn(u"city", u"nvarchar(100) DEFAULT ''");
    m_schema.AddColumn(u"kind", u"nvarchar(100) DEFAULT ''");
    m_schema.AddColumn(u"CreateTime", u"time_t DEFAULT 0");
    m_schema.AddColumn(u"Speed", u"integer DEFAULT -2");
}

bool CLastListManagement::Load() {
    SqlWriteQueue::Instance();
    CppSQLite3DB db;
    db.Open(DatabasePath());
    db.Execute(u"begin transaction;");
    Clear();
    auto* root = new Group(u"最近收听", 0);
    DataManagement::Append(root, nullptr, nullptr);
    m_schema.EnsureTable(db);
    CppSQLite3Query q = db.Query(u"select * from lastlist order by LastPlayTime desc");
    TreeNode* last = nullptr;
    for (; !q.AtEnd(); q.NextRow()) {
        CRadio* r = RadioFromRow(q);
        if (DataManagement::Append(r, root, last))
            last = r;
        else
            delete r;
    }
    q.Finalize();
    db.Execute(u"commit transaction;");
    return true;
}

int CLastListManagement::NextId() {
    if (m_idCounter == -1) {
        CppSQLite3DB db;
        db.Open(DatabasePath());
        m_schema.EnsureTable(db);
        m_idCounter = HighestRowId(db, kTable);
    }
    return ++m_idCounter;
}

bool CLastListManagement::Append(TreeNode* node, TreeNode*, TreeNode*) {
    TreeNode* root = Root();
    if (!node || !root || node->GetType() != TYPE_RADIO) return false;
    auto* station = static_cast<CRadio*>(node);
    station->LastPlayTime = m_now();
    SqlWriteQueue& queue = SqlWriteQueue::Instance();

    const std::u16string url = station->GetUrl();
    for (TreeNode* c = root->GetFirstChild(); c; c = c->GetNext()) {
        if (c->GetType() != TYPE_RADIO || c->GetUrl() != url) continue;
        auto* entry = static_cast<CRadio*>(c);
        entry->LastPlayTime = station->LastPlayTime;
        if (!Move(entry, root, root->GetFirstChild(), false)) return false;
        queue.Enqueue(Format(u"update %s set LastPlayTime = %lld where id = %d", kTable, entry->LastPlayTime,
                             entry->id));
        return true;
    }

    auto* entry = new CRadio();
    entry->CopyFrom(*station);
    // The entry's id is its row id, so later updates and deletions find the row.
    entry->id = NextId();
    DataManagement::InsertFirst(entry, root);
    const CRadio& r = *entry;
    queue.Enqueue(
        Format(u"Insert Into %s(id,LastPlayTime,name,radioUrl,webUrl,iconUrl,playbill,Frequency,country,"
               u"province,city,kind,CreateTime,Speed) values(%d,%lld,'%s','%s','%s','%s','%s','%s','%s','%s',"
               u"'%s','%s',%lld,%d);",
               kTable, r.id, r.LastPlayTime, SqlEscape(r.GetName()), SqlEscape(r.radioUrl),
               SqlEscape(r.webUrl.str()), SqlEscape(r.iconUrl.str()), SqlEscape(r.playbill.str()),
               SqlEscape(r.Frequency.str()), SqlEscape(r.country.str()), SqlEscape(r.province),
               SqlEscape(r.city.str()), SqlEscape(r.kind.str()), r.CreateTime, r.Speed));

    int kept = 0;
    for (TreeNode* c = root->GetFirstChild(); c;) {
        TreeNode* following = c->GetNext();
        if (++kept > kLimit) RemoveEntry(c, &queue);
        c = following;
    }
    return true;
}

bool CLastListManagement::RemoveEntry(TreeNode* entry, SqlWriteQueue* queue) {
    if (!entry || entry->GetType() != TYPE_RADIO) return false;
    const int id = entry->id;
    if (!Remove(entry)) return false;
    if (queue) queue->Enqueue(Format(u"DELETE FROM %s  where id = %d", kTable, id));
    return true;
}
