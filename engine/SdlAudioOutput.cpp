// SDL2 audio output (see the header).
#include "SdlAudioOutput.h"

#include <mutex>

#include "AudioRing.h"

namespace lxengine {
namespace {

std::mutex g_sdlMutex;
int g_sdlUsers = 0;  // guarded by g_sdlMutex

}  // namespace

SdlAudioOutput::~SdlAudioOutput() { Stop(); }

bool SdlAudioOutput::AcquireAudio() {
    std::lock_guard<std::mutex> lock(g_sdlMutex);
    if (g_sdlUsers == 0) {
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        SDL_SetMainReady();
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    }
    ++g_sdlUsers;
    return true;
}

void SdlAudioOutput::ReleaseAudio() {
    std::lock_guard<std::mutex> lock(g_sdlMutex);
    if (--g_sdlUsers == 0) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool SdlAudioOutput::Start(AudioRing* ring) {
    ring_ = ring;
    if (!AcquireAudio()) {
        error_ = SDL_GetError();
        return false;
    }
    subsystem_ = true;
    SDL_AudioSpec want{};
    SDL_AudioSpec have{};
    want.freq = ring->SampleRate();
    want.format = AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(ring->Channels());
    want.samples = 1024;  // about 23 ms: sound starts soon after the buffer is full
    want.callback = &SdlAudioOutput::Callback;
    want.userdata = this;
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ == 0) {
        error_ = SDL_GetError();
        Stop();
        return false;
    }
    SDL_PauseAudioDevice(device_, 0);
    return true;
}

void SdlAudioOutput::Stop() {
    if (device_ != 0) {
        SDL_CloseAudioDevice(device_);  // waits for a running callback
        device_ = 0;
    }
    if (subsystem_) {
        ReleaseAudio();
        subsystem_ = false;
    }
}

void SdlAudioOutput::Callback(void* self, Uint8* stream, int len) {
    auto* out = static_cast<SdlAudioOutput*>(self);
    const size_t frameBytes = sizeof(int16_t) * static_cast<size_t>(out->ring_->Channels());
    out->ring_->Pull(reinterpret_cast<int16_t*>(stream), static_cast<size_t>(len) / frameBytes);
}

}  // namespace lxengine
