#include "output/sdl_audio.h"

#include <SDL.h>

#include <cstring>
#include <mutex>

#include "output/output_system.h"

namespace vek {
namespace {

std::mutex g_sdl_mutex;
bool g_sdl_audio_ready = false;  // guarded by g_sdl_mutex

constexpr int kDeviceNameChars = 31;

void CopyName(const char* text, char* name, int name_size) {
    size_t length = std::strlen(text);
    if (length > kDeviceNameChars) length = kDeviceNameChars;
    if (length > static_cast<size_t>(name_size - 1)) length = static_cast<size_t>(name_size - 1);
    std::memcpy(name, text, length);
    name[length] = '\0';
}

bool EnsureSdlAudioLocked() {
    if (!g_sdl_audio_ready) g_sdl_audio_ready = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    return g_sdl_audio_ready;
}

}  // namespace

bool EnsureSdlAudio() {
    std::lock_guard<std::mutex> lock(g_sdl_mutex);
    return EnsureSdlAudioLocked();
}

void QuitSdlAudio() {
    std::lock_guard<std::mutex> lock(g_sdl_mutex);
    if (g_sdl_audio_ready) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    g_sdl_audio_ready = false;
}

const char* SdlErrorText() {
    const char* text = SDL_GetError();
    return text && *text ? text : "Unknown error";
}

// SDL hands out names from its device list, which a later count may rebuild, so
// names are copied under the same lock as the counting.
bool AudioDeviceName(int index, std::string* name) {
    std::lock_guard<std::mutex> lock(g_sdl_mutex);
    if (!EnsureSdlAudioLocked()) return false;
    const char* found = SDL_GetAudioDeviceName(index, 0);
    if (!found) return false;
    name->assign(found);
    return true;
}

int GetDeviceName(int index, char* name, int name_size) {
    if (!name || name_size < 1) return 0;
    std::string found;
    if (!AudioDeviceName(index, &found)) {
        CopyName("Bad Device", name, name_size);
        return 0;
    }
    CopyName(found.c_str(), name, name_size);
    return 1;
}

int GetDeviceCount() {
    std::lock_guard<std::mutex> lock(g_sdl_mutex);
    if (!EnsureSdlAudioLocked()) return 0;
    int count = SDL_GetNumAudioDevices(0);
    return count > 0 ? count : 0;
}

}  // namespace vek
