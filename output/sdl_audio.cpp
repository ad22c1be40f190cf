#include "output/sdl_audio.h"

#include <cstring>
#include <mutex>

#include "output/output_system.h"
#include "platform/shared_library.h"

namespace vek {
namespace {

std::mutex g_sdl_mutex;
bool g_sdl_audio_ready = false;  // guarded by g_sdl_mutex
bool g_alsa_quiet = false;        // guarded by g_sdl_mutex

constexpr int kDeviceNameChars = 31;

void CopyName(const char* text, char* name, int name_size) {
    size_t length = std::strlen(text);
    if (length > kDeviceNameChars) length = kDeviceNameChars;
    if (length > static_cast<size_t>(name_size - 1)) length = static_cast<size_t>(name_size - 1);
    std::memcpy(name, text, length);
    name[length] = '\0';
}

void IgnoreAlsaMessage(const char*, int, const char*, int, const char*, ...) {}

// Without a sound card ALSA prints a dozen lines of its configuration errors
// straight to stderr before SDL reports the failure in one line of its own.
// alsa-lib lets a program replace that printer; SDL loads the library by name,
// so it is reached the same way, and nothing happens where it is missing. The
// library stays loaded: the printer must outlive every ALSA call SDL makes.
void QuietAlsa() {
    using Printer = void (*)(const char*, int, const char*, int, const char*, ...);
    std::string ignored;
    void* alsa = OpenSharedLibrary("libasound.so.2", &ignored);
    if (!alsa) return;
    int (*set_printer)(Printer) = nullptr;
    if (BindSharedFunction(alsa, "snd_lib_error_set_handler", &set_printer, &ignored))
        set_printer(IgnoreAlsaMessage);
}

const SdlLibrary* EnsureSdlAudioLocked() {
    const SdlLibrary* sdl = LoadSdl();
    if (!sdl) return nullptr;
    if (!g_sdl_audio_ready) {
        if (!g_alsa_quiet) QuietAlsa();
        g_alsa_quiet = true;
        g_sdl_audio_ready = sdl->InitSubSystem(SDL_INIT_AUDIO) == 0;
    }
    return g_sdl_audio_ready ? sdl : nullptr;
}

}  // namespace

const SdlLibrary* EnsureSdlAudio() {
    std::lock_guard<std::mutex> lock(g_sdl_mutex);
    return EnsureSdlAudioLocked();
}

void QuitSdlAudio() {
    std::lock_guard<std::mutex> lock(g_sdl_mutex);
    if (g_sdl_audio_ready) LoadSdl()->QuitSubSystem(SDL_INIT_AUDIO);
    g_sdl_audio_ready = false;
}

const char* SdlErrorText() {
    const SdlLibrary* sdl = LoadSdl();
    const char* text = sdl ? sdl->GetError() : SdlLoadError();
    return text && *text ? text : "Unknown error";
}

// SDL hands out names from its device list, which a later count may rebuild, so
// names are copied under the same lock as the counting.
bool AudioDeviceName(int index, std::string* name) {
    std::lock_guard<std::mutex> lock(g_sdl_mutex);
    const SdlLibrary* sdl = EnsureSdlAudioLocked();
    if (!sdl) return false;
    const char* found = sdl->GetAudioDeviceName(index, 0);
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
    const SdlLibrary* sdl = EnsureSdlAudioLocked();
    if (!sdl) return 0;
    int count = sdl->GetNumAudioDevices(0);
    return count > 0 ? count : 0;
}

}  // namespace vek
