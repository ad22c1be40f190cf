// The title of a URL stream as the download thread reports it to the main
// window: UIM_STREAM_TITLE, posted with PostWindowText, whenever the title
// changes (the station's name first, then each StreamTitle it sends). The text
// names the stream's URL too, so that a title arriving after the player moved
// on cannot land on another entry.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vek {

// Posts the report to the main window, if there is one.
void PostStreamTitle(const std::string& url, const std::string& title);

// Reads a report from the wparam and lparam its handler got. False when they
// do not hold one.
bool ReadStreamTitle(uintptr_t wparam, intptr_t lparam, std::string_view* url,
                     std::string_view* title);

}  // namespace vek
