// A connection to the SQLite database, opened with the UTF-16 interface so that a file it creates
// has UTF-16le text encoding. Reads go through Query (prepared from UTF-16); statements without
// results run through Execute (UTF-8) or ExecuteQuiet (UTF-16, never throws).
// Threading: one connection per thread; the UI thread makes short-lived ones on the stack, the
// write queue's thread uses only the queue's own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "storage/CppSQLite3Query.h"

struct sqlite3;

class CppSQLite3DB {
public:
    CppSQLite3DB();
    CppSQLite3DB(const CppSQLite3DB&) = delete;
    CppSQLite3DB& operator=(const CppSQLite3DB&) = delete;
    virtual ~CppSQLite3DB();

    // Opens (or creates) the file; ":memory:" gives an in-memory database. Throws on failure.
    // The busy time-out applies from then on.
    void Open(std::u16string_view path);
    void Close();
    bool IsOpen() const { return db_ != nullptr; }

    // Runs one or more UTF-8 statements; returns the rows changed by the last one. Throws
    // "Database not open" without a connection and SQLite's error otherwise.
    int Execute(const std::string& utf8_sql);
    // The same for UTF-16 text (converted to UTF-8 first).
    int Execute(std::u16string_view sql);
    // As Execute, but any failure gives 0 instead of an exception.
    int ExecuteQuiet(std::u16string_view sql) noexcept;

    // Prepares and takes the first step; the cursor owns the statement.
    CppSQLite3Query Query(std::u16string_view sql);
    // The first column of the first row read as an integer; throws "Invalid scalar query" when
    // the result has no row or no column.
    int QueryScalar(std::u16string_view sql);
    bool TableExists(std::u16string_view table);

    int64_t LastRowId() const;
    // Waiting time for a locked database, in milliseconds (60000 unless changed).
    void SetBusyTimeout(int timeout_ms);
    sqlite3* Handle() const { return db_; }

private:
    void CheckOpen() const;

    sqlite3* db_ = nullptr;
    int busy_timeout_ms_ = 60000;
};
