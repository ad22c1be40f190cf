#include <gtest/gtest.h>

#include <cstring>

#include "output/outputs.h"
#include "output/sdl_audio.h"
#include "output/wave_format.h"

namespace vek {
namespace {

TEST(OutputTable, SelectFillsTheTableByKind) {
    SelectOutputSystem(1);
    EXPECT_EQ(&Output(), &kWavFileOutput);
    SelectOutputSystem(2);
    EXPECT_EQ(&Output(), &kWaveOutOutput);
    SelectOutputSystem(1);
    SelectOutputSystem(0);
    EXPECT_EQ(&Output(), &kWaveOutOutput);
}

TEST(OutputTable, UnknownKindLeavesTheTableAlone) {
    SelectOutputSystem(1);
    EXPECT_EQ(SelectOutputSystem(7), 1);
    EXPECT_EQ(&Output(), &kWavFileOutput);
    SelectOutputSystem(0);
    EXPECT_EQ(SelectOutputSystem(-1), 1);
    EXPECT_EQ(&Output(), &kWaveOutOutput);
}

TEST(OutputTable, InstalledTableIsUsedUntilTheNextSelect) {
    OutputSystem capture = kWavFileOutput;
    InstallOutputSystem(&capture);
    EXPECT_EQ(&Output(), &capture);
    SelectOutputSystem(0);
    EXPECT_EQ(&Output(), &kWaveOutOutput);
}

TEST(WaveFormatRecord, FiguresFor44100StereoSixteenBit) {
    WaveFormat f = MakeWaveFormat(44100, 2, 0);
    EXPECT_EQ(f.format_tag, 1);
    EXPECT_EQ(f.channels, 2);
    EXPECT_EQ(f.samples_per_sec, 44100u);
    EXPECT_EQ(f.block_align, 4);
    EXPECT_EQ(f.avg_bytes_per_sec, 176400u);
    EXPECT_EQ(f.bits_per_sample, 16);
    EXPECT_EQ(f.extra_size, 0);
}

TEST(WaveFormatRecord, FiguresFor11025MonoEightBit) {
    WaveFormat f = MakeWaveFormat(11025, 1, 1);
    EXPECT_EQ(f.block_align, 1);
    EXPECT_EQ(f.avg_bytes_per_sec, 11025u);
    EXPECT_EQ(f.bits_per_sample, 8);
}

TEST(DeviceList, NamesComeFromSdlAndBadIndexesSayBadDevice) {
    ASSERT_GE(GetDeviceCount(), 1);  // the dummy driver offers its default device
    char name[64];
    EXPECT_EQ(GetDeviceName(0, name, sizeof name), 1);
    EXPECT_GT(std::strlen(name), 0u);
    EXPECT_LE(std::strlen(name), 31u);

    EXPECT_EQ(GetDeviceName(GetDeviceCount(), name, sizeof name), 0);
    EXPECT_STREQ(name, "Bad Device");
    EXPECT_EQ(GetDeviceName(-1, name, sizeof name), 0);
    EXPECT_STREQ(name, "Bad Device");
}

TEST(DeviceList, NameNeverOverrunsTheCallersField) {
    char name[8];
    std::memset(name, 'x', sizeof name);
    EXPECT_EQ(GetDeviceName(99, name, 4), 0);
    EXPECT_STREQ(name, "Bad");
    EXPECT_EQ(name[4], 'x');
    EXPECT_EQ(GetDeviceName(0, name, 1), 1);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(GetDeviceName(0, nullptr, 10), 0);
}

}  // namespace
}  // namespace vek
