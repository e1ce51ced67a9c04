// What the program and the playback engine (libLXPlayer.so, loaded with dlopen) agree on: the
// exported functions, the COM-style interfaces, the notifications and their lifetime rules.
// Plain C++ only: text is UTF-16 (char16_t, zero-terminated), times are int64_t counts of 100 ns.
//
// Threading, in short: one owner thread (the program's user-interface thread) calls every method
// of an engine and its option and proxy interfaces; none of them blocks longer than 200 ms, even
// while the network hangs. The engine reports back only through the notify target's post
// function and a recording's IAsyncCallback, both called on engine threads.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>

// ---------------------------------------------------------------------------------------------
// Result codes, interface ids, the base interface
// ---------------------------------------------------------------------------------------------

using LXRESULT = int32_t;  // >= 0 success, < 0 failure (COM's HRESULT convention)
constexpr LXRESULT LX_OK = 0;
constexpr LXRESULT LX_FALSE = 1;  // success, but nothing done (already in that state)
constexpr LXRESULT LX_E_FAIL = static_cast<LXRESULT>(0x80004005u);
constexpr LXRESULT LX_E_NOINTERFACE = static_cast<LXRESULT>(0x80004002u);
constexpr LXRESULT LX_E_POINTER = static_cast<LXRESULT>(0x80004003u);
constexpr LXRESULT LX_E_INVALIDARG = static_cast<LXRESULT>(0x80070057u);
constexpr LXRESULT LX_E_NOTIMPL = static_cast<LXRESULT>(0x80004001u);
constexpr LXRESULT LX_E_UNEXPECTED = static_cast<LXRESULT>(0x8000FFFFu);  // wrong state for the call

struct LXIID {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
    friend bool operator==(const LXIID& a, const LXIID& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
};

// {00000000-0000-0000-C000-000000000046}
constexpr LXIID IID_ILXUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// {4E0C5A3B-1F2D-4C69-9A7E-5D1B3C8F2A10}
constexpr LXIID IID_IPlayerEngine = {0x4E0C5A3B, 0x1F2D, 0x4C69, {0x9A, 0x7E, 0x5D, 0x1B, 0x3C, 0x8F, 0x2A, 0x10}};
// {6C8D41FD-7FE7-4C52-B68E-CC768321F6F3}
constexpr LXIID IID_IPlayerOption = {0x6C8D41FD, 0x7FE7, 0x4C52, {0xB6, 0x8E, 0xCC, 0x76, 0x83, 0x21, 0xF6, 0xF3}};
// {203C3DAB-212B-42D4-8DE5-23EC204C1251}
constexpr LXIID IID_IPlayerProxy = {0x203C3DAB, 0x212B, 0x42D4, {0x8D, 0xE5, 0x23, 0xEC, 0x20, 0x4C, 0x12, 0x51}};
// {9B1E7C52-6A3D-4F0E-8C21-7E4A5B9D0C33}
constexpr LXIID IID_IAsyncCallback = {0x9B1E7C52, 0x6A3D, 0x4F0E, {0x8C, 0x21, 0x7E, 0x4A, 0x5B, 0x9D, 0x0C, 0x33}};
// {D2F4A816-3B7C-4E95-A06D-1C8E2F7B4A59}
constexpr LXIID IID_IAsyncResult = {0xD2F4A816, 0x3B7C, 0x4E95, {0xA0, 0x6D, 0x1C, 0x8E, 0x2F, 0x7B, 0x4A, 0x59}};
// {5A7D3E91-C04B-4B28-9F63-2E8A1D6C7B04}
constexpr LXIID IID_IAudioDecoder = {0x5A7D3E91, 0xC04B, 0x4B28, {0x9F, 0x63, 0x2E, 0x8A, 0x1D, 0x6C, 0x7B, 0x04}};

// Reference counting as in COM: every object starts with one reference owned by whoever created
// or received it; Release of the last reference destroys it. QueryInterface adds a reference to
// what it returns. AddRef/Release are thread-safe; the other methods follow each interface's rule.
class ILXUnknown {
public:
    virtual LXRESULT QueryInterface(const LXIID& iid, void** out) = 0;  // 0
    virtual uint32_t AddRef() = 0;                                       // 1
    virtual uint32_t Release() = 0;                                      // 2

protected:
    ~ILXUnknown() = default;
};

// ---------------------------------------------------------------------------------------------
// Notifications
// ---------------------------------------------------------------------------------------------

// Message numbers the engine posts to its notify target.
constexpr uint32_t LXMSG_STATE = 9232;     // wParam = state (LXSTATE_*), lParam = generation
constexpr uint32_t LXMSG_BUFFER = 9234;    // wParam = buffer fill percent 0..100, lParam = generation
constexpr uint32_t LXMSG_POSITION = 9235;  // wParam = low 32 bits, lParam = high 32 bits of the
                                           // play position (int64, 100 ns), about every 200 ms
constexpr uint32_t LXMSG_TITLE = 9236;     // wParam = 0, lParam = generation: the stream title
                                           // changed; read it with GetStreamTitle
constexpr uint32_t LXMSG_SPECTRUM = 9238;  // wParam = float* magnitudes, lParam = their count

// States (wParam of LXMSG_STATE). A live stream goes 7 -> 4 -> 10 -> 1 (and 10 -> 1 again when it
// falls behind and re-buffers); a file goes 7 -> 4 -> 10 -> 1 and 3 <-> 1 by Pause/Play.
constexpr int LXSTATE_READY = 0;        // nothing opened yet
constexpr int LXSTATE_PLAYING = 1;      // sound is coming out (after the buffer filled)
constexpr int LXSTATE_STOPPED = 2;      // Stop was called (posted from inside Stop)
constexpr int LXSTATE_PAUSED = 3;       // Pause was called (files only)
constexpr int LXSTATE_CONNECTED = 4;    // the source answered and its format is known
constexpr int LXSTATE_ENDED = 5;        // a live stream broke, or a file played to its end
constexpr int LXSTATE_OPEN_FAILED = 6;  // could not connect or open (network error, HTTP error,
                                        // missing file, no answer within 15 s); retrying may help
constexpr int LXSTATE_OPENING = 7;      // Open accepted; connecting (posted from inside Open)
constexpr int LXSTATE_UNSUPPORTED = 8;  // the source answered but holds no playable audio
                                        // (not a media type, unknown codec); retrying will not help
constexpr int LXSTATE_OUTPUT_FAILED = 9;  // the sound device could not be opened or was lost
constexpr int LXSTATE_BUFFERING = 10;   // filling the buffer (LXMSG_BUFFER follows, ending at 100)

// Where notifications go. `post` is called on engine threads (and from inside Open and Stop on
// the owner thread); it must only queue the message and return at once, never call the engine.
// It returns true when the message was queued. Generation rule: every Open and every Stop starts a
// new generation (1, 2, 3 ..., never 0); once Open or Stop has returned, `post` is never again
// called with a message of an earlier generation. Messages already queued by then may still
// arrive: compare the lParam of LXMSG_STATE, LXMSG_BUFFER and LXMSG_TITLE with
// IPlayerEngine::GetGeneration and drop older ones (lParam 0 never comes from the engine).
using LXPostFunction = bool (*)(void* context, uint32_t message, uintptr_t wParam, intptr_t lParam);
struct LXNotifyTarget {
    LXPostFunction post = nullptr;
    void* context = nullptr;  // passed back unchanged (the program's window handle)
};

// Lifetime of LXMSG_SPECTRUM values: the float array is allocated with malloc for each message.
// When `post` returns true the receiver owns it and must free it exactly once with
// LXFreeNotifyValues, whether it uses the values or not (also after the engine was released or
// the library unloaded: the memory does not belong to the engine). When `post` returns false the
// engine frees it itself.
inline void LXFreeNotifyValues(const void* values) { std::free(const_cast<void*>(values)); }

// ---------------------------------------------------------------------------------------------
// Recording callback
// ---------------------------------------------------------------------------------------------

// The object a recording hands to IAsyncCallback::Invoke. Valid during the call; AddRef it to
// keep it longer. Its values are a snapshot taken when Invoke was called.
class IAsyncResult : public ILXUnknown {
public:
    // The limit the recording was started with (100 ns; 0 = none).
    virtual LXRESULT GetLimit(int64_t* limit) = 0;  // 3
    // The length recorded so far (100 ns, of audio written to the file).
    virtual LXRESULT GetProgress(int64_t* length) = 0;  // 4
    // 0 (LX_OK) once the recording is complete (the limit was reached and the file is closed),
    // LX_FALSE while it is still running, < 0 when it ended by an error (disk full, stream broke
    // before the limit); the last two never turn into 0 later.
    virtual LXRESULT GetStatus() = 0;  // 5

protected:
    ~IAsyncResult() = default;
};

// Implemented by the program. Invoke is called on an engine thread (never the owner thread),
// without engine locks held: it must return quickly and must not call the engine. Calls of one
// recording never overlap and come in order: progress calls (only when StartRecord's flag has
// bit 0 set, about every 100 ms), then exactly one final call whose GetStatus is not LX_FALSE,
// when the limit is reached or the recording fails. StopRecord ends a recording without a final
// call; after StopRecord returns, Invoke is not called again for that recording. The engine holds
// a reference to the callback from StartRecord until the recording is over.
class IAsyncCallback : public ILXUnknown {
public:
    virtual LXRESULT Invoke(IAsyncResult* result) = 0;  // 3

protected:
    ~IAsyncCallback() = default;
};

// ---------------------------------------------------------------------------------------------
// The engine
// ---------------------------------------------------------------------------------------------

// GetMediaInfo's 32-byte record. Fields are 0 until the engine knows them (bit rate and format
// after LXSTATE_CONNECTED; the duration only for files, 0 for live streams).
struct LXMediaInfo {
    int32_t sampleRate = 0;     // bytes 0-3: Hz of the source
    int32_t channels = 0;       // bytes 4-7
    int32_t bitsPerSample = 0;  // bytes 8-11: of the source when it is PCM, else 16
    int32_t bitRate = 0;        // bytes 12-15: kbit/s (nominal, else measured)
    int32_t formatTag = 0;      // bytes 16-19: 0x55 MP3, 0xFF AAC, 1 PCM, 0x161 WMA, 0 other
    int32_t reserved = 0;       // bytes 20-23
    int64_t duration = 0;       // bytes 24-31: 100 ns; 0 for live streams
};
static_assert(sizeof(LXMediaInfo) == 32, "the record is 32 bytes");

// Recording formats (StartRecord's format tag).
constexpr int LXRECORD_MP3 = 0x55;  // MP3: an MP3 source is copied frame by frame, others encoded
constexpr int LXRECORD_PCM = 1;     // 16-bit PCM WAV of the decoded sound, at the source's rate
// StartRecord flag bits.
constexpr int LXRECORD_FLAG_PROGRESS = 1;  // also report progress to the callback

// One engine plays one source at a time. Threading: every method on the owner thread only (the
// thread that created the engine), except AddRef/Release (any thread, but the last Release on the
// owner thread). No method blocks longer than about 200 ms; Open's outcome arrives as states.
class IPlayerEngine : public ILXUnknown {
public:
    // The state last posted (LXSTATE_*), whether or not the receiver has handled it yet.
    virtual int GetState() = 0;  // 3
    // Starts opening `address` (http, https, mms, mmsh, mmst, an .m3u8, .pls, .m3u or .asx playlist
    // address, a local path or file:// address); `flags` is 0. Ends the previous source and its
    // recording first, starts a new generation and posts LXSTATE_OPENING. LX_E_INVALIDARG for an
    // empty address; everything else is reported by states (6 or 8 on failure).
    virtual LXRESULT Open(const char16_t* address, int32_t flags) = 0;  // 4
    // Lets sound out once the buffer is full (may be called right after Open, before it
    // connected), or resumes after Pause. LX_E_UNEXPECTED when nothing is open.
    virtual LXRESULT Play() = 0;  // 5
    // Files only: holds the sound and the position (posts LXSTATE_PAUSED). LX_E_NOTIMPL for a
    // live stream, LX_E_UNEXPECTED when nothing plays.
    virtual LXRESULT Pause() = 0;  // 6
    // Ends the source and any recording (the file is closed and valid when Stop returns), starts
    // a new generation and posts LXSTATE_STOPPED. Returns within 200 ms even when the network
    // hangs; the connection is abandoned in the background.
    virtual LXRESULT Stop() = 0;  // 7
    // Files only: jumps to `position` (100 ns, clamped to the duration); positions resume from
    // there. LX_E_NOTIMPL for a live stream.
    virtual LXRESULT Seek(int64_t position) = 0;  // 8
    // The position of the sound now coming out (100 ns); 0 when nothing plays.
    virtual LXRESULT GetPosition(int64_t* position) = 0;  // 9
    // 0..100 (clamped), applied in software at once; kept across Open.
    virtual LXRESULT SetVolume(int32_t volume) = 0;  // 10
    virtual int32_t GetVolume() = 0;                 // 11
    // Silences the output without losing the volume; kept across Open.
    virtual LXRESULT SetMute(bool mute) = 0;  // 12
    virtual bool GetMute() = 0;               // 13
    // The current generation (see LXNotifyTarget); 0 before the first Open or Stop.
    virtual uint32_t GetGeneration() = 0;  // 14
    // The stream title from ICY metadata (decoded as UTF-8, else GB18030, else Latin-1), copied
    // into `buffer` (`capacity` char16_t units including the terminating zero, cut to fit).
    // Returns the length written; 0 when the source has no title.
    virtual int32_t GetStreamTitle(char16_t* buffer, int32_t capacity) = 0;  // 15
    // Fills the 32-byte record; fields stay 0 until known.
    virtual LXRESULT GetMediaInfo(LXMediaInfo* info) = 0;  // 16
    // Records what plays into `path` (UTF-16; created or truncated; the folder must exist).
    // `limit` in 100 ns (0 = until StopRecord): the recording stops by itself after exactly that
    // much audio (to one frame) and reports completion. `callback` may be null; the engine keeps
    // a reference. `formatTag` LXRECORD_MP3 or LXRECORD_PCM; `flag` LXRECORD_FLAG_* bits. A running
    // recording is stopped first. Result >= 0: started (the file exists); < 0: refused (nothing
    // playing, unknown tag, file cannot be created).
    virtual LXRESULT StartRecord(const char16_t* path, int64_t limit, IAsyncCallback* callback,
                                 int32_t formatTag, int32_t flag) = 0;  // 17
    // Ends the recording: the file is complete and closed when StopRecord returns; the callback
    // gets no further call and is released. `flag` is not interpreted (the program passes 0 or 1).
    // LX_FALSE when nothing was recording.
    virtual LXRESULT StopRecord(bool flag) = 0;  // 18

protected:
    ~IPlayerEngine() = default;
};

// Options (IPlayerOption::SetOption). Values take effect at the next Open unless noted.
constexpr int32_t LXOPTION_SPECTRUM = 1;     // value != 0: post LXMSG_SPECTRUM (at once); default 0
constexpr int32_t LXOPTION_BUFFER_TIME = 2;  // value: seconds of audio to buffer before playing
                                             // and when re-buffering, 0..60; default 5
constexpr int32_t LXOPTION_AUDIO_OUTPUT = 3;  // value: LXOUTPUT_*; default LXOUTPUT_DEVICE
constexpr int32_t LXOUTPUT_DEVICE = 0;        // the sound device through SDL2
constexpr int32_t LXOUTPUT_NULL = 1;          // no device; keeps an ideal real-time clock

// Threading: owner thread only.
class IPlayerOption : public ILXUnknown {
public:
    // LX_E_INVALIDARG for an unknown option or a value out of range.
    virtual LXRESULT SetOption(int32_t option, int64_t value) = 0;  // 3
    virtual LXRESULT GetOption(int32_t option, int64_t* value) = 0;  // 4

protected:
    ~IPlayerOption() = default;
};

// Proxy types (SetProxy's `type`).
constexpr int32_t LXPROXY_SOCKS5 = 1;
constexpr int32_t LXPROXY_HTTP = 2;

// Threading: owner thread only.
class IPlayerProxy : public ILXUnknown {
public:
    // `text`: "[user:password@]host[:port]" (port default 1080 for SOCKS5, 80 for HTTP; an empty
    // password keeps its colon) or "". `enabled` 1: from the next Open on, every connection the
    // engine makes (HLS segments and playlists included, and MeasureStreamSpeed in this process)
    // goes through that proxy: an HTTP proxy by CONNECT, SOCKS5 with the host name resolved by
    // the proxy. `enabled` 0 (or an empty text): direct connections, ignoring proxy variables of
    // the environment. LX_E_INVALIDARG for an unknown type or an unreadable text while enabled.
    virtual LXRESULT SetProxy(const char16_t* text, int32_t type, int32_t enabled) = 0;  // 3

protected:
    ~IPlayerProxy() = default;
};

// ---------------------------------------------------------------------------------------------
// The WAV decoder (song recognition)
// ---------------------------------------------------------------------------------------------

// Reads audio files as interleaved little-endian PCM. Threading: one thread at a time (any).
class IAudioDecoder : public ILXUnknown {
public:
    // Opens a local file (UTF-16 path). LX_E_FAIL when it cannot be read or holds no audio.
    virtual LXRESULT Open(const char16_t* path) = 0;  // 3
    // The format Read delivers: a PCM WAV file's own (8 bits unsigned, 16/24/32 bits signed),
    // 16-bit signed for every other file; the source's channels and rate.
    virtual LXRESULT GetFormat(int32_t* bitsPerSample, int32_t* channels, int32_t* sampleRate) = 0;  // 4
    // Continues reading at `position` (100 ns from the start, clamped to the end).
    virtual LXRESULT Seek(int64_t position) = 0;  // 5
    // Copies up to `size` bytes (whole sample frames) into `buffer`; `*read` gets the count,
    // 0 at the end of the file.
    virtual LXRESULT Read(void* buffer, uint32_t size, uint32_t* read) = 0;  // 6

protected:
    ~IAudioDecoder() = default;
};

// The engine's conversion of 8-bit unsigned samples to 16-bit signed ones.
inline void LXConvertU8ToS16(const uint8_t* in, int16_t* out, size_t count) {
    for (size_t i = 0; i < count; ++i) out[i] = static_cast<int16_t>((static_cast<int>(in[i]) - 128) << 8);
}

// ---------------------------------------------------------------------------------------------
// Exports (by name; resolve with dlsym)
// ---------------------------------------------------------------------------------------------

#if defined(__GNUC__)
#define LXPLAYER_EXPORT __attribute__((visibility("default")))
#else
#define LXPLAYER_EXPORT
#endif

extern "C" {
// Creates an engine that posts to `target` (copied). *engine gets the engine (one reference) or
// null; the owner thread is the calling thread. LX_OK, or < 0 with *engine null.
LXPLAYER_EXPORT LXRESULT CreatePlayerEngine(IPlayerEngine** engine, const LXNotifyTarget* target);
// Blocks (any thread) while trying `address`: milliseconds from the request to the first decoded
// audio, or -1 when it cannot be played within 15 s. Uses the proxy last set on any engine of
// this process. Must return before the library is unloaded.
LXPLAYER_EXPORT int32_t MeasureStreamSpeed(const char16_t* address);
// Creates a decoder (one reference). LX_OK, or < 0 with *decoder null.
LXPLAYER_EXPORT LXRESULT CreateDecoder(IAudioDecoder** decoder);
}

// Signatures for dlsym.
using LXCreatePlayerEngineFn = LXRESULT (*)(IPlayerEngine**, const LXNotifyTarget*);
using LXMeasureStreamSpeedFn = int32_t (*)(const char16_t*);
using LXCreateDecoderFn = LXRESULT (*)(IAudioDecoder**);

// The library's file name in the program's folder.
constexpr const char* LXPLAYER_LIBRARY_NAME = "libLXPlayer.so";
