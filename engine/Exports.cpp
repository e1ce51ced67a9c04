// The library's three exported functions; everything else stays hidden.
#include <new>

extern "C" {
#include <libavutil/log.h>
}

#include <cstdlib>
#include <mutex>

#include "AudioDecoder.h"
#include "EngineText.h"
#include "LXPlayer.h"
#include "PlayerEngine.h"
#include "ProxySettings.h"
#include "Session.h"

namespace {

// FFmpeg's console chatter stays off unless tracing is asked for.
void QuietLibraries() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(std::getenv("LOXANRADIO_TRACE") != nullptr ? AV_LOG_WARNING : AV_LOG_QUIET); });
}

}  // namespace

extern "C" LXPLAYER_EXPORT LXRESULT CreatePlayerEngine(IPlayerEngine** engine, const LXNotifyTarget* target) {
    if (engine == nullptr) return LX_E_POINTER;
    *engine = nullptr;
    QuietLibraries();
    auto* created = new (std::nothrow) lxengine::PlayerEngine(target != nullptr ? *target : LXNotifyTarget{});
    if (created == nullptr) return LX_E_FAIL;
    *engine = created;
    return LX_OK;
}

extern "C" LXPLAYER_EXPORT int32_t MeasureStreamSpeed(const char16_t* address) {
    if (address == nullptr || *address == 0) return -1;
    QuietLibraries();
    return lxengine::Session::Measure(lxengine::ToUtf8(address), lxengine::ProxySettings::ProcessDefault());
}

extern "C" LXPLAYER_EXPORT LXRESULT CreateDecoder(IAudioDecoder** decoder) {
    if (decoder == nullptr) return LX_E_POINTER;
    QuietLibraries();
    *decoder = new (std::nothrow) lxengine::AudioDecoder();
    return *decoder != nullptr ? LX_OK : LX_E_FAIL;
}
