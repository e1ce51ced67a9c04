#include "storage/RadioText.h"

const std::u16string& RadioText::Empty() {
    static const std::u16string empty;
    return empty;
}
