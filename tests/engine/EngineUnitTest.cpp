// Unit tests of the engine's parts that need no server: playlists, title decoding, proxy texts,
// MP3 frame headers, the sound ring and its clock, spectrum magnitudes, WAV recording limits and
// the decoder.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

#include "AudioDecoder.h"
#include "AudioRing.h"
#include "EngineText.h"
#include "Playlist.h"
#include "ProxySettings.h"
#include "Recorder.h"
#include "SpectrumAnalyzer.h"
#include "tests/support/TestSupport.h"

using namespace lxengine;

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

uint32_t Le32(const std::string& s, size_t at) {
    return static_cast<uint8_t>(s[at]) | (static_cast<uint8_t>(s[at + 1]) << 8) |
           (static_cast<uint8_t>(s[at + 2]) << 16) | (static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3])) << 24);
}

// Counts Invoke calls and remembers the last report.
class CountingCallback final : public IAsyncCallback {
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
        if (status == LX_FALSE) {
            ++progress;
        } else {
            ++finals;
            lastStatus = status;
            finalLength = length;
        }
        return LX_OK;
    }
    std::atomic<uint32_t> refs{1};
    int progress = 0;
    int finals = 0;
    LXRESULT lastStatus = LX_FALSE;
    int64_t finalLength = 0;
};

}  // namespace

TEST(PlaylistTest, RecognisesKindsByAddressTypeAndContent) {
    struct Case {
        const char* url;
        const char* type;
        Playlist::Kind kind;
    } cases[] = {
        {"http://h/a.pls", "", Playlist::Kind::Pls},
        {"http://h/a.M3U?x=1", "", Playlist::Kind::M3u},
        {"http://h/a.asx", "", Playlist::Kind::Asx},
        {"http://h/live", "application/vnd.apple.mpegurl", Playlist::Kind::Hls},
        {"http://h/live.m3u8", "", Playlist::Kind::Hls},
        {"http://h/s", "audio/x-scpls", Playlist::Kind::Pls},
        {"http://h/s", "audio/mpeg", Playlist::Kind::None},
    };
    for (const Case& c : cases) EXPECT_EQ(Playlist::FromAddress(c.url, c.type), c.kind) << c.url;
    EXPECT_EQ(Playlist::FromContent("#EXTM3U\n#EXT-X-VERSION:3\n"), Playlist::Kind::Hls);
    EXPECT_EQ(Playlist::FromContent("#EXTM3U\n#EXTINF:-1,x\nhttp://a\n"), Playlist::Kind::M3u);
    EXPECT_EQ(Playlist::FromContent("  [playlist]\nFile1=x"), Playlist::Kind::Pls);
    EXPECT_EQ(Playlist::FromContent("<ASX version=\"3.0\">"), Playlist::Kind::Asx);
    EXPECT_EQ(Playlist::FromContent("\xFF\xFB\x90\x00"), Playlist::Kind::None);
}

TEST(PlaylistTest, ListsEntriesInOrderResolvedAgainstTheBase) {
    const std::string pls = "[playlist]\r\nNumberOfEntries=2\r\nFile1=http://a/1\r\nTitle1=x\r\nFile2=two.mp3\r\n";
    EXPECT_EQ(Playlist::Entries(Playlist::Kind::Pls, pls, "http://h/dir/list.pls"),
              (std::vector<std::string>{"http://a/1", "http://h/dir/two.mp3"}));
    const std::string m3u = "#EXTM3U\n#EXTINF:-1,Radio\n/abs/s.mp3\n\nhttp://b/2\n";
    EXPECT_EQ(Playlist::Entries(Playlist::Kind::M3u, m3u, "http://h:81/x/l.m3u"),
              (std::vector<std::string>{"http://h:81/abs/s.mp3", "http://b/2"}));
    const std::string asx = "<asx version=\"3.0\"><entry><REF HREF = \"mms://m/1?a=1&amp;b=2\" /></entry>"
                            "<entry><ref href='http://c/3'/></entry></asx>";
    EXPECT_EQ(Playlist::Entries(Playlist::Kind::Asx, asx, "http://h/a.asx"),
              (std::vector<std::string>{"mms://m/1?a=1&b=2", "http://c/3"}));
}

TEST(EngineTextTest, DecodesTitlesAsUtf8ElseGb18030ElseLatin1) {
    EXPECT_EQ(DecodeTitle("Artist - \xE6\xB5\x8B\xE8\xAF\x95"), u"Artist - 测试");
    EXPECT_EQ(DecodeTitle("\xB2\xE2\xCA\xD4 Song"), u"测试 Song");  // GB18030 / GBK
    EXPECT_EQ(DecodeTitle("Caf\xE9 \xFF"), u"Café ÿ");                // not GB18030 either
    EXPECT_EQ(DecodeTitle(""), u"");
    EXPECT_EQ(ToUtf8(u"洛新 😀"), "\xE6\xB4\x9B\xE6\x96\xB0 \xF0\x9F\x98\x80");
    EXPECT_EQ(ToUtf16("\xF0\x9F\x98\x80"), u"😀");
}

TEST(ProxySettingsTest, ParsesTheProgramsText) {
    struct Case {
        const char16_t* text;
        int type;
        bool ok;
        ProxySettings::Kind kind;
        const char* host;
        int port;
        const char* user;
        const char* password;
        bool creds;
    } cases[] = {
        {u"u:@p:1080", 1, true, ProxySettings::Kind::Socks5, "p", 1080, "u", "", true},
        {u"user:pa:ss@proxy.lan:3128", 2, true, ProxySettings::Kind::Http, "proxy.lan", 3128, "user", "pa:ss", true},
        {u"10.0.0.1", 2, true, ProxySettings::Kind::Http, "10.0.0.1", 80, "", "", false},
        {u"10.0.0.1", 1, true, ProxySettings::Kind::Socks5, "10.0.0.1", 1080, "", "", false},
        {u"", 2, true, ProxySettings::Kind::None, "", 0, "", "", false},
        {u"host:http", 2, false, ProxySettings::Kind::None, "", 0, "", "", false},
        {u"host:99999", 1, false, ProxySettings::Kind::None, "", 0, "", "", false},
        {u"host:80", 3, false, ProxySettings::Kind::None, "", 0, "", "", false},
    };
    for (const Case& c : cases) {
        ProxySettings p;
        ASSERT_EQ(ProxySettings::Parse(c.text, c.type, &p), c.ok) << ToUtf8(c.text);
        if (!c.ok) continue;
        EXPECT_EQ(p.kind, c.kind);
        EXPECT_EQ(p.host, c.host);
        EXPECT_EQ(p.port, c.port);
        EXPECT_EQ(p.user, c.user);
        EXPECT_EQ(p.password, c.password);
        EXPECT_EQ(p.hasCredentials, c.creds);
    }
    ProxySettings url;
    ASSERT_TRUE(ProxySettings::ParseUrl("socks5://a:b@127.0.0.1:1081", &url));
    EXPECT_EQ(url.kind, ProxySettings::Kind::Socks5);
    EXPECT_EQ(url.user, "a");
    EXPECT_EQ(url.port, 1081);
    EXPECT_FALSE(ProxySettings::ParseUrl("ftp://x:1", &url));
}

TEST(RecorderTest, ReadsMp3FrameHeaders) {
    Recorder::Mp3Header h;
    const uint8_t mpeg1[] = {0xFF, 0xFB, 0x90, 0x64};  // MPEG-1 layer III, 128 kbit/s, 44100 Hz
    ASSERT_TRUE(Recorder::ParseMp3Header(mpeg1, 4, &h));
    EXPECT_EQ(h.sampleRate, 44100);
    EXPECT_EQ(h.samplesPerFrame, 1152);
    EXPECT_EQ(h.bitRateKbps, 128);
    EXPECT_EQ(h.frameBytes, 417);
    const uint8_t mpeg2[] = {0xFF, 0xF3, 0x82, 0x00};  // MPEG-2 layer III, 64 kbit/s, 22050 Hz, padded
    ASSERT_TRUE(Recorder::ParseMp3Header(mpeg2, 4, &h));
    EXPECT_EQ(h.sampleRate, 22050);
    EXPECT_EQ(h.samplesPerFrame, 576);
    EXPECT_EQ(h.frameBytes, 72 * 64000 / 22050 + 1);
    const uint8_t notMp3[] = {0xFF, 0xF1, 0x50, 0x80};  // an ADTS AAC header
    EXPECT_FALSE(Recorder::ParseMp3Header(notMp3, 4, &h));
    EXPECT_FALSE(Recorder::ParseMp3Header(mpeg1, 3, &h));
}

TEST(RecorderTest, WavLimitCutsAtTheExactSampleAndCompletesOnce) {
    const std::string dir = testsupport::MakeTempDir("rec");
    Recorder recorder;
    CountingCallback callback;
    Recorder::Source source;
    source.sampleRate = 44100;
    source.channels = 2;
    source.generation = 7;
    ASSERT_TRUE(recorder.Start(dir + "/r.wav", 45000000, &callback, LXRECORD_PCM, LXRECORD_FLAG_PROGRESS, source));
    std::vector<int16_t> block(1000 * 2, 1000);
    recorder.OnPcm(8, block.data(), 1000);  // another session's sound is ignored
    for (int i = 0; i < 400; ++i) recorder.OnPcm(7, block.data(), 1000);
    EXPECT_EQ(callback.finals, 1);
    EXPECT_EQ(callback.lastStatus, LX_OK);
    EXPECT_EQ(callback.finalLength, 45000000);
    EXPECT_GE(callback.progress, 30);
    EXPECT_FALSE(recorder.Stop());  // already complete and closed
    EXPECT_EQ(callback.refs.load(), 1u);
    const std::string wav = ReadAll(dir + "/r.wav");
    ASSERT_EQ(wav.size(), 44u + 198450u * 4u);  // 4.5 s at 44100 Hz, 16-bit stereo
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(Le32(wav, 4), wav.size() - 8);
    EXPECT_EQ(static_cast<uint8_t>(wav[20]), 1);  // PCM
    EXPECT_EQ(Le32(wav, 24), 44100u);
    EXPECT_EQ(Le32(wav, 40), 198450u * 4u);
}

TEST(RecorderTest, StopClosesAValidFileWithoutAFinalCall) {
    const std::string dir = testsupport::MakeTempDir("rec2");
    Recorder recorder;
    CountingCallback callback;
    Recorder::Source source;
    source.sampleRate = 22050;
    source.channels = 1;
    ASSERT_TRUE(recorder.Start(dir + "/r.mp3", 0, &callback, LXRECORD_MP3, 0, source));
    std::vector<int16_t> tone(22050);
    for (size_t i = 0; i < tone.size(); ++i) tone[i] = static_cast<int16_t>(8000 * std::sin(i * 0.1));
    recorder.OnPcm(0, tone.data(), tone.size());
    EXPECT_TRUE(recorder.Stop());
    EXPECT_EQ(callback.finals + callback.progress, 0);
    EXPECT_EQ(callback.refs.load(), 1u);
    const std::string mp3 = ReadAll(dir + "/r.mp3");
    Recorder::Mp3Header h;
    ASSERT_GT(mp3.size(), 1000u);
    EXPECT_TRUE(Recorder::ParseMp3Header(reinterpret_cast<const uint8_t*>(mp3.data()), mp3.size(), &h));
    EXPECT_FALSE(recorder.Start(dir + "/no/such/folder/x.mp3", 0, nullptr, LXRECORD_MP3, 0, source));
    EXPECT_FALSE(recorder.Start(dir + "/x.ogg", 0, nullptr, 0x674F, 0, source));
}

TEST(AudioRingTest, PlaysOnlyWhileRunningAndKeepsTheClock) {
    AudioRing ring(1000, 2, 2000);
    std::vector<int16_t> in(500 * 2, 100);
    ASSERT_TRUE(ring.Push(in.data(), 500));
    std::vector<int16_t> out(300 * 2, -1);
    EXPECT_EQ(ring.Pull(out.data(), 300), 0u);  // buffering: silence
    EXPECT_EQ(out[0], 0);
    ring.SetRunning(true);
    ring.SetGain(0.5f);
    EXPECT_EQ(ring.Pull(out.data(), 300), 300u);
    EXPECT_EQ(out[0], 50);
    EXPECT_EQ(ring.Position(), 3000000);  // 300 frames at 1000 Hz = 0.3 s
    EXPECT_EQ(ring.Pull(out.data(), 300), 200u);
    EXPECT_TRUE(ring.TakeUnderrun());
    EXPECT_FALSE(ring.TakeUnderrun());
    ring.Flush(10000000);
    EXPECT_EQ(ring.Position(), 10000000);
    ring.SetEof();
    EXPECT_EQ(ring.Pull(out.data(), 10), 0u);
    EXPECT_FALSE(ring.TakeUnderrun());  // the end is not an underrun
}

TEST(AudioRingTest, AbortEndsAWaitingPush) {
    AudioRing ring(1000, 1, 1024);
    std::vector<int16_t> in(4096);
    std::thread producer([&] { EXPECT_FALSE(ring.Push(in.data(), 4096)); });
    ASSERT_TRUE(testsupport::WaitUntil([&] { return ring.FillFrames() == 1024; }, 5000));
    ring.Abort();
    producer.join();
}

TEST(SpectrumAnalyzerTest, PeaksAtTheToneBin) {
    SpectrumAnalyzer analyzer;
    std::vector<float> samples(SpectrumAnalyzer::kFftSize);
    const int bin = 40;
    for (int i = 0; i < SpectrumAnalyzer::kFftSize; ++i) {
        samples[i] = static_cast<float>(std::sin(2 * M_PI * bin * i / SpectrumAnalyzer::kFftSize));
    }
    std::vector<float> out(SpectrumAnalyzer::kBins);
    analyzer.Compute(samples.data(), out.data());
    const auto peak = std::max_element(out.begin(), out.end()) - out.begin();
    EXPECT_EQ(peak + 1, bin);  // out[k] is bin k + 1
    EXPECT_NEAR(out[peak], 128.0f, 4.0f);
    std::fill(samples.begin(), samples.end(), 0.0f);
    analyzer.Compute(samples.data(), out.data());
    EXPECT_EQ(*std::max_element(out.begin(), out.end()), 0.0f);
}

TEST(AudioDecoderTest, ReadsWavInItsOwnFormatAndSeeks) {
    const std::string dir = testsupport::MakeTempDir("dec");
    // 1 s of 8-bit mono at 8000 Hz counting 0..255, written by the recorder's own rules by hand.
    std::string wav = "RIFF0000WAVEfmt ";
    auto put32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) wav.push_back(static_cast<char>(v >> (8 * i))); };
    auto put16 = [&](uint16_t v) { for (int i = 0; i < 2; ++i) wav.push_back(static_cast<char>(v >> (8 * i))); };
    put32(16);
    put16(1);
    put16(1);
    put32(8000);
    put32(8000);
    put16(1);
    put16(8);
    wav += "data";
    put32(8000);
    for (int i = 0; i < 8000; ++i) wav.push_back(static_cast<char>(i & 0xFF));
    const uint32_t riff = static_cast<uint32_t>(wav.size() - 8);
    for (int i = 0; i < 4; ++i) wav[4 + i] = static_cast<char>(riff >> (8 * i));
    testsupport::WriteFile(dir + "/u8.wav", wav);

    AudioDecoder* decoder = new AudioDecoder();
    ASSERT_EQ(decoder->Open(ToUtf16(dir + "/u8.wav").c_str()), LX_OK);
    int32_t bits = 0, channels = 0, rate = 0;
    ASSERT_EQ(decoder->GetFormat(&bits, &channels, &rate), LX_OK);
    EXPECT_EQ(bits, 8);
    EXPECT_EQ(channels, 1);
    EXPECT_EQ(rate, 8000);
    ASSERT_EQ(decoder->Seek(5000000), LX_OK);  // 0.5 s = sample 4000
    uint8_t buf[16];
    uint32_t read = 0;
    ASSERT_EQ(decoder->Read(buf, sizeof buf, &read), LX_OK);
    ASSERT_EQ(read, 16u);
    EXPECT_EQ(buf[0], 4000 & 0xFF);
    int16_t wide[2];
    LXConvertU8ToS16(buf, wide, 2);
    EXPECT_EQ(wide[0], (static_cast<int>(buf[0]) - 128) * 256);
    uint32_t total = read;
    while (decoder->Read(buf, sizeof buf, &read) == LX_OK && read > 0) total += read;
    EXPECT_EQ(total, 4000u);
    EXPECT_EQ(decoder->Open(u"/no/such/file.wav"), LX_E_FAIL);
    decoder->Release();
}
