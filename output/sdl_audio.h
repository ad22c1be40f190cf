// SDL's audio subsystem, brought up once on first use from whichever thread
// asks first, and its error texts.
#pragma once

#include <string>

#include "output/sdl_library.h"

namespace vek {

// Loads SDL2 and initialises its audio if that is not done yet; nullptr when
// either fails (SdlErrorText says why). Safe from any thread.
const SdlLibrary* EnsureSdlAudio();

// Shuts SDL audio down so that the next use starts afresh (with the driver
// SDL_AUDIODRIVER names then). No device may be open.
void QuitSdlAudio();

// The whole name of playback device index; false for an index that names
// none (SDL's error says why).
bool AudioDeviceName(int index, std::string* name);

// SDL's last error on this thread, or why SDL2 could not be loaded, or
// "Unknown error" when there is neither.
const char* SdlErrorText();

}  // namespace vek
