// Tree walking over nodes.
#include "storage/TreeNode.h"

TreeNode* TreeNode::GetLastChild() const {
    TreeNode* child = firstChild;
    while (child && child->next) child = child->next;
    return child;
}

TreeNode* NextInTree(const TreeNode* node) {
    if (!node) return nullptr;
    if (node->firstChild) return node->firstChild;
    for (const TreeNode* n = node; n; n = n->parent) {
        if (n->next) return n->next;
    }
    return nullptr;
}

TreeNode* PrevInTree(const TreeNode* node) {
    if (!node) return nullptr;
    if (TreeNode* n = node->prev) {
        while (n->firstChild) n = n->GetLastChild();
        return n;
    }
    return node->parent;
}

TreeNode* NextOfType(const TreeNode* node, int types) {
    for (TreeNode* n = NextInTree(node); n; n = NextInTree(n)) {
        if (n->GetType() & types) return n;
    }
    return nullptr;
}

TreeNode* PrevOfType(const TreeNode* node, int types) {
    for (TreeNode* n = PrevInTree(node); n; n = PrevInTree(n)) {
        if (n->GetType() & types) return n;
    }
    return nullptr;
}

void DeleteSubtree(TreeNode* node) {
    if (!node) return;
    TreeNode* child = node->firstChild;
    while (child) {
        TreeNode* following = child->next;
        DeleteSubtree(child);
        child = following;
    }
    delete node;
}
