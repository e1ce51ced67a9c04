// SDL2, loaded with dlopen when the first sound device is wanted rather than at process start
// (it pulls in the X11, Wayland and sound-server client libraries). The SDL functions the engine
// calls are forwarding definitions, hidden in the library, with SDL's own declarations.
// Threading: thread-safe; the load runs once.
#include <SDL2/SDL.h>
#include <dlfcn.h>

#include <mutex>

#include "EngineTrace.h"

namespace {

#define LX_SDL_FUNCTIONS(X) \
    X(SDL_SetHint)          \
    X(SDL_SetMainReady)     \
    X(SDL_InitSubSystem)    \
    X(SDL_QuitSubSystem)    \
    X(SDL_OpenAudioDevice)  \
    X(SDL_CloseAudioDevice) \
    X(SDL_PauseAudioDevice) \
    X(SDL_GetError)

struct Table {
#define LX_FIELD(name) decltype(&::name) name = nullptr;
    LX_SDL_FUNCTIONS(LX_FIELD)
#undef LX_FIELD
};

Table g_table;
std::once_flag g_once;

const Table& T() {
    std::call_once(g_once, [] {
        void* handle = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            lxengine::EngineTrace("cannot load SDL2: %s", dlerror());
            return;
        }
        Table t;
        bool all = true;
#define LX_RESOLVE(name)                                                      \
    t.name = reinterpret_cast<decltype(&::name)>(dlsym(handle, #name));       \
    all = all && t.name != nullptr;
        LX_SDL_FUNCTIONS(LX_RESOLVE)
#undef LX_RESOLVE
        if (all) g_table = t;  // stays loaded for the life of the process
    });
    return g_table;
}

}  // namespace

// Without SDL every call fails, so the output reports "the sound device could not be opened".
extern "C" {
SDL_bool SDL_SetHint(const char* name, const char* value) { return T().SDL_SetHint ? T().SDL_SetHint(name, value) : SDL_FALSE; }
void SDL_SetMainReady(void) { if (T().SDL_SetMainReady) T().SDL_SetMainReady(); }
int SDL_InitSubSystem(Uint32 flags) { return T().SDL_InitSubSystem ? T().SDL_InitSubSystem(flags) : -1; }
void SDL_QuitSubSystem(Uint32 flags) { if (T().SDL_QuitSubSystem) T().SDL_QuitSubSystem(flags); }
SDL_AudioDeviceID SDL_OpenAudioDevice(const char* device, int iscapture, const SDL_AudioSpec* desired,
                                      SDL_AudioSpec* obtained, int allowed_changes) {
    return T().SDL_OpenAudioDevice ? T().SDL_OpenAudioDevice(device, iscapture, desired, obtained, allowed_changes) : 0;
}
void SDL_CloseAudioDevice(SDL_AudioDeviceID dev) { if (T().SDL_CloseAudioDevice) T().SDL_CloseAudioDevice(dev); }
void SDL_PauseAudioDevice(SDL_AudioDeviceID dev, int pause_on) {
    if (T().SDL_PauseAudioDevice) T().SDL_PauseAudioDevice(dev, pause_on);
}
const char* SDL_GetError(void) { return T().SDL_GetError ? T().SDL_GetError() : "SDL2 could not be loaded"; }
}
