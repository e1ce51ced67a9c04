#include <gtest/gtest.h>

#include <map>

#include "platform/Paths.h"
#include "platform/Text.h"
#include "storage/Config.h"
#include "storage/CppSQLite3DB.h"
#include "storage/DatabasePath.h"
#include "storage/Group.h"
#include "storage/Radio.h"
#include "storage/RadioManagement.h"
#include "storage/SqlWriteQueue.h"
#include "tests/storage/StoresFixtures.h"
#include "tests/support/TestSupport.h"

using storesfixtures::UseFreshDatabase;
using storesfixtures::WriteUtf16File;

namespace {

std::u16string U(const std::string& s) {
    return Utf8ToUtf16(s);
}

// A station line of `length` UTF-16 units.
std::string PaddedChannelLine(int key, size_t length) {
    const std::string head = std::to_string(key) + "," + std::to_string(key) + ",";
    const std::string tail = ",https://pad/" + std::to_string(key) + ",11,北京,1,5,FM,x";
    // The two Chinese characters are one UTF-16 unit each but three UTF-8 bytes.
    const size_t units = head.size() + tail.size() - 4;
    return head + std::string(length - units, 'p') + tail;
}

// One small package covering the import's edge cases.
std::string WritePackageFixture() {
    const std::string dir = testsupport::MakeTempDir("package-fixture");
    std::string channels =
        "channel_key,key,name,url,location_key,location_name,switch,weight,hz,update_time\r\n"
        "101,1,Switch0,http://a/x.m3u8,11,北京,0,5,FM1,x\r\n"
        "102,2,HttpM3u8,http://a/live.m3u8,11,北京,1,5,FM2,x\r\n"
        "103,3,HttpMp3,http://a/live.mp3,11,北京,1,5,FM3,x\r\n"
        "104,4,Mmst,mmst://a/live,11,北京,1,5,FM4,x\r\n"
        "105,5,Rtmp,rtmp://a/live,11,北京,1,5,FM5,x\r\n"
        "106,6,Mms,mms://a/live,11,北京,1,5,FM6,x\r\n"
        "107,7,Https,https://a/live.aac,31,上海,1,7,FM7,x\r\n"
        "108,8,,http://a/shift.m3u8,11,北京,1,5,FM8,x,extra\r\n"
        "109,2,Duplicate,https://a/dup,11,北京,1,5,FM9,x\r\n"
        "110,10,Bob's FM,https://a/bob,31,上海,1,5,FM10,x\r\n"
        "111,11,Recommended,https://a/rec,42,推荐,1,5,FM11,x\r\n"
        "112,12,Network,https://a/net,1,网络,1,5,FM12,x\r\n"
        "113,13,Short,https://a/short,11,北京,1,5,FM13\r\n"
        "114,14,Unlisted,https://a/unlisted,77,无,1,5,FM14,x\r\n";
    // A CR before the LF counts as part of the line.
    channels += PaddedChannelLine(15, 1022) + "\r\n";
    channels += PaddedChannelLine(16, 1024) + "\n";
    channels += "117,17,AfterLongLine,https://a/after,11,北京,1,5,FM17,x\r\n";
    WriteUtf16File(dir + "/channel.txt", channels);
    WriteUtf16File(
        dir + "/location.txt",
        "key,name,index\r\n42,推荐,9\r\n1,网络,9\r\n11,北京,9\r\n31,上海,9\r\n5,X,3\r\n33,Tail\r\n");
    WriteUtf16File(dir + "/category.txt", "key,name,index\r\n3,News,4\r\n7,Music,2\r\n");
    WriteUtf16File(dir + "/category_map.txt",
                   "key,channel_key,channel_name,category_key,category_name\r\n"
                   "1,106,MappedMms,3,News\r\n"
                   "2,107,MappedHttps,7,Music\r\n"
                   "3,999,NoSuchChannel,7,Music\r\n"
                   "4,102,TooShort\r\n");
    return dir;
}

struct ChannelRow {
    int channelKey = 0;
    std::u16string name, url, locationName, hz;
    int locationKey = 0, weight = 0;
};

std::map<int, ChannelRow> ReadChannels() {
    CppSQLite3DB db;
    db.Open(DatabasePath());
    std::map<int, ChannelRow> rows;
    for (CppSQLite3Query q = db.Query(u"select * from channel_v2"); !q.AtEnd(); q.NextRow()) {
        ChannelRow r;
        r.channelKey = q.IntField(u"channel_key");
        r.name = q.TextField(u"name");
        r.url = q.TextField(u"url");
        r.locationKey = q.IntField(u"location_key");
        r.locationName = q.TextField(u"location_name");
        r.weight = q.IntField(u"weight");
        r.hz = q.TextField(u"hz");
        rows[q.IntField(u"key")] = r;
    }
    return rows;
}

int Count(const char16_t* sql) {
    CppSQLite3DB db;
    db.Open(DatabasePath());
    return db.QueryScalar(sql);
}

std::vector<TreeNode*> Children(const TreeNode* n) {
    std::vector<TreeNode*> out;
    for (TreeNode* c = n ? n->GetFirstChild() : nullptr; c; c = c->GetNext()) out.push_back(c);
    return out;
}

class RadioManagementTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseFreshDatabase(::testing::UnitTest::GetInstance()->current_test_info()->name());
    }

    void Import(const std::string& folder) {
        CRadioManagement store;
        store.QueueCatalogueDelete();
        store.ImportPackageFolder(U(folder));
    }
};

}  // namespace

TEST_F(RadioManagementTest, ImportFollowsTheLineRules) {
    Import(WritePackageFixture());
    const auto rows = ReadChannels();
    struct Case {
        int key;
        bool imported;
        const char* name;
        const char* url;
        const char* what;
    };
    const Case cases[] = {
        {1, false, "", "", "switch 0"},
        {2, true, "HttpM3u8", "http://a/live.m3u8", "http with m3u8"},
        {3, false, "", "", "http without m3u8"},
        {4, false, "", "", "mmst"},
        {5, false, "", "", "rtmp"},
        {6, true, "Mms", "mms://a/live", "mms"},
        {7, true, "Https", "https://a/live.aac", "https"},
        {8, true, "http://a/shift.m3u8", "11", "an empty field shifts the rest"},
        {10, true, "Bob's FM", "https://a/bob", "a single quote in the name"},
        {11, true, "Recommended", "https://a/rec", "recommended location"},
        {12, true, "Network", "https://a/net", "network location"},
        {13, false, "", "", "fewer than ten fields"},
        {15, true, nullptr, "https://pad/15", "a line of 1023 units"},
        {16, false, "", "", "a line of 1024 units"},
        {17, false, "", "", "after the 1024-unit line"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto it = rows.find(c.key);
        ASSERT_EQ(it != rows.end(), c.imported);
        if (!c.imported) continue;
        if (c.name) {
            EXPECT_EQ(it->second.name, U(c.name));
        }
        EXPECT_EQ(it->second.url, U(c.url));
    }
    // The duplicate key keeps the first line.
    EXPECT_EQ(rows.at(2).name, u"HttpM3u8");
    EXPECT_EQ(rows.at(2).channelKey, 102);
    // The shifted line lands exactly where its fields say.
    EXPECT_EQ(rows.at(8).locationKey, 0);
    EXPECT_EQ(rows.at(8).locationName, u"1");
    EXPECT_EQ(rows.at(8).weight, 0);
    EXPECT_EQ(rows.at(8).hz, u"x");
    EXPECT_EQ(rows.at(7).weight, 7);
    EXPECT_EQ(rows.at(7).hz, u"FM7");
    EXPECT_EQ(rows.size(), 9u);

    CppSQLite3DB db;
    db.Open(DatabasePath());
    // "5,X,3" gives key 5, name X and index 0; a CR before the LF stays in the last field.
    CppSQLite3Query loc = db.Query(u"select * from location_v2 where key = 5");
    EXPECT_EQ(loc.TextField(u"name"), u"X");
    EXPECT_EQ(loc.IntField(u"index_"), 0);
    EXPECT_EQ(db.Query(u"select * from location_v2 where key = 33").TextField(u"name"), u"Tail\r");
    EXPECT_EQ(db.Query(u"select * from category_v2 where key = 3").IntField(u"index_"), 4);
    EXPECT_EQ(Count(u"select count(*) from channel_category_map_v2"), 3);
}

TEST_F(RadioManagementTest, LoadBuildsTheFourRoots) {
    Import(WritePackageFixture());
    CRadioManagement store;
    store.SetBundledPackageFile({});
    ASSERT_TRUE(store.Load());

    std::vector<TreeNode*> roots;
    for (TreeNode* n = store.First(); n; n = n->GetNext()) roots.push_back(n);
    ASSERT_EQ(roots.size(), 4u);
    EXPECT_EQ(roots[0]->GetName(), u"推荐电台");
    EXPECT_EQ(roots[0]->id, 2000042);
    EXPECT_EQ(roots[1]->GetName(), u"网络电台");
    EXPECT_EQ(roots[1]->id, 2000001);
    EXPECT_EQ(roots[2]->GetName(), u"地域电台");
    EXPECT_EQ(roots[2]->id, 2000000);
    EXPECT_EQ(roots[3]->GetName(), u"主题电台");
    EXPECT_EQ(roots[3]->id, 1000000);

    const auto recommended = Children(roots[0]);
    ASSERT_EQ(recommended.size(), 1u);
    EXPECT_EQ(recommended[0]->GetName(), u"Recommended");
    EXPECT_EQ(recommended[0]->id, 11);
    const auto network = Children(roots[1]);
    ASSERT_EQ(network.size(), 1u);
    EXPECT_EQ(network[0]->id, 12);
    auto* net = static_cast<CRadio*>(network[0]);
    EXPECT_EQ(net->Speed, 0);
    EXPECT_EQ(net->LastPlayTime, 0);
    EXPECT_EQ(net->GetUrl(), u"https://a/net");

    // Locations 42 and 1 are no region groups; a location without stations still is one.
    std::vector<int> regionIds;
    for (TreeNode* g : Children(roots[2])) regionIds.push_back(g->id);
    EXPECT_EQ(regionIds, (std::vector<int>{2000005, 2000011, 2000031, 2000033}));
    Group* beijing = store.FindGroup(2000011);
    ASSERT_NE(beijing, nullptr);
    std::vector<int> beijingIds;
    for (TreeNode* r : Children(beijing)) {
        beijingIds.push_back(r->id);
        EXPECT_EQ(static_cast<CRadio*>(r)->province, u"北京");
    }
    EXPECT_EQ(beijingIds, (std::vector<int>{2, 6, 15}));

    // Theme stations carry the channel key and the map's name; unknown channels are left out.
    Group* news = store.FindGroup(1000003);
    ASSERT_NE(news, nullptr);
    const auto newsStations = Children(news);
    ASSERT_EQ(newsStations.size(), 1u);
    EXPECT_EQ(newsStations[0]->id, 106);
    EXPECT_EQ(newsStations[0]->GetName(), u"MappedMms");
    EXPECT_EQ(newsStations[0]->GetUrl(), u"mms://a/live");
    ASSERT_NE(store.FindGroup(1000007), nullptr);
    EXPECT_EQ(Children(store.FindGroup(1000007)).size(), 1u);

    EXPECT_EQ(store.FindGroup(11), nullptr);
    EXPECT_EQ(store.FindGroup(2000042), roots[0]);
}

TEST_F(RadioManagementTest, RecommendedStationsNeedTheirLocationRow) {
    const std::string dir = testsupport::MakeTempDir("package-no-42");
    WriteUtf16File(dir + "/channel.txt",
                   "h\n1,1,Rec,https://a/rec,42,推荐,1,5,FM,x\n2,2,Net,https://a/n,1,网络,1,5,FM,x\n");
    WriteUtf16File(dir + "/location.txt", "h\n1,网络\n");
    WriteUtf16File(dir + "/category.txt", "h\n1,News,1\n");
    WriteUtf16File(dir + "/category_map.txt", "h\n1,1,Rec,1,News\n");
    Import(dir);
    CRadioManagement store;
    store.SetBundledPackageFile({});
    store.Load();
    EXPECT_TRUE(Children(store.FindGroup(2000042)).empty());
    EXPECT_EQ(Children(store.FindGroup(2000001)).size(), 1u);
}

TEST_F(RadioManagementTest, AFirstStartWithoutAnyPackageHasFourEmptyRoots) {
    CConfig::Instance().Version = 7;
    CRadioManagement store;
    store.SetBundledPackageFile({});
    {
        CppSQLite3DB db;
        db.Open(DatabasePath());
        EXPECT_TRUE(store.NeedsImport(&db));
    }
    EXPECT_FALSE(store.NeedsImport(nullptr));
    ASSERT_TRUE(store.Load());
    int roots = 0;
    for (TreeNode* n = store.First(); n; n = n->GetNext(), ++roots) EXPECT_EQ(n->GetFirstChild(), nullptr);
    EXPECT_EQ(roots, 4);
    EXPECT_EQ(CConfig::Instance().Version, 0);
    EXPECT_EQ(Count(u"select count(*) from sqlite_master where type='table' and name like '%_v2'"), 4);
}

TEST_F(RadioManagementTest, AFirstStartImportsTheBundledPackage) {
    const std::string bundled = testsupport::BinDir() + "/data/radio_resource.zip";
    ASSERT_TRUE(IsRegularFile(U(bundled))) << bundled;
    CRadioManagement store;
    store.SetBundledPackageFile(U(bundled));
    ASSERT_TRUE(store.Load());
    EXPECT_GT(Children(store.First()).size(), 0u);
    EXPECT_GT(Children(store.FindGroup(CRadioManagement::kRegionRootId)).size(), 0u);
    EXPECT_GT(Children(store.FindGroup(CRadioManagement::kThemeRootId)).size(), 0u);
    const int stations = Count(u"select count(*) from channel_v2");
    EXPECT_GT(stations, 0);

    // A catalogue that is not empty is not imported again, and keeps its package version.
    CConfig::Instance().Version = 3;
    CppSQLite3DB db;
    db.Open(DatabasePath());
    db.Execute(u"delete from channel_v2 where key = 1");
    db.Close();
    CRadioManagement again;
    again.SetBundledPackageFile(U(bundled));
    again.Load();
    EXPECT_EQ(Count(u"select count(*) from channel_v2"), stations - 1);
    EXPECT_EQ(CConfig::Instance().Version, 3);
}

TEST_F(RadioManagementTest, TheCompanionPackageWinsOverTheBundledOne) {
    const std::string pkg = testsupport::MakeTempDir("companion-src");
    WriteUtf16File(pkg + "/channel.txt", "h\n1,1,Companion,https://c/1,1,网络,1,5,FM,x\n");
    WriteUtf16File(pkg + "/location.txt", "h\n1,网络\n");
    WriteUtf16File(pkg + "/category.txt", "h\n1,News,1\n");
    WriteUtf16File(pkg + "/category_map.txt", "h\n1,1,Companion,1,News\n");
    const std::string zip = Utf16ToUtf8(CompanionPackageFile());
    ASSERT_TRUE(EnsureDirectory(ParentPath(U(zip))));
    storesfixtures::WriteZip(zip, {{"channel.txt", testsupport::ReadFile(pkg + "/channel.txt")},
                                   {"location.txt", testsupport::ReadFile(pkg + "/location.txt")},
                                   {"category.txt", testsupport::ReadFile(pkg + "/category.txt")},
                                   {"category_map.txt", testsupport::ReadFile(pkg + "/category_map.txt")}});
    CRadioManagement store;
    store.SetBundledPackageFile(U(testsupport::BinDir() + "/data/radio_resource.zip"));
    ASSERT_TRUE(store.Load());
    const auto network = Children(store.FindGroup(CRadioManagement::kNetworkRootId));
    ASSERT_EQ(network.size(), 1u);
    EXPECT_EQ(network[0]->GetName(), u"Companion");
    EXPECT_EQ(Count(u"select count(*) from channel_v2"), 1);
    // The companion's zip stays and nothing is unpacked into its folder.
    EXPECT_TRUE(IsRegularFile(U(zip)));
    EXPECT_FALSE(PathExists(CompanionPackageFolder()));
    RemoveDirectoryTree(ParentPath(U(zip)));
}

TEST_F(RadioManagementTest, AReimportReplacesTheCatalogue) {
    Import(WritePackageFixture());
    const std::string dir = testsupport::MakeTempDir("package-small");
    WriteUtf16File(dir + "/channel.txt", "h\n500,50,Only,https://o/1,1,网络,1,5,FM,x\n");
    WriteUtf16File(dir + "/location.txt", "h\n1,网络\n");
    Import(dir);
    EXPECT_EQ(Count(u"select count(*) from channel_v2"), 1);
    EXPECT_EQ(Count(u"select count(*) from location_v2"), 1);
    EXPECT_EQ(Count(u"select count(*) from category_v2"), 0);
    EXPECT_EQ(Count(u"select count(*) from channel_category_map_v2"), 0);
}

TEST_F(RadioManagementTest, TopLevelTakesOnlyGroups) {
    CRadioManagement store;
    auto* station = new CRadio();
    EXPECT_FALSE(store.Append(station, nullptr, nullptr));
    delete station;
    EXPECT_TRUE(store.Append(new Group(u"g", 5), nullptr, nullptr));
    EXPECT_EQ(store.FindGroup(5), store.First());
}
