// Text from outside (a radio server, a file's tags) made fit to show in a list,
// a tip or a terminal.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vek {

// Text in no known encoding, made fit to show anywhere: valid
// UTF-8 stays as it is, anything else is read as Latin-1 (what most stations
// send); the C0 and C1 controls (a terminal would obey them), DEL and U+FFFD
// are removed and the spaces around cut off. The result is valid UTF-8 of at
// most kMaxTitleChars characters, cut on a character boundary. Pure; takes any
// bytes.
inline constexpr size_t kMaxTitleChars = 255;
std::string CleanTitle(std::string_view text);

}  // namespace vek
