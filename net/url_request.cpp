#include "net/url_request.h"

namespace vek {
namespace {

CURLcode SetRequestOptions(UrlStream* stream) {
    CURL* request = stream->request;
    CURLcode rc = CURLE_OK;
    auto set = [&](CURLoption option, auto value) {
        if (rc == CURLE_OK) rc = stream->curl->easy_setopt(request, option, value);
    };
    set(CURLOPT_ERRORBUFFER, stream->error_text);
    set(CURLOPT_URL, stream->url.c_str());
    set(CURLOPT_HTTPGET, 1L);
    set(CURLOPT_USERAGENT, kUserAgent);
    set(CURLOPT_HTTPHEADER, stream->request_headers);
    set(CURLOPT_HTTP200ALIASES, stream->status_aliases);
    // Straight to the server, whatever the environment says about proxies.
    set(CURLOPT_PROXY, "");
    set(CURLOPT_NOPROXY, "*");
    // A URL or a redirect must not reach local files or other services.
    set(CURLOPT_PROTOCOLS_STR, "http,https");
    set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    set(CURLOPT_FOLLOWLOCATION, 1L);
    set(CURLOPT_MAXREDIRS, kMaxRedirects);
    // Several threads use libcurl; signals must stay out of it.
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_BUFFERSIZE, static_cast<long>(kPieceBytes));
    // The certificate checks themselves stay on whatever is trusted.
    if (!stream->trusted_certificates.empty()) {
        set(CURLOPT_CAINFO, stream->trusted_certificates.c_str());
        set(CURLOPT_CAPATH, static_cast<const char*>(nullptr));
    }
    return rc;
}

}  // namespace

bool OpenRequest(UrlStream* stream, std::string* error_text) {
    const CurlLibrary* curl = LoadCurl();
    if (!curl) {
        *error_text = CurlLoadError();
        return false;
    }
    stream->curl = curl;
    stream->client = curl->multi_init();
    stream->request = curl->easy_init();
    stream->request_headers = curl->slist_append(nullptr, kAcceptHeader);
    if (stream->request_headers) {
        curl_slist* more = curl->slist_append(stream->request_headers, kIcyMetadataHeader);
        if (!more) curl->slist_free_all(stream->request_headers);
        stream->request_headers = more;
    }
    stream->status_aliases = curl->slist_append(nullptr, kIcyStatusLine);
    if (!stream->client || !stream->request || !stream->request_headers ||
        !stream->status_aliases) {
        *error_text = curl->easy_strerror(CURLE_OUT_OF_MEMORY);
        CloseRequest(stream);
        return false;
    }
    CURLcode rc = SetRequestOptions(stream);
    if (rc != CURLE_OK) {
        *error_text = stream->error_text[0] ? stream->error_text : curl->easy_strerror(rc);
        CloseRequest(stream);
        return false;
    }
    return true;
}

void CloseRequest(UrlStream* stream) {
    const CurlLibrary* curl = stream->curl;
    if (!curl) return;  // nothing was made
    if (stream->request) {
        if (stream->client) curl->multi_remove_handle(stream->client, stream->request);
        curl->easy_cleanup(stream->request);
        stream->request = nullptr;
    }
    if (stream->client) {
        curl->multi_cleanup(stream->client);
        stream->client = nullptr;
    }
    curl->slist_free_all(stream->request_headers);
    stream->request_headers = nullptr;
    curl->slist_free_all(stream->status_aliases);
    stream->status_aliases = nullptr;
}

}  // namespace vek
