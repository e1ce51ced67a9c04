// The local audio file lists: groups of files in the tables FileGroup, FileList and
// PlaylistMap, held in memory as top-level groups (the default group "默认分组", id 1, first)
// with their files in list order. The local file panel keeps tree and tables in step.
// Threading: UI thread only; every change is a statement handed to the write queue.
#pragma once

#include "storage/DataManagement.h"
#include "storage/TableSchema.h"

class Group;
class SqlWriteQueue;

class CFileDataManagement : public DataManagement {
public:
    static constexpr int kDefaultGroupId = 1;

    CFileDataManagement();

    // Rebuilds the tree: the default group, then the stored groups in id order (a group whose
    // parentid names a loaded group is skipped), each with its files in map order. Database
    // errors leave as CppSQLite3Exception.
    bool Load() override;
    // Does nothing: every change is already queued.
    bool Save() override { return true; }

    // Adds a file under a group, or a group at the top level, with a new id (groups: the highest
    // group id plus 1; files: the file counter). Without `write` only the tree changes. With
    // `write` the insert is queued, or, without a queue, the node is removed (deleted) again and
    // the result is false. False when the node or target is refused.
    bool AddNode(TreeNode* node, TreeNode* group, TreeNode* after, bool write, SqlWriteQueue* queue);
    // As AddNode, but as the first node of the group or the top level; the insert goes to the
    // process's write queue.
    bool InsertFirst(TreeNode* node, TreeNode* group) override;
    // Queues (when a queue is given) the update of a group's name or a file's path, group and
    // play time; false for other nodes.
    bool UpdateNode(TreeNode* node, SqlWriteQueue* queue);
    // Removes (deletes) a group with its files or a single file and queues the deletions.
    bool DeleteNode(TreeNode* node, SqlWriteQueue* queue);
    // Moves a file into a group that is empty or holds files, or a group to the top level,
    // then UpdateNode; refused (false, nothing moved) otherwise.
    bool MoveNode(TreeNode* node, TreeNode* group, TreeNode* reference, bool after, SqlWriteQueue* queue);
    // Queues the rewrite of the group's membership rows from its files in list order.
    void RewriteGroupMap(TreeNode* group);
    // The first group with that id; null for 0 or none.
    Group* FindGroupById(int id) const;

private:
    bool Accepts(const TreeNode* node, const TreeNode* group) const;
    void AssignId(TreeNode* node);
    int NextFileId();
    void LoadFiles(CppSQLite3DB& db, Group* group);
    void QueueInsert(const TreeNode* node, SqlWriteQueue& queue) const;

    TableSchema m_groups;
    TableSchema m_files;
    TableSchema m_map;
    int m_fileIdCounter = -1;  // highest file id given out; -1 until first needed
};
