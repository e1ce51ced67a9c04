// Real servers on 127.0.0.1 for the engine's tests, started and stopped by the tests themselves:
// an HTTP server with files, ICY streams, a dropping stream and playlists (cpp-httplib, in
// process), a server that accepts and never answers, Icecast 2 fed by ffmpeg, tinyproxy and
// microsocks. Every server picks a free port. Media fixtures are made with ffmpeg at test time.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

namespace enginetest {

// A TCP port nobody listens on right now.
int FreePort();
// Runs a command line through /bin/sh and waits; its exit status.
int Run(const std::string& command);
// Writes a tone made by ffmpeg (lavfi sine) to `path`; `codecArgs` e.g. "-c:a libmp3lame -b:a 128k".
bool MakeTone(const std::string& path, double seconds, const std::string& codecArgs, int frequency = 440);
// Waits until something accepts on 127.0.0.1:port.
bool WaitForPort(int port, int timeoutMs);

// A child process in its own process group; killed (TERM, then KILL) when destroyed.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    // Starts `argv` with stdout and stderr going to `logPath` (or /dev/null when empty).
    bool Start(const std::vector<std::string>& argv, const std::string& logPath = {});
    void Stop();
    bool Running();

private:
    pid_t pid_ = -1;
};

// Files, streams and playlists over HTTP on 127.0.0.1.
class HttpTestServer {
public:
    HttpTestServer();
    ~HttpTestServer();
    int Port() const { return port_; }
    std::string Url(const std::string& path) const;

    // GET `path` returns `body` with `contentType`; ranges are honoured.
    void AddFile(const std::string& path, const std::string& body, const std::string& contentType);
    // An endless ICY stream: `body` repeated, `metaInterval` audio bytes between metadata blocks
    // carrying StreamTitle='<titleBytes>', paced to `bytesPerSecond` after a burst of `burst` bytes.
    void AddIcyStream(const std::string& path, const std::string& body, const std::string& contentType,
                      int metaInterval, const std::string& titleBytes, int bytesPerSecond, size_t burst);
    // Sends `bytes` of `body` at `bytesPerSecond` and then drops the connection.
    void AddDroppingStream(const std::string& path, const std::string& body, const std::string& contentType,
                           size_t bytes, int bytesPerSecond);
    // Requests seen for `path`.
    int Hits(const std::string& path) const;

private:
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::map<std::string, int> hits_;  // guarded by mutex_
};

// Accepts connections and never sends a byte.
class SilentServer {
public:
    SilentServer();
    ~SilentServer();
    int Port() const { return port_; }
    int Accepted() const { return accepted_; }

private:
    int listen_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> accepted_{0};
    std::vector<int> clients_;
    std::thread thread_;
};

// Icecast 2 with an MP3 mount "/mp3" and an AAC mount "/aac", each fed by ffmpeg.
class IcecastServer {
public:
    // `mp3Source`: an MP3 file streamed as is (copied, looped); the AAC mount gets a sine.
    explicit IcecastServer(const std::string& mp3Source);
    ~IcecastServer();
    bool Ready() const { return ready_; }
    int Port() const { return port_; }
    std::string Url(const std::string& mount) const;
    // Sets the stream title through the admin interface (UTF-8).
    bool SetTitle(const std::string& mount, const std::string& titleUtf8);

private:
    std::string dir_;
    int port_ = 0;
    bool ready_ = false;
    ChildProcess icecast_;
    ChildProcess mp3Feed_;
    ChildProcess aacFeed_;
};

// tinyproxy on a free port, optionally with Basic credentials.
class TinyProxy {
public:
    TinyProxy(const std::string& user, const std::string& password, const std::vector<int>& connectPorts);
    ~TinyProxy();
    bool Ready() const { return ready_; }
    int Port() const { return port_; }

private:
    std::string dir_;
    int port_ = 0;
    bool ready_ = false;
    ChildProcess process_;
};

// microsocks (SOCKS5) on a free port, optionally with user name and password.
class MicroSocks {
public:
    MicroSocks(const std::string& user, const std::string& password);
    bool Ready() const { return ready_; }
    int Port() const { return port_; }

private:
    int port_ = 0;
    bool ready_ = false;
    ChildProcess process_;
};

}  // namespace enginetest
