// Helpers of the storage tests: a fresh database file per test and row counts.
#pragma once

#include <string>

#include "platform/Text.h"
#include "storage/CppSQLite3DB.h"
#include "storage/DatabasePath.h"
#include "storage/SqlWriteQueue.h"
#include "tests/support/TestSupport.h"

namespace storagetest {

// A new empty folder with a database path inside (the file is not created); also made the
// process-wide database path, with any earlier write queue gone.
inline std::u16string FreshDatabase(const std::string& name) {
    SqlWriteQueue::DestroyInstance();
    const std::u16string path = Utf8ToUtf16(testsupport::MakeTempDir(name) + "/LXRadio.db");
    SetDatabasePath(path);
    return path;
}

inline int CountRows(const std::u16string& path, const std::u16string& table) {
    CppSQLite3DB db;
    db.Open(path);
    return db.QueryScalar(u"select count(*) from " + table);
}

}  // namespace storagetest
