// The recording plans: kept in memory in the order they were added and in the table RecordList,
// loaded at start-up, written back as a whole after every change. Plans that overlap an earlier
// one, and one-time plans whose start has passed, are refused.
// Threading: UI thread only; writes go through the write queue.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "storage/TableSchema.h"

class SqlWriteQueue;

struct RecordPlan {
    // Repetition period in days: 0 once, 1 every day, 7 every week; any other stored value
    // reads as 0.
    int rate = 0;
    std::u16string name;  // station name
    int radioId = 0;
    int isUsed = 0;            // enabled flag of the plan dialog
    std::u16string fileName;   // folder and file name stem of the recording
    std::u16string groupName;  // local-file group that receives the recording
    int64_t beginTime = 0;     // seconds since 1970
    int64_t endTime = 0;       // seconds since 1970
    int id = 0;
    // Run-time state of the scheduler, never stored.
    int runState = 0;
    int runEvent = -1;
};

class RecordPlanStore {
public:
    using Clock = std::function<int64_t()>;  // seconds since 1970

    // `now` defaults to the system clock.
    explicit RecordPlanStore(Clock now = {});

    // Replaces the list with the table's plans, each through AddPlan, so overlapping and past
    // one-time rows are dropped (and leave the table at the next SaveAll). Database errors leave
    // as CppSQLite3Exception.
    void Load();

    // Takes a copy of `plan` into the list; false when its start lies before now and it is a
    // one-time plan, or when its begin or end lies within an existing plan's range (both bounds
    // inclusive). On such a conflict `conflict`, when given, receives the existing plan.
    bool AddPlan(const RecordPlan& plan, RecordPlan* conflict = nullptr);

    // Queues "DELETE FROM RecordList" and one insert per plan, in list order.
    void SaveAll(SqlWriteQueue& queue) const;
    void SaveAll() const;

    void ClearPlans() { m_plans.clear(); }
    // The highest id in the list plus 1, or 1 for an empty list.
    int NextPlanId() const;

    const std::vector<RecordPlan>& Plans() const { return m_plans; }
    // The dialog edits and removes plans in place; AddPlan's checks do not apply to edits.
    std::vector<RecordPlan>& Plans() { return m_plans; }

private:
    TableSchema m_schema;
    Clock m_now;
    std::vector<RecordPlan> m_plans;
};
