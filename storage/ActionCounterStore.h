// Usage counters, one count per action id, in the table "action". The store makes sure the table
// exists and reads its pairs once at start-up; nothing in the program changes them.
// Threading: UI thread only (made on first use there, destroyed at tear-down).
#pragma once

#include <utility>
#include <vector>

#include "storage/TableSchema.h"

class ActionCounterStore {
public:
    // The store, made on first call; making it creates the table when it is missing. Throws
    // CppSQLite3Exception when the database cannot be opened.
    static ActionCounterStore& Instance();
    static void DestroyInstance();

    // Replaces the pairs with the table's rows in table order (NULL reads as 0). Database errors
    // leave as CppSQLite3Exception; the pairs read so far stay.
    void Load();
    const std::vector<std::pair<int, int>>& Counters() const { return m_counters; }

    ActionCounterStore(const ActionCounterStore&) = delete;
    ActionCounterStore& operator=(const ActionCounterStore&) = delete;

private:
    ActionCounterStore();

    TableSchema m_schema;
    std::vector<std::pair<int, int>> m_counters;  // (action id, count)
};
