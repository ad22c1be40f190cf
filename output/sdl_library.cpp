#include "output/sdl_library.h"

#include <atomic>
#include <string>

#include "platform/shared_library.h"

namespace vek {
namespace {

// SDL2's ABI promise: every 2.x release answers to this soname.
std::atomic<const char*> g_soname{"libSDL2-2.0.so.0"};

struct LoadedSdl {
    SdlLibrary functions;
    bool ok = false;
    std::string error;
};

const LoadedSdl& Loaded() {
    static const LoadedSdl loaded = [] {
        LoadedSdl result;
        void* library = OpenSharedLibrary(g_soname.load(), &result.error);
        bool ok = library != nullptr;
#define VEK_SDL_BIND(name) \
    ok = ok && BindSharedFunction(library, "SDL_" #name, &result.functions.name, &result.error);
        VEK_SDL_FUNCTIONS(VEK_SDL_BIND)
#undef VEK_SDL_BIND
        result.ok = ok;
        return result;
    }();
    return loaded;
}

}  // namespace

const SdlLibrary* LoadSdl() {
    const LoadedSdl& loaded = Loaded();
    return loaded.ok ? &loaded.functions : nullptr;
}

const char* SdlLoadError() {
    return Loaded().error.c_str();
}

void SetSdlSonameForTests(const char* soname) {
    g_soname.store(soname);
}

}  // namespace vek
