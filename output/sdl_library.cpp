#include "output/sdl_library.h"

#include <atomic>
#include <string>

#include "platform/shared_library.h"

namespace vek {
namespace {

// SDL2's ABI promise: every 2.x release answers to this soname.
std::atomic<const char*> g_soname{"libSDL2-2.0.so.0"};

bool BindSdl(void* library, SdlLibrary* functions, std::string* error) {
    bool ok = true;
#define VEK_SDL_BIND(name) \
    ok = ok && BindSharedFunction(library, "SDL_" #name, &functions->name, error);
    VEK_SDL_FUNCTIONS(VEK_SDL_BIND)
#undef VEK_SDL_BIND
    return ok;
}

const LoadedLibrary<SdlLibrary>& Loaded() {
    static const LoadedLibrary<SdlLibrary> loaded =
        LoadLibraryTable<SdlLibrary>(g_soname.load(), BindSdl);
    return loaded;
}

}  // namespace

const SdlLibrary* LoadSdl() {
    const LoadedLibrary<SdlLibrary>& loaded = Loaded();
    return loaded.ok ? &loaded.functions : nullptr;
}

const char* SdlLoadError() {
    return Loaded().error.c_str();
}

void SetSdlSonameForTests(const char* soname) {
    g_soname.store(soname);
}

}  // namespace vek
