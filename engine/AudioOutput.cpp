// Chooses the audio output implementation.
#include "AudioOutput.h"

#include "NullAudioOutput.h"
#include "SdlAudioOutput.h"

namespace lxengine {

std::unique_ptr<AudioOutput> AudioOutput::Create(bool nullOutput) {
    if (nullOutput) return std::make_unique<NullAudioOutput>();
    return std::make_unique<SdlAudioOutput>();
}

}  // namespace lxengine
