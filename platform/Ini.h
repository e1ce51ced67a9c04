// Reading settings files in the INI form ("[section]", "key=value" lines), with the lookup rules
// of GetPrivateProfileString/GetPrivateProfileInt. Files may be UTF-8 (or GB18030) or UTF-16 LE/BE,
// with or without a byte-order mark. Files are only read, never written.
// Threading: free functions without state; each call reads the file anew; safe from any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The value of `key` in `section` of `file`. Section and key names match without regard to case
// and surrounding blanks; the first matching key wins. The value is trimmed, and one pair of
// matching quotes ('"' or '\'') around it is removed. When the file, section or key is missing,
// the result is `def` without its trailing blanks. A `size` other than 0 limits the result to
// size - 1 units, as a buffer of `size` units would.
std::u16string GetPrivateProfileString(std::u16string_view section, std::u16string_view key,
                                       std::u16string_view def, std::u16string_view file,
                                       size_t size = 0);

// The value of `key` as an integer: leading blanks, one sign, then decimal digits (or "0x" and
// hexadecimal digits) up to the first other character. `def` when the key is missing or empty.
int GetPrivateProfileInt(std::u16string_view section, std::u16string_view key, int def,
                         std::u16string_view file);

// The section names of `file` in file order (duplicates once); empty when it cannot be read.
std::vector<std::u16string> GetPrivateProfileSectionNames(std::u16string_view file);
// The key names of `section` in file order; empty when the section is missing.
std::vector<std::u16string> GetPrivateProfileKeys(std::u16string_view section, std::u16string_view file);
