// Throughput of the HTTP client: one body from a local server (LOXANRADIO_BENCH_URL, the
// simulator's /test/blob started by net_download.sh) to a file and to memory. The counter
// peak_rss_MB is the process's peak resident size after the case: saving to a file must not
// grow it with the body size. Runs on the benchmark's thread, which is also the delivery thread.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdlib>
#include <string>

#include "net/HttpClient.h"
#include "platform/Paths.h"
#include "platform/Sync.h"
#include "platform/Text.h"

namespace {

struct DoneEvent : IHttpTaskEvent {
    void OnTaskSucceeded(HttpTask* task) override {
        ok = true;
        bytes = task->m_dwResultLen;
        done = true;
    }
    void OnTaskFailed(HttpTask*) override { done = true; }
    bool done = false;
    bool ok = false;
    uint64_t bytes = 0;
};

double PeakRssMB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void Download(benchmark::State& state, bool to_file) {
    const char* base = std::getenv("LOXANRADIO_BENCH_URL");
    if (!base) {
        state.SkipWithError("LOXANRADIO_BENCH_URL is not set (run bench/net_download.sh)");
        return;
    }
    const int64_t size = state.range(0);
    const std::u16string url = Utf8ToUtf16(std::string(base) + "/test/blob?size=" + std::to_string(size));
    const std::u16string target = to_file ? TempFilePath(u"bench_download.bin") : std::u16string();
    HttpClient* client = HttpClient::GetInstance();
    for (auto _ : state) {
        DoneEvent event;
        if (!client->AddTask(new HttpTask(url, target), &event)) {
            state.SkipWithError("task refused");
            return;
        }
        while (!event.done) {
            MSG msg;
            while (PeekMessage(&msg, true)) DispatchMessage(msg);
            if (!event.done) WaitMessage(50);
        }
        if (!event.ok) {
            state.SkipWithError("download failed");
            return;
        }
    }
    if (to_file) DeleteFileAt(target);
    state.SetBytesProcessed(state.iterations() * size);
    state.counters["peak_rss_MB"] = PeakRssMB();
}

// File cases first, small then large: their peak must stay flat before memory cases raise it.
void BM_DownloadToFile(benchmark::State& state) {
    Download(state, true);
}
void BM_DownloadToMemory(benchmark::State& state) {
    Download(state, false);
}

BENCHMARK(BM_DownloadToFile)->Arg(5 << 20)->Arg(50 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DownloadToMemory)->Arg(50 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
