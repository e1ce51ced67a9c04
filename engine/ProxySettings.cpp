// Proxy text parsing and the curl options of each route (see the header).
#include "ProxySettings.h"

#include <curl/curl.h>

#include <cstdlib>
#include <mutex>

#include "EngineText.h"

namespace lxengine {
namespace {

std::mutex g_defaultMutex;
ProxySettings g_default;  // guarded by g_defaultMutex

bool ParseHostPort(std::string_view text, ProxySettings* out) {
    std::string_view host = text;
    if (!host.empty() && host.front() == '[') {  // [v6]:port
        const size_t close = host.find(']');
        if (close == std::string_view::npos) return false;
        out->host = std::string(host.substr(1, close - 1));
        host.remove_prefix(close + 1);
        if (!host.empty()) {
            if (host.front() != ':') return false;
            out->port = std::atoi(std::string(host.substr(1)).c_str());
        }
    } else {
        const size_t colon = host.rfind(':');
        if (colon != std::string_view::npos) {
            const std::string port(host.substr(colon + 1));
            if (port.empty() || port.find_first_not_of("0123456789") != std::string::npos) return false;
            out->port = std::atoi(port.c_str());
            host = host.substr(0, colon);
        }
        out->host = std::string(host);
    }
    if (out->host.empty() || out->port < 0 || out->port > 65535) return false;
    if (out->port == 0) out->port = out->kind == ProxySettings::Kind::Http ? 80 : 1080;
    return true;
}

bool ParseBody(std::string_view text, ProxySettings* out) {
    const size_t at = text.rfind('@');
    if (at != std::string_view::npos) {
        const std::string_view creds = text.substr(0, at);
        const size_t colon = creds.find(':');
        out->user = std::string(creds.substr(0, colon));
        out->password = colon == std::string_view::npos ? std::string() : std::string(creds.substr(colon + 1));
        out->hasCredentials = !out->user.empty();
        text.remove_prefix(at + 1);
    }
    return ParseHostPort(text, out);
}

}  // namespace

bool ProxySettings::Parse(std::u16string_view text, int type, ProxySettings* out) {
    ProxySettings p;
    if (type != 1 && type != 2) return false;
    const std::string utf8 = ToUtf8(text);
    const std::string_view body = TrimAscii(utf8);
    if (body.empty()) {
        *out = p;
        return true;
    }
    p.kind = type == 1 ? Kind::Socks5 : Kind::Http;
    if (!ParseBody(body, &p)) return false;
    *out = p;
    return true;
}

bool ProxySettings::ParseUrl(std::string_view url, ProxySettings* out) {
    ProxySettings p;
    if (StartsWithNoCase(url, "http://")) {
        p.kind = Kind::Http;
        url.remove_prefix(7);
    } else if (StartsWithNoCase(url, "socks5://") || StartsWithNoCase(url, "socks5h://")) {
        p.kind = Kind::Socks5;
        url.remove_prefix(url.find("://") + 3);
    } else {
        return false;
    }
    while (!url.empty() && url.back() == '/') url.remove_suffix(1);
    if (!ParseBody(url, &p)) return false;
    *out = p;
    return true;
}

void ProxySettings::Apply(CURL* curl) const {
    if (kind == Kind::None) {
        // Direct: also ignore proxies from the environment, so "no proxy" means no proxy.
        curl_easy_setopt(curl, CURLOPT_PROXY, "");
        curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
        return;
    }
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "");
    curl_easy_setopt(curl, CURLOPT_PROXY, host.c_str());
    curl_easy_setopt(curl, CURLOPT_PROXYPORT, static_cast<long>(port));
    if (kind == Kind::Http) {
        curl_easy_setopt(curl, CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP));
        // Every request is tunnelled with CONNECT, plain http included, as the proxy page tests.
        curl_easy_setopt(curl, CURLOPT_HTTPPROXYTUNNEL, 1L);
        curl_easy_setopt(curl, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC));
    } else {
        curl_easy_setopt(curl, CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_SOCKS5_HOSTNAME));
    }
    if (hasCredentials) {
        curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, user.c_str());
        curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD, password.c_str());
    }
}

ProxySettings ProxySettings::ProcessDefault() {
    std::lock_guard<std::mutex> lock(g_defaultMutex);
    return g_default;
}

void ProxySettings::SetProcessDefault(const ProxySettings& proxy) {
    std::lock_guard<std::mutex> lock(g_defaultMutex);
    g_default = proxy;
}

}  // namespace lxengine
