// The query cursor of the database layer.
#include "storage/CppSQLite3Query.h"

#include <sqlite3.h>

#include "storage/CppSQLite3Exception.h"

namespace {

std::u16string ColumnText16(sqlite3_stmt* stmt, int index) {
    const void* text = sqlite3_column_text16(stmt, index);
    if (!text) return {};
    const int bytes = sqlite3_column_bytes16(stmt, index);
    return std::u16string(static_cast<const char16_t*>(text), static_cast<size_t>(bytes) / sizeof(char16_t));
}

}  // namespace

CppSQLite3Query::CppSQLite3Query() = default;

CppSQLite3Query::CppSQLite3Query(sqlite3* db, sqlite3_stmt* stmt, bool at_end, bool owns_statement)
    : db_(db), stmt_(stmt), at_end_(at_end), owns_statement_(owns_statement) {
    if (!stmt_) {
        at_end_ = true;
        return;
    }
    num_fields_ = sqlite3_column_count(stmt_);
    names_.reserve(static_cast<size_t>(num_fields_));
    for (int i = 0; i < num_fields_; ++i) {
        const void* name = sqlite3_column_name16(stmt_, i);
        names_.emplace_back(name ? std::u16string(static_cast<const char16_t*>(name)) : std::u16string());
    }
}

CppSQLite3Query::CppSQLite3Query(CppSQLite3Query&& other) noexcept
    : db_(other.db_),
      stmt_(other.stmt_),
      at_end_(other.at_end_),
      num_fields_(other.num_fields_),
      owns_statement_(other.owns_statement_),
      names_(std::move(other.names_)) {
    other.stmt_ = nullptr;
    other.at_end_ = true;
    other.num_fields_ = 0;
}

CppSQLite3Query& CppSQLite3Query::operator=(CppSQLite3Query&& other) noexcept {
    if (this == &other) return *this;
    FinalizeQuietly();
    db_ = other.db_;
    stmt_ = other.stmt_;
    at_end_ = other.at_end_;
    num_fields_ = other.num_fields_;
    owns_statement_ = other.owns_statement_;
    names_ = std::move(other.names_);
    other.stmt_ = nullptr;
    other.at_end_ = true;
    other.num_fields_ = 0;
    return *this;
}

CppSQLite3Query::~CppSQLite3Query() {
    FinalizeQuietly();
}

void CppSQLite3Query::FinalizeQuietly() noexcept {
    try {
        Finalize();
    } catch (const CppSQLite3Exception&) {
    }
}

void CppSQLite3Query::CheckStatement() const {
    if (!stmt_) throw CppSQLite3Exception(CPPSQLITE_ERROR, "Null Virtual Machine pointer");
}

void CppSQLite3Query::CheckIndex(int index) const {
    CheckStatement();
    if (index < 0 || index >= num_fields_)
        throw CppSQLite3Exception(CPPSQLITE_ERROR, "Invalid field index requested");
}

bool CppSQLite3Query::AtEnd() const {
    CheckStatement();
    return at_end_;
}

void CppSQLite3Query::NextRow() {
    CheckStatement();
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_DONE) {
        at_end_ = true;
    } else if (rc == SQLITE_ROW) {
        at_end_ = false;
    } else {
        const int frc = sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        at_end_ = true;
        throw CppSQLite3Exception(frc, db_ ? sqlite3_errmsg(db_) : "");
    }
}

int CppSQLite3Query::NumFields() const {
    CheckStatement();
    return num_fields_;
}

int CppSQLite3Query::FieldIndex(std::u16string_view name) const {
    CheckStatement();
    for (int i = 0; i < num_fields_; ++i) {
        if (names_[static_cast<size_t>(i)] == name) return i;
    }
    return -1;
}

std::u16string CppSQLite3Query::FieldName(int index) const {
    CheckIndex(index);
    return names_[static_cast<size_t>(index)];
}

int CppSQLite3Query::FieldType(int index) const {
    CheckIndex(index);
    return sqlite3_column_type(stmt_, index);
}

int CppSQLite3Query::IntField(int index, int null_value) const {
    if (FieldType(index) == SQLITE_NULL) return null_value;
    return sqlite3_column_int(stmt_, index);
}

int64_t CppSQLite3Query::Int64Field(int index, int64_t null_value) const {
    if (FieldType(index) == SQLITE_NULL) return null_value;
    return sqlite3_column_int64(stmt_, index);
}

std::u16string CppSQLite3Query::TextField(int index) const {
    if (FieldType(index) == SQLITE_NULL) return {};
    return ColumnText16(stmt_, index);
}

int CppSQLite3Query::IntField(std::u16string_view name, int null_value) const {
    return IntField(FieldIndex(name), null_value);
}

int64_t CppSQLite3Query::Int64Field(std::u16string_view name, int64_t null_value) const {
    return Int64Field(FieldIndex(name), null_value);
}

std::u16string CppSQLite3Query::TextField(std::u16string_view name) const {
    return TextField(FieldIndex(name));
}

std::u16string CppSQLite3Query::FirstFieldText() const {
    CheckIndex(0);
    return ColumnText16(stmt_, 0);
}

void CppSQLite3Query::Finalize() {
    if (stmt_ && owns_statement_) {
        const int rc = sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        at_end_ = true;
        if (rc != SQLITE_OK) throw CppSQLite3Exception(rc, db_ ? sqlite3_errmsg(db_) : "");
    }
}
