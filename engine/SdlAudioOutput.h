// Plays the ring through SDL2's audio device. SDL is initialised once per process for audio only,
// without its signal handlers (SIGINT and SIGTERM stay with the host program).
// Threading: Start/Stop on the session's decode thread; SDL calls the pull on its audio thread.
#pragma once

#include <SDL2/SDL.h>

#include "AudioOutput.h"

namespace lxengine {

class SdlAudioOutput final : public AudioOutput {
public:
    // Initialises SDL's audio part ahead of time (a slow step on some systems); each true result
    // must be matched by one ReleaseAudio. Any thread.
    static bool AcquireAudio();
    static void ReleaseAudio();

    ~SdlAudioOutput() override;
    bool Start(AudioRing* ring) override;
    void Stop() override;
    std::string ErrorText() const override { return error_; }

private:
    static void Callback(void* self, Uint8* stream, int len);

    AudioRing* ring_ = nullptr;
    SDL_AudioDeviceID device_ = 0;
    bool subsystem_ = false;  // holds one AcquireAudio
    std::string error_;
};

}  // namespace lxengine
