#include "tests/net/WebSim.h"

#include <curl/curl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

#include "platform/Sync.h"
#include "tests/support/TestSupport.h"

namespace nettest {

namespace {
size_t Collect(char* data, size_t size, size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}
}  // namespace

long Fetch(const std::string& url, const std::string& post_body, std::string* body, bool post) {
    CURL* easy = curl_easy_init();
    if (!easy) return -1;
    std::string sink;
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, 10000L);
    curl_easy_setopt(easy, CURLOPT_PROXY, "");
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Collect);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, body ? body : &sink);
    if (post) {
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE, static_cast<long>(post_body.size()));
        curl_easy_setopt(easy, CURLOPT_COPYPOSTFIELDS, post_body.c_str());
    }
    long status = -1;
    if (curl_easy_perform(easy) == CURLE_OK) curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(easy);
    return status;
}

bool WebSim::Start() {
    int out[2];
    if (pipe(out) != 0) return false;
    // The environment names the source tree under CTest; the build's own record covers direct runs.
    std::string source = testsupport::SourceDir();
    if (source.empty()) source = LOXANRADIO_NET_TEST_SOURCE_DIR;
    const std::string script = source + "/tools/websim.py";
    pid_ = fork();
    if (pid_ == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        execlp("python3", "python3", script.c_str(), "--port", "0", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    if (pid_ < 0) {
        close(out[0]);
        return false;
    }
    // First line: "websim listening on http://127.0.0.1:PORT".
    std::string line;
    const uint64_t deadline = GetTickCount64() + 20000;
    while (line.find('\n') == std::string::npos && GetTickCount64() < deadline) {
        pollfd p{out[0], POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char buf[256];
        const ssize_t n = read(out[0], buf, sizeof(buf));
        if (n <= 0) break;
        line.append(buf, static_cast<size_t>(n));
    }
    close(out[0]);
    const size_t colon = line.rfind(':');
    if (line.find('\n') == std::string::npos || colon == std::string::npos) {
        Stop();
        return false;
    }
    port_ = std::atoi(line.c_str() + colon + 1);
    return port_ > 0;
}

void WebSim::Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
}

std::string WebSim::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

bool WebSim::Configure(const std::string& json) {
    return Fetch(Url("/_sim/config"), json, nullptr, true) == 200;
}

Json::Value WebSim::Log() {
    std::string body;
    Json::Value log(Json::arrayValue);
    if (Fetch(Url("/_sim/log"), "", &body, false) != 200) return log;
    std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
    reader->parse(body.data(), body.data() + body.size(), &log, nullptr);
    return log;
}

}  // namespace nettest
