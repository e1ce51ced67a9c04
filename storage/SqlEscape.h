// The one quoting rule of every SQL statement this program builds: text values go between single
// quotes, and each single quote inside a value is doubled, so "Bob's music" is stored as typed
// and no value can change the statement around it.
// Threading: a free function without state.
#pragma once

#include <string>
#include <string_view>

// `text` with every "'" doubled, ready to be placed between single quotes.
std::u16string SqlEscape(std::u16string_view text);
