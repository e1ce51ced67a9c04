// Storage benchmarks: the write queue's throughput (50,000 queued inserts written by one flush)
// and a configuration Load+Save round. Everything lives in a private temporary folder.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/Text.h"
#include "storage/Config.h"
#include "storage/CppSQLite3DB.h"
#include "storage/DatabasePath.h"
#include "storage/SqlEscape.h"
#include "storage/SqlWriteQueue.h"

namespace {

// A fresh folder standing in for the user's data folders, made once per run.
const std::string& BenchRoot() {
    static const std::string root = [] {
        std::string pattern = "/tmp/lxbench.XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        setenv("APPDATA", pattern.c_str(), 1);
        setenv("XDG_MUSIC_DIR", pattern.c_str(), 1);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(BenchRoot(), ec);
        });
        return pattern;
    }();
    return root;
}

std::u16string FreshDatabase(const char* name) {
    const std::string path = BenchRoot() + "/" + name + ".db";
    std::filesystem::remove(path);
    return Utf8ToUtf16(path);
}

void BM_QueueFlush50000Inserts(benchmark::State& state) {
    const std::u16string path = FreshDatabase("queue");
    {
        CppSQLite3DB db;
        db.Open(path);
        db.Execute(std::string(
            "create table LastPlay(id integer PRIMARY KEY, name nvarchar(300), LastPlayTime integer);"));
    }
    constexpr int kStatements = 50000;
    SqlWriteQueue queue(path);
    int round = 0;
    for (auto _ : state) {
        ++round;
        for (int i = 0; i < kStatements; ++i) {
            queue.Enqueue(Format(u"insert into LastPlay(name, LastPlayTime) values('%s', %lld)",
                                 SqlEscape(u"Bob's station 电台"),
                                 static_cast<int64_t>(round) * kStatements + i));
        }
        queue.Flush();
    }
    state.counters["statements/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * kStatements,
                                                        benchmark::Counter::kIsRate);
}
BENCHMARK(BM_QueueFlush50000Inserts)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ConfigLoadSave(benchmark::State& state) {
    SetDatabasePath(FreshDatabase("config"));
    {
        CConfig first;
        first.Load();
        first.Save();
        SqlWriteQueue::Instance().Flush();
    }
    for (auto _ : state) {
        CConfig config;
        config.Load();
        config.Save();
        SqlWriteQueue::Instance().Flush();
    }
    SqlWriteQueue::DestroyInstance();
}
BENCHMARK(BM_ConfigLoadSave)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
