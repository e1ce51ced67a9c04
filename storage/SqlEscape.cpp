// Quoting of text values in SQL statements.
#include "storage/SqlEscape.h"

std::u16string SqlEscape(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size() + 2);
    for (char16_t c : text) {
        out.push_back(c);
        if (c == u'\'') out.push_back(u'\'');
    }
    return out;
}
