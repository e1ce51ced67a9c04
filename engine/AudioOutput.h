// Where decoded sound goes: a consumer that pulls frames from an AudioRing in real time.
// Contract: Start opens the output for the ring's format and begins pulling on the output's own
// thread; Stop ends the pulling and returns only when no pull is running any more. Each object
// is started at most once. Threading: Start/Stop on one thread (the session's decode thread).
#pragma once

#include <memory>
#include <string>

namespace lxengine {

class AudioRing;

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // False (with ErrorText) when the output cannot be opened.
    virtual bool Start(AudioRing* ring) = 0;
    virtual void Stop() = 0;
    virtual std::string ErrorText() const = 0;

    // The SDL2 sound device, or the null output that keeps an ideal real-time clock.
    static std::unique_ptr<AudioOutput> Create(bool nullOutput);
};

}  // namespace lxengine
