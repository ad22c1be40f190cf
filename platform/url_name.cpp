#include "platform/url_name.h"

namespace vek {

bool IsUrl(std::string_view text) {
    size_t found = text.find("://");
    return found != std::string_view::npos && found + 3 < text.size();
}

bool IsUrl(const char* text) {
    return text && IsUrl(std::string_view(text));
}

}  // namespace vek
