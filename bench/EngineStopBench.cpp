// How long Stop, a new Open and Release take while the engine's connection hangs (a server that
// accepts and never answers), and how long an Open/Stop cycle of a local file takes.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "LXPlayer.h"

namespace {

// Accepts connections on 127.0.0.1 and never sends a byte.
class SilentServer {
public:
    SilentServer() {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        socklen_t len = sizeof addr;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        listen(fd_, 256);
        thread_ = std::thread([this] {
            while (!stop_) {
                pollfd p{fd_, POLLIN, 0};
                if (poll(&p, 1, 20) > 0) {
                    const int c = accept(fd_, nullptr, nullptr);
                    if (c >= 0) clients_.push_back(c);
                }
            }
        });
    }
    ~SilentServer() {
        stop_ = true;
        thread_.join();
        for (int c : clients_) close(c);
        close(fd_);
    }
    std::u16string Url() const {
        const std::string s = "http://127.0.0.1:" + std::to_string(port_) + "/";
        return std::u16string(s.begin(), s.end());
    }

private:
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::vector<int> clients_;
    std::thread thread_;
};

bool Drop(void*, uint32_t message, uintptr_t wParam, intptr_t) {
    if (message == LXMSG_SPECTRUM) LXFreeNotifyValues(reinterpret_cast<void*>(wParam));
    return true;
}

IPlayerEngine* MakeEngine() {
    IPlayerEngine* engine = nullptr;
    const LXNotifyTarget target{&Drop, nullptr};
    CreatePlayerEngine(&engine, &target);
    IPlayerOption* options = nullptr;
    engine->QueryInterface(IID_IPlayerOption, reinterpret_cast<void**>(&options));
    options->SetOption(LXOPTION_AUDIO_OUTPUT, LXOUTPUT_NULL);
    options->Release();
    return engine;
}

void BM_StopWhileHung(benchmark::State& state) {
    SilentServer server;
    IPlayerEngine* engine = MakeEngine();
    const std::u16string url = server.Url();
    for (auto _ : state) {
        state.PauseTiming();
        engine->Open(url.c_str(), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));  // connected, waiting for an answer
        state.ResumeTiming();
        engine->Stop();
    }
    engine->Release();
}
BENCHMARK(BM_StopWhileHung)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_ReleaseWhileHung(benchmark::State& state) {
    SilentServer server;
    const std::u16string url = server.Url();
    for (auto _ : state) {
        state.PauseTiming();
        IPlayerEngine* engine = MakeEngine();
        engine->Open(url.c_str(), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        state.ResumeTiming();
        engine->Release();
    }
}
BENCHMARK(BM_ReleaseWhileHung)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace
