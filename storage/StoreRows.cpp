#include "storage/StoreRows.h"

#include "platform/Text.h"
#include "storage/CppSQLite3DB.h"
#include "storage/CppSQLite3Query.h"
#include "storage/Radio.h"

CRadio* RadioFromRow(const CppSQLite3Query& q) {
    auto* r = new CRadio(q.TextField(u"name"), q.TextField(u"radioUrl"), q.TextField(u"webUrl"),
                         q.TextField(u"iconUrl"), q.TextField(u"playbill"), q.TextField(u"country"),
                         q.TextField(u"province"), q.TextField(u"city"), q.TextField(u"Frequency"),
                         q.TextField(u"kind"), q.Int64Field(u"CreateTime", 0), q.IntField(u"id", 0),
                         q.Int64Field(u"LastPlayTime", 0));
    r->Speed = q.IntField(u"Speed", 0);
    return r;
}

int HighestRowId(CppSQLite3DB& db, std::u16string_view table) {
    CppSQLite3Query q = db.Query(Format(u"select Max(id) As MaxKeyID From %s", table));
    const int highest = q.AtEnd() ? -1 : q.IntField(u"MaxKeyID", -1);
    return highest == -1 ? 0 : highest;
}
