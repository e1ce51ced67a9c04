#include "storage/UserRadioMgr.h"

#include "platform/Paths.h"
#include "platform/Text.h"
#include "storage/CppSQLite3DB.h"
#include "storage/DatabasePath.h"
#include "storage/Group.h"
#include "storage/Radio.h"
#include "storage/SqlEscape.h"
#include "storage/SqlWriteQueue.h"
#include "storage/StoreRows.h"

CUserRadioMgr::CUserRadioMgr(std::u16string_view itemTable, std::u16string_view mapTable,
                             std::u16string_view rootName)
    : m_items(itemTable), m_rootName(rootName), m_map(mapTable) {
    m_items.AddColumn(u"id", u"integer PRIMARY KEY");
    m_items.AddColumn(u"LastPlayTime", u"time_t DEFAULT 0");
    m_items.AddColumn(u"name", u"nvarchar(300) DEFAULT ''");
    m_items.AddColumn(u"radioUrl", u"nvarchar(300) DEFAULT ''");
    m_items.AddColumn(u"webUrl", u"nvarchar(300) DEFAULT ''");
    m_items.AddColumn(u"iconUrl", u"nvarchar(300) DEFAULT ''");
    m_items.AddColumn(u"playbill", u"nvarchar(300) DEFAULT ''");
    m_items.AddColumn(u"Frequency", u"nvarchar(100) DEFAULT ''");
    m_items.AddColumn(u"country", u"nvarchar(100) DEFAULT ''");
    m_items.AddColumn(u"province", u"nvarchar(100) DEFAULT ''");
    m_items.AddColumn(u"city", u"nvarchar(100) DEFAULT ''");
    m_items.AddColumn(u"kind", u"nvarchar(100) DEFAULT ''");
    m_items.AddColumn(u"CreateTime", u"time_t DEFAULT 0");
    m_items.AddColumn(u"Speed", u"integer DEFAULT -2");
    m_map.AddColumn(u"mapid", u"integer PRIMARY KEY");
    m_map.AddColumn(u"itemid", u"integer DEFAULT 0");
}

bool CUserRadioMgr::Load() {
    SqlWriteQueue::Instance();
    CppSQLite3DB db;
    db.Open(DatabasePath());
    db.Execute(u"begin transaction;");
    m_items.EnsureTable(db);
    m_map.EnsureTable(db);
    Clear();
    auto* root = new Group(m_rootName, 0);
    Append(root, nullptr, nullptr);
    const std::u16string& items = m_items.TableName();
    const std::u16string& map = m_map.TableName();
    CppSQLite3Query q = db.Query(Format(u"select * from %s,%s where %s.id = %s.itemid order by %s.mapid asc",
                                        items, map, items, map, map));
    TreeNode* last = nullptr;
    for (; !q.AtEnd(); q.NextRow()) {
        CRadio* r = RadioFromRow(q);
        if (Append(r, root, last))
            last = r;
        else
            delete r;
    }
    q.Finalize();
    db.Execute(u"commit transaction;");
    return true;
}

int CUserRadioMgr::NextId() {
    if (m_idCounter == -1) {
        CppSQLite3DB db;
        db.Open(DatabasePath());
        m_idCounter = HighestRowId(db, m_items.TableName());
    }
    return ++m_idCounter;
}

bool CUserRadioMgr::AddItem(TreeNode* node, SqlWriteQueue* queue, bool copy) {
    TreeNode* root = Root();
    if (!node || !root || node->GetType() != TYPE_RADIO) return false;
    auto* station = static_cast<CRadio*>(node);
    if (copy) {
        const std::u16string url = station->GetUrl();
        for (TreeNode* c = root->GetFirstChild(); c; c = c->GetNext()) {
            if (c->GetType() == TYPE_RADIO && c->GetUrl() == url) return false;
        }
        auto* own = new CRadio();
        own->CopyFrom(*station);
        station = own;
    }
    station->id = NextId();
    if (!Append(station, root, nullptr)) {
        if (copy) delete station;
        return false;
    }
    if (queue) {
        const CRadio& r = *station;
        queue->Enqueue(
            Format(u"Insert Into %s(id,LastPlayTime,name,radioUrl,webUrl,iconUrl,playbill,Frequency,"
                   u"country,province,city,kind,CreateTime,Speed) values(%d,%lld,'%s','%s','%s','%s','%s',"
                   u"'%s','%s','%s','%s','%s',%lld,%d);",
                   m_items.TableName(), r.id, r.LastPlayTime, SqlEscape(r.GetName()), SqlEscape(r.radioUrl),
                   SqlEscape(r.webUrl.str()), SqlEscape(r.iconUrl.str()), SqlEscape(r.playbill.str()),
                   SqlEscape(r.Frequency.str()), SqlEscape(r.country.str()), SqlEscape(r.province),
                   SqlEscape(r.city.str()), SqlEscape(r.kind.str()), r.CreateTime, r.Speed));
    }
    return true;
}

bool CUserRadioMgr::UpdateItem(TreeNode* node, SqlWriteQueue* queue) {
    if (!node || node->GetType() != TYPE_RADIO) return false;
    const auto& r = *static_cast<const CRadio*>(node);
    if (queue) {
        queue->Enqueue(
            Format(u"update %s set LastPlayTime = %lld, name ='%s',radioUrl = '%s',webUrl = '%s',"
                   u"iconUrl = '%s',playbill = '%s',Frequency = '%s',country = '%s',province = '%s',"
                   u"city = '%s',kind = '%s',Speed = %d where id = %d",
                   m_items.TableName(), r.LastPlayTime, SqlEscape(r.GetName()), SqlEscape(r.radioUrl),
                   SqlEscape(r.webUrl.str()), SqlEscape(r.iconUrl.str()), SqlEscape(r.playbill.str()),
                   SqlEscape(r.Frequency.str()), SqlEscape(r.country.str()), SqlEscape(r.province),
                   SqlEscape(r.city.str()), SqlEscape(r.kind.str()), r.Speed, r.id));
    }
    return true;
}

bool CUserRadioMgr::DeleteItem(TreeNode* node, SqlWriteQueue* queue) {
    if (!node || node->GetType() != TYPE_RADIO) return false;
    const int id = node->id;
    if (!Remove(node)) return false;
    if (queue) queue->Enqueue(Format(u"DELETE FROM %s  where id = %d", m_items.TableName(), id));
    return true;
}

bool CUserRadioMgr::MoveItem(TreeNode* node, TreeNode* parent, TreeNode* reference, bool after,
                             SqlWriteQueue* queue) {
    if (!node) return false;
    if (parent) {
        if (parent->GetType() != TYPE_GROUP) return false;
        const TreeNode* first = parent->GetFirstChild();
        if (first && first->GetType() != node->GetType()) return false;
    } else if (node->GetType() != TYPE_GROUP) {
        return false;
    }
    if (!Move(node, parent, reference, after)) return false;
    return UpdateItem(node, queue);
}

void CUserRadioMgr::RewriteMap(SqlWriteQueue& queue) {
    TreeNode* root = Root();
    if (!root) return;
    const std::u16string& map = m_map.TableName();
    queue.Enqueue(Format(u"DELETE FROM %s", map));
    for (TreeNode* c = root->GetFirstChild(); c; c = c->GetNext()) {
        queue.Enqueue(Format(u"Insert Into %s(itemid) values(%d);", map, c->id));
    }
}

std::u16string CUserRadioMgr::CompanionListPath(std::u16string_view programFile) {
    std::u16string base(programFile);
    for (int i = 0; i < 3; ++i) {
        const std::u16string parent = ParentPath(base);
        if (parent.empty()) return {};
        base = parent;
    }
    return base + u"/LXData.db";
}

bool CUserRadioMgr::ImportCompanionList(std::u16string_view path) {
    if (!PathExists(path)) return false;
    SqlWriteQueue& queue = SqlWriteQueue::Instance();
    {
        CppSQLite3DB db;
        db.Open(path);
        db.Execute(u"begin transaction;");
        CppSQLite3Query q = db.Query(u"select * from UserRadios");
        for (; !q.AtEnd(); q.NextRow()) {
            auto* r = new CRadio(q.TextField(u"Name"), q.TextField(u"RadioURL"), q.TextField(u"WebURL"),
                                 q.TextField(u"IconUrl"), q.TextField(u"RadioList"), u"中国",
                                 q.TextField(u"Location"), {}, q.TextField(u"Frequency"),
                                 q.TextField(u"Kind"), q.Int64Field(u"CreateTime", 0), 0, 0);
            r->Speed = 0;
            if (!AddItem(r, &queue, false)) delete r;
        }
        q.Finalize();
        db.Execute(u"commit transaction;");
    }
    RewriteMap(queue);
    return true;
}
