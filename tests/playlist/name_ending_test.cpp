#include "playlist/name_ending.h"

#include <gtest/gtest.h>

namespace vek {
namespace {

TEST(NameEnding, AudioNames) {
    EXPECT_EQ(ClassifyName("/m/a.Mp3"), NameKind::kAudio);
    EXPECT_EQ(ClassifyName("/m/b.MPG"), NameKind::kAudio);
    EXPECT_EQ(ClassifyName("/m/c.mp2"), NameKind::kAudio);
    EXPECT_EQ(ClassifyName("/m/c.mp1"), NameKind::kAudio);
    EXPECT_EQ(ClassifyName("/m/c.mpa"), NameKind::kAudio);
    EXPECT_EQ(ClassifyName(".mp3"), NameKind::kAudio) << "four characters are enough";
    EXPECT_EQ(ClassifyName("http://host/live.mp3"), NameKind::kAudio);
}

TEST(NameEnding, PlaylistNames) {
    EXPECT_EQ(ClassifyName("/l/x.pls"), NameKind::kPls);
    EXPECT_EQ(ClassifyName("/l/X.PlS"), NameKind::kPls);
    EXPECT_EQ(ClassifyName("/l/y.m3u"), NameKind::kM3u);
    EXPECT_EQ(ClassifyName("/l/Y.M3U"), NameKind::kM3u);
    EXPECT_EQ(ClassifyName(".m3u"), NameKind::kM3u);
}

TEST(NameEnding, OtherNames) {
    EXPECT_EQ(ClassifyName("/m/d.mp"), NameKind::kOther);
    EXPECT_EQ(ClassifyName("/m/e.mp3 "), NameKind::kOther) << "blanks are not trimmed";
    EXPECT_EQ(ClassifyName("/m/f.wav"), NameKind::kOther);
    EXPECT_EQ(ClassifyName("/m/g.m3u8"), NameKind::kOther);
    EXPECT_EQ(ClassifyName("/m/hmp3"), NameKind::kOther);
    EXPECT_EQ(ClassifyName("/m/i,mp3"), NameKind::kOther);
    EXPECT_EQ(ClassifyName("/m/j.pl"), NameKind::kOther);
    // Shorter than four: nothing, even when the tail looks right.
    EXPECT_EQ(ClassifyName("mp3"), NameKind::kOther);
    EXPECT_EQ(ClassifyName(".mp"), NameKind::kOther);
    EXPECT_EQ(ClassifyName(""), NameKind::kOther);
}

}  // namespace
}  // namespace vek
