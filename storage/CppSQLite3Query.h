// A cursor over one prepared statement, made by CppSQLite3DB::Query and positioned on the first
// row (or at its end). Texts are read as UTF-16. Every read of a cursor without a statement
// throws CppSQLite3Exception "Null Virtual Machine pointer"; a bad column "Invalid field index requested".
// Threading: used on the thread that made it, while its connection is open.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

class CppSQLite3Query {
public:
    // A cursor without statement (at its end).
    CppSQLite3Query();
    // Takes the statement; `at_end` after a first step that returned "done".
    CppSQLite3Query(sqlite3* db, sqlite3_stmt* stmt, bool at_end, bool owns_statement = true);
    // Moving hands the statement over; the source is left without one. Assigning finalises the
    // target's own statement first (errors ignored).
    CppSQLite3Query(CppSQLite3Query&& other) noexcept;
    CppSQLite3Query& operator=(CppSQLite3Query&& other) noexcept;
    CppSQLite3Query(const CppSQLite3Query&) = delete;
    CppSQLite3Query& operator=(const CppSQLite3Query&) = delete;
    virtual ~CppSQLite3Query();

    bool AtEnd() const;
    // Steps to the next row or to the end.
    void NextRow();

    int NumFields() const;
    // Index of the first result column named exactly `name` (case-sensitive); -1 when none.
    int FieldIndex(std::u16string_view name) const;
    std::u16string FieldName(int index) const;
    // SQLite's column type (1 integer, 2 float, 3 text, 4 blob, 5 NULL) in the current row.
    int FieldType(int index) const;

    int IntField(std::u16string_view name, int null_value = 0) const;
    int64_t Int64Field(std::u16string_view name, int64_t null_value = 0) const;
    // The empty text for NULL.
    std::u16string TextField(std::u16string_view name) const;
    int IntField(int index, int null_value = 0) const;
    int64_t Int64Field(int index, int64_t null_value = 0) const;
    std::u16string TextField(int index) const;
    std::u16string FirstFieldText() const;

    // Finalises an owned statement and forgets it; throws on a failing finalise.
    void Finalize();

private:
    void CheckStatement() const;
    void CheckIndex(int index) const;
    void FinalizeQuietly() noexcept;

    sqlite3* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
    bool at_end_ = true;
    int num_fields_ = 0;
    bool owns_statement_ = false;
    std::vector<std::u16string> names_;  // result column names, read once
};
