#include <gtest/gtest.h>

#include "platform/Text.h"
#include "storage/CppSQLite3DB.h"
#include "storage/DatabasePath.h"
#include "storage/Group.h"
#include "storage/LastListManagement.h"
#include "storage/LastPlayStore.h"
#include "storage/Radio.h"
#include "storage/SqlWriteQueue.h"
#include "tests/storage/StoresFixtures.h"

namespace {

std::vector<std::u16string> Names(const CLastListManagement& m) {
    std::vector<std::u16string> out;
    for (TreeNode* c = m.Root()->GetFirstChild(); c; c = c->GetNext()) out.push_back(c->GetName());
    return out;
}

std::u16string N(int i) {
    return u"S" + IntToText(i);
}

void Play(CLastListManagement& list, const std::u16string& name, const std::u16string& url) {
    CRadio r;
    r.SetName(name);
    r.radioUrl = url;
    ASSERT_TRUE(list.Append(&r, nullptr, nullptr));
}

int Rows(const std::u16string& sql) {
    CppSQLite3DB db;
    db.Open(DatabasePath());
    return db.QueryScalar(sql);
}

class StoresTest : public ::testing::Test {
protected:
    void SetUp() override {
        storesfixtures::UseFreshDatabase(::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    int64_t clock_ = 1000;
};

}  // namespace

TEST_F(StoresTest, RecentListKeepsTenNewestFirst) {
    CLastListManagement list([this] { return clock_; });
    ASSERT_TRUE(list.Load());
    EXPECT_EQ(list.Root()->GetName(), u"最近收听");
    for (int i = 1; i <= 11; ++i, ++clock_) Play(list, N(i), u"http://s/" + IntToText(i));
    std::vector<std::u16string> expected;
    for (int i = 11; i >= 2; --i) expected.push_back(N(i));
    EXPECT_EQ(Names(list), expected);
    SqlWriteQueue::Instance().Flush();
    EXPECT_EQ(Rows(u"select count(*) from lastlist"), 10);
    EXPECT_EQ(Rows(u"select count(*) from lastlist where name = 'S1'"), 0);

    // The id in memory is the row id, so an update reaches its row.
    Play(list, u"S9 again", u"http://s/9");  // same address as the third entry
    EXPECT_EQ(Names(list).front(), u"S9");
    EXPECT_EQ(Names(list).size(), 10u);
    SqlWriteQueue::Instance().Flush();
    EXPECT_EQ(Rows(u"select count(*) from lastlist"), 10);
    const TreeNode* front = list.Root()->GetFirstChild();
    EXPECT_EQ(Rows(u"select LastPlayTime from lastlist where id = " + IntToText(front->id)), clock_);

    CLastListManagement reloaded;
    reloaded.Load();
    EXPECT_EQ(Names(reloaded), Names(list));
    Group g(u"g", 1);
    EXPECT_FALSE(reloaded.Append(&g, nullptr, nullptr));
}

TEST_F(StoresTest, RecentListLoadsMoreThanTenAndTrimsOnTheNextPlay) {
    {
        CLastListManagement list;
        list.Load();
    }
    {
        CppSQLite3DB db;
        db.Open(DatabasePath());
        for (int i = 1; i <= 12; ++i) {
            db.Execute(Format(
                u"insert into lastlist(id,LastPlayTime,name,radioUrl,Speed) values(%d,%d,'S%d','u%d',NULL)",
                i, i, i, i));
        }
    }
    CLastListManagement list([this] { return clock_; });
    list.Load();
    EXPECT_EQ(Names(list).size(), 12u);
    EXPECT_EQ(Names(list).front(), u"S12");
    EXPECT_EQ(static_cast<CRadio*>(list.Root()->GetFirstChild())->Speed, 0);
    Play(list, u"New", u"http://new");
    EXPECT_EQ(Names(list).size(), 10u);
    EXPECT_EQ(list.Root()->GetFirstChild()->id, 13);
    SqlWriteQueue::Instance().Flush();
    EXPECT_EQ(Rows(u"select count(*) from lastlist"), 10);
    EXPECT_EQ(Rows(u"select count(*) from lastlist where id = 13 and name = 'New'"), 1);
}

TEST_F(StoresTest, LastPlayValidityByType) {
    {
        CppSQLite3DB db;
        db.Open(DatabasePath());
        db.Execute(u"create table channel_v2(key integer PRIMARY KEY, name text)");
        db.Execute(u"insert into channel_v2 values(1,'Catalogue''s')");
        db.Execute(u"create table channel_category_map_v2(key integer PRIMARY KEY, channel_name text)");
        db.Execute(u"insert into channel_category_map_v2 values(1,'Themed')");
        db.Execute(u"create table UserRadio(id integer PRIMARY KEY, name text)");
        db.Execute(u"insert into UserRadio values(1,'Mine')");
        db.Execute(u"create table MyFavorite(id integer PRIMARY KEY, name text)");
        db.Execute(u"insert into MyFavorite values(1,'Fav')");
        db.Execute(u"create table FileList(id integer PRIMARY KEY, path text)");
        db.Execute(u"insert into FileList values(7,'/m/a.mp3')");
    }
    struct Case {
        int id;
        const char16_t* name;
        int type;
        bool valid;
    };
    const Case cases[] = {
        {1, u"Catalogue's", 0, true}, {1, u"Themed", 0, true}, {1, u"Mine", 0, true}, {1, u"Gone", 0, false},
        {1, u"Fav", 1, true},         {1, u"Mine", 1, false},  {7, u"a", 2, true},    {8, u"a", 2, false},
        {1, u"Fav", 3, false},        {1, u"", 0, false},
    };
    LastPlayStore().Load();  // start-up creates the table
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.name) + " type " + std::to_string(c.type));
        LastPlayStore writer;
        writer.Save(c.id, u"2000011|2000000|", c.name, c.type);
        SqlWriteQueue::Instance().Flush();
        LastPlayStore store;
        ASSERT_TRUE(store.Load());
        EXPECT_EQ(store.Record().name, c.valid ? c.name : u"");
        EXPECT_EQ(store.Record().groupPath, c.valid ? u"2000011|2000000|" : u"");
        EXPECT_EQ(store.Record().id, c.valid ? c.id : 0);
        EXPECT_EQ(store.Record().type, c.valid ? c.type : 0);
    }
    EXPECT_EQ(Rows(u"select count(*) from LastPlay"), 1);
}

TEST_F(StoresTest, LastPlayGroupPathAndMissingTables) {
    Group root(u"地域电台", 2000000);
    Group region(u"北京", 2000011);
    CRadio station;
    region.parent = &root;
    station.parent = &region;
    EXPECT_EQ(LastPlayStore::GroupPathOf(&station), u"2000011|2000000|");
    EXPECT_EQ(LastPlayStore::GroupPathOf(&root), u"");

    // A fresh database has none of the tables the check consults: the record is simply invalid.
    LastPlayStore().Load();
    LastPlayStore writer;
    writer.Save(3, u"", u"Anything", 0);
    SqlWriteQueue::Instance().Flush();
    LastPlayStore store;
    EXPECT_TRUE(store.Load());
    EXPECT_EQ(store.Record().name, u"");
}
