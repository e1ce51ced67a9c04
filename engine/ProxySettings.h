// The proxy every connection of the engine goes through: parsed from the program's text
// "[user:password@]host[:port]" and applied to each curl handle.
// Threading: a value type; the process-wide copy (for MeasureStreamSpeed) is guarded by a mutex.
#pragma once

#include <string>
#include <string_view>

typedef void CURL;

namespace lxengine {

struct ProxySettings {
    enum class Kind { None, Socks5, Http };
    Kind kind = Kind::None;
    std::string host;
    int port = 0;
    std::string user;      // empty: no authentication
    std::string password;
    bool hasCredentials = false;

    // Parses the program's text for the given type (1 SOCKS5, 2 HTTP); false for an unreadable
    // text or type. An empty text gives Kind::None.
    static bool Parse(std::u16string_view text, int type, ProxySettings* out);
    // Parses "http://[user:pass@]host:port" or "socks5://..." (lxplay's form).
    static bool ParseUrl(std::string_view url, ProxySettings* out);

    // Sets the proxy options on a curl handle (direct connection for Kind::None).
    void Apply(CURL* curl) const;

    // The proxy last set by any engine of this process.
    static ProxySettings ProcessDefault();
    static void SetProcessDefault(const ProxySettings& proxy);
};

}  // namespace lxengine
