// FFmpeg, loaded with dlopen instead of at process start: its libraries pull in a closure of some
// 150 shared objects whose loading costs more than a local stream takes to answer. Loading starts
// in the background when an engine, decoder or measurement is created, so it overlaps with the
// first connection; the FFmpeg functions the engine calls are forwarding definitions (hidden in
// the library) that wait for the load.
// Threading: thread-safe; the load runs once.
#pragma once

namespace lxengine {

class FfmpegLibrary {
public:
    // Starts loading in the background (once); returns at once.
    static void Prefetch();
    // Waits for the load; false when FFmpeg could not be loaded (then every FFmpeg call fails).
    static bool Ready();
};

}  // namespace lxengine
