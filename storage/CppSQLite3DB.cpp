// The database connection of the database layer.
#include "storage/CppSQLite3DB.h"

#include <sqlite3.h>

#include "platform/Text.h"
#include "storage/CppSQLite3Exception.h"
#include "storage/SqlEscape.h"

CppSQLite3DB::CppSQLite3DB() = default;

CppSQLite3DB::~CppSQLite3DB() {
    Close();
}

void CppSQLite3DB::Open(std::u16string_view path) {
    Close();
    const std::u16string zpath(path);
    sqlite3* db = nullptr;
    const int rc = sqlite3_open16(zpath.c_str(), &db);
    if (rc != SQLITE_OK) {
        const std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close(db);
        throw CppSQLite3Exception(rc, message);
    }
    db_ = db;
    sqlite3_busy_timeout(db_, busy_timeout_ms_);
}

void CppSQLite3DB::Close() {
    if (db_) {
        // Cursors are finalised by their owners first; close_v2 defers the close if one is left.
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

void CppSQLite3DB::CheckOpen() const {
    if (!db_) throw CppSQLite3Exception(CPPSQLITE_ERROR, "Database not open");
}

int CppSQLite3DB::Execute(const std::string& utf8_sql) {
    CheckOpen();
    char* error = nullptr;
    const int rc = sqlite3_exec(db_, utf8_sql.c_str(), nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        const std::string message = error ? error : sqlite3_errmsg(db_);
        sqlite3_free(error);
        throw CppSQLite3Exception(rc, message);
    }
    return sqlite3_changes(db_);
}

int CppSQLite3DB::Execute(std::u16string_view sql) {
    return Execute(Utf16ToUtf8(sql));
}

int CppSQLite3DB::ExecuteQuiet(std::u16string_view sql) noexcept {
    try {
        return Execute(sql);
    } catch (...) {
        return 0;
    }
}

CppSQLite3Query CppSQLite3DB::Query(std::u16string_view sql) {
    CheckOpen();
    sqlite3_stmt* stmt = nullptr;
    const int rc = sqlite3_prepare16_v2(db_, sql.data(), static_cast<int>(sql.size() * sizeof(char16_t)),
                                        &stmt, nullptr);
    if (rc != SQLITE_OK) throw CppSQLite3Exception(rc, sqlite3_errmsg(db_));
    if (!stmt)
        throw CppSQLite3Exception(CPPSQLITE_ERROR, "Null Virtual Machine pointer");  // empty statement text
    const int step = sqlite3_step(stmt);
    if (step == SQLITE_DONE) return CppSQLite3Query(db_, stmt, true);
    if (step == SQLITE_ROW) return CppSQLite3Query(db_, stmt, false);
    const int frc = sqlite3_finalize(stmt);
    throw CppSQLite3Exception(frc, sqlite3_errmsg(db_));
}

int CppSQLite3DB::QueryScalar(std::u16string_view sql) {
    CppSQLite3Query q = Query(sql);
    if (q.AtEnd() || q.NumFields() < 1) throw CppSQLite3Exception(CPPSQLITE_ERROR, "Invalid scalar query");
    return WToI(q.FirstFieldText());
}

bool CppSQLite3DB::TableExists(std::u16string_view table) {
    const std::u16string sql =
        Format(u"select count(*) from sqlite_master where type='table' and name='%s'", SqlEscape(table));
    return QueryScalar(sql) > 0;
}

int64_t CppSQLite3DB::LastRowId() const {
    CheckOpen();
    return sqlite3_last_insert_rowid(db_);
}

void CppSQLite3DB::SetBusyTimeout(int timeout_ms) {
    busy_timeout_ms_ = timeout_ms;
    if (db_) sqlite3_busy_timeout(db_, busy_timeout_ms_);
}
