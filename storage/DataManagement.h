// The container of one node tree and the base of every store (catalogue, favourites, recent
// list, local files). The container owns every node in its tree: Remove, Clear and the
// destructor delete nodes with all their descendants.
// Threading: UI thread only; no locking.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "storage/TreeNode.h"

class DataManagement {
public:
    DataManagement() = default;
    DataManagement(const DataManagement&) = delete;
    DataManagement& operator=(const DataManagement&) = delete;
    virtual ~DataManagement();

    // The first top-level node (null for an empty tree).
    virtual TreeNode* First() const;
    // The last node in tree order: the last top-level node, then its last child, repeatedly.
    virtual TreeNode* Last() const;
    virtual bool SetFileName(std::u16string_view path);
    // Links `node` as the last top-level node (no parent; `after` unused), directly behind
    // `after`, or as the last child of `parent`. Fails for null and for a type the parent does
    // not accept (the caller still owns the node). When `after` is not a child of `parent` the
    // node is deleted and the call fails.
    virtual bool Append(TreeNode* node, TreeNode* parent, TreeNode* after);
    // Links `node` as the first top-level node or the parent's first child.
    virtual bool InsertFirst(TreeNode* node, TreeNode* parent);
    // Takes the node (with its children) out of the tree; false for null or a top-level node
    // that is not in this tree.
    virtual bool Unlink(TreeNode* node);
    // Unlink, then delete the node with its descendants.
    virtual bool Remove(TreeNode* node);
    // Deletes every node; true.
    virtual bool Clear();
    // Moves `node` directly behind (`after`, or no reference: Append) or before `reference`
    // under `parent`. Refused without any change when the parent does not accept the node's
    // type, when the reference is not a child of `parent`, or when `parent` lies inside `node`.
    virtual bool Move(TreeNode* node, TreeNode* parent, TreeNode* reference, bool after);
    virtual bool Load();
    // Creates (or empties) the file named by SetFileName; false for an empty tree or no file.
    virtual bool Save();

    // The first node after (direction 1) or before (direction 0) `start` whose name contains
    // `text`, ignoring case; `start` itself is never examined. A null start means First
    // (forward) or Last (backward). Null for an empty tree or another direction.
    TreeNode* FindText(std::u16string_view text, TreeNode* start, int direction) const;
    // The first node from `start` itself (or First) on, in tree order, named exactly `name`.
    TreeNode* FindByName(std::u16string_view name, TreeNode* start) const;

protected:
    // Deletes every node without calling a replaced Clear.
    void DeleteAll();

    std::optional<std::u16string> fileName_;
    TreeNode* first_ = nullptr;
};
