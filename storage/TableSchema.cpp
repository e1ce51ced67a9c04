// Creating and extending tables.
#include "storage/TableSchema.h"

#include "platform/Text.h"
#include "storage/CppSQLite3DB.h"

TableSchema::TableSchema(std::u16string_view table_name) : table_(table_name) {}

void TableSchema::AddColumn(std::u16string_view name, std::u16string_view type) {
    columns_.push_back(Column{std::u16string(name), std::u16string(type)});
}

std::u16string TableSchema::CreateStatement() const {
    std::u16string sql = u"Create  TABLE " + table_ + u"(";
    for (size_t i = 0; i < columns_.size(); ++i) {
        if (i > 0) sql += u",";
        sql += columns_[i].name + u" " + columns_[i].type;
    }
    sql += u");";
    return sql;
}

bool TableSchema::EnsureTable(CppSQLite3DB& db) const {
    if (db.TableExists(table_)) {
        // A query without rows still knows the table's column names.
        std::vector<const Column*> missing;
        {
            CppSQLite3Query q = db.Query(Format(u"SELECT * FROM %s WHERE 1 = 0;", table_));
            for (const Column& c : columns_) {
                if (q.FieldIndex(c.name) == -1) missing.push_back(&c);
            }
            q.Finalize();
        }
        for (const Column* c : missing) {
            db.ExecuteQuiet(Format(u"ALTER TABLE %s ADD COLUMN %s %s;", table_, c->name, c->type));
        }
    } else {
        db.ExecuteQuiet(CreateStatement());
    }
    return true;
}
