#include "net/curl_library.h"

#include <atomic>
#include <string>

#include "platform/shared_library.h"

namespace vek {
namespace {

// libcurl's ABI promise: every release since 7.16 answers to this soname.
std::atomic<const char*> g_soname{"libcurl.so.4"};

// Binds the functions, then runs libcurl's global set-up, which must come
// before any other call.
bool BindCurl(void* library, CurlLibrary* functions, std::string* error) {
    bool ok = true;
#define VEK_CURL_BIND(name) \
    ok = ok && BindSharedFunction(library, "curl_" #name, &functions->name, error);
    VEK_CURL_FUNCTIONS(VEK_CURL_BIND)
#undef VEK_CURL_BIND
    if (!ok) return false;
    CURLcode rc = functions->global_init(CURL_GLOBAL_DEFAULT);
    if (rc != CURLE_OK) *error = functions->easy_strerror(rc);
    return rc == CURLE_OK;
}

// Loaded once, never two at once: older libcurl does not make
// curl_global_init safe against other threads.
const LoadedLibrary<CurlLibrary>& Loaded() {
    static const LoadedLibrary<CurlLibrary> loaded =
        LoadLibraryTable<CurlLibrary>(g_soname.load(), BindCurl);
    return loaded;
}

}  // namespace

const CurlLibrary* LoadCurl() {
    const LoadedLibrary<CurlLibrary>& loaded = Loaded();
    return loaded.ok ? &loaded.functions : nullptr;
}

const char* CurlLoadError() {
    return Loaded().error.c_str();
}

void SetCurlSonameForTests(const char* soname) {
    g_soname.store(soname);
}

}  // namespace vek
