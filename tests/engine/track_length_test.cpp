#include "engine/track_length.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "settings/settings.h"
#include "tests/support/test_support.h"

namespace vek {
namespace {

// Against the length of the decoded reference: every frame of each clip was
// decoded into its .pcm, a VBR info frame too (which the length leaves out).
// Played gapless, the clips lame made from 3 s of audio last exactly that.
TEST(TrackLength, FilesMeasureTheirDecodedLength) {
    const struct {
        const char* clip;
        int channels, rate;
        int tolerance_ms;  // a frame or two of the estimate
        int gapless_ms = 0;
    } cases[] = {
        {"mpeg1_l3_cbr128_44k.mp3", 2, 44100, 30, 3000},
        {"mpeg1_l3_crc_48k.mp3", 2, 48000, 30, 3000},
        {"mpeg1_l3_vbr_44k.mp3", 2, 44100, 30, 3000},
        {"mpeg1_l2_44k.mp2", 2, 44100, 30},
        {"mpeg2_l3_22k.mp3", 2, 22050, 30},
        {"mpeg25_l3_11k_mono.mp3", 1, 11025, 60},
        {"mpeg25_l3_8k_mono.mp3", 1, 8000, 80},
        {"id3v2_big_tag_44k.mp3", 2, 44100, 30, 3000},  // the tag is not counted
        {"text_prefix_44k.mp3", 2, 44100, 80, 3000},    // the text before the first frame is
    };
    for (const auto& c : cases) {
        std::string clip = test::DataPath(std::string("made/") + c.clip);
        std::string pcm = clip.substr(0, clip.rfind('.')) + ".pcm";
        double expected = test::ReadFileBytes(pcm).size() * 1000.0 / (2 * c.channels) / c.rate;
        gSettings.Gapless = 0;
        EXPECT_NEAR(MeasureTrackMs(clip.c_str()), expected, c.tolerance_ms) << c.clip;
        gSettings.Gapless = 1;
        if (c.gapless_ms == 0) continue;
        EXPECT_EQ(MeasureTrackMs(clip.c_str()), c.gapless_ms) << c.clip;
    }
}

TEST(TrackLength, WhatGivesNoLengthIsMinusOne) {
    test::TempDir dir;
    ASSERT_EQ(mkfifo(dir.File("fifo.mp3").c_str(), 0600), 0);
    for (const std::string& name :
         {test::DataPath("made/not_audio.mp3"), std::string("http://radio.example/live.mp3"),
          dir.File("missing.mp3"), dir.path(), dir.File("fifo.mp3")})
        EXPECT_EQ(MeasureTrackMs(name.c_str()), -1) << name;
}

}  // namespace
}  // namespace vek
