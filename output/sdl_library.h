// SDL2's functions as Vek calls them: a table filled from the library the
// first time the sound device is needed. <SDL.h> gives each slot its type.
#pragma once

#include <SDL.h>

namespace vek {

// clang-format off
#define VEK_SDL_FUNCTIONS(X)                                                        \
    X(InitSubSystem) X(QuitSubSystem) X(GetError) X(ClearError)                     \
    X(GetNumAudioDevices) X(GetAudioDeviceName) X(OpenAudioDevice)                  \
    X(CloseAudioDevice) X(PauseAudioDevice) X(LockAudioDevice) X(UnlockAudioDevice)
// clang-format on

// SDL_OpenAudioDevice is OpenAudioDevice here, and so on.
struct SdlLibrary {
#define VEK_SDL_SLOT(name) decltype(&SDL_##name) name = nullptr;
    VEK_SDL_FUNCTIONS(VEK_SDL_SLOT)
#undef VEK_SDL_SLOT
};

// Loads SDL2 on the first call, from whichever thread comes first; later calls
// give the same answer. nullptr when SDL2 or one of its functions is missing.
const SdlLibrary* LoadSdl();

// Why LoadSdl gave nullptr, in the loader's words.
const char* SdlLoadError();

// Tests: the library LoadSdl opens instead of SDL2's; only before its first call.
void SetSdlSonameForTests(const char* soname);

}  // namespace vek
