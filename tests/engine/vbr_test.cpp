// Variable-bitrate files: length, elapsed time and seeking through the info
// frame at their start. Files made by lame from audio the test generates, and
// a hand-built VBRI stream.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/decoder.h"
#include "engine/pcm_chunk.h"
#include "engine/stream_reader.h"
#include "engine/vbr_header.h"
#include "settings/settings.h"
#include "tests/engine/engine_test_support.h"
#include "tests/support/encoded_clip.h"
#include "tests/support/test_support.h"

namespace vek::test {
namespace {

// Decodes the session's frames to the end, each frame's samples apart.
std::vector<std::vector<uint8_t>> Rest(Session* session) {
    std::vector<std::vector<uint8_t>> frames;
    std::vector<uint8_t> pcm;
    while (session->Next(&pcm) >= 0) frames.push_back(pcm);
    return frames;
}

// Each encoding decoded whole once; the info frame (silence) comes first.
class LameVbrTest : public ::testing::TestWithParam<std::vector<std::string>> {
  protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        ASSERT_TRUE(WriteTestWav(dir_->File("in.wav"), 12));
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    void SetUp() override {
        ResetSettingsToDefaults();
        path_ = dir_->File("vbr.mp3");
        ASSERT_EQ(EncodeWithLame(dir_->File("in.wav"), path_, GetParam()), "");
        Session decoder(path_, {});
        whole_ = Rest(&decoder);
        ASSERT_TRUE(FrameCountIsExact()) << "lame wrote no Xing header";
        count_ = TotalFrames(decoder.header);
        elapsed_ = ElapsedSeconds(decoder.header);
        seconds_per_frame_ = SecondsPerFrame(decoder.header);
    }
    void TearDown() override { CloseInput(); }

    static TempDir* dir_;
    RecordingDesktop desktop_;
    std::string path_;
    std::vector<std::vector<uint8_t>> whole_;
    int32_t count_ = 0;
    int elapsed_ = 0;
    double seconds_per_frame_ = 0;
};
TempDir* LameVbrTest::dir_ = nullptr;

TEST_P(LameVbrTest, LengthIsTheHeadersFrameCountAndEveryFramePlays) {
    ASSERT_EQ(whole_.size(), static_cast<size_t>(count_) + 1);
    EXPECT_EQ(whole_[0], std::vector<uint8_t>(whole_[0].size(), 0));
    EXPECT_EQ(elapsed_, static_cast<int>(count_ * seconds_per_frame_));
    EXPECT_TRUE(desktop_.Boxes().empty());
}

TEST_P(LameVbrTest, SeeksLandWithinOnePercentAndContinueAsTheWholeDecode) {
    ASSERT_EQ(whole_.size(), static_cast<size_t>(count_) + 1);
    for (int percent : {25, 50, 75}) {
        Session decoder(path_, {});
        ASSERT_EQ(ReadFrame(&decoder.header), 1);
        int32_t target = static_cast<int32_t>(count_ * (percent / 100.0));
        ASSERT_EQ(SeekFrame(&decoder.header, target), 1) << percent;
        EXPECT_EQ(ElapsedSeconds(decoder.header),
                  static_cast<int>((target + 2) * seconds_per_frame_));
        DiscardDecoderState();
        std::vector<std::vector<uint8_t>> after = Rest(&decoder);
        // Audio frame target + 2 comes next if the table were exact; in a
        // short file at a low rate one percent is less than two frames.
        double expected = count_ - target - 2;
        EXPECT_NEAR(static_cast<double>(after.size()), expected, std::max(0.01 * count_, 2.0))
            << percent;
        // The first frames after the jump lack the bit reservoir the skipped
        // ones held (in quiet passages it reaches back several short
        // frames); from then on, the whole decode's frames, to within the
        // rounding of a synthesis restarted at another phase.
        size_t offset = whole_.size() - after.size();
        size_t equal_from = after.size();
        while (equal_from > 0 && MaxDifference(Samples(after[equal_from - 1]),
                                               Samples(whole_[offset + equal_from - 1])) <= 1)
            --equal_from;
        EXPECT_LE(equal_from, 8u) << percent;
    }
}

// MPEG-2 and MPEG 2.5 frames carry shorter side information, mono shorter
// than stereo: the info frame sits elsewhere in each.
INSTANTIATE_TEST_SUITE_P(
    Lame, LameVbrTest,
    ::testing::Values(std::vector<std::string>{"-V", "0"}, std::vector<std::string>{"-V", "2"},
                      std::vector<std::string>{"--abr", "128"},
                      std::vector<std::string>{"-V", "2", "--resample", "24", "-m", "m"},
                      std::vector<std::string>{"-V", "2", "--resample", "22.05", "-m", "j"},
                      std::vector<std::string>{"-V", "2", "--resample", "8", "-m", "m"},
                      std::vector<std::string>{"-V", "2", "--resample", "11.025", "-m", "s"},
                      // CRC-protected frames: the encoder still puts the
                      // header right after the side information.
                      std::vector<std::string>{"-V", "0", "-p"}),
    [](const ::testing::TestParamInfo<std::vector<std::string>>& info) {
        std::string name;
        for (const std::string& option : info.param)
            for (char c : option)
                if (std::isalnum(static_cast<unsigned char>(c))) name += c;
        return name;
    });

// ---- A hand-built VBRI stream ---------------------------------------------

// MPEG-1 layer III 44100 Hz frames, each body starting with its number (1 for
// the first audio frame), behind a VBRI frame whose table gives the length of
// every per_entry frames. The bitrate changes from entry to entry, so that
// only the table finds a frame; within one it stays, so that a frame's place
// is exactly where the table's interpolation puts it.
std::vector<uint8_t> VbriStream(int frames, int per_entry) {
    const int kBitrates[] = {9, 13, 11, 14};
    std::vector<std::vector<uint8_t>> audio;
    for (int i = 0; i < frames; ++i) {
        audio.push_back(MakeFrame(MakeHeader(1, 3, kBitrates[i / per_entry % 4], 0)));
        audio.back()[4] = static_cast<uint8_t>(i + 1);
    }
    std::vector<uint8_t> info = MakeFrame(MakeHeader(1, 3, 9, 0));
    int entries = (frames + per_entry - 1) / per_entry;
    auto put = [&](size_t at, uint32_t value, int bytes) {
        for (int b = 0; b < bytes; ++b)
            info[at + b] = static_cast<uint8_t>(value >> (8 * (bytes - 1 - b)));
    };
    size_t at = 36;
    std::memcpy(info.data() + at, "VBRI", 4);
    size_t total = info.size();
    for (const auto& f : audio) total += f.size();
    put(at + 4, 1, 2);                                  // version
    put(at + 10, static_cast<uint32_t>(total), 4);      // bytes
    put(at + 14, static_cast<uint32_t>(frames), 4);     // frames
    put(at + 18, static_cast<uint32_t>(entries), 2);    // table entries
    put(at + 20, 1, 2);                                 // scale
    put(at + 22, 2, 2);                                 // bytes per entry
    put(at + 24, static_cast<uint32_t>(per_entry), 2);  // frames per entry
    for (int e = 0; e < entries; ++e) {
        uint32_t length = 0;
        for (int i = e * per_entry; i < frames && i < (e + 1) * per_entry; ++i)
            length += static_cast<uint32_t>(audio[i].size());
        put(at + 26 + 2 * e, length, 2);
    }
    std::vector<uint8_t> stream = info;
    for (const auto& f : audio) Append(&stream, f);
    return stream;
}

class VbriTest : public ::testing::Test {
  protected:
    void TearDown() override { CloseInput(); }
    std::string Write(const std::vector<uint8_t>& bytes) {
        std::string path = dir_.File("vbri.mp3");
        EXPECT_TRUE(WriteFileBytes(path, bytes.data(), bytes.size()));
        return path;
    }
    int NextNumber() {
        if (!ReadFrame(&header_)) return 0;
        const uint8_t* data = nullptr;
        size_t size = 0;
        CurrentFrame(&data, &size);
        return data[4];
    }
    TempDir dir_;
    RecordingDesktop desktop_;
    FrameHeader header_;
};

TEST_F(VbriTest, TheHeadersCountIsTheLengthAndTheTableFindsEachFrame) {
    std::vector<uint8_t> stream = VbriStream(40, 4);
    ASSERT_EQ(OpenInput(Write(stream).c_str()), 1);
    ForgetHeaders();
    ASSERT_EQ(NextNumber(), 0) << "the info frame comes first";
    EXPECT_EQ(SeekFrame(&header_, 40), 0) << "past the last frame";
    EXPECT_EQ(NextNumber(), 1) << "a failed seek leaves play where it was";
    EXPECT_EQ(TotalFrames(header_), 40);
    EXPECT_NE(static_cast<int>(stream.size() / BytesPerFrame(header_)), 40)
        << "the first header's estimate would be wrong";
    for (int n : {0, 10, 25, 37}) {
        ASSERT_EQ(SeekFrame(&header_, n), 1) << n;
        // Frames n and n + 1 were read and skipped.
        EXPECT_EQ(NextNumber(), n + 3) << n;
    }
    EXPECT_TRUE(desktop_.Boxes().empty());
}

TEST(VbrTableTest, AHostileVbriTableDoesNotOverflow) {
    VbrTable table;
    table.kind = VbrTable::Kind::kVbri;
    table.frames = 65535;
    table.frames_per_entry = 65535;
    table.entries = 1;
    table.entry_end[0] = int64_t{0xFFFFFFFF} * 0xFFFF;  // the largest entry times the largest scale
    EXPECT_EQ(VbrByteOfFrame(table, 65534), table.entry_end[0] / 65535 * 65534);
}

TEST(VbrTableTest, XingPositionsAreInterpolatedBetweenPercentages) {
    VbrTable table;
    table.kind = VbrTable::Kind::kXing;
    table.frames = 1000;
    table.bytes = 25600;
    table.has_toc = true;
    for (int i = 0; i < 100; ++i) table.toc[i] = static_cast<uint8_t>(2 * i);
    EXPECT_EQ(VbrByteOfFrame(table, 0), 0);
    EXPECT_EQ(VbrByteOfFrame(table, 505), 10100);  // 50.5 %: 101 / 256 of the bytes
    EXPECT_EQ(VbrByteOfFrame(table, 995), 22700);  // past the last entry toward 256
    table.has_toc = false;
    EXPECT_EQ(VbrByteOfFrame(table, 505), 12928);  // without a table: the average
}

}  // namespace
}  // namespace vek::test
