// Starts the web-service simulator (tools/websim.py) on 127.0.0.1 with a free port for one test,
// and talks to its control endpoints. Stopped by its process id when the fixture ends.
#pragma once

#include <json/json.h>
#include <sys/types.h>

#include <string>

namespace nettest {

class WebSim {
public:
    WebSim() = default;
    ~WebSim() { Stop(); }
    WebSim(const WebSim&) = delete;
    WebSim& operator=(const WebSim&) = delete;

    // Starts the simulator; false when it did not report its port in time.
    bool Start();
    void Stop();

    int port() const { return port_; }
    // "http://127.0.0.1:PORT" followed by `path`.
    std::string Url(const std::string& path = "") const;
    // Merges settings (a JSON object text) into the simulator's configuration.
    bool Configure(const std::string& json);
    // The requests received so far (control requests excluded), oldest first.
    Json::Value Log();
    size_t RequestCount() { return Log().size(); }

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

// Plain blocking requests for the control channel and for comparisons; the status or -1.
long Fetch(const std::string& url, const std::string& post_body, std::string* body, bool post);

}  // namespace nettest
