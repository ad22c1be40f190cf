#include "output/sdl_library.h"

#include <string>

#include "platform/shared_library.h"

namespace vek {
namespace {

bool BindSdl(void* library, SdlLibrary* functions, std::string* error) {
    bool ok = true;
#define VEK_SDL_BIND(name) \
    ok = ok && BindSharedFunction(library, "SDL_" #name, &functions->name, error);
    VEK_SDL_FUNCTIONS(VEK_SDL_BIND)
#undef VEK_SDL_BIND
    return ok;
}

// SDL2's ABI promise: every 2.x release answers to this soname.
LibraryOnFirstUse<SdlLibrary> g_sdl{.soname{"libSDL2-2.0.so.0"}, .bind = BindSdl};

}  // namespace

const SdlLibrary* LoadSdl() {
    return LoadOnFirstUse(&g_sdl);
}

const char* SdlLoadError() {
    LoadOnFirstUse(&g_sdl);
    return g_sdl.error.c_str();
}

void SetSdlSonameForTests(const char* soname) {
    g_sdl.soname.store(soname);
}

}  // namespace vek
