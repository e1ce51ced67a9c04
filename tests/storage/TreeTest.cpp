// The item model: node types, the container's operations, walking and searching.
#include <gtest/gtest.h>

#include "platform/Paths.h"
#include "platform/Text.h"
#include "storage/DataManagement.h"
#include "storage/Group.h"
#include "storage/MyFile.h"
#include "storage/Radio.h"
#include "tests/support/TestSupport.h"

namespace {

CRadio* Station(std::u16string_view name, int id = 0) {
    return new CRadio(name, u"http://s/" + std::u16string(name), u"", u"", u"", u"", u"", u"", u"", u"", 0,
                      id, 0);
}

// Counts deletions of the nodes it makes.
int g_deleted = 0;
class CountedGroup : public Group {
public:
    using Group::Group;
    ~CountedGroup() override { ++g_deleted; }
};

std::u16string Names(const DataManagement& dm) {
    std::u16string out;
    for (TreeNode* n = dm.First(); n; n = NextInTree(n)) {
        if (!out.empty()) out += u",";
        out += n->GetName();
    }
    return out;
}

// Tree used by several tests:
//   A (group) -> a1, a2 (stations)
//   B (group) -> B1 (group) -> b1 (station)
//   C (group, empty)
class TreeFixture : public ::testing::Test {
protected:
    void SetUp() override {
        A = new Group(u"A", 1);
        B = new Group(u"B", 2);
        B1 = new Group(u"B1", 3);
        C = new Group(u"C", 4);
        a1 = Station(u"a1");
        a2 = Station(u"a2");
        b1 = Station(u"b1");
        ASSERT_TRUE(dm.Append(A, nullptr, nullptr));
        ASSERT_TRUE(dm.Append(B, nullptr, nullptr));
        ASSERT_TRUE(dm.Append(C, nullptr, nullptr));
        ASSERT_TRUE(dm.Append(a1, A, nullptr));
        ASSERT_TRUE(dm.Append(a2, A, nullptr));
        ASSERT_TRUE(dm.Append(B1, B, nullptr));
        ASSERT_TRUE(dm.Append(b1, B1, nullptr));
    }

    DataManagement dm;
    TreeNode *A, *B, *B1, *C, *a1, *a2, *b1;
};

TEST(Nodes, TypesAndChildTypes) {
    Group g(u"g", 1);
    CRadio r;
    MyFile f(u"/m/x.mp3", 1, 0);
    EXPECT_EQ(g.GetType(), TYPE_GROUP);
    EXPECT_EQ(r.GetType(), TYPE_RADIO);
    EXPECT_EQ(f.GetType(), TYPE_FILE);
    EXPECT_EQ(g.GetChildType(), -1);
    EXPECT_EQ(r.GetChildType(), 0);
    EXPECT_EQ(f.GetChildType(), 0);
    EXPECT_EQ(g.GetUrl(), u"");
    EXPECT_EQ(f.GetUrl(), u"/m/x.mp3");
}

TEST(Nodes, RadioConstructionAndCopy) {
    CRadio empty;
    EXPECT_EQ(empty.id, 0);
    EXPECT_EQ(empty.LastPlayTime, 0);
    EXPECT_GT(empty.CreateTime, 1600000000);
    EXPECT_TRUE(empty.radioUrl.empty());

    CRadio full(u"Name", u"http://u", u"http://w", u"http://i", u"http://p", u"中国", u"省", u"市",
                u"97.4MHz", u"music", 0, 42, 1234);
    EXPECT_EQ(full.GetName(), u"Name");
    EXPECT_EQ(full.GetUrl(), u"http://u");
    EXPECT_EQ(full.Frequency, u"97.4MHz");
    EXPECT_EQ(full.id, 42);
    EXPECT_EQ(full.LastPlayTime, 1234);
    EXPECT_GT(full.CreateTime, 1600000000);  // 0 became now
    EXPECT_EQ(full.Speed, -2);
    EXPECT_EQ(full.listenerCount, 0u);

    full.Speed = 350;
    full.listenerCount = 9;
    DataManagement dm;
    Group* g = new Group(u"g", 1);
    CRadio* placed = new CRadio();
    dm.Append(g, nullptr, nullptr);
    dm.Append(placed, g, nullptr);
    placed->CopyFrom(full);
    EXPECT_EQ(placed->GetName(), u"Name");
    EXPECT_EQ(placed->webUrl, u"http://w");
    EXPECT_EQ(placed->playbill, u"http://p");
    EXPECT_EQ(placed->kind, u"music");
    EXPECT_EQ(placed->Speed, 350);
    EXPECT_EQ(placed->listenerCount, 9u);
    EXPECT_EQ(placed->id, 42);
    EXPECT_EQ(placed->GetParent(), g);  // keeps its own place
    EXPECT_EQ(g->firstChild, placed);
}

TEST(Nodes, GroupAcceptsOnlyTheKindItHolds) {
    DataManagement dm;
    Group* g = new Group(u"g", 1);
    ASSERT_TRUE(dm.Append(g, nullptr, nullptr));
    ASSERT_TRUE(dm.Append(Station(u"s"), g, nullptr));
    Group sub(u"sub", 2);
    MyFile file(u"/x.mp3", 1, 0);
    EXPECT_FALSE(dm.Append(&sub, g, nullptr));
    EXPECT_FALSE(dm.Append(&file, g, nullptr));
    EXPECT_FALSE(dm.InsertFirst(&file, g));
    EXPECT_EQ(sub.GetParent(), nullptr);  // left alone, still the caller's
    CRadio inner;
    EXPECT_FALSE(dm.Append(&inner, g->firstChild, nullptr));  // a station takes no children
    EXPECT_FALSE(dm.Append(nullptr, nullptr, nullptr));
}

TEST(Nodes, MyFileName) {
    struct Case {
        const char16_t* path;
        const char16_t* name;
    };
    const Case cases[] = {
        {u"C:\\music\\song.mp3", u"song"},     {u"song", u"song"},
        {u"/home/u/a.b.wav", u"a.b"},          {u"/home/u.v/track", u"track"},
        {u"/x/Don't Stop.mp3", u"Don't Stop"}, {u"/x/.hidden", u""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MyFile(c.path, 1, 0).GetName(), c.name) << Utf16ToUtf8(c.path);
    }
}

TEST(Nodes, MyFileSetNameRenamesOnDisk) {
    const std::string dir = testsupport::MakeTempDir("rename.d");
    struct Case {
        std::string file;
        std::u16string newName;
        std::string expected;
    };
    const Case cases[] = {
        {"song.mp3", u"tune", "tune.mp3"},
        {"noext", u"renamed", "renamed"},
        {"Bob's.wav", u"It's", "It's.wav"},
    };
    for (const Case& c : cases) {
        testsupport::WriteFile(dir + "/" + c.file, "data");
        MyFile f(Utf8ToUtf16(dir + "/" + c.file), 1, 0);
        EXPECT_TRUE(f.SetName(c.newName));
        EXPECT_EQ(f.text, Utf8ToUtf16(dir + "/" + c.expected));
        EXPECT_EQ(testsupport::ReadFile(dir + "/" + c.expected), "data");
        EXPECT_FALSE(PathExists(Utf8ToUtf16(dir + "/" + c.file)));
    }
}

TEST(Nodes, MyFileSetNameRefusals) {
    const std::string dir = testsupport::MakeTempDir("refuse");
    testsupport::WriteFile(dir + "/a.mp3", "a");
    testsupport::WriteFile(dir + "/b.mp3", "b");
    MyFile f(Utf8ToUtf16(dir + "/a.mp3"), 1, 0);
    EXPECT_FALSE(f.SetName(u"b"));  // never replaces another file
    EXPECT_FALSE(f.SetName(u""));
    EXPECT_FALSE(f.SetName(u"sub/c"));
    EXPECT_EQ(testsupport::ReadFile(dir + "/b.mp3"), "b");
    EXPECT_EQ(f.text, Utf8ToUtf16(dir + "/a.mp3"));
    MyFile gone(Utf8ToUtf16(dir + "/missing.mp3"), 2, 0);
    EXPECT_FALSE(gone.SetName(u"other"));
    EXPECT_EQ(gone.text, Utf8ToUtf16(dir + "/missing.mp3"));
}

TEST_F(TreeFixture, WalkingInDepthFirstOrder) {
    EXPECT_EQ(Names(dm), u"A,a1,a2,B,B1,b1,C");
    EXPECT_EQ(dm.Last(), C);
    EXPECT_EQ(NextInTree(b1), C);
    EXPECT_EQ(NextInTree(C), nullptr);
    EXPECT_EQ(PrevInTree(B), a2);
    EXPECT_EQ(PrevInTree(C), b1);
    EXPECT_EQ(PrevInTree(a1), A);
    EXPECT_EQ(PrevInTree(A), nullptr);
    EXPECT_EQ(NextOfType(A, TYPE_RADIO), a1);
    EXPECT_EQ(NextOfType(a2, TYPE_RADIO), b1);  // skips the groups B and B1
    EXPECT_EQ(NextOfType(b1, TYPE_RADIO), nullptr);
    EXPECT_EQ(NextOfType(a2, TYPE_GROUP | TYPE_FILE), B);
    EXPECT_EQ(PrevOfType(b1, TYPE_RADIO), a2);
    EXPECT_EQ(PrevOfType(a1, TYPE_RADIO), nullptr);
    EXPECT_EQ(NextOfType(a1, TYPE_RADIO), a2);  // the start itself is never returned
}

TEST_F(TreeFixture, LastDescendsIntoTheLastTopLevelNode) {
    TreeNode* c1 = Station(u"c1");
    ASSERT_TRUE(dm.Append(c1, C, nullptr));
    EXPECT_EQ(dm.Last(), c1);
}

TEST_F(TreeFixture, AppendBehindAfter) {
    TreeNode* a15 = Station(u"a1.5");
    ASSERT_TRUE(dm.Append(a15, A, a1));
    EXPECT_EQ(Names(dm), u"A,a1,a1.5,a2,B,B1,b1,C");
    EXPECT_EQ(a2->prev, a15);
    // At the top level `after` is not used: the node goes last.
    TreeNode* D = new Group(u"D", 5);
    ASSERT_TRUE(dm.Append(D, nullptr, A));
    EXPECT_EQ(Names(dm), u"A,a1,a1.5,a2,B,B1,b1,C,D");
}

TEST_F(TreeFixture, AppendWithForeignAfterDeletesTheNode) {
    g_deleted = 0;
    CountedGroup* g = new CountedGroup(u"x", 9);
    EXPECT_FALSE(dm.Append(g, B, a1));  // a1 is A's child, not B's
    EXPECT_EQ(g_deleted, 1);
    EXPECT_EQ(Names(dm), u"A,a1,a2,B,B1,b1,C");
}

TEST_F(TreeFixture, InsertFirst) {
    TreeNode* a0 = Station(u"a0");
    ASSERT_TRUE(dm.InsertFirst(a0, A));
    EXPECT_EQ(A->firstChild, a0);
    EXPECT_EQ(a0->next, a1);
    EXPECT_EQ(a1->prev, a0);
    TreeNode* Z = new Group(u"Z", 8);
    ASSERT_TRUE(dm.InsertFirst(Z, nullptr));
    EXPECT_EQ(dm.First(), Z);
    EXPECT_EQ(Names(dm), u"Z,A,a0,a1,a2,B,B1,b1,C");
}

TEST_F(TreeFixture, UnlinkSecondTopLevelNodeKeepsItsChildren) {
    ASSERT_TRUE(dm.Unlink(B));
    EXPECT_EQ(A->next, C);
    EXPECT_EQ(C->prev, A);
    EXPECT_EQ(B->next, nullptr);
    EXPECT_EQ(B->prev, nullptr);
    EXPECT_EQ(B->firstChild, B1);
    EXPECT_EQ(Names(dm), u"A,a1,a2,C");
    // An unlinked top-level node is not in the tree any more.
    EXPECT_FALSE(dm.Unlink(B));
    EXPECT_FALSE(dm.Unlink(nullptr));
    DeleteSubtree(B);
}

TEST_F(TreeFixture, UnlinkFirstNodes) {
    ASSERT_TRUE(dm.Unlink(a1));
    EXPECT_EQ(A->firstChild, a2);
    EXPECT_EQ(a2->prev, nullptr);
    delete a1;
    ASSERT_TRUE(dm.Unlink(A));
    EXPECT_EQ(dm.First(), B);
    DeleteSubtree(A);
}

TEST_F(TreeFixture, RemoveAndClearDeleteDescendants) {
    g_deleted = 0;
    CountedGroup* deep = new CountedGroup(u"deep", 10);
    ASSERT_TRUE(dm.Append(deep, C, nullptr));
    ASSERT_TRUE(dm.Remove(C));
    EXPECT_EQ(g_deleted, 1);
    EXPECT_EQ(Names(dm), u"A,a1,a2,B,B1,b1");
    EXPECT_TRUE(dm.Clear());
    EXPECT_EQ(dm.First(), nullptr);
    EXPECT_EQ(dm.Last(), nullptr);
}

TEST_F(TreeFixture, MoveBeforeAndBehind) {
    ASSERT_TRUE(dm.Move(a2, A, a1, false));
    EXPECT_EQ(Names(dm), u"A,a2,a1,B,B1,b1,C");
    EXPECT_EQ(A->firstChild, a2);
    ASSERT_TRUE(dm.Move(a2, A, a1, true));
    EXPECT_EQ(Names(dm), u"A,a1,a2,B,B1,b1,C");
    ASSERT_TRUE(dm.Move(C, nullptr, A, false));
    EXPECT_EQ(Names(dm), u"C,A,a1,a2,B,B1,b1");
    EXPECT_EQ(dm.First(), C);
    ASSERT_TRUE(dm.Move(C, nullptr, nullptr, false));
    EXPECT_EQ(Names(dm), u"A,a1,a2,B,B1,b1,C");
    ASSERT_TRUE(dm.Move(a1, A, a1, false));      // onto itself: nothing changes
    ASSERT_TRUE(dm.Move(b1, C, nullptr, true));  // into the empty group
    EXPECT_EQ(Names(dm), u"A,a1,a2,B,B1,C,b1");
}

TEST_F(TreeFixture, RefusedMovesChangeNothing) {
    EXPECT_FALSE(dm.Move(B1, A, nullptr, true));  // A holds stations
    EXPECT_FALSE(dm.Move(a1, B, b1, true));       // b1 is not B's child
    EXPECT_FALSE(dm.Move(B, B1, nullptr, true));  // into its own subtree
    EXPECT_FALSE(dm.Move(nullptr, A, a1, true));
    EXPECT_EQ(Names(dm), u"A,a1,a2,B,B1,b1,C");
}

TEST_F(TreeFixture, FindTextStartRules) {
    // The only match is the first node: a forward search without start never examines it.
    EXPECT_EQ(dm.FindText(u"a", nullptr, 1), a1);
    EXPECT_EQ(dm.FindText(u"x", nullptr, 1), nullptr);
    DataManagement single;
    single.Append(new Group(u"Only", 1), nullptr, nullptr);
    single.Append(new Group(u"Other", 2), nullptr, nullptr);
    EXPECT_EQ(single.FindText(u"only", nullptr, 1), nullptr);
    // Backward without start never examines the last node.
    EXPECT_EQ(single.FindText(u"other", nullptr, 0), nullptr);
    EXPECT_EQ(single.FindText(u"ONLY", nullptr, 0), single.First());
    // From a start, in both directions, ignoring case.
    EXPECT_EQ(dm.FindText(u"B", a2, 1), B);
    EXPECT_EQ(dm.FindText(u"A", C, 0), a2);
    EXPECT_EQ(dm.FindText(u"a", a1, 2), nullptr);
    DataManagement empty;
    EXPECT_EQ(empty.FindText(u"a", nullptr, 1), nullptr);
}

TEST_F(TreeFixture, FindByNameStartsWithTheStart) {
    EXPECT_EQ(dm.FindByName(u"B1", B1), B1);
    EXPECT_EQ(dm.FindByName(u"A", nullptr), A);
    EXPECT_EQ(dm.FindByName(u"a", nullptr), nullptr);  // case counts
    EXPECT_EQ(dm.FindByName(u"a1", a2), nullptr);      // only from the start on
    EXPECT_EQ(dm.FindByName(u"C", a2), C);
    DataManagement empty;
    EXPECT_EQ(empty.FindByName(u"A", nullptr), nullptr);
}

TEST(Container, SaveCreatesTheNamedFile) {
    const std::string dir = testsupport::MakeTempDir("save");
    DataManagement dm;
    EXPECT_TRUE(dm.Load());
    EXPECT_FALSE(dm.Save());
    dm.Append(new Group(u"g", 1), nullptr, nullptr);
    EXPECT_FALSE(dm.Save());  // no file name
    EXPECT_TRUE(dm.SetFileName(Utf8ToUtf16(dir + "/list.dat")));
    testsupport::WriteFile(dir + "/list.dat", "old");
    EXPECT_TRUE(dm.Save());
    EXPECT_EQ(testsupport::ReadFile(dir + "/list.dat"), "");
    EXPECT_TRUE(dm.SetFileName(Utf8ToUtf16(dir + "/no/such/list.dat")));
    EXPECT_FALSE(dm.Save());
}

}  // namespace
