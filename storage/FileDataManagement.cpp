#include "storage/FileDataManagement.h"

#include <algorithm>

#include "platform/Text.h"
#include "storage/CppSQLite3DB.h"
#include "storage/DatabasePath.h"
#include "storage/Group.h"
#include "storage/MyFile.h"
#include "storage/SqlEscape.h"
#include "storage/SqlWriteQueue.h"
#include "storage/StoreRows.h"

CFileDataManagement::CFileDataManagement()
    : m_groups(u"FileGroup"), m_files(u"FileList"), m_map(u"PlaylistMap") {
    m_groups.AddColumn(u"id", u"integer PRIMARY KEY");
    m_groups.AddColumn(u"parentid", u"integer");
    m_groups.AddColumn(u"name", u"nvarchar(300)");
    m_files.AddColumn(u"id", u"integer PRIMARY KEY");
    m_files.AddColumn(u"parentid", u"integer");
    m_files.AddColumn(u"LastPlayTime", u"time_t DEFAULT 0");
    m_files.AddColumn(u"path", u"nvarchar(300) DEFAULT ''");
    m_map.AddColumn(u"mapid", u"integer PRIMARY KEY");
    m_map.AddColumn(u"groupid", u"integer DEFAULT 0");
    m_map.AddColumn(u"fileid", u"integer DEFAULT 0");
}

bool CFileDataManagement::Load() {
    SqlWriteQueue::Instance();
    CppSQLite3DB db;
    db.Open(DatabasePath());
    db.ExecuteQuiet(u"begin transaction;");
    m_groups.EnsureTable(db);
    m_files.EnsureTable(db);
    m_map.EnsureTable(db);
    Clear();
    auto* defaultGroup = new Group(u"默认分组", kDefaultGroupId);
    AddNode(defaultGroup, nullptr, nullptr, false, nullptr);
    LoadFiles(db, defaultGroup);

    CppSQLite3Query q = db.Query(u"select * from FileGroup order by id asc");
    for (; !q.AtEnd(); q.NextRow()) {
        // Groups are never nested: a row whose parent is a loaded group is not shown.
        if (FindGroupById(q.IntField(u"parentid", 0))) continue;
        auto* group = new Group(q.TextField(u"name"), q.IntField(u"id", 0));
        if (!DataManagement::Append(group, nullptr, nullptr)) {
            delete group;
            continue;
        }
        LoadFiles(db, group);
    }
    q.Finalize();
    db.Execute(u"commit transaction;");
    return true;
}

void CFileDataManagement::LoadFiles(CppSQLite3DB& db, Group* group) {
    CppSQLite3Query q =
        db.Query(Format(u"select * from FileList,PlaylistMap where PlaylistMap.groupid = %d and "
                        u"PlaylistMap.fileid = FileList.id order by PlaylistMap.mapid asc",
                        group->id));
    TreeNode* last = nullptr;
    for (; !q.AtEnd(); q.NextRow()) {
        auto* file = new MyFile(q.TextField(u"path"), q.IntField(u"id", 0), q.Int64Field(u"LastPlayTime", 0));
        if (DataManagement::Append(file, group, last))
            last = file;
        else
            delete file;
    }
}

bool CFileDataManagement::Accepts(const TreeNode* node, const TreeNode* group) const {
    if (!node) return false;
    if (node->GetType() == TYPE_FILE) return group && group->GetType() == TYPE_GROUP;
    return node->GetType() == TYPE_GROUP && !group;
}

int CFileDataManagement::NextFileId() {
    if (m_fileIdCounter == -1) {
        CppSQLite3DB db;
        db.Open(DatabasePath());
        m_files.EnsureTable(db);
        m_fileIdCounter = HighestRowId(db, u"FileList");
    }
    return ++m_fileIdCounter;
}

void CFileDataManagement::AssignId(TreeNode* node) {
    if (node->GetType() == TYPE_FILE) {
        node->id = NextFileId();
        return;
    }
    int highest = 0;
    for (TreeNode* g = First(); g; g = g->GetNext()) highest = std::max(highest, g->id);
    node->id = highest + 1;
}

void CFileDataManagement::QueueInsert(const TreeNode* node, SqlWriteQueue& queue) const {
    if (node->GetType() == TYPE_FILE) {
        const auto* file = static_cast<const MyFile*>(node);
        const int parent = file->GetParent() ? file->GetParent()->id : 0;
        queue.Enqueue(Format(u"Insert Into %s(id,parentid,LastPlayTime,path) values(%d,%d,%lld,'%s');",
                             m_files.TableName(), file->id, parent, file->LastPlayTime,
                             SqlEscape(file->text)));
    } else {
        queue.Enqueue(Format(u"Insert Into %s(id,parentid,name) values(%d,%d,'%s');", m_groups.TableName(),
                             node->id, 0, SqlEscape(node->GetName())));
    }
}

bool CFileDataManagement::AddNode(TreeNode* node, TreeNode* group, TreeNode* after, bool write,
                                  SqlWriteQueue* queue) {
    if (!Accepts(node, group)) return false;
    AssignId(node);
    if (!DataManagement::Append(node, group, after)) return false;
    if (!write) return true;
    if (!queue) {
        Remove(node);
        return false;
    }
    QueueInsert(node, *queue);
    return true;
}

bool CFileDataManagement::InsertFirst(TreeNode* node, TreeNode* group) {
    if (!Accepts(node, group)) return false;
    AssignId(node);
    if (!DataManagement::InsertFirst(node, group)) return false;
    QueueInsert(node, SqlWriteQueue::Instance());
    return true;
}

bool CFileDataManagement::UpdateNode(TreeNode* node, SqlWriteQueue* queue) {
    if (!node) return false;
    if (node->GetType() == TYPE_GROUP) {
        if (queue)
            queue->Enqueue(Format(u"update %s set name ='%s' where id = %d", m_groups.TableName(),
                                  SqlEscape(node->GetName()), node->id));
        return true;
    }
    if (node->GetType() == TYPE_FILE) {
        const auto* file = static_cast<const MyFile*>(node);
        const int parent = file->GetParent() ? file->GetParent()->id : 0;
        if (queue)
            queue->Enqueue(
                Format(u"update %s set path ='%s',parentid = %d ,LastPlayTime = %lld where id = %d",
                       m_files.TableName(), SqlEscape(file->text), parent, file->LastPlayTime, file->id));
        return true;
    }
    return false;
}

bool CFileDataManagement::DeleteNode(TreeNode* node, SqlWriteQueue* queue) {
    if (!node) return false;
    const int id = node->id;
    const int type = node->GetType();
    if (type != TYPE_GROUP && type != TYPE_FILE) return false;
    if (!Remove(node)) return false;
    if (!queue) return true;
    if (type == TYPE_GROUP) {
        queue->Enqueue(Format(u"DELETE FROM %s  where id = %d", m_groups.TableName(), id));
        queue->Enqueue(Format(u"DELETE FROM %s  where parentid = %d", m_files.TableName(), id));
        queue->Enqueue(Format(u"DELETE FROM %s  where groupid = %d", m_map.TableName(), id));
    } else {
        queue->Enqueue(Format(u"DELETE FROM %s  where id = %d", m_files.TableName(), id));
    }
    return true;
}

bool CFileDataManagement::MoveNode(TreeNode* node, TreeNode* group, TreeNode* reference, bool after,
                                   SqlWriteQueue* queue) {
    if (!node) return false;
    if (group) {
        if (group->GetType() != TYPE_GROUP) return false;
        const TreeNode* first = group->GetFirstChild();
        if (first && first->GetType() != node->GetType()) return false;
    } else if (node->GetType() != TYPE_GROUP) {
        return false;
    }
    if (!Move(node, group, reference, after)) return false;
    return UpdateNode(node, queue);
}

void CFileDataManagement::RewriteGroupMap(TreeNode* group) {
    if (!group || group->GetType() != TYPE_GROUP) return;
    SqlWriteQueue& queue = SqlWriteQueue::Instance();
    const std::u16string& map = m_map.TableName();
    queue.Enqueue(Format(u"DELETE FROM %s where %s.groupid = %d", map, map, group->id));
    for (TreeNode* f = group->GetFirstChild(); f; f = f->GetNext()) {
        queue.Enqueue(Format(u"Insert Into %s (groupid,fileid) values(%d,%d);", map, group->id, f->id));
    }
}

Group* CFileDataManagement::FindGroupById(int id) const {
    if (id == 0) return nullptr;
    for (TreeNode* n = First(); n; n = NextInTree(n)) {
        if (n->id == id && n->GetType() == TYPE_GROUP) return static_cast<Group*>(n);
    }
    return nullptr;
}
