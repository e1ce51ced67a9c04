#include <gtest/gtest.h>

#include "platform/Text.h"
#include "storage/CppSQLite3DB.h"
#include "storage/DatabasePath.h"
#include "storage/Group.h"
#include "storage/Radio.h"
#include "storage/SqlWriteQueue.h"
#include "storage/UserRadioMgr.h"
#include "tests/storage/StoresFixtures.h"
#include "tests/support/TestSupport.h"

namespace {

CRadio* Station(const std::u16string& name, const std::u16string& url) {
    auto* r = new CRadio();
    r->SetName(name);
    r->radioUrl = url;
    return r;
}

std::vector<std::u16string> Names(const CUserRadioMgr& m) {
    std::vector<std::u16string> out;
    for (TreeNode* c = m.Root()->GetFirstChild(); c; c = c->GetNext()) out.push_back(c->GetName());
    return out;
}

CUserRadioMgr Favorites() {
    return CUserRadioMgr(CUserRadioMgr::kFavoriteTable, CUserRadioMgr::kFavoriteMap,
                         CUserRadioMgr::kFavoriteRoot);
}

class UserRadioMgrTest : public ::testing::Test {
protected:
    void SetUp() override {
        storesfixtures::UseFreshDatabase(::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    SqlWriteQueue& queue() { return SqlWriteQueue::Instance(); }
};

}  // namespace

TEST_F(UserRadioMgrTest, IdsGrowAcrossDeletesAndCopiesRefuseDuplicates) {
    CUserRadioMgr fav = Favorites();
    ASSERT_TRUE(fav.Load());
    EXPECT_EQ(fav.Root()->GetName(), u"我的最爱");
    EXPECT_EQ(fav.Root()->id, 0);

    CRadio caller;
    caller.SetName(u"A");
    caller.radioUrl = u"http://a";
    EXPECT_TRUE(fav.AddItem(&caller, &queue(), true));
    TreeNode* first = fav.Root()->GetFirstChild();
    ASSERT_NE(first, &caller);  // a copy was added
    EXPECT_EQ(first->id, 1);
    EXPECT_FALSE(fav.AddItem(&caller, &queue(), true));  // same address
    EXPECT_TRUE(fav.DeleteItem(first, &queue()));
    CRadio* b = Station(u"B", u"http://b");
    EXPECT_TRUE(fav.AddItem(b, &queue(), false));
    EXPECT_EQ(b->id, 2);  // the deleted id is not given out again

    Group notAStation(u"g", 9);
    EXPECT_FALSE(fav.AddItem(&notAStation, &queue(), true));
    fav.RewriteMap(queue());
    queue().Flush();

    // A new store starts above the highest stored id.
    CUserRadioMgr again = Favorites();
    again.Load();
    EXPECT_EQ(Names(again), (std::vector<std::u16string>{u"B"}));
    CRadio* c = Station(u"C", u"http://c");
    EXPECT_TRUE(again.AddItem(c, &queue(), false));
    EXPECT_EQ(c->id, 3);
}

TEST_F(UserRadioMgrTest, MapOrderSurvivesDeleteAndReload) {
    CUserRadioMgr mine(CUserRadioMgr::kUserRadioTable, CUserRadioMgr::kUserRadioMap,
                       CUserRadioMgr::kUserRadioRoot);
    mine.Load();
    for (const char16_t* n : {u"One", u"Two", u"Three", u"Bob's"}) {
        ASSERT_TRUE(mine.AddItem(Station(n, std::u16string(u"http://") + n), &queue(), false));
    }
    // Reorder: "Three" first, then delete the middle entry "One".
    TreeNode* three = mine.FindByName(u"Three", nullptr);
    ASSERT_TRUE(mine.MoveItem(three, mine.Root(), mine.Root()->GetFirstChild(), false, &queue()));
    ASSERT_TRUE(mine.DeleteItem(mine.FindByName(u"One", nullptr), &queue()));
    mine.RewriteMap(queue());
    queue().Flush();

    CUserRadioMgr reloaded(CUserRadioMgr::kUserRadioTable, CUserRadioMgr::kUserRadioMap,
                           CUserRadioMgr::kUserRadioRoot);
    reloaded.Load();
    EXPECT_EQ(reloaded.Root()->GetName(), u"我的电台");
    EXPECT_EQ(Names(reloaded), (std::vector<std::u16string>{u"Three", u"Two", u"Bob's"}));

    // Moves other than a station into a station group, or a group to the top, are refused.
    Group* root = static_cast<Group*>(reloaded.Root());
    EXPECT_FALSE(reloaded.MoveItem(root->GetFirstChild(), nullptr, nullptr, true, &queue()));
    EXPECT_FALSE(reloaded.MoveItem(root, root->GetFirstChild(), nullptr, true, &queue()));
}

TEST_F(UserRadioMgrTest, UpdateWritesEveryFieldAndNullSpeedLoadsAsZero) {
    CUserRadioMgr fav = Favorites();
    fav.Load();
    CRadio* r = Station(u"Name", u"http://x");
    ASSERT_TRUE(fav.AddItem(r, &queue(), false));
    r->SetName(u"Renamed");
    r->province = u"广东";
    r->Frequency = u"FM97.4";
    r->LastPlayTime = 1234;
    r->Speed = 321;
    EXPECT_TRUE(fav.UpdateItem(r, &queue()));
    fav.RewriteMap(queue());
    queue().Flush();
    {
        CppSQLite3DB db;
        db.Open(DatabasePath());
        db.Execute(u"insert into MyFavorite(id,name,radioUrl,Speed) values(50,'NullSpeed','http://n',NULL)");
        db.Execute(u"insert into FavoriteMap(itemid) values(50)");
        db.Execute(u"insert into MyFavorite(id,name) values(51,'Unmapped')");
        EXPECT_EQ(db.QueryScalar(u"select Speed from MyFavorite where id = 51"), -2);
    }
    CUserRadioMgr again = Favorites();
    again.Load();
    EXPECT_EQ(Names(again), (std::vector<std::u16string>{u"Renamed", u"NullSpeed"}));
    auto* loaded = static_cast<CRadio*>(again.Root()->GetFirstChild());
    EXPECT_EQ(loaded->province, u"广东");
    EXPECT_EQ(loaded->Frequency, u"FM97.4");
    EXPECT_EQ(loaded->LastPlayTime, 1234);
    EXPECT_EQ(loaded->Speed, 321);
    EXPECT_EQ(static_cast<CRadio*>(loaded->GetNext())->Speed, 0);
}

TEST_F(UserRadioMgrTest, ImportsTheCompanionList) {
    EXPECT_EQ(CUserRadioMgr::CompanionListPath(u"/A/B/C/D.exe"), u"/A/LXData.db");
    EXPECT_EQ(CUserRadioMgr::CompanionListPath(u"B/C/D"), u"");

    const std::string path = testsupport::MakeTempDir("companion-list") + "/LXData.db";
    {
        CppSQLite3DB db;
        db.Open(Utf8ToUtf16(path));
        db.Execute(
            u"create table UserRadios(Name text, RadioURL text, WebURL text, IconUrl text, RadioList text,"
            u" Location text, Frequency text, Kind text, CreateTime integer)");
        db.Execute(u"insert into UserRadios values('Old','http://o','w','i','p','上海','FM1','news',0)");
        db.Execute(u"insert into UserRadios values('Dup','http://o','','','','','','',1000)");
    }
    CUserRadioMgr fav = Favorites();
    fav.Load();
    EXPECT_FALSE(fav.ImportCompanionList(Utf8ToUtf16(path + ".missing")));
    const int64_t before = static_cast<int64_t>(time(nullptr));
    ASSERT_TRUE(fav.ImportCompanionList(Utf8ToUtf16(path)));
    queue().Flush();

    CUserRadioMgr again = Favorites();
    again.Load();
    ASSERT_EQ(Names(again), (std::vector<std::u16string>{u"Old", u"Dup"}));
    auto* old = static_cast<CRadio*>(again.Root()->GetFirstChild());
    EXPECT_EQ(old->country, u"中国");
    EXPECT_EQ(old->province, u"上海");
    EXPECT_EQ(old->playbill, u"p");
    EXPECT_EQ(old->kind, u"news");
    EXPECT_GE(old->CreateTime, before);
    EXPECT_EQ(static_cast<CRadio*>(old->GetNext())->CreateTime, 1000);
}
