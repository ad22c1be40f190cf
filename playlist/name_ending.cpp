#include "playlist/name_ending.h"

#include <cstring>

namespace vek {
namespace {

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EndingIs(const char* ending, const char* expected, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (Upper(ending[i]) != expected[i]) return false;
    }
    return true;
}

}  // namespace

NameKind ClassifyName(const char* name) {
    size_t length = std::strlen(name);
    if (length < 4) return NameKind::kOther;
    const char* ending = name + length - 4;
    if (EndingIs(ending, ".MP", 3)) return NameKind::kAudio;
    if (EndingIs(ending, ".PLS", 4)) return NameKind::kPls;
    if (EndingIs(ending, ".M3U", 4)) return NameKind::kM3u;
    return NameKind::kOther;
}

}  // namespace vek
