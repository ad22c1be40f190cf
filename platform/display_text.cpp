#include "platform/display_text.h"

#include <cstdint>

namespace vek {
namespace {

// The code point of the UTF-8 sequence at text[*at], moving *at past it; -1
// (and *at unmoved) when the bytes there are not one: a stray or missing
// continuation byte, an overlong form, a surrogate or a value past U+10FFFF.
int32_t DecodeUtf8(std::string_view text, size_t* at) {
    auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
    uint8_t lead = byte(*at);
    if (lead < 0x80) return text[(*at)++];
    size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || text.size() - *at < length) return -1;
    int32_t code = lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if ((byte(*at + i) & 0xC0) != 0x80) return -1;
        code = code << 6 | (byte(*at + i) & 0x3F);
    }
    static constexpr int32_t kLeast[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kLeast[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return -1;
    *at += length;
    return code;
}

bool IsValidUtf8(std::string_view text) {
    for (size_t at = 0; at < text.size();) {
        if (DecodeUtf8(text, &at) < 0) return false;
    }
    return true;
}

void AppendUtf8(std::string* out, int32_t code) {
    if (code < 0x80) {
        *out += static_cast<char>(code);
        return;
    }
    int length = code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
    static constexpr uint8_t kLead[5] = {0, 0, 0xC0, 0xE0, 0xF0};
    *out += static_cast<char>(kLead[length] | code >> (6 * (length - 1)));
    for (int i = length - 2; i >= 0; --i)
        *out += static_cast<char>(0x80 | ((code >> (6 * i)) & 0x3F));
}

bool Shown(int32_t code) {
    bool control = code < 0x20 || (code >= 0x7F && code <= 0x9F);
    return !control && code != 0xFFFD;
}

}  // namespace

std::string CleanTitle(std::string_view text) {
    bool utf8 = IsValidUtf8(text);
    std::string clean;
    size_t chars = 0;
    size_t kept_bytes = 0;  // of clean, up to its last character that is not a space
    for (size_t at = 0; at < text.size() && chars < kMaxTitleChars;) {
        int32_t code = utf8 ? DecodeUtf8(text, &at) : static_cast<uint8_t>(text[at++]);
        if (!Shown(code) || (code == ' ' && chars == 0)) continue;
        AppendUtf8(&clean, code);
        ++chars;
        if (code != ' ') kept_bytes = clean.size();
    }
    clean.resize(kept_bytes);
    return clean;
}

}  // namespace vek
