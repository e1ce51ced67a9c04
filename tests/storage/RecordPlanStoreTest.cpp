#include <gtest/gtest.h>

#include "platform/Text.h"
#include "storage/ActionCounterStore.h"
#include "storage/CppSQLite3DB.h"
#include "storage/DatabasePath.h"
#include "storage/RecordPlanStore.h"
#include "storage/SqlWriteQueue.h"
#include "tests/storage/StoresFixtures.h"

namespace {

constexpr int64_t kNow = 1'800'000'000;

RecordPlan Plan(int id, int64_t begin, int64_t end, int rate = 0) {
    RecordPlan p;
    p.id = id;
    p.beginTime = begin;
    p.endTime = end;
    p.rate = rate;
    p.name = u"中国之声";
    return p;
}

int RowCount(const char16_t* sql) {
    CppSQLite3DB db;
    db.Open(DatabasePath());
    return db.QueryScalar(sql);
}

}  // namespace

TEST(RecordPlanStore, OverlapBoundsAreInclusive) {
    struct Case {
        int64_t begin, end;
        bool accepted;
        const char* what;
    };
    // Existing plan: kNow+1000 .. kNow+2000.
    const Case cases[] = {
        {kNow + 2000, kNow + 3000, false, "starts exactly at the existing end"},
        {kNow + 500, kNow + 1000, false, "ends exactly at the existing begin"},
        {kNow + 1500, kNow + 1600, false, "lies inside"},
        {kNow + 100, kNow + 999, true, "lies entirely before"},
        {kNow + 2001, kNow + 2500, true, "lies entirely after"},
        {kNow + 500, kNow + 2500, true, "lies around it (only its own ends are tested)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordPlanStore store([] { return kNow; });
        ASSERT_TRUE(store.AddPlan(Plan(1, kNow + 1000, kNow + 2000)));
        RecordPlan conflict;
        EXPECT_EQ(store.AddPlan(Plan(2, c.begin, c.end), &conflict), c.accepted);
        if (!c.accepted) {
            EXPECT_EQ(conflict.id, 1);
        }
        EXPECT_EQ(store.Plans().size(), c.accepted ? 2u : 1u);
    }
}

TEST(RecordPlanStore, PastOneTimePlansAreRefusedRepeatingOnesKept) {
    RecordPlanStore store([] { return kNow; });
    EXPECT_FALSE(store.AddPlan(Plan(1, kNow - 60, kNow + 60, 0)));
    EXPECT_TRUE(store.AddPlan(Plan(2, kNow - 86400, kNow - 86000, 1)));
    EXPECT_TRUE(store.AddPlan(Plan(3, kNow, kNow + 60, 0)));
    EXPECT_EQ(store.NextPlanId(), 4);
    store.ClearPlans();
    EXPECT_EQ(store.NextPlanId(), 1);
}

TEST(RecordPlanStore, LoadDropsOverlappingAndPastOneTimePlans) {
    storesfixtures::UseFreshDatabase("plans");
    {
        RecordPlanStore writer([] { return kNow - 100000; });
        writer.Load();
        RecordPlan first = Plan(1, kNow + 1000, kNow + 2000, 0);
        first.name = u"Bob's show";
        first.groupName = u"录音";
        first.fileName = u"/home/u/录音/bob";
        first.radioId = 17;
        first.isUsed = 1;
        // Written through the store's own statements, as the dialog would after several edits.
        ASSERT_TRUE(writer.AddPlan(first));
        writer.Plans().push_back(Plan(2, kNow + 1500, kNow + 2500, 0));  // overlaps plan 1
        writer.Plans().push_back(Plan(3, kNow - 5000, kNow - 4000, 0));  // past, once
        writer.Plans().push_back(Plan(4, kNow - 9000, kNow - 8000, 1));  // past, daily
        writer.Plans().push_back(Plan(5, kNow + 5000, kNow + 6000, 3));  // unknown rate
        writer.SaveAll();
        SqlWriteQueue::Instance().Flush();
    }
    ASSERT_EQ(RowCount(u"select count(*) from RecordList"), 5);

    RecordPlanStore store([] { return kNow; });
    store.Load();
    ASSERT_EQ(store.Plans().size(), 3u);
    const RecordPlan& p = store.Plans()[0];
    EXPECT_EQ(p.id, 1);
    EXPECT_EQ(p.name, u"Bob's show");
    EXPECT_EQ(p.groupName, u"录音");
    EXPECT_EQ(p.fileName, u"/home/u/录音/bob");
    EXPECT_EQ(p.radioId, 17);
    EXPECT_EQ(p.isUsed, 1);
    EXPECT_EQ(p.beginTime, kNow + 1000);
    EXPECT_EQ(p.endTime, kNow + 2000);
    EXPECT_EQ(store.Plans()[1].id, 4);
    EXPECT_EQ(store.Plans()[1].rate, 1);
    EXPECT_EQ(store.Plans()[2].id, 5);
    EXPECT_EQ(store.Plans()[2].rate, 0);

    store.SaveAll();
    SqlWriteQueue::Instance().Flush();
    EXPECT_EQ(RowCount(u"select count(*) from RecordList"), 3);
    store.ClearPlans();
    store.SaveAll();
    SqlWriteQueue::Instance().Flush();
    EXPECT_EQ(RowCount(u"select count(*) from RecordList"), 0);
}

TEST(ActionCounterStore, CreatesTheTableAndReadsNullCountsAsZero) {
    storesfixtures::UseFreshDatabase("actions");
    ActionCounterStore::DestroyInstance();
    ActionCounterStore& store = ActionCounterStore::Instance();
    store.Load();
    EXPECT_TRUE(store.Counters().empty());
    {
        CppSQLite3DB db;
        db.Open(DatabasePath());
        db.Execute(u"insert into action(ID,count) values(3,7)");
        db.Execute(u"insert into action(ID,count) values(5,NULL)");
    }
    store.Load();
    EXPECT_EQ(store.Counters(), (std::vector<std::pair<int, int>>{{3, 7}, {5, 0}}));
    ActionCounterStore::DestroyInstance();
}
