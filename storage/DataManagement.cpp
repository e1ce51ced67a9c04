// The node tree container shared by every store.
#include "storage/DataManagement.h"

#include <cstdio>

#include "platform/Paths.h"
#include "platform/Text.h"

namespace {

bool Accepts(const TreeNode* parent, const TreeNode* node) {
    return parent == nullptr || (node->GetType() & parent->GetChildType()) != 0;
}

bool IsInside(const TreeNode* candidate, const TreeNode* node) {
    for (const TreeNode* n = candidate; n; n = n->parent) {
        if (n == node) return true;
    }
    return false;
}

}  // namespace

DataManagement::~DataManagement() {
    DeleteAll();
}

void DataManagement::DeleteAll() {
    TreeNode* n = first_;
    first_ = nullptr;
    while (n) {
        TreeNode* following = n->next;
        DeleteSubtree(n);
        n = following;
    }
}

TreeNode* DataManagement::First() const {
    return first_;
}

TreeNode* DataManagement::Last() const {
    TreeNode* n = first_;
    while (n && n->next) n = n->next;
    while (n && n->firstChild) n = n->GetLastChild();
    return n;
}

bool DataManagement::SetFileName(std::u16string_view path) {
    fileName_ = std::u16string(path);
    return true;
}

bool DataManagement::Append(TreeNode* node, TreeNode* parent, TreeNode* after) {
    if (!node) return false;
    if (!Accepts(parent, node)) return false;
    node->parent = parent;
    if (!parent) {
        node->next = nullptr;
        if (!first_) {
            node->prev = nullptr;
            first_ = node;
        } else {
            TreeNode* last = first_;
            while (last->next) last = last->next;
            last->next = node;
            node->prev = last;
        }
        return true;
    }
    if (after) {
        if (after->parent != parent) {
            DeleteSubtree(node);
            return false;
        }
        node->prev = after;
        node->next = after->next;
        if (after->next) after->next->prev = node;
        after->next = node;
        return true;
    }
    node->next = nullptr;
    if (TreeNode* last = parent->GetLastChild()) {
        last->next = node;
        node->prev = last;
    } else {
        node->prev = nullptr;
        parent->firstChild = node;
    }
    return true;
}

bool DataManagement::InsertFirst(TreeNode* node, TreeNode* parent) {
    if (!node) return false;
    if (!Accepts(parent, node)) return false;
    TreeNode*& head = parent ? parent->firstChild : first_;
    node->prev = nullptr;
    node->parent = parent;
    node->next = head;
    if (head) head->prev = node;
    head = node;
    return true;
}

bool DataManagement::Unlink(TreeNode* node) {
    if (!node) return false;
    if (!node->prev && !node->parent && node != first_) return false;
    if (node->prev) {
        node->prev->next = node->next;
    } else if (node->parent) {
        node->parent->firstChild = node->next;
    } else {
        first_ = node->next;
    }
    if (node->next) node->next->prev = node->prev;
    node->next = nullptr;
    node->prev = nullptr;
    node->parent = nullptr;
    return true;
}

bool DataManagement::Remove(TreeNode* node) {
    if (!Unlink(node)) return false;
    DeleteSubtree(node);
    return true;
}

bool DataManagement::Clear() {
    DeleteAll();
    return true;
}

bool DataManagement::Move(TreeNode* node, TreeNode* parent, TreeNode* reference, bool after) {
    if (node == reference) return true;
    if (!node) return false;
    // Checked before unlinking, so a refused move never loses the node.
    if (!Accepts(parent, node) || IsInside(parent, node)) return false;
    if (reference && reference->parent != parent) return false;
    if (reference && !after && !reference->prev && !parent && reference != first_) return false;
    if (!Unlink(node)) return false;
    if (after || !reference) return Append(node, parent, reference);
    node->parent = parent;
    node->next = reference;
    node->prev = reference->prev;
    if (reference->prev) {
        reference->prev->next = node;
    } else if (parent) {
        parent->firstChild = node;
    } else {
        first_ = node;
    }
    reference->prev = node;
    return true;
}

bool DataManagement::Load() {
    return true;
}

bool DataManagement::Save() {
    if (!first_ || !fileName_) return false;
    std::FILE* f = std::fopen(NativePath(*fileName_).c_str(), "wb");
    if (!f) return false;
    std::fclose(f);
    return true;
}

TreeNode* DataManagement::FindText(std::u16string_view text, TreeNode* start, int direction) const {
    if (!First()) return nullptr;
    if (direction != 0 && direction != 1) return nullptr;
    if (!start) start = direction == 1 ? First() : Last();
    for (TreeNode* n = direction == 1 ? NextInTree(start) : PrevInTree(start); n;
         n = direction == 1 ? NextInTree(n) : PrevInTree(n)) {
        if (FindNoCase(n->GetName(), text) != std::u16string::npos) return n;
    }
    return nullptr;
}

TreeNode* DataManagement::FindByName(std::u16string_view name, TreeNode* start) const {
    if (!First()) return nullptr;
    for (TreeNode* n = start ? start : First(); n; n = NextInTree(n)) {
        if (n->GetName() == name) return n;
    }
    return nullptr;
}
