// libcurl's functions as Vek calls them: a table filled from the library the
// first time a URL is opened. <curl/curl.h> gives each slot its type.
#pragma once

#include <curl/curl.h>

namespace vek {

// clang-format off
#define VEK_CURL_FUNCTIONS(X)                                                       \
    X(global_init) X(easy_init) X(easy_setopt) X(easy_getinfo) X(easy_cleanup)      \
    X(easy_strerror) X(multi_init) X(multi_add_handle) X(multi_remove_handle)       \
    X(multi_perform) X(multi_poll) X(multi_wakeup) X(multi_info_read)               \
    X(multi_strerror) X(multi_cleanup) X(slist_append) X(slist_free_all)
// clang-format on

// curl_easy_setopt is easy_setopt here, and so on.
struct CurlLibrary {
#define VEK_CURL_SLOT(name) decltype(&curl_##name) name = nullptr;
    VEK_CURL_FUNCTIONS(VEK_CURL_SLOT)
#undef VEK_CURL_SLOT
};

// Loads libcurl and runs its global set-up, once, on the first call from
// whichever thread comes first; later calls give the same answer. nullptr when
// the library, one of its functions or the set-up fails.
const CurlLibrary* LoadCurl();

// Why LoadCurl gave nullptr, in the loader's or libcurl's words.
const char* CurlLoadError();

// Tests: the library LoadCurl opens instead of libcurl; only before its first call.
void SetCurlSonameForTests(const char* soname);

}  // namespace vek
