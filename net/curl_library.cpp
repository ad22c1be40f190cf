#include "net/curl_library.h"

#include <atomic>
#include <string>

#include "platform/shared_library.h"

namespace vek {
namespace {

// libcurl's ABI promise: every release since 7.16 answers to this soname.
std::atomic<const char*> g_soname{"libcurl.so.4"};

struct LoadedCurl {
    CurlLibrary functions;
    bool ok = false;
    std::string error;
};

const LoadedCurl& Loaded() {
    // One set-up before any other call, and never two at once: older libcurl
    // does not make curl_global_init safe against other threads.
    static const LoadedCurl loaded = [] {
        LoadedCurl result;
        void* library = OpenSharedLibrary(g_soname.load(), &result.error);
        bool ok = library != nullptr;
#define VEK_CURL_BIND(name) \
    ok = ok && BindSharedFunction(library, "curl_" #name, &result.functions.name, &result.error);
        VEK_CURL_FUNCTIONS(VEK_CURL_BIND)
#undef VEK_CURL_BIND
        if (ok) {
            CURLcode rc = result.functions.global_init(CURL_GLOBAL_DEFAULT);
            if (rc != CURLE_OK) result.error = result.functions.easy_strerror(rc);
            ok = rc == CURLE_OK;
        }
        result.ok = ok;
        return result;
    }();
    return loaded;
}

}  // namespace

const CurlLibrary* LoadCurl() {
    const LoadedCurl& loaded = Loaded();
    return loaded.ok ? &loaded.functions : nullptr;
}

const char* CurlLoadError() {
    return Loaded().error.c_str();
}

void SetCurlSonameForTests(const char* soname) {
    g_soname.store(soname);
}

}  // namespace vek
