#include "net/curl_library.h"

#include <string>

#include "platform/shared_library.h"

namespace vek {
namespace {

// Binds the functions, then runs libcurl's global set-up, which must come
// before any other call. The load runs once, never two at once: older libcurl
// does not make curl_global_init safe against other threads.
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

// libcurl's ABI promise: every release since 7.16 answers to this soname.
LibraryOnFirstUse<CurlLibrary> g_curl{.soname{"libcurl.so.4"}, .bind = BindCurl};

}  // namespace

const CurlLibrary* LoadCurl() {
    return LoadOnFirstUse(&g_curl);
}

const char* CurlLoadError() {
    LoadOnFirstUse(&g_curl);
    return g_curl.error.c_str();
}

void SetCurlSonameForTests(const char* soname) {
    g_curl.soname.store(soname);
}

}  // namespace vek
