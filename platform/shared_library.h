// Libraries that only some runs need (the sound device, the internet) are
// opened when first needed instead of being linked: a run that needs neither,
// such as a conversion to .wav, then does not load them and the dozens of
// libraries they bring along.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

namespace vek {

// Opens the library with that soname, binding all its symbols now; it stays
// loaded for the life of the process. nullptr when it cannot be opened, and
// *error_text then says why in the loader's words.
void* OpenSharedLibrary(const char* soname, std::string* error_text);

// The address of function `name` in library; nullptr when it has none, and
// *error_text then says so.
void* FindSharedFunction(void* library, const char* name, std::string* error_text);

// Fills *slot with function `name` of library, typed as the slot is; false
// (with *error_text) when the library has no such function.
template <typename Fn>
bool BindSharedFunction(void* library, const char* name, Fn** slot, std::string* error_text) {
    *slot = reinterpret_cast<Fn*>(FindSharedFunction(library, name, error_text));
    return *slot != nullptr;
}

// A library whose table of functions is filled on first use: `bind(library,
// &functions, &error)` fills it (and runs any set-up the library wants first);
// a false from bind fails the load. `soname` may change until then (tests).
template <typename Table>
struct LibraryOnFirstUse {
    std::atomic<const char*> soname;
    bool (*bind)(void* library, Table* functions, std::string* error_text);
    std::once_flag once{};
    Table functions{};
    bool ok = false;
    std::string error{};  // why the load failed
};

// Loads the library once, on the first call from whichever thread comes first;
// later calls give the same answer. nullptr when the load failed.
template <typename Table>
const Table* LoadOnFirstUse(LibraryOnFirstUse<Table>* library) {
    std::call_once(library->once, [library] {
        void* handle = OpenSharedLibrary(library->soname.load(), &library->error);
        library->ok = handle && library->bind(handle, &library->functions, &library->error);
    });
    return library->ok ? &library->functions : nullptr;
}

}  // namespace vek
