#include "platform/shared_library.h"

#include <dlfcn.h>

namespace vek {
namespace {

std::string LoaderError(const char* fallback) {
    const char* text = dlerror();
    return text ? text : fallback;
}

}  // namespace

void* OpenSharedLibrary(const char* soname, std::string* error_text) {
    // Local: the library's names must not stand in for anyone else's.
    void* library = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    if (!library) *error_text = LoaderError(soname);
    return library;
}

void* FindSharedFunction(void* library, const char* name, std::string* error_text) {
    dlerror();  // drops an earlier message, so that a failure reports its own
    void* found = dlsym(library, name);
    if (!found) *error_text = LoaderError(name);
    return found;
}

}  // namespace vek
