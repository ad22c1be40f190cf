// The internet side of a URL stream: a GET of the URL over libcurl, with the
// player's agent name and Accept header, a direct connection and only http and
// https spoken, also across redirects.
#pragma once

#include <cstddef>
#include <string>

#include "net/url_stream_state.h"

namespace vek {

inline constexpr char kUserAgent[] = "VekMP3 v0.90";
inline constexpr char kAcceptHeader[] = "Accept: audio/x-mpeg, audio/x-mpegurl, */*";
// Asks a radio server for the titles, as metadata blocks within the audio.
inline constexpr char kIcyMetadataHeader[] = "Icy-MetaData: 1";
// The status line of a radio server speaking ICY rather than HTTP.
inline constexpr char kIcyStatusLine[] = "ICY 200 OK";
inline constexpr long kMaxRedirects = 5;
// The body is moved in pieces of at most this size.
inline constexpr size_t kPieceBytes = 2048;

// Makes the client and the request for stream->url. On failure *error_text says
// why (libcurl's words), whatever was made is released and false is returned.
bool OpenRequest(UrlStream* stream, std::string* error_text);

// Releases the request, then the client. Safe to call again.
void CloseRequest(UrlStream* stream);

}  // namespace vek
