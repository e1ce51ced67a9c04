// Group nodes.
#include "storage/Group.h"

bool Group::SetName(std::u16string_view name) {
    text = std::u16string(name);
    return true;
}

int Group::GetChildType() const {
    return firstChild ? firstChild->GetType() : -1;
}
