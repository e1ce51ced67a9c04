// Message throughput between two threads: one thread posts 100,000 messages to a window of
// another thread, which runs a message loop and dispatches them. Reports messages per second.
#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>

#include "platform/Message.h"
#include "platform/Sync.h"

namespace {

constexpr int kMessages = 100000;
constexpr UINT kMsgCount = WM_USER + 1;

struct Counter : IWindowProc {
    int received = 0;
    Event* done = nullptr;
    LRESULT WindowProc(HWND, UINT msg, WPARAM, LPARAM) override {
        if (msg == kMsgCount && ++received == kMessages) done->Set();
        if (msg == WM_CLOSE) PostQuitMessage(0);  // ends the consumer's loop on its own thread
        return 0;
    }
};

void BM_PostAndDispatchBetweenThreads(benchmark::State& state) {
    Event ready(true, false);
    Event done(false, false);
    Counter counter;
    counter.done = &done;
    std::atomic<HWND> hwnd{nullptr};
    std::thread consumer([&] {
        hwnd = CreateMessageWindow(&counter);
        ready.Set();
        MessageLoop loop;
        loop.Run();
        DestroyWindow(hwnd);
    });
    ready.Wait();
    for (auto _ : state) {
        counter.received = 0;  // the consumer is idle between rounds: it waits for the next post
        for (int i = 0; i < kMessages; ++i) PostMessage(hwnd, kMsgCount, static_cast<WPARAM>(i), 0);
        done.Wait();
    }
    PostMessage(hwnd, WM_CLOSE, 0, 0);
    consumer.join();
    state.SetItemsProcessed(state.iterations() * kMessages);
    state.counters["messages_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations() * kMessages), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_PostAndDispatchBetweenThreads)->Unit(benchmark::kMillisecond)->UseRealTime();
