// The engine against real servers on 127.0.0.1: states of files and live streams, buffering,
// broken and unreachable streams, formats and playlists, ICY titles, recording (MP3 copy, LAME,
// WAV limits), HTTP and SOCKS5 proxies, generations, Stop on a hung connection, many open/stop
// cycles, MeasureStreamSpeed and lxplay.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "PlayerEngine.h"
#include "Recorder.h"
#include "tests/engine/EngineHarness.h"
#include "tests/engine/EngineTestServers.h"
#include "tests/support/TestSupport.h"

using namespace enginetest;
using Clock = std::chrono::steady_clock;

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

// A tone file made once per test process.
std::string Tone(const std::string& name, double seconds, const std::string& codecArgs) {
    const std::string path = testsupport::TempRoot() + "/" + name;
    if (Slurp(path).empty()) {
        EXPECT_TRUE(MakeTone(path, seconds, codecArgs)) << name;
    }
    return path;
}

std::string Mp3Tone() { return Tone("tone.mp3", 3, "-c:a libmp3lame -b:a 128k"); }

int64_t PositionOf(const Note& n) {
    return static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(n.lParam)) << 32) | (n.wParam & 0xFFFFFFFFu));
}

// Duration of a media file in seconds as ffprobe reads it (decoding it all).
double ProbeSeconds(const std::string& path) {
    const std::string cmd = "ffmpeg -nostdin -v error -i '" + path + "' -f null - -stats 2>&1 | tr '\\r' '\\n' | "
                            "grep -o 'time=[0-9:.]*' | tail -1 | cut -d= -f2";
    FILE* p = popen(cmd.c_str(), "r");
    char buf[64] = {};
    const size_t n = fread(buf, 1, sizeof buf - 1, p);
    pclose(p);
    buf[n] = 0;
    int h = 0, m = 0;
    double s = 0;
    if (std::sscanf(buf, "%d:%d:%lf", &h, &m, &s) != 3) return -1;
    return h * 3600 + m * 60 + s;
}

// Records every Invoke.
class Callback final : public IAsyncCallback {
public:
    LXRESULT QueryInterface(const LXIID&, void** out) override {
        *out = nullptr;
        return LX_E_NOINTERFACE;
    }
    uint32_t AddRef() override { return ++refs; }
    uint32_t Release() override { return --refs; }
    LXRESULT Invoke(IAsyncResult* result) override {
        int64_t length = 0;
        result->GetProgress(&length);
        const LXRESULT status = result->GetStatus();
        std::lock_guard<std::mutex> lock(mutex);
        if (status == LX_FALSE) {
            ++progress;
        } else {
            ++finals;
            finalStatus = status;
            finalLength = length;
        }
        return LX_OK;
    }
    int Finals() {
        std::lock_guard<std::mutex> lock(mutex);
        return finals;
    }
    std::atomic<uint32_t> refs{1};
    std::mutex mutex;
    int progress = 0;
    int finals = 0;
    LXRESULT finalStatus = LX_FALSE;
    int64_t finalLength = 0;
};

}  // namespace

TEST(EngineFileTest, LocalFileGoesThroughTheStatesAndReportsPositionsAndSpectrum) {
    EngineHarness h(1);
    ASSERT_EQ(h->Open(ToUtf16(Mp3Tone()).c_str(), 0), LX_OK);
    ASSERT_EQ(h->Play(), LX_OK);
    ASSERT_TRUE(h.WaitState(LXSTATE_ENDED, 10000));
    EXPECT_EQ(h.States(), (std::vector<int>{7, 4, 10, 1, 5}));
    ASSERT_FALSE(h.Buffers().empty());
    EXPECT_EQ(h.Buffers().back(), 100);
    LXMediaInfo info;
    ASSERT_EQ(h->GetMediaInfo(&info), LX_OK);
    EXPECT_EQ(info.bitRate, 128);
    EXPECT_NEAR(static_cast<double>(info.duration), 3e7, 0.1e7);
    EXPECT_EQ(info.formatTag, 0x55);

    std::vector<Note> positions, spectra;
    for (const Note& n : h.Notes()) {
        if (n.message == LXMSG_POSITION) positions.push_back(n);
        if (n.message == LXMSG_SPECTRUM) spectra.push_back(n);
    }
    ASSERT_GE(positions.size(), 10u);  // about every 200 ms for 3 s
    for (size_t i = 1; i < positions.size(); ++i) EXPECT_GE(PositionOf(positions[i]), PositionOf(positions[i - 1]));
    EXPECT_NEAR(static_cast<double>(PositionOf(positions.back())), 2.9e7, 0.3e7);
    ASSERT_GE(spectra.size(), 30u);
    for (const Note& s : spectra) EXPECT_GE(s.lParam, 256);
    for (size_t i = 1; i < spectra.size(); ++i) {
        EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(spectra[i].at - spectra[i - 1].at).count(), 39);
    }
    EXPECT_GT(std::max_element(spectra.begin(), spectra.end(), [](auto& a, auto& b) { return a.peak < b.peak; })->peak, 10.0f);
}

TEST(EngineFileTest, PausesResumesAndSeeks) {
    const std::string file = Tone("long.mp3", 5, "-c:a libmp3lame -b:a 128k");
    EngineHarness h(0);
    h->Open(ToUtf16(file).c_str(), 0);
    h->Play();
    ASSERT_TRUE(h.WaitState(LXSTATE_PLAYING, 5000));
    ASSERT_EQ(h->Pause(), LX_OK);
    ASSERT_TRUE(h.WaitState(LXSTATE_PAUSED, 1000));
    int64_t paused = 0, later = 0;
    h->GetPosition(&paused);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    h->GetPosition(&later);
    EXPECT_EQ(paused, later);
    ASSERT_EQ(h->Seek(40000000), LX_OK);
    h->GetPosition(&later);
    EXPECT_EQ(later, 40000000);
    h.Clear();
    ASSERT_EQ(h->Play(), LX_OK);
    ASSERT_TRUE(h.WaitState(LXSTATE_PLAYING, 1000));
    ASSERT_TRUE(h.WaitState(LXSTATE_ENDED, 5000));  // one second was left
    for (const Note& n : h.Notes()) {
        if (n.message == LXMSG_POSITION) {
            EXPECT_GE(PositionOf(n), 40000000);
        }
    }
}

TEST(EngineNetworkTest, PlaysEveryFormatOverHttp) {
    HttpTestServer server;
    struct Case {
        const char* name;
        const char* args;
        const char* type;
    } cases[] = {
        {"t.mp3", "-c:a libmp3lame -b:a 96k", "audio/mpeg"},
        {"t.aac", "-c:a aac -b:a 64k -f adts", "audio/aac"},
        {"t.opus", "-c:a libopus -b:a 48k -f ogg", "audio/ogg"},
        {"t.flac", "-c:a flac", "audio/flac"},
        {"t.wav", "-c:a pcm_s16le", "audio/wav"},
        {"t.wma", "-c:a wmav2 -b:a 64k -f asf", "application/octet-stream"},  // probed
    };
    for (const Case& c : cases) {
        const std::string path = Tone(c.name, 1, c.args);
        server.AddFile(std::string("/") + c.name, Slurp(path), c.type);
        EngineHarness h(0);
        h->Open(ToUtf16(server.Url(std::string("/") + c.name)).c_str(), 0);
        h->Play();
        EXPECT_TRUE(h.WaitState(LXSTATE_ENDED, 8000)) << c.name;
        const auto states = h.States();
        EXPECT_TRUE(std::find(states.begin(), states.end(), LXSTATE_PLAYING) != states.end()) << c.name;
    }
}

TEST(EngineNetworkTest, PlaysAnHlsStreamWithSegmentsThroughCurl) {
    HttpTestServer server;
    const std::string dir = testsupport::MakeTempDir("hls");
    ASSERT_EQ(enginetest::Run("ffmpeg -nostdin -loglevel error -f lavfi -i sine=frequency=500:duration=4 -c:a aac -b:a 64k "
                  "-f hls -hls_time 1 -hls_list_size 0 '" + dir + "/live.m3u8'"), 0);
    server.AddFile("/hls/live.m3u8", Slurp(dir + "/live.m3u8"), "application/vnd.apple.mpegurl");
    int segments = 0;
    for (int i = 0; i < 10; ++i) {
        const std::string seg = Slurp(dir + "/live" + std::to_string(i) + ".ts");
        if (seg.empty()) break;
        server.AddFile("/hls/live" + std::to_string(i) + ".ts", seg, "video/mp2t");
        ++segments;
    }
    ASSERT_GE(segments, 3);
    EngineHarness h(1);
    h->Open(ToUtf16(server.Url("/hls/live.m3u8")).c_str(), 0);
    h->Play();
    ASSERT_TRUE(h.WaitState(LXSTATE_PLAYING, 8000));
    EXPECT_GE(server.Hits("/hls/live0.ts"), 1);
    EXPECT_TRUE(h.WaitState(LXSTATE_ENDED, 10000));
}

TEST(EngineNetworkTest, LiveIcyStreamBuffersPlaysAndDecodesTheTitle) {
    HttpTestServer server;
    // "测试" in GB18030: not UTF-8, so the second choice applies.
    server.AddIcyStream("/live", Slurp(Mp3Tone()), "audio/mpeg", 4000, "Artist - \xB2\xE2\xCA\xD4", 16000, 4000);
    EngineHarness h(2);
    h->Open(ToUtf16(server.Url("/live")).c_str(), 0);
    h->Play();
    ASSERT_TRUE(h.WaitState(LXSTATE_PLAYING, 8000));
    const auto states = h.States();
    EXPECT_EQ(std::vector<int>(states.begin(), states.begin() + 4), (std::vector<int>{7, 4, 10, 1}));
    const auto buffers = h.Buffers();
    ASSERT_GE(buffers.size(), 5u);  // two seconds of filling at real time
    EXPECT_TRUE(std::is_sorted(buffers.begin(), buffers.end()));
    EXPECT_LT(buffers.front(), 50);
    EXPECT_EQ(buffers.back(), 100);
    char16_t title[64];
    ASSERT_TRUE(testsupport::WaitUntil([&] { return h->GetStreamTitle(title, 64) > 0; }, 3000));
    EXPECT_EQ(std::u16string(title), u"Artist - 测试");
    EXPECT_GE(h.Count(LXMSG_TITLE), 1u);
    EXPECT_EQ(h->Pause(), LX_E_NOTIMPL);
    EXPECT_EQ(h->Seek(0), LX_E_NOTIMPL);
    LXMediaInfo info;
    h->GetMediaInfo(&info);
    EXPECT_EQ(info.bitRate, 128);
    EXPECT_EQ(info.duration, 0);
}

TEST(EngineNetworkTest, BrokenStreamEndsWithState5) {
    HttpTestServer server;
    server.AddDroppingStream("/drop", Slurp(Mp3Tone()), "audio/mpeg", 24000, 16000);
    EngineHarness h(0);
    h->Open(ToUtf16(server.Url("/drop")).c_str(), 0);
    h->Play();
    ASSERT_TRUE(h.WaitState(LXSTATE_ENDED, 10000));
    const auto states = h.States();
    EXPECT_EQ(states.back(), LXSTATE_ENDED);
    EXPECT_TRUE(std::find(states.begin(), states.end(), LXSTATE_PLAYING) != states.end());
}

TEST(EngineNetworkTest, UnreachableAndUnplayableAddressesFail) {
    HttpTestServer server;
    server.AddFile("/page.html", "<html><body>" + std::string(5000, 'x') + "</body></html>", "text/html");
    struct Case {
        std::string url;
        int state;
    } cases[] = {
        {"http://127.0.0.1:" + std::to_string(FreePort()) + "/stream", LXSTATE_OPEN_FAILED},
        {server.Url("/missing.mp3"), LXSTATE_OPEN_FAILED},
        {server.Url("/page.html"), LXSTATE_UNSUPPORTED},
        {testsupport::TempRoot() + "/no-such-file.mp3", LXSTATE_OPEN_FAILED},
        {"gopher://127.0.0.1/x", LXSTATE_UNSUPPORTED},
    };
    for (const Case& c : cases) {
        EngineHarness h(0);
        h->Open(ToUtf16(c.url).c_str(), 0);
        h->Play();
        ASSERT_TRUE(testsupport::WaitUntil([&] { return h.States().size() >= 2; }, 5000)) << c.url;
        EXPECT_EQ(h.States(), (std::vector<int>{7, c.state})) << c.url;
    }
    EngineHarness h(0);
    EXPECT_EQ(h->Open(u"", 0), LX_E_INVALIDARG);
}

TEST(EngineNetworkTest, ServerThatNeverAnswersGives6Within15Seconds) {
    SilentServer silent;
    EngineHarness h(0);
    const auto start = Clock::now();
    h->Open(ToUtf16("http://127.0.0.1:" + std::to_string(silent.Port()) + "/").c_str(), 0);
    ASSERT_TRUE(h.WaitState(LXSTATE_OPEN_FAILED, 20000));
    EXPECT_LE(std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count(), 16);
    EXPECT_EQ(silent.Accepted(), 1);
}

TEST(EngineNetworkTest, StopAndReleaseReturnAtOnceWhileTheConnectionHangs) {
    SilentServer silent;
    auto* h = new EngineHarness(0);
    (*h)->Open(ToUtf16("http://127.0.0.1:" + std::to_string(silent.Port()) + "/").c_str(), 0);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return silent.Accepted() == 1; }, 5000));
    const uint32_t before = (*h)->GetGeneration();
    auto start = Clock::now();
    EXPECT_EQ((*h)->Stop(), LX_OK);
    const auto stopMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_LT(stopMs, 1000);  // a hang guard; the engine's own goal is far below
    EXPECT_GT((*h)->GetGeneration(), before);
    const size_t after = h->Notes().size();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto notes = h->Notes();
    ASSERT_EQ(notes.size(), after);
    EXPECT_EQ(notes.back().message, LXMSG_STATE);
    EXPECT_EQ(notes.back().wParam, static_cast<uintptr_t>(LXSTATE_STOPPED));
    (*h)->Open(ToUtf16("http://127.0.0.1:" + std::to_string(silent.Port()) + "/").c_str(), 0);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return silent.Accepted() == 2; }, 5000));
    start = Clock::now();
    delete h;  // Release joins the hung session
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count(), 1000);
}

TEST(EngineNetworkTest, NothingOfAnEarlierOpenArrivesAfterTheNextOne) {
    HttpTestServer server;
    server.AddIcyStream("/a", Slurp(Mp3Tone()), "audio/mpeg", 4000, "A", 16000, 64000);
    EngineHarness h(0);
    h->Open(ToUtf16(server.Url("/a")).c_str(), 0);
    h->Play();
    ASSERT_TRUE(h.WaitState(LXSTATE_PLAYING, 5000));
    ASSERT_TRUE(h.WaitCount(LXMSG_SPECTRUM, 3, 2000));
    const uint32_t first = h->GetGeneration();
    h->Open(ToUtf16(server.Url("/a")).c_str(), 0);
    const uint32_t second = h->GetGeneration();
    EXPECT_NE(first, second);
    h->Play();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return h.States().back() == LXSTATE_PLAYING; }, 5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto notes = h.Notes();
    // From the second Open's own OPENING state on, everything carries the second generation.
    size_t boundary = 0;
    while (boundary < notes.size() && !(notes[boundary].message == LXMSG_STATE &&
                                        notes[boundary].wParam == static_cast<uintptr_t>(LXSTATE_OPENING) &&
                                        static_cast<uint32_t>(notes[boundary].lParam) == second)) {
        ++boundary;
    }
    ASSERT_LT(boundary, notes.size());
    size_t checked = 0;
    for (size_t i = boundary; i < notes.size(); ++i) {
        if (notes[i].message == LXMSG_STATE || notes[i].message == LXMSG_BUFFER || notes[i].message == LXMSG_TITLE) {
            EXPECT_EQ(static_cast<uint32_t>(notes[i].lParam), second) << i;
            ++checked;
        }
    }
    EXPECT_GE(checked, 4u);
    // Before it, nothing of the second; the first's notes never follow it.
    for (size_t i = 0; i < boundary; ++i) {
        if (notes[i].message == LXMSG_STATE) {
            EXPECT_EQ(static_cast<uint32_t>(notes[i].lParam), first);
        }
    }
}

TEST(EngineNetworkTest, PlaylistsPlayTheirFirstWorkingEntry) {
    HttpTestServer server;
    server.AddFile("/s.mp3", Slurp(Mp3Tone()), "audio/mpeg");
    const std::string dead = "http://127.0.0.1:" + std::to_string(FreePort()) + "/dead";
    server.AddFile("/l.pls", "[playlist]\nNumberOfEntries=2\nFile1=" + dead + "\nFile2=s.mp3\n", "audio/x-scpls");
    server.AddFile("/l.m3u", "#EXTM3U\n" + dead + "\n" + server.Url("/s.mp3") + "\n", "audio/x-mpegurl");
    server.AddFile("/l.asx", "<asx version=\"3.0\"><entry><ref href=\"" + dead + "\"/></entry><entry><ref href=\"/s.mp3\"/></entry></asx>",
                   "video/x-ms-asf");
    const std::string local = testsupport::TempRoot() + "/local.m3u";
    testsupport::WriteFile(local, "missing.mp3\n" + Mp3Tone() + "\n");
    for (const std::string& url : {server.Url("/l.pls"), server.Url("/l.m3u"), server.Url("/l.asx"), local}) {
        EngineHarness h(0);
        h->Open(ToUtf16(url).c_str(), 0);
        h->Play();
        EXPECT_TRUE(h.WaitState(LXSTATE_PLAYING, 8000)) << url;
    }
    EXPECT_GE(server.Hits("/s.mp3"), 3);
}

TEST(EngineRecordTest, Mp3StreamCopyKeepsTheSourceFramesAndDropsIcyMetadata) {
    const std::string source = Slurp(Mp3Tone());
    HttpTestServer server;
    server.AddIcyStream("/live", source, "audio/mpeg", 3000, "Title 1", 16000, 16000);
    EngineHarness h(0);
    h->Open(ToUtf16(server.Url("/live")).c_str(), 0);
    h->Play();
    ASSERT_TRUE(h.WaitState(LXSTATE_PLAYING, 5000));
    const std::string out = testsupport::TempRoot() + "/copy.mp3";
    ASSERT_GE(h->StartRecord(ToUtf16(out).c_str(), 0, nullptr, LXRECORD_MP3, 0), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(h->StopRecord(false), LX_OK);
    const std::string recorded = Slurp(out);
    ASSERT_GT(recorded.size(), 10000u);
    lxengine::Recorder::Mp3Header header;
    ASSERT_TRUE(lxengine::Recorder::ParseMp3Header(reinterpret_cast<const uint8_t*>(recorded.data()), recorded.size(), &header));
    EXPECT_EQ(recorded.find("StreamTitle"), std::string::npos);
    // Frame by frame, every recorded frame is a frame of the source file, byte for byte.
    size_t at = 0, frames = 0;
    while (at < recorded.size()) {
        ASSERT_TRUE(lxengine::Recorder::ParseMp3Header(reinterpret_cast<const uint8_t*>(recorded.data() + at),
                                                       recorded.size() - at, &header)) << at;
        const std::string frame = recorded.substr(at, header.frameBytes);
        ASSERT_NE(source.find(frame), std::string::npos) << "frame " << frames;
        at += header.frameBytes;
        ++frames;
    }
    EXPECT_EQ(at, recorded.size());
    EXPECT_GT(frames, 30u);
}

TEST(EngineRecordTest, WavLimitStopsAt4Point5SecondsWithOneCompletion) {
    HttpTestServer server;
    server.AddIcyStream("/live", Slurp(Mp3Tone()), "audio/mpeg", 4000, "T", 16000, 64000);
    EngineHarness h(0);
    h->Open(ToUtf16(server.Url("/live")).c_str(), 0);
    h->Play();
    ASSERT_TRUE(h.WaitState(LXSTATE_PLAYING, 5000));
    const std::string out = testsupport::TempRoot() + "/rec.wav";
    Callback callback;
    ASSERT_GE(h->StartRecord(ToUtf16(out).c_str(), 45000000, &callback, LXRECORD_PCM, LXRECORD_FLAG_PROGRESS), 0);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return callback.Finals() == 1; }, 10000));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(callback.Finals(), 1);
    EXPECT_EQ(callback.finalStatus, LX_OK);
    EXPECT_EQ(callback.finalLength, 45000000);
    EXPECT_GT(callback.progress, 20);
    EXPECT_EQ(h->StopRecord(true), LX_FALSE);
    EXPECT_EQ(callback.refs.load(), 1u);

    IAudioDecoder* decoder = nullptr;
    ASSERT_EQ(CreateDecoder(&decoder), LX_OK);
    ASSERT_EQ(decoder->Open(ToUtf16(out).c_str()), LX_OK);
    int32_t bits = 0, channels = 0, rate = 0;
    decoder->GetFormat(&bits, &channels, &rate);
    EXPECT_EQ(bits, 16);
    EXPECT_EQ(rate, 44100);
    std::vector<uint8_t> buf(65536);
    uint64_t bytes = 0;
    uint32_t read = 0;
    while (decoder->Read(buf.data(), static_cast<uint32_t>(buf.size()), &read) == LX_OK && read > 0) bytes += read;
    decoder->Release();
    const double seconds = static_cast<double>(bytes) / (channels * 2) / rate;
    EXPECT_NEAR(seconds, 4.5, 1152.0 / 44100);
}

TEST(EngineProxyTest, EveryKindOfProxyCarriesTheStreamAndIsReallyUsed) {
    HttpTestServer server;
    server.AddFile("/s.mp3", Slurp(Mp3Tone()), "audio/mpeg");
    TinyProxy tiny("", "", {server.Port()});
    TinyProxy tinyAuth("puser", "ppass", {server.Port()});
    MicroSocks socks("", "");
    MicroSocks socksAuth("suser", "spass");
    ASSERT_TRUE(tiny.Ready() && tinyAuth.Ready() && socks.Ready() && socksAuth.Ready());
    const std::string closed = std::to_string(FreePort());
    struct Case {
        std::string text;
        int type;
        int state;
    } cases[] = {
        {"127.0.0.1:" + std::to_string(tiny.Port()), LXPROXY_HTTP, LXSTATE_PLAYING},
        {"puser:ppass@127.0.0.1:" + std::to_string(tinyAuth.Port()), LXPROXY_HTTP, LXSTATE_PLAYING},
        {"puser:wrong@127.0.0.1:" + std::to_string(tinyAuth.Port()), LXPROXY_HTTP, LXSTATE_OPEN_FAILED},
        {"127.0.0.1:" + std::to_string(socks.Port()), LXPROXY_SOCKS5, LXSTATE_PLAYING},
        {"suser:spass@127.0.0.1:" + std::to_string(socksAuth.Port()), LXPROXY_SOCKS5, LXSTATE_PLAYING},
        {"suser:wrong@127.0.0.1:" + std::to_string(socksAuth.Port()), LXPROXY_SOCKS5, LXSTATE_OPEN_FAILED},
        {"127.0.0.1:" + closed, LXPROXY_HTTP, LXSTATE_OPEN_FAILED},
        {"127.0.0.1:" + closed, LXPROXY_SOCKS5, LXSTATE_OPEN_FAILED},
    };
    for (const Case& c : cases) {
        EngineHarness h(0);
        ASSERT_TRUE(h.SetProxy(ToUtf16(c.text), c.type)) << c.text;
        h->Open(ToUtf16(server.Url("/s.mp3")).c_str(), 0);
        h->Play();
        ASSERT_TRUE(testsupport::WaitUntil([&] {
            const auto s = h.States();
            return std::find(s.begin(), s.end(), c.state) != s.end() ||
                   std::find(s.begin(), s.end(), LXSTATE_OPEN_FAILED) != s.end();
        }, 8000)) << c.text;
        const auto s = h.States();
        EXPECT_TRUE(std::find(s.begin(), s.end(), c.state) != s.end()) << c.text << " type " << c.type;
    }
}

TEST(EngineIcecastTest, IcecastMp3MountPlaysWithItsTitleAndAacRecordsToMp3) {
    IcecastServer icecast(Mp3Tone());
    ASSERT_TRUE(icecast.Ready());
    {
        EngineHarness h(1);
        h->Open(ToUtf16(icecast.Url("/mp3")).c_str(), 0);
        h->Play();
        ASSERT_TRUE(h.WaitState(LXSTATE_PLAYING, 8000));
        const auto states = h.States();
        EXPECT_EQ(std::vector<int>(states.begin(), states.begin() + 4), (std::vector<int>{7, 4, 10, 1}));
        ASSERT_TRUE(icecast.SetTitle("/mp3", "歌手 - 歌名"));
        char16_t title[64] = {};
        EXPECT_TRUE(testsupport::WaitUntil([&] {
            h->GetStreamTitle(title, 64);
            return std::u16string(title) == u"歌手 - 歌名";
        }, 8000)) << ToUtf8(title);
    }
    EngineHarness h(0);
    h->Open(ToUtf16(icecast.Url("/aac")).c_str(), 0);
    h->Play();
    ASSERT_TRUE(h.WaitState(LXSTATE_PLAYING, 8000));
    LXMediaInfo info;
    h->GetMediaInfo(&info);
    EXPECT_EQ(info.formatTag, 0xFF);
    const std::string out = testsupport::TempRoot() + "/aac.mp3";
    Callback callback;
    ASSERT_GE(h->StartRecord(ToUtf16(out).c_str(), 20000000, &callback, LXRECORD_MP3, 0), 0);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return callback.Finals() == 1; }, 10000));
    EXPECT_EQ(callback.finalStatus, LX_OK);
    EXPECT_EQ(callback.progress, 0);  // no progress calls without the flag
    const std::string mp3 = Slurp(out);
    lxengine::Recorder::Mp3Header header;
    ASSERT_TRUE(lxengine::Recorder::ParseMp3Header(reinterpret_cast<const uint8_t*>(mp3.data()), mp3.size(), &header));
    EXPECT_NEAR(ProbeSeconds(out), 2.0, 0.1);
}

TEST(EngineLifetimeTest, ThousandsOfOpenStopCyclesLeaveNothingBehind) {
    HttpTestServer server;
    server.AddIcyStream("/live", Slurp(Mp3Tone()), "audio/mpeg", 4000, "T", 16000, 64000);
    SilentServer silent;
    const std::u16string addresses[] = {ToUtf16(server.Url("/live")),
                                        ToUtf16("http://127.0.0.1:" + std::to_string(silent.Port()) + "/"),
                                        ToUtf16(Mp3Tone())};
    auto* engine = new lxengine::PlayerEngine(LXNotifyTarget{});
    engine->SetOption(LXOPTION_AUDIO_OUTPUT, LXOUTPUT_NULL);
    engine->SetOption(LXOPTION_SPECTRUM, 1);
    for (int i = 0; i < 2000; ++i) {
        engine->Open(addresses[i % 3].c_str(), 0);
        engine->Play();
        if (i % 100 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(30));
        engine->Stop();
    }
    ASSERT_TRUE(testsupport::WaitUntil([&] {
        engine->Stop();  // joins what has finished
        return engine->LiveSessions() == 0;
    }, 10000));
    engine->Release();
}

TEST(EngineMeasureTest, MeasuresPlayableStreamsAndRejectsOthers) {
    HttpTestServer server;
    server.AddIcyStream("/live", Slurp(Mp3Tone()), "audio/mpeg", 4000, "T", 16000, 64000);
    const int32_t ms = MeasureStreamSpeed(ToUtf16(server.Url("/live")).c_str());
    EXPECT_GE(ms, 0);
    EXPECT_LT(ms, 15000);
    EXPECT_EQ(MeasureStreamSpeed(ToUtf16("http://127.0.0.1:" + std::to_string(FreePort()) + "/").c_str()), -1);
    EXPECT_EQ(MeasureStreamSpeed(u""), -1);
}

TEST(LxPlayTest, PrintsJsonLinesAndExitsWithTheDocumentedCodes) {
    const std::string lxplay = testsupport::BinDir() + "/lxplay";
    auto run = [&](const std::string& args, std::string* out) {
        FILE* p = popen((lxplay + " " + args + " 2>/dev/null").c_str(), "r");
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) out->append(buf, n);
        const int rc = pclose(p);
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    };
    std::string out;
    EXPECT_EQ(run("--volume 300 x.mp3", &out), 2);
    EXPECT_EQ(run("--bogus x.mp3", &out), 2);
    EXPECT_EQ(run("", &out), 2);
    out.clear();
    EXPECT_EQ(run("--ao null --buffer 0 http://127.0.0.1:" + std::to_string(FreePort()) + "/", &out), 1);
    EXPECT_NE(out.find("\"event\": \"state\", \"value\": 6}"), std::string::npos) << out;
    out.clear();
    const std::string wav = testsupport::TempRoot() + "/lx.wav";
    EXPECT_EQ(run("--ao null --buffer 0 --wav '" + wav + "' --limit 1 '" + Mp3Tone() + "'", &out), 0);
    EXPECT_NE(out.find("\"event\": \"state\", \"value\": 1}"), std::string::npos) << out;
    EXPECT_NE(out.find("\"event\": \"state\", \"value\": 5}"), std::string::npos) << out;
    EXPECT_NE(out.find("\"status\": \"complete\""), std::string::npos) << out;
    EXPECT_NE(out.find("\"event\": \"spectrum\", \"value\": {\"count\": 256"), std::string::npos) << out;
    EXPECT_EQ(Slurp(wav).size(), 44u + 44100u * 2);  // one second of the mono tone
    out.clear();
    const auto start = Clock::now();
    EXPECT_EQ(run("--ao null --seconds 1 '" + Mp3Tone() + "'", &out), 0);
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count(), 2900);
    EXPECT_EQ(out.find("\"event\": \"state\", \"value\": 5}"), std::string::npos) << out;  // ended by --seconds
}
