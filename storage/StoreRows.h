// Row helpers the personal-list stores share: a station built from a result row, and the highest
// id a table holds (the start of a store's id counter).
// Threading: whichever thread owns the connection and cursor (the user-interface thread).
#pragma once

#include <string_view>

class CppSQLite3DB;
class CppSQLite3Query;
class CRadio;

// A new station from the current row of a "select *" over a station table (Speed included).
CRadio* RadioFromRow(const CppSQLite3Query& q);
// Max(id) of the table, or 0 when it has no rows.
int HighestRowId(CppSQLite3DB& db, std::u16string_view table);
