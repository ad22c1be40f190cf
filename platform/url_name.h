// The one rule that tells a URL from a file name, for every module that takes
// names: the player's arguments, playlists, the hand-over and the stream reader.
#pragma once

#include <string_view>

namespace vek {

// A text with "://" followed by at least one character is a URL; a text whose
// "://" ends it names a file.
bool IsUrl(std::string_view text);
bool IsUrl(const char* text);  // nullptr is no URL

}  // namespace vek
