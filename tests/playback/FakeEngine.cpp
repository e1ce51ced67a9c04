// The scripted engine of the playback tests.
#include "tests/playback/FakeEngine.h"

#include <cstdlib>
#include <fstream>

#include "platform/Paths.h"
#include "platform/Text.h"

FakeEngine* FakeEngine::next = nullptr;
std::map<std::u16string, int> FakeEngine::measure_results;

LXRESULT FakeEngine::Create(IPlayerEngine** engine, const LXNotifyTarget* target) {
    *engine = next;
    if (!next) return LX_E_FAIL;
    next->target = *target;
    return LX_OK;
}

int32_t FakeEngine::Measure(const char16_t* address) {
    auto it = measure_results.find(address);
    return it == measure_results.end() ? -1 : it->second;
}

LXRESULT FakeEngine::QueryInterface(const LXIID& iid, void** out) {
    if (iid == IID_IPlayerOption) {
        *out = static_cast<IPlayerOption*>(this);
    } else if (iid == IID_IPlayerProxy) {
        *out = static_cast<IPlayerProxy*>(this);
    } else if (iid == IID_IPlayerEngine || iid == IID_ILXUnknown) {
        *out = static_cast<IPlayerEngine*>(this);
    } else {
        *out = nullptr;
        return LX_E_NOINTERFACE;
    }
    ++refs;
    return LX_OK;
}

LXRESULT FakeEngine::Open(const char16_t* address, int32_t) {
    recording = false;
    ++generation;
    opened.emplace_back(address);
    PostState(LXSTATE_OPENING);
    return LX_OK;
}

LXRESULT FakeEngine::Play() {
    ++plays;
    if (state == LXSTATE_PAUSED) PostState(LXSTATE_PLAYING);
    return LX_OK;
}

LXRESULT FakeEngine::Pause() {
    ++pauses;
    PostState(LXSTATE_PAUSED);
    return LX_OK;
}

LXRESULT FakeEngine::Stop() {
    ++stops;
    recording = false;
    ++generation;
    PostState(LXSTATE_STOPPED);
    return LX_OK;
}

LXRESULT FakeEngine::Seek(int64_t position) {
    seeks.push_back(position);
    return LX_OK;
}

LXRESULT FakeEngine::GetPosition(int64_t* position) {
    *position = 0;
    return LX_OK;
}

LXRESULT FakeEngine::SetVolume(int32_t v) {
    volume = v;
    return LX_OK;
}

LXRESULT FakeEngine::SetMute(bool m) {
    mute = m;
    return LX_OK;
}

int32_t FakeEngine::GetStreamTitle(char16_t* buffer, int32_t capacity) {
    if (capacity > 0) buffer[0] = 0;
    return 0;
}

LXRESULT FakeEngine::GetMediaInfo(LXMediaInfo* out) {
    *out = info;
    return LX_OK;
}

LXRESULT FakeEngine::StartRecord(const char16_t* path, int64_t, IAsyncCallback*, int32_t formatTag, int32_t) {
    // As the engine: the file must be creatable in an existing folder.
    if (formatTag != LXRECORD_MP3 || !IsDirectory(ParentPath(path))) return LX_E_FAIL;
    std::ofstream f(NativePath(path), std::ios::binary);
    if (!f) return LX_E_FAIL;
    records.emplace_back(path);
    recording = true;
    return LX_OK;
}

LXRESULT FakeEngine::StopRecord(bool) {
    ++record_stops;
    const bool was = recording;
    recording = false;
    return was ? LX_OK : LX_FALSE;
}

LXRESULT FakeEngine::SetOption(int32_t option, int64_t value) {
    options[option] = value;
    return LX_OK;
}

LXRESULT FakeEngine::GetOption(int32_t option, int64_t* value) {
    *value = options[option];
    return LX_OK;
}

LXRESULT FakeEngine::SetProxy(const char16_t* text, int32_t, int32_t) {
    proxies.emplace_back(text);
    return LX_OK;
}

void FakeEngine::PostState(int s) {
    state = s;
    target.post(target.context, LXMSG_STATE, static_cast<uintptr_t>(s), static_cast<intptr_t>(generation));
}

void FakeEngine::PostBuffer(int percent) {
    target.post(target.context, LXMSG_BUFFER, static_cast<uintptr_t>(percent), static_cast<intptr_t>(generation));
}

void FakeEngine::PostPosition(int64_t position) {
    const uint64_t p = static_cast<uint64_t>(position);
    target.post(target.context, LXMSG_POSITION, static_cast<uintptr_t>(p & 0xFFFFFFFFu),
                static_cast<intptr_t>(p >> 32));
}

void FakeEngine::PostSpectrum(int count) {
    auto* values = static_cast<float*>(std::malloc(sizeof(float) * static_cast<size_t>(count)));
    for (int i = 0; i < count; ++i) values[i] = static_cast<float>(i);
    if (!target.post(target.context, LXMSG_SPECTRUM, reinterpret_cast<uintptr_t>(values), count)) std::free(values);
}
