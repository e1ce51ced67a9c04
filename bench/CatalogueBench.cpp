// Catalogue benchmarks: a generated package of 50,000 stations (36 locations, 60 categories,
// 50,000 category rows) imported into an empty database, and the four roots built from it, with
// the heap the loaded tree takes. Everything lives in a private temporary folder.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/Text.h"
#include "storage/CppSQLite3DB.h"
#include "storage/DatabasePath.h"
#include "storage/RadioManagement.h"
#include "storage/SqlWriteQueue.h"

namespace {

constexpr int kStations = 50000;
constexpr int kLocations = 36;  // including 42 (recommended) and 1 (network)
constexpr int kCategories = 60;
constexpr int kCategoryRows = 50000;

const std::string& BenchRoot() {
    static const std::string root = [] {
        std::string pattern = "/tmp/lxbench-catalogue.XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        setenv("APPDATA", pattern.c_str(), 1);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(BenchRoot(), ec);
        });
        return pattern;
    }();
    return root;
}

void WriteUtf16(const std::string& path, const std::string& utf8) {
    const std::u16string text = Utf8ToUtf16(utf8);
    std::string bytes = "\xff\xfe";
    bytes.reserve(2 + text.size() * 2);
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    std::ofstream(path, std::ios::binary) << bytes;
}

int LocationKey(int i) {
    return i == 0 ? 42 : i == 1 ? 1 : 100 + i;
}

const std::string& PackageFolder() {
    static const std::string folder = [] {
        const std::string dir = BenchRoot() + "/package";
        std::filesystem::create_directories(dir);
        std::string channels =
            "channel_key,key,name,url,location_key,location_name,switch,weight,hz,update_time\r\n";
        for (int i = 1; i <= kStations; ++i) {
            const int loc = LocationKey(i % kLocations);
            channels += std::to_string(100000 + i) + "," + std::to_string(i) + ",测试电台" +
                        std::to_string(i) + ",http://live.example.com/channels/" + std::to_string(i) +
                        "/64/index.m3u8," + std::to_string(loc) + ",地区" + std::to_string(loc) + ",1," +
                        std::to_string(i % 100) + ",FM" + std::to_string(87 + i % 20) + ".5,0\r\n";
        }
        WriteUtf16(dir + "/channel.txt", channels);
        std::string locations = "key,name,index\r\n";
        for (int i = 0; i < kLocations; ++i) {
            const int loc = LocationKey(i);
            locations += std::to_string(loc) + ",地区" + std::to_string(loc) + ",0\r\n";
        }
        WriteUtf16(dir + "/location.txt", locations);
        std::string categories = "key,name,index\r\n";
        for (int c = 1; c <= kCategories; ++c) {
            categories += std::to_string(c) + ",分类" + std::to_string(c) + "," + std::to_string(c) + "\r\n";
        }
        WriteUtf16(dir + "/category.txt", categories);
        std::string map = "key,channel_key,channel_name,category_key,category_name,weight,hz\r\n";
        for (int i = 1; i <= kCategoryRows; ++i) {
            const int c = 1 + (i * 7) % kCategories;
            map += std::to_string(i) + "," + std::to_string(100000 + i) + ",测试电台" + std::to_string(i) +
                   "," + std::to_string(c) + ",分类" + std::to_string(c) + ",0,FM\r\n";
        }
        WriteUtf16(dir + "/category_map.txt", map);
        return dir;
    }();
    return folder;
}

void UseDatabase(const std::string& name) {
    SqlWriteQueue::DestroyInstance();
    const std::string path = BenchRoot() + "/" + name + ".db";
    std::filesystem::remove(path);
    SetDatabasePath(Utf8ToUtf16(path));
}

void BM_ImportPackageFolder(benchmark::State& state) {
    const std::u16string folder = Utf8ToUtf16(PackageFolder());
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        UseDatabase("import" + std::to_string(round++));
        CRadioManagement store;
        state.ResumeTiming();
        store.QueueCatalogueDelete();
        store.ImportPackageFolder(folder);
    }
    CppSQLite3DB db;
    db.Open(DatabasePath());
    state.counters["stations"] = db.QueryScalar(u"select count(*) from channel_v2");
    state.counters["category_rows"] = db.QueryScalar(u"select count(*) from channel_category_map_v2");
}
BENCHMARK(BM_ImportPackageFolder)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LoadCatalogue(benchmark::State& state) {
    UseDatabase("load");
    {
        CRadioManagement importer;
        importer.QueueCatalogueDelete();
        importer.ImportPackageFolder(Utf8ToUtf16(PackageFolder()));
    }
    size_t treeBytes = 0;
    int nodes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        malloc_trim(0);
        const size_t before = mallinfo2().uordblks;
        auto store = std::make_unique<CRadioManagement>();
        state.ResumeTiming();
        store->Load();
        state.PauseTiming();
        treeBytes = mallinfo2().uordblks - before;
        nodes = 0;
        for (TreeNode* n = store->First(); n; n = NextInTree(n)) ++nodes;
        store.reset();
        state.ResumeTiming();
    }
    state.counters["tree_MB"] = static_cast<double>(treeBytes) / (1024.0 * 1024.0);
    state.counters["nodes"] = nodes;
}
BENCHMARK(BM_LoadCatalogue)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
