// The tags and cover of a track about to be shown (the one that plays), read
// on a thread of their own (vek-tags) so that the main thread never opens a
// file: one read at a time, a new request replacing one still waiting. The
// cover goes to the art cache on that thread too.
#pragma once

#include <memory>
#include <string>

#include "tags/track_tags.h"

namespace vek {

// Starts the thread; ready() is called on it whenever a read has finished.
// False when the thread cannot be made. Main thread, as are the others.
bool StartTagReader(void (*ready)());

// Asks for the tags of a local file.
void RequestTrackTags(const char* path);

// The last finished read, once: its path and its tags (null when the file has
// none). False when none waits.
bool TakeTrackTags(std::string* path, std::shared_ptr<const TrackTags>* tags);

// Stops the thread, waiting a bounded time for a read under way.
void StopTagReader();

}  // namespace vek
