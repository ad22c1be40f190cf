// Libraries that only some runs need (the sound device, the internet) are
// opened when first needed instead of being linked: a run that needs neither,
// such as a conversion to .wav, then does not load them and the dozens of
// libraries they bring along.
#pragma once

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

// A library's table of functions as loaded: `functions` is filled when ok,
// else `error` says why not.
template <typename Table>
struct LoadedLibrary {
    Table functions{};
    bool ok = false;
    std::string error;
};

// Opens the library and lets bind(library, &functions, &error) fill the table
// (and run any set-up the library wants first); a false from bind fails the load.
template <typename Table, typename Bind>
LoadedLibrary<Table> LoadLibraryTable(const char* soname, Bind bind) {
    LoadedLibrary<Table> result;
    void* library = OpenSharedLibrary(soname, &result.error);
    result.ok = library != nullptr && bind(library, &result.functions, &result.error);
    return result;
}

}  // namespace vek
