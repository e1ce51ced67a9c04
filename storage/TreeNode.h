// The base of every item a list or tree shows (groups, stations, local files) and the free
// functions that walk a tree of them in depth-first order. Nodes are owned by the
// DataManagement whose tree holds them; views only point at them.
// Threading: UI thread only; no locking.
#pragma once

#include <string>
#include <string_view>

// Type codes are single bits, so a set of types is their sum.
constexpr int TYPE_GROUP = 1;
constexpr int TYPE_RADIO = 2;
constexpr int TYPE_FILE = 4;

class TreeNode {
public:
    TreeNode(int id, std::u16string_view text) : id(id), text(text) {}
    TreeNode(const TreeNode&) = delete;
    TreeNode& operator=(const TreeNode&) = delete;
    // Frees the node only; DeleteSubtree frees its descendants too.
    virtual ~TreeNode() = default;

    virtual std::u16string GetName() const = 0;
    // True when the name was taken.
    virtual bool SetName(std::u16string_view name) = 0;
    virtual std::u16string GetUrl() const = 0;
    virtual int GetType() const = 0;
    // The set of types this node accepts as children: -1 everything, 0 nothing.
    virtual int GetChildType() const { return -1; }

    TreeNode* GetParent() const { return parent; }
    TreeNode* GetNext() const { return next; }
    TreeNode* GetPrev() const { return prev; }
    TreeNode* GetFirstChild() const { return firstChild; }
    TreeNode* GetLastChild() const;

    // Links, kept by DataManagement (and stores that replace its operations).
    TreeNode* next = nullptr;
    TreeNode* prev = nullptr;
    TreeNode* parent = nullptr;
    TreeNode* firstChild = nullptr;
    // The tree-control item showing the node; set and cleared by the trees, null otherwise.
    void* viewItem = nullptr;
    // Row id in the node's own table.
    int id = 0;
    // Name of a group or station; full path of a local file.
    std::u16string text;
};

// Depth-first successor: first child, else next sibling, else the next sibling of the nearest
// ancestor that has one; null at the end (or for null).
TreeNode* NextInTree(const TreeNode* node);
// Depth-first predecessor: the previous sibling's last descendant (or the sibling itself), else the parent.
TreeNode* PrevInTree(const TreeNode* node);
// The next (previous) node whose type shares a bit with `types`; the start is never returned.
TreeNode* NextOfType(const TreeNode* node, int types);
TreeNode* PrevOfType(const TreeNode* node, int types);
// Deletes the node's descendants (each one's before itself), then the node. Does not unlink it.
void DeleteSubtree(TreeNode* node);
