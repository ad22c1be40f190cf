#include "net/stream_title.h"

#include "platform/desktop_hooks.h"
#include "platform/messages.h"
#include "platform/thread_queue.h"

namespace vek {

// The text is the URL, a NUL, then the title: neither can hold a NUL itself.
void PostStreamTitle(const std::string& url, const std::string& title) {
    std::string text = url;
    text += '\0';
    text += title;
    PostWindowText(MainWindow(), UIM_STREAM_TITLE, std::move(text));
}

bool ReadStreamTitle(uintptr_t wparam, intptr_t lparam, std::string_view* url,
                     std::string_view* title) {
    if (lparam == 0) return false;
    std::string_view text(reinterpret_cast<const char*>(lparam), wparam);
    size_t nul = text.find('\0');
    if (nul == std::string_view::npos) return false;
    *url = text.substr(0, nul);
    *title = text.substr(nul + 1);
    return true;
}

}  // namespace vek
