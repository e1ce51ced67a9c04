#include <gtest/gtest.h>

#include "platform/Text.h"
#include "storage/CppSQLite3DB.h"
#include "storage/DatabasePath.h"
#include "storage/FileDataManagement.h"
#include "storage/Group.h"
#include "storage/MyFile.h"
#include "storage/SqlWriteQueue.h"
#include "tests/storage/StoresFixtures.h"

namespace {

int Rows(const std::u16string& sql) {
    CppSQLite3DB db;
    db.Open(DatabasePath());
    return db.QueryScalar(sql);
}

std::vector<int> TopIds(const CFileDataManagement& m) {
    std::vector<int> out;
    for (TreeNode* g = m.First(); g; g = g->GetNext()) out.push_back(g->id);
    return out;
}

std::vector<std::u16string> Paths(const TreeNode* group) {
    std::vector<std::u16string> out;
    for (TreeNode* f = group->GetFirstChild(); f; f = f->GetNext()) out.push_back(f->GetUrl());
    return out;
}

class FileDataManagementTest : public ::testing::Test {
protected:
    void SetUp() override {
        storesfixtures::UseFreshDatabase(::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    SqlWriteQueue& queue() { return SqlWriteQueue::Instance(); }
};

}  // namespace

TEST_F(FileDataManagementTest, FirstStartHasOnlyTheEmptyDefaultGroup) {
    CFileDataManagement files;
    ASSERT_TRUE(files.Load());
    ASSERT_NE(files.First(), nullptr);
    EXPECT_EQ(files.First()->GetName(), u"默认分组");
    EXPECT_EQ(files.First()->id, 1);
    EXPECT_EQ(files.First()->GetFirstChild(), nullptr);
    EXPECT_EQ(files.First()->GetNext(), nullptr);
    EXPECT_TRUE(files.Save());
}

TEST_F(FileDataManagementTest, GroupIdsKeepStoredValuesAndContinueAboveTheHighest) {
    {
        CFileDataManagement files;
        files.Load();
    }
    {
        CppSQLite3DB db;
        db.Open(DatabasePath());
        db.Execute(u"insert into FileGroup(id,parentid,name) values(2,0,'Two')");
        db.Execute(u"insert into FileGroup(id,parentid,name) values(3,0,'Three')");
        db.Execute(u"insert into FileGroup(id,parentid,name) values(5,99,'Five')");   // parent unknown: shown
        db.Execute(u"insert into FileGroup(id,parentid,name) values(4,2,'Nested')");  // parent loaded: hidden
        db.Execute(u"insert into FileList(id,parentid,LastPlayTime,path) values(9,4,0,'/m/hidden.mp3')");
        db.Execute(u"insert into PlaylistMap(groupid,fileid) values(4,9)");
    }
    CFileDataManagement files;
    files.Load();
    EXPECT_EQ(TopIds(files), (std::vector<int>{1, 2, 3, 5}));
    EXPECT_EQ(files.FindGroupById(4), nullptr);
    EXPECT_EQ(files.FindGroupById(0), nullptr);
    auto* added = new Group(u"New", 0);
    ASSERT_TRUE(files.AddNode(added, nullptr, nullptr, true, &queue()));
    EXPECT_EQ(added->id, 6);
    // Files only under groups, groups only at the top.
    auto* file = new MyFile(u"/m/x.mp3", 0, 0);
    EXPECT_FALSE(files.AddNode(file, nullptr, nullptr, true, &queue()));
    auto* group = new Group(u"Inner", 0);
    EXPECT_FALSE(files.AddNode(group, added, nullptr, true, &queue()));
    delete file;
    delete group;
    // Writing without a queue takes the node out again.
    EXPECT_FALSE(files.AddNode(new Group(u"Unwritten", 0), nullptr, nullptr, true, nullptr));
    EXPECT_EQ(TopIds(files), (std::vector<int>{1, 2, 3, 5, 6}));
}

TEST_F(FileDataManagementTest, FilesRoundTripInListOrderAndGroupDeletesQueueThree) {
    CFileDataManagement files;
    files.Load();
    Group* def = files.FindGroupById(1);
    auto* work = new Group(u"Bob's list", 0);
    ASSERT_TRUE(files.AddNode(work, nullptr, nullptr, true, &queue()));
    for (const char16_t* p : {u"/m/a.mp3", u"/m/b.wav", u"/m/c.wma"}) {
        ASSERT_TRUE(files.AddNode(new MyFile(p, 0, 0), work, nullptr, true, &queue()));
    }
    ASSERT_TRUE(files.InsertFirst(new MyFile(u"/m/first.mp3", 0, 0), def));
    ASSERT_TRUE(files.AddNode(new MyFile(u"/m/d.mp3", 0, 0), def, nullptr, true, &queue()));
    EXPECT_EQ(def->GetFirstChild()->id, 4);
    // Move c to the front of its list and play it.
    TreeNode* c = work->GetLastChild();
    ASSERT_TRUE(files.MoveNode(c, work, work->GetFirstChild(), false, &queue()));
    static_cast<MyFile*>(c)->LastPlayTime = 777;
    EXPECT_TRUE(files.UpdateNode(c, &queue()));
    // A file may not move to the top level.
    EXPECT_FALSE(files.MoveNode(c, nullptr, nullptr, true, &queue()));
    files.RewriteGroupMap(work);
    files.RewriteGroupMap(def);
    queue().Flush();

    CFileDataManagement again;
    again.Load();
    ASSERT_EQ(TopIds(again), (std::vector<int>{1, 2}));
    EXPECT_EQ(again.FindGroupById(2)->GetName(), u"Bob's list");
    EXPECT_EQ(Paths(again.FindGroupById(2)),
              (std::vector<std::u16string>{u"/m/c.wma", u"/m/a.mp3", u"/m/b.wav"}));
    EXPECT_EQ(Paths(again.FindGroupById(1)), (std::vector<std::u16string>{u"/m/first.mp3", u"/m/d.mp3"}));
    EXPECT_EQ(static_cast<MyFile*>(again.FindGroupById(2)->GetFirstChild())->LastPlayTime, 777);
    // The counter continues above the stored files.
    auto* more = new MyFile(u"/m/e.mp3", 0, 0);
    ASSERT_TRUE(again.AddNode(more, again.FindGroupById(1), nullptr, false, nullptr));
    EXPECT_EQ(more->id, 6);

    ASSERT_TRUE(again.DeleteNode(again.FindGroupById(2), &queue()));
    EXPECT_EQ(queue().PendingCount(), 3u);
    queue().Flush();
    EXPECT_EQ(Rows(u"select count(*) from FileGroup"), 0);
    EXPECT_EQ(Rows(u"select count(*) from FileList"), 2);  // the default group's files stay
    EXPECT_EQ(Rows(u"select count(*) from PlaylistMap where groupid = 2"), 0);
}
