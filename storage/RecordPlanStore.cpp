#include "storage/RecordPlanStore.h"

#include <algorithm>
#include <ctime>

#include "platform/Text.h"
#include "storage/CppSQLite3DB.h"
#include "storage/DatabasePath.h"
#include "storage/SqlEscape.h"
#include "storage/SqlWriteQueue.h"

namespace {
constexpr char16_t kTable[] = u"RecordList";
}

RecordPlanStore::RecordPlanStore(Clock now) : m_schema(kTable), m_now(std::move(now)) {
    if (!m_now) m_now = [] { return static_cast<int64_t>(std::time(nullptr)); };
    m_schema.AddColumn(u"id", u"integer PRIMARY KEY");
    m_schema.AddColumn(u"rate", u"integer DEFAULT 0");
    m_schema.AddColumn(u"name", u"nvarchar(300) DEFAULT ''");
    m_schema.AddColumn(u"radioid", u"integer DEFAULT 0");
    m_schema.AddColumn(u"isused", u"integer DEFAULT 0");
    m_schema.AddColumn(u"filename", u"nvarchar(300) DEFAULT ''");
    m_schema.AddColumn(u"grouname", u"nvarchar(300) DEFAULT ''");
    m_schema.AddColumn(u"begintime", u"time_t DEFAULT 0");
    m_schema.AddColumn(u"endtime", u"time_t DEFAULT 0");
}

bool RecordPlanStore::AddPlan(const RecordPlan& plan, RecordPlan* conflict) {
    if (plan.beginTime < m_now() && plan.rate == 0) return false;
    auto within = [](int64_t t, const RecordPlan& p) { return t >= p.beginTime && t <= p.endTime; };
    for (const RecordPlan& existing : m_plans) {
        if (within(plan.beginTime, existing) || within(plan.endTime, existing)) {
            if (conflict) *conflict = existing;
            return false;
        }
    }
    m_plans.push_back(plan);
    return true;
}

void RecordPlanStore::Load() {
    SqlWriteQueue::Instance();
    CppSQLite3DB db;
    db.Open(DatabasePath());
    db.ExecuteQuiet(u"begin transaction;");
    m_schema.EnsureTable(db);
    m_plans.clear();
    CppSQLite3Query q = db.Query(Format(u"select * from %s", kTable));
    for (; !q.AtEnd(); q.NextRow()) {
        RecordPlan p;
        p.id = q.IntField(u"id", 0);
        const int rate = q.IntField(u"rate", 0);
        p.rate = (rate == 1 || rate == 7) ? rate : 0;
        p.name = q.TextField(u"name");
        p.radioId = q.IntField(u"radioid", 0);
        p.isUsed = q.IntField(u"isused", 0);
        p.fileName = q.TextField(u"filename");
        p.groupName = q.TextField(u"grouname");
        p.beginTime = q.Int64Field(u"begintime", 0);
        p.endTime = q.Int64Field(u"endtime", 0);
        AddPlan(p);
    }
    q.Finalize();
    db.Execute(u"commit transaction;");
}

void RecordPlanStore::SaveAll(SqlWriteQueue& queue) const {
    queue.Enqueue(std::u16string(u"DELETE FROM ") + kTable);
    for (const RecordPlan& p : m_plans) {
        queue.Enqueue(
            Format(u"Insert Into %s(id,name,rate,radioid,isused,filename,grouname,begintime,endtime) "
                   u"values(%d,'%s',%d,%d,%d,'%s','%s',%lld,%lld);",
                   kTable, p.id, SqlEscape(p.name), p.rate, p.radioId, p.isUsed, SqlEscape(p.fileName),
                   SqlEscape(p.groupName), p.beginTime, p.endTime));
    }
}

void RecordPlanStore::SaveAll() const {
    SaveAll(SqlWriteQueue::Instance());
}

int RecordPlanStore::NextPlanId() const {
    int highest = 0;
    for (const RecordPlan& p : m_plans) highest = std::max(highest, p.id);
    return m_plans.empty() ? 1 : highest + 1;
}
