#include "output/pcm_volume.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace vek {
namespace {

std::vector<uint8_t> Bytes16(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> bytes(samples.size() * 2);
    std::memcpy(bytes.data(), samples.data(), bytes.size());
    return bytes;
}

std::vector<int16_t> Samples16(const std::vector<uint8_t>& bytes) {
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

TEST(VolumeWord, StepsMapOntoBothChannels) {
    EXPECT_EQ(VolumeWordOfStep(60), 0xF000F000u);  // 61440 each
    EXPECT_EQ(VolumeWordOfStep(63), 0xFC00FC00u);
    EXPECT_EQ(VolumeWordOfStep(0), 0u);
    EXPECT_EQ(VolumeWordOfStep(64), 0u);  // 65536 wraps in 16 bits
}

TEST(ApplyVolume, FullVolumeLeavesSamplesAlone) {
    std::vector<uint8_t> bytes = Bytes16({32767, -32768, 1, -1});
    std::vector<uint8_t> before = bytes;
    ApplyVolume(bytes.data(), bytes.size(), 2, 16, kFullVolume);
    EXPECT_EQ(bytes, before);
    ApplyVolume(bytes.data(), bytes.size(), 2, 16, 0x0000FFFFu | 0xFFFF0000u);
    EXPECT_EQ(bytes, before);
}

TEST(ApplyVolume, SixteenBitStereoScalesEachChannelByItsOwnLevel) {
    std::vector<uint8_t> bytes = Bytes16({16384, 16384, -16384, -16384, 3, -3});
    uint32_t volume = 0x8000u << 16 | 0xF000u;  // right half, left 61440/65536
    ApplyVolume(bytes.data(), bytes.size(), 2, 16, volume);
    EXPECT_EQ(Samples16(bytes), (std::vector<int16_t>{15360, 8192, -15360, -8192, 2, -2}));
}

TEST(ApplyVolume, ZeroMutesBothWidths) {
    std::vector<uint8_t> wide = Bytes16({1234, -4321, 32767, -32768});
    ApplyVolume(wide.data(), wide.size(), 2, 16, 0);
    EXPECT_EQ(Samples16(wide), (std::vector<int16_t>{0, 0, 0, 0}));
    std::vector<uint8_t> narrow = {0, 255, 128, 1};
    ApplyVolume(narrow.data(), narrow.size(), 1, 8, 0);
    EXPECT_EQ(narrow, (std::vector<uint8_t>{128, 128, 128, 128}));
}

TEST(ApplyVolume, EightBitScalesAroundTheMidpoint) {
    std::vector<uint8_t> bytes = {255, 0, 128, 192};
    ApplyVolume(bytes.data(), bytes.size(), 1, 8, VolumeWordOfStep(32));  // half
    EXPECT_EQ(bytes, (std::vector<uint8_t>{191, 64, 128, 160}));
}

TEST(ApplyVolume, MonoUsesTheLeftLevel) {
    std::vector<uint8_t> bytes = Bytes16({1000, 1000});
    ApplyVolume(bytes.data(), bytes.size(), 1, 16, 0xFFFF0000u);  // left 0, right full
    EXPECT_EQ(Samples16(bytes), (std::vector<int16_t>{0, 0}));
}

TEST(ApplyVolume, TrailingPartialFrameIsLeftAlone) {
    std::vector<uint8_t> bytes = Bytes16({1000, 1000, 1000});
    ApplyVolume(bytes.data(), bytes.size(), 2, 16, 0);
    EXPECT_EQ(Samples16(bytes), (std::vector<int16_t>{0, 0, 1000}));
}

}  // namespace
}  // namespace vek
