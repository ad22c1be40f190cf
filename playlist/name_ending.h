// What a name is, judged by its last four characters alone.
#pragma once

namespace vek {

enum class NameKind {
    kOther,  // adds nothing
    kAudio,  // ".mp" and any fourth character: .mp1, .mp2, .mp3, .mpg, .mpa
    kPls,
    kM3u,
};

// ASCII case is ignored; blanks are part of the name, so "a.mp3 " is kOther, and
// a name shorter than four characters is kOther.
NameKind ClassifyName(const char* name);

}  // namespace vek
