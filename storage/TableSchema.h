// The columns one table should have. EnsureTable creates a missing table from them, or adds the
// columns an existing table lacks (in schema order); it never drops, renames or retypes a column.
// Threading: filled once by its store's constructor, then only read; used on the UI thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class CppSQLite3DB;

class TableSchema {
public:
    struct Column {
        std::u16string name;
        std::u16string type;  // written verbatim, e.g. "nvarchar(300)", "integer PRIMARY KEY"
    };

    explicit TableSchema(std::u16string_view table_name = {});

    void SetTableName(std::u16string_view table_name) { table_ = std::u16string(table_name); }
    const std::u16string& TableName() const { return table_; }
    const std::vector<Column>& Columns() const { return columns_; }

    void AddColumn(std::u16string_view name, std::u16string_view type);
    // "Create  TABLE x(a t1,b t2);"
    std::u16string CreateStatement() const;
    // Creates or extends the table on an open connection; true. Throws CppSQLite3Exception when
    // the table cannot be inspected (a file that is no database, a locked one).
    bool EnsureTable(CppSQLite3DB& db) const;

private:
    std::u16string table_;
    std::vector<Column> columns_;
};
