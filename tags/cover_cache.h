// Covers stored where the desktop's media controls can show them: each picture
// once, as $XDG_CACHE_HOME/vek/art/<hash>.<ending>, named by its bytes so that
// the tracks of one album share one file. The folder is kept under a bound by
// removing the files stored or used least recently.
#pragma once

#include <cstdint>
#include <string>

#include "tags/track_tags.h"

namespace vek {

inline constexpr int64_t kCoverCacheBytes = 100 << 20;

// The cover's file, written unless it is there already; empty when it could
// not be written. Any thread; other players may share the folder.
std::string StoreCover(const TrackCover& cover);

// Tests lower the bound; 0 restores kCoverCacheBytes.
void SetCoverCacheBound(int64_t bytes);

}  // namespace vek
