// Playlist recognition and parsing (see the header).
#include "Playlist.h"

#include "EngineText.h"

namespace lxengine {
namespace {

std::string_view PathOf(std::string_view url) {
    const size_t q = url.find_first_of("?#");
    return url.substr(0, q);
}

std::string XmlUnescape(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '&') {
            static constexpr std::pair<std::string_view, char> kEntities[] = {
                {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
            bool matched = false;
            for (const auto& [name, c] : kEntities) {
                if (StartsWithNoCase(s.substr(i), name)) {
                    out.push_back(c);
                    i += name.size() - 1;
                    matched = true;
                    break;
                }
            }
            if (matched) continue;
        }
        out.push_back(s[i]);
    }
    return out;
}

}  // namespace

Playlist::Kind Playlist::FromAddress(std::string_view url, std::string_view contentType) {
    const std::string type = ToLowerAscii(contentType);
    if (type == "application/vnd.apple.mpegurl" || type == "application/x-mpegurl") return Kind::Hls;
    if (type == "audio/x-scpls" || type == "application/pls+xml") return Kind::Pls;
    if (type == "video/x-ms-asx" || type == "audio/x-ms-asx" || type == "video/x-ms-wax" ||
        type == "audio/x-ms-wax" || type == "video/x-ms-wvx") {
        return Kind::Asx;
    }
    if (type == "audio/x-mpegurl" || type == "audio/mpegurl") return Kind::M3u;
    const std::string_view path = PathOf(url);
    if (EndsWithNoCase(path, ".m3u8")) return Kind::Hls;
    if (EndsWithNoCase(path, ".pls")) return Kind::Pls;
    if (EndsWithNoCase(path, ".m3u")) return Kind::M3u;
    if (EndsWithNoCase(path, ".asx") || EndsWithNoCase(path, ".wax") || EndsWithNoCase(path, ".wvx")) {
        return Kind::Asx;
    }
    return Kind::None;
}

Playlist::Kind Playlist::FromContent(std::string_view head) {
    std::string_view t = TrimAscii(head);
    if (StartsWithNoCase(t, "\xEF\xBB\xBF")) t.remove_prefix(3);
    if (StartsWithNoCase(t, "#EXTM3U")) {
        return t.find("#EXT-X-") != std::string_view::npos ? Kind::Hls : Kind::M3u;
    }
    if (StartsWithNoCase(t, "[playlist]")) return Kind::Pls;
    if (StartsWithNoCase(t, "<asx")) return Kind::Asx;
    if (StartsWithNoCase(t, "http://") || StartsWithNoCase(t, "https://") || StartsWithNoCase(t, "mms")) {
        return Kind::M3u;  // a bare list of addresses
    }
    return Kind::None;
}

std::string Playlist::Resolve(std::string_view baseUrl, std::string_view ref) {
    if (ref.find("://") != std::string_view::npos) return std::string(ref);
    const size_t schemeEnd = baseUrl.find("://");
    if (schemeEnd == std::string_view::npos) return std::string(ref);
    if (ref.substr(0, 2) == "//") return std::string(baseUrl.substr(0, schemeEnd + 1)) + std::string(ref);
    const size_t hostEnd = baseUrl.find('/', schemeEnd + 3);
    const std::string_view origin = hostEnd == std::string_view::npos ? baseUrl : baseUrl.substr(0, hostEnd);
    if (!ref.empty() && ref.front() == '/') return std::string(origin) + std::string(ref);
    const std::string_view path = PathOf(baseUrl);
    const size_t slash = path.rfind('/');
    if (slash == std::string_view::npos || slash < schemeEnd + 3) return std::string(origin) + "/" + std::string(ref);
    return std::string(path.substr(0, slash + 1)) + std::string(ref);
}

std::vector<std::string> Playlist::Entries(Kind kind, std::string_view body, std::string_view baseUrl) {
    std::vector<std::string> out;
    if (kind == Kind::Asx) {
        // <ref href="..."/> in document order; <entryref href> too.
        const std::string lower = ToLowerAscii(body);
        size_t pos = 0;
        while ((pos = lower.find("href", pos)) != std::string::npos) {
            size_t i = pos + 4;
            while (i < lower.size() && (lower[i] == ' ' || lower[i] == '\t')) ++i;
            pos = i;
            if (i >= lower.size() || lower[i] != '=') continue;
            ++i;
            while (i < lower.size() && (lower[i] == ' ' || lower[i] == '\t')) ++i;
            if (i >= lower.size()) break;
            const char quote = lower[i];
            if (quote != '"' && quote != '\'') continue;
            const size_t end = lower.find(quote, i + 1);
            if (end == std::string::npos) break;
            const std::string value = XmlUnescape(TrimAscii(body.substr(i + 1, end - i - 1)));
            if (!value.empty()) out.push_back(Resolve(baseUrl, value));
            pos = end + 1;
        }
        return out;
    }
    size_t start = 0;
    while (start < body.size()) {
        size_t end = body.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = body.size();
        std::string_view line = TrimAscii(body.substr(start, end - start));
        start = end + 1;
        if (line.empty()) continue;
        if (kind == Kind::Pls) {
            if (!StartsWithNoCase(line, "File")) continue;
            const size_t eq = line.find('=');
            if (eq == std::string_view::npos) continue;
            line = TrimAscii(line.substr(eq + 1));
            if (!line.empty()) out.push_back(Resolve(baseUrl, line));
        } else if (kind == Kind::M3u) {
            if (line.front() == '#') continue;
            if (StartsWithNoCase(line, "\xEF\xBB\xBF")) line.remove_prefix(3);
            out.push_back(Resolve(baseUrl, line));
        }
    }
    return out;
}

}  // namespace lxengine
