// The library's three exported functions; everything else stays hidden.
#include <new>

#include "AudioDecoder.h"
#include "EngineText.h"
#include "FfmpegLibrary.h"
#include "LXPlayer.h"
#include "PlayerEngine.h"
#include "ProxySettings.h"
#include "Session.h"

extern "C" LXPLAYER_EXPORT LXRESULT CreatePlayerEngine(IPlayerEngine** engine, const LXNotifyTarget* target) {
    if (engine == nullptr) return LX_E_POINTER;
    *engine = nullptr;
    lxengine::FfmpegLibrary::Prefetch();  // overlaps with the first connection
    auto* created = new (std::nothrow) lxengine::PlayerEngine(target != nullptr ? *target : LXNotifyTarget{});
    if (created == nullptr) return LX_E_FAIL;
    *engine = created;
    return LX_OK;
}

extern "C" LXPLAYER_EXPORT int32_t MeasureStreamSpeed(const char16_t* address) {
    if (address == nullptr || *address == 0) return -1;
    lxengine::FfmpegLibrary::Prefetch();  // overlaps with the first connection
    return lxengine::Session::Measure(lxengine::ToUtf8(address), lxengine::ProxySettings::ProcessDefault());
}

extern "C" LXPLAYER_EXPORT LXRESULT CreateDecoder(IAudioDecoder** decoder) {
    if (decoder == nullptr) return LX_E_POINTER;
    lxengine::FfmpegLibrary::Prefetch();  // overlaps with the first connection
    *decoder = new (std::nothrow) lxengine::AudioDecoder();
    return *decoder != nullptr ? LX_OK : LX_E_FAIL;
}
