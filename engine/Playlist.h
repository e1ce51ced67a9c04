// Playlist addresses (.pls, .m3u, .asx): recognising them and listing their entries, so that the
// session can play the first entry that works. HLS playlists (.m3u8 with #EXT-X- tags) are not
// playlists in this sense; FFmpeg's HLS demuxer plays them.
// Threading: pure functions, any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lxengine {

class Playlist {
public:
    enum class Kind { None, Pls, M3u, Asx, Hls };

    // What the address and content type say, before any byte is read.
    static Kind FromAddress(std::string_view url, std::string_view contentType);
    // What the first bytes say (overrides a vague content type); Kind::None for media.
    static Kind FromContent(std::string_view head);
    // The entries in order, resolved against `baseUrl`.
    static std::vector<std::string> Entries(Kind kind, std::string_view body, std::string_view baseUrl);
    // Resolves a relative reference ("a.mp3", "/x/a.mp3", "//host/a") against an absolute URL.
    static std::string Resolve(std::string_view baseUrl, std::string_view ref);
};

}  // namespace lxengine
