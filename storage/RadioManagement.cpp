// Catalogue import and tree building. Sections: table schemas; package import; the companion
// and bundled packages; building the four roots.
#include "storage/RadioManagement.h"

#include <stdlib.h>

#include <ctime>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/Trace.h"
#include "storage/Config.h"
#include "storage/CppSQLite3DB.h"
#include "storage/DatabasePath.h"
#include "storage/Group.h"
#include "storage/PackageText.h"
#include "storage/Radio.h"
#include "storage/SqlEscape.h"
#include "storage/SqlWriteQueue.h"
#include "storage/UnzipToFolder.h"

namespace {

constexpr char16_t kText[] = u"nvarchar(255) DEFAULT ''";
constexpr char16_t kInt[] = u"integer DEFAULT 0";
constexpr char16_t kKey[] = u"integer PRIMARY KEY";

// The theme root joins the category map with channel_v2 by channel key; without this index
// SQLite would build a temporary one at every load.
constexpr const char16_t* kIndexes[] = {
    u"CREATE INDEX IF NOT EXISTS channel_v2_channel_key ON channel_v2(channel_key)",
};

// Integer fields are read as _wtoi reads them and written back as decimal text.
std::u16string Num(std::u16string_view field) {
    return IntToText(WToI(field));
}
std::u16string Txt(std::u16string_view field) {
    return SqlEscape(field);
}

bool IsStreamAccepted(std::u16string_view url) {
    constexpr auto npos = std::u16string_view::npos;
    if (url.find(u"mmst://") != npos || url.find(u"rtmp://") != npos) return false;
    return url.find(u"http://") == npos || url.find(u"m3u8") != npos;
}

// Builds one insert statement from the fields of a line, or nothing when the line is refused.
using StatementMaker = std::u16string (*)(const std::vector<std::u16string_view>& f,
                                          std::u16string_view table);

std::u16string ChannelInsert(const std::vector<std::u16string_view>& f, std::u16string_view table) {
    if (f.size() < 10 || WToI(f[6]) == 0 || !IsStreamAccepted(f[3])) return {};
    return u"insert into " + std::u16string(table) +
           u"(channel_key,key,name,location_key,location_name,weight,hz,url) values('" + Num(f[0]) + u"','" +
           Num(f[1]) + u"','" + Txt(f[2]) + u"','" + Num(f[4]) + u"','" + Txt(f[5]) + u"','" + Num(f[7]) +
           u"','" + Txt(f[8]) + u"','" + Txt(f[3]) + u"')";
}

std::u16string LocationInsert(const std::vector<std::u16string_view>& f, std::u16string_view table) {
    if (f.size() < 2) return {};
    return u"insert into " + std::u16string(table) + u"(key,name,index_) values('" + Num(f[0]) + u"','" +
           Txt(f[1]) + u"','0')";
}

std::u16string CategoryMapInsert(const std::vector<std::u16string_view>& f, std::u16string_view table) {
    if (f.size() < 5) return {};
    return u"insert into " + std::u16string(table) +
           u"(key,channel_key,channel_name,category_key,category_name) values('" + Num(f[0]) + u"','" +
           Num(f[1]) + u"','" + Txt(f[2]) + u"','" + Num(f[3]) + u"','" + Txt(f[4]) + u"')";
}

std::u16string CategoryInsert(const std::vector<std::u16string_view>& f, std::u16string_view table) {
    if (f.size() < 3) return {};
    return u"insert into " + std::u16string(table) + u"(key,name,index_) values('" + Num(f[0]) + u"','" +
           Txt(f[1]) + u"','" + Num(f[2]) + u"')";
}

// A catalogue station: name, address and id only (and the province of a regional station),
// never played, speed 0, created when the tree was built.
CRadio* MakeStation(std::u16string&& name, std::u16string&& url, int id, const std::u16string& province,
                    int64_t now) {
    auto* r = new CRadio();
    r->id = id;
    r->text = std::move(name);
    r->radioUrl = std::move(url);
    r->province = province;
    r->CreateTime = now;
    r->Speed = 0;
    return r;
}

}  // namespace

// ---- Table schemas ----

CRadioManagement::CRadioManagement()
    : m_channel(u"channel_v2"),
      m_location(u"location_v2"),
      m_categoryMap(u"channel_category_map_v2"),
      m_category(u"category_v2"),
      m_bundledPackage(DefaultBundledPackageFile()) {
    m_channel.AddColumn(u"key", kKey);
    m_channel.AddColumn(u"channel_key", kInt);
    m_channel.AddColumn(u"name", kText);
    m_channel.AddColumn(u"location_key", kInt);
    m_channel.AddColumn(u"location_name", kText);
    m_channel.AddColumn(u"weight", kInt);
    m_channel.AddColumn(u"hz", kText);
    m_channel.AddColumn(u"url", kText);

    m_location.AddColumn(u"key", kKey);
    m_location.AddColumn(u"name", kText);
    m_location.AddColumn(u"index_", kInt);

    m_categoryMap.AddColumn(u"key", kKey);
    m_categoryMap.AddColumn(u"channel_key", kInt);
    m_categoryMap.AddColumn(u"channel_name", kText);
    m_categoryMap.AddColumn(u"category_key", kInt);
    m_categoryMap.AddColumn(u"category_name", kText);
    m_categoryMap.AddColumn(u"weight", kInt);
    m_categoryMap.AddColumn(u"hz", kText);

    m_category.AddColumn(u"key", kKey);
    m_category.AddColumn(u"name", kText);
    m_category.AddColumn(u"index_", kInt);
}

void CRadioManagement::EnsureTables(CppSQLite3DB& db) const {
    for (const TableSchema* s : {&m_channel, &m_location, &m_categoryMap, &m_category}) s->EnsureTable(db);
    for (const char16_t* sql : kIndexes) db.ExecuteQuiet(sql);
}

bool CRadioManagement::NeedsImport(CppSQLite3DB* db) const {
    if (!db) return false;
    const TableSchema* tables[] = {&m_channel, &m_location, &m_categoryMap, &m_category};
    for (const TableSchema* s : tables) {
        if (!db->TableExists(s->TableName())) return true;
    }
    for (const TableSchema* s : tables) {
        CppSQLite3Query q = db->Query(u"select * from " + s->TableName());
        if (q.AtEnd()) return true;
    }
    return false;
}

// ---- Package import ----

void CRadioManagement::QueueCatalogueDelete() const {
    SqlWriteQueue& queue = SqlWriteQueue::Instance();
    for (const TableSchema* s : {&m_channel, &m_location, &m_categoryMap, &m_category}) {
        queue.Enqueue(u"delete from " + s->TableName());
    }
}

bool CRadioManagement::ImportPackageFolder(std::u16string_view folder) {
    SqlWriteQueue& queue = SqlWriteQueue::Instance();
    {
        CppSQLite3DB db;
        db.Open(DatabasePath());
        EnsureTables(db);
    }
    struct File {
        const char16_t* name;
        const TableSchema& table;
        StatementMaker make;
    };
    const File files[] = {
        {u"channel.txt", m_channel, ChannelInsert},
        {u"location.txt", m_location, LocationInsert},
        {u"category_map.txt", m_categoryMap, CategoryMapInsert},
        {u"category.txt", m_category, CategoryInsert},
    };
    bool allRead = true;
    std::vector<std::u16string> lines;
    for (const File& file : files) {
        if (!ReadPackageLines(JoinPath(folder, file.name), lines)) {
            allRead = false;
            continue;
        }
        for (const std::u16string& line : lines) {
            std::u16string sql = file.make(SplitPackageFields(line), file.table.TableName());
            if (!sql.empty()) queue.Enqueue(sql);
        }
    }
    queue.Flush();
    return allRead;
}

// ---- Companion and bundled packages ----

std::u16string CRadioManagement::MakePackageTempFolder() {
    // A fresh name of our own (mkdtemp), so a shared /tmp cannot hand us someone else's folder.
    const std::u16string pattern = TempFilePath(u"loxanradio-package-XXXXXX");
    if (pattern.empty()) return {};
    std::string native = NativePath(pattern);
    if (!mkdtemp(native.data())) return {};
    return FromNativePath(native);
}

bool CRadioManagement::ImportPackageZip(std::u16string_view zipPath) {
    const std::u16string folder = MakePackageTempFolder();
    if (folder.empty()) return false;
    bool imported = false;
    if (UnzipToFolder(zipPath, folder)) {
        ImportPackageFolder(folder);
        imported = true;
    } else {
        LX_TRACE(u"cannot unpack the package " + std::u16string(zipPath));
    }
    RemoveDirectoryTree(folder);
    return imported;
}

bool CRadioManagement::ImportCompanionPackage() {
    const std::u16string zip = CompanionPackageFile();
    if (!PathExists(zip) || IsDirectory(zip)) return false;
    return ImportPackageZip(zip);
}

std::u16string CRadioManagement::DefaultBundledPackageFile() {
    const std::u16string program = ProgramFolder();
    const std::u16string beside = program + u"/data/radio_resource.zip";
    if (IsRegularFile(beside)) return beside;
    return ParentPath(program) + u"/share/loxanradio/data/radio_resource.zip";
}

// ---- Building the four roots ----

bool CRadioManagement::Append(TreeNode* node, TreeNode* parent, TreeNode* after) {
    if (node && !parent && node->GetType() != TYPE_GROUP) return false;
    return DataManagement::Append(node, parent, after);
}

bool CRadioManagement::Clear() {
    return DataManagement::Clear();
}

bool CRadioManagement::Load() {
    SqlWriteQueue::Instance();
    auto db = std::make_unique<CppSQLite3DB>();
    db->Open(DatabasePath());
    db->ExecuteQuiet(u"begin transaction;");
    const bool needs = NeedsImport(db.get());
    EnsureTables(*db);
    if (needs) {
        // Whatever is imported now, the next update check fetches a real package.
        CConfig::Instance().Version = 0;
        db->Execute(u"commit transaction;");
        db->Close();
        QueueCatalogueDelete();
        if (!ImportCompanionPackage() && IsRegularFile(m_bundledPackage)) ImportPackageZip(m_bundledPackage);
        db->Open(DatabasePath());
        db->ExecuteQuiet(u"begin transaction;");
    }
    Clear();
    const auto now = static_cast<int64_t>(std::time(nullptr));
    if (db->TableExists(u"channel_v2") && db->TableExists(u"location_v2")) BuildLocationRoots(*db, now);
    if (db->TableExists(u"category_v2") && db->TableExists(u"channel_category_map_v2"))
        BuildThemeRoot(*db, now);
    db->Execute(u"commit transaction;");
    return true;
}

// The three location roots come from one pass over channel_v2 in key order: each station goes
// to the recommended root (location 42), the network root (location 1) or its region group,
// provided location_v2 lists its location. That is the order and content one query per root
// and per location would give, without reading the table once per location.
void CRadioManagement::BuildLocationRoots(CppSQLite3DB& db, int64_t now) {
    struct Target {
        Group* group = nullptr;
        TreeNode* last = nullptr;  // appending behind the last station keeps long lists linear
        std::u16string province;
    };
    std::unordered_map<int, Target> targets;
    auto* recommended = new Group(u"推荐电台", kRecommendedRootId);
    auto* network = new Group(u"网络电台", kNetworkRootId);
    auto* regions = new Group(u"地域电台", kRegionRootId);
    for (Group* root : {recommended, network, regions}) Append(root, nullptr, nullptr);

    TreeNode* lastRegion = nullptr;
    CppSQLite3Query locations = db.Query(u"select * from location_v2");
    for (; !locations.AtEnd(); locations.NextRow()) {
        const int key = locations.IntField(u"key", 0);
        if (key == kRecommendedLocation) {
            targets[key].group = recommended;
        } else if (key == kNetworkLocation) {
            targets[key].group = network;
        } else {
            std::u16string name = locations.TextField(u"name");
            auto* group = new Group(name, kRegionBase + key);
            if (!Append(group, regions, lastRegion)) {
                delete group;
                continue;
            }
            lastRegion = group;
            targets[key] = Target{group, nullptr, std::move(name)};
        }
    }
    locations.Finalize();

    CppSQLite3Query q = db.Query(u"select key,name,url,location_key from channel_v2 order by key");
    for (; !q.AtEnd(); q.NextRow()) {
        const auto it = targets.find(q.IntField(3));
        if (it == targets.end()) continue;
        Target& t = it->second;
        CRadio* r = MakeStation(q.TextField(1), q.TextField(2), q.IntField(0), t.province, now);
        if (Append(r, t.group, t.last))
            t.last = r;
        else
            delete r;
    }
}

// One join over the category map in map-key order, then channel key order: the order one query
// per category gives. A theme station is named as the map row names it and carries the channel key.
void CRadioManagement::BuildThemeRoot(CppSQLite3DB& db, int64_t now) {
    auto* root = new Group(u"主题电台", kThemeRootId);
    if (!Append(root, nullptr, nullptr)) {
        delete root;
        return;
    }
    std::unordered_map<int, std::pair<Group*, TreeNode*>> targets;  // category key -> group, last station
    TreeNode* lastGroup = nullptr;
    CppSQLite3Query categories = db.Query(u"select * from category_v2");
    for (; !categories.AtEnd(); categories.NextRow()) {
        const int key = categories.IntField(u"key", 0);
        auto* group = new Group(categories.TextField(u"name"), kThemeBase + key);
        if (!Append(group, root, lastGroup)) {
            delete group;
            continue;
        }
        lastGroup = group;
        targets[key] = {group, nullptr};
    }
    categories.Finalize();

    CppSQLite3Query q = db.Query(
        u"select channel_category_map_v2.category_key,channel_category_map_v2.channel_name,"
        u"channel_category_map_v2.channel_key,channel_v2.url from channel_category_map_v2,channel_v2 "
        u"where channel_category_map_v2.channel_key=channel_v2.channel_key "
        u"order by channel_category_map_v2.key,channel_v2.key");
    for (; !q.AtEnd(); q.NextRow()) {
        const auto it = targets.find(q.IntField(0));
        if (it == targets.end()) continue;
        auto& [group, last] = it->second;
        CRadio* r = MakeStation(q.TextField(1), q.TextField(3), q.IntField(2), {}, now);
        if (Append(r, group, last))
            last = r;
        else
            delete r;
    }
}

Group* CRadioManagement::FindGroup(int id) const {
    for (TreeNode* n = First(); n; n = NextInTree(n)) {
        if (n->id == id && n->GetType() == TYPE_GROUP) return static_cast<Group*>(n);
    }
    return nullptr;
}
