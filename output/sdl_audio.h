// SDL's audio subsystem, brought up once on first use from whichever thread
// asks first, and its error texts.
#pragma once

#include <string>

namespace vek {

// Initialises SDL audio if it is not yet; false (with SDL's error set) when
// SDL cannot. Safe from any thread.
bool EnsureSdlAudio();

// Shuts SDL audio down so that the next use starts afresh (with the driver
// SDL_AUDIODRIVER names then). No device may be open.
void QuitSdlAudio();

// The whole name of playback device index; false for an index that names
// none (SDL's error says why).
bool AudioDeviceName(int index, std::string* name);

// SDL's last error on this thread, or "Unknown error" when it has none.
const char* SdlErrorText();

}  // namespace vek
