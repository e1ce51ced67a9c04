#include "storage/ActionCounterStore.h"

#include <memory>

#include "storage/CppSQLite3DB.h"
#include "storage/DatabasePath.h"
#include "storage/SqlWriteQueue.h"

namespace {
std::unique_ptr<ActionCounterStore> g_instance;
}

ActionCounterStore& ActionCounterStore::Instance() {
    if (!g_instance) g_instance.reset(new ActionCounterStore());
    return *g_instance;
}

void ActionCounterStore::DestroyInstance() {
    g_instance.reset();
}

ActionCounterStore::ActionCounterStore() : m_schema(u"action") {
    m_schema.AddColumn(u"ID", u"integer PRIMARY KEY");
    m_schema.AddColumn(u"count", u"integer DEFAULT 0");
    CppSQLite3DB db;
    db.Open(DatabasePath());
    m_schema.EnsureTable(db);
}

void ActionCounterStore::Load() {
    SqlWriteQueue::Instance();
    CppSQLite3DB db;
    db.Open(DatabasePath());
    m_schema.EnsureTable(db);
    m_counters.clear();
    CppSQLite3Query q = db.Query(u"select * from action");
    for (; !q.AtEnd(); q.NextRow()) m_counters.emplace_back(q.IntField(u"ID", 0), q.IntField(u"count", 0));
    q.Finalize();
}
