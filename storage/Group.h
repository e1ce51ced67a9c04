// A group node: a catalogue category, a favourites folder or a local file list. A group holds
// only one kind of child: the kind of the children it already has.
// Threading: UI thread only.
#pragma once

#include <cstdint>

#include "storage/TreeNode.h"

class Group : public TreeNode {
public:
    Group(std::u16string_view name, int id) : TreeNode(id, name) {}

    std::u16string GetName() const override { return text; }
    bool SetName(std::u16string_view name) override;
    std::u16string GetUrl() const override { return {}; }
    int GetType() const override { return TYPE_GROUP; }
    // The type of the first child, or -1 (anything) while empty.
    int GetChildType() const override;

    // Sum of the listener counts of the stations below; kept by the trees, never stored.
    uint32_t listenerTotal = 0;
};
