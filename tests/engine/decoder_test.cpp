// Reader and decoder together on real streams: compliance bitstreams, the
// made clips, and the PCM format, channel and equaliser choices.
#include "engine/decoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/stream_reader.h"
#include "settings/settings.h"
#include "tests/engine/engine_test_support.h"
#include "tests/support/test_support.h"

namespace vek::test {
namespace {

const std::string kCbr = "made/mpeg1_l3_cbr128_44k.mp3";
const std::string kLayerTwo = "made/mpeg1_l2_44k.mp2";
const std::string kCrc48 = "made/mpeg1_l3_crc_48k.mp3";
const std::string kMono8k = "made/mpeg25_l3_8k_mono.mp3";

std::string PcmOf(const std::string& stream) {
    return DataPath(stream.substr(0, stream.rfind('.')) + ".pcm");
}

std::vector<int16_t> Reference(const std::string& stream) {
    return Samples(ReadFileBytes(PcmOf(stream)));
}

class DecoderTest : public ::testing::Test {
  protected:
    void TearDown() override {
        CloseInput();
        ResetSettingsToDefaults();
        float flat[12] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
        BuildEqualiserCurve(flat);
    }
    RecordingDesktop desktop_;
};

double BestCorrelation(const std::vector<int16_t>& small, const std::vector<int16_t>& full,
                       int step) {
    double best = -1.0;
    for (int lag = -4; lag <= 4; ++lag) {
        double xy = 0, xx = 0, yy = 0;
        for (size_t i = 8; i + 8 < small.size(); ++i) {
            long j = static_cast<long>(i) * step + lag;
            if (j < 0 || j >= static_cast<long>(full.size())) continue;
            xy += static_cast<double>(small[i]) * full[static_cast<size_t>(j)];
            xx += static_cast<double>(small[i]) * small[i];
            yy += static_cast<double>(full[static_cast<size_t>(j)]) * full[static_cast<size_t>(j)];
        }
        if (xx > 0 && yy > 0) best = std::max(best, xy / std::sqrt(xx * yy));
    }
    return best;
}

// ---- Compliance bitstreams -------------------------------------------------

class IsoStreamTest : public DecoderTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(IsoStreamTest, MatchesTheReferenceWithinOne) {
    std::string stream = std::string("iso/") + GetParam() + ".bit";
    Decoded decoded = DecodeFile(DataPath(stream));
    ASSERT_TRUE(decoded.opened);
    EXPECT_GT(decoded.frames, 0);
    EXPECT_EQ(decoded.failures, 0);
    std::vector<int16_t> out = Samples(decoded.pcm);
    if (decoded.header.stereo == 1) {
        // A mono stream plays on both outputs; its reference has one channel.
        std::vector<int16_t> left = Channel(out, 0);
        EXPECT_EQ(left, Channel(out, 1));
        out = left;
    }
    std::vector<int16_t> reference = Reference(stream);
    EXPECT_GE(std::min(out.size(), reference.size()), reference.size() / 2);
    EXPECT_LE(MaxDifference(out, reference), 1);
    EXPECT_TRUE(desktop_.Boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Iso, IsoStreamTest,
                         ::testing::Values("ILL2_dual", "ILL2_mono", "ILL2_wrongcrc", "ILL4_sync",
                                           "M2L3_bitrate_16_all", "M2L3_bitrate_22_all",
                                           "M2L3_compl24", "l1-fl1", "l1-fl2", "l1-fl3", "l1-fl4",
                                           "l1-fl5", "l1-fl8", "l2-fl10", "l2-fl11", "l2-fl13",
                                           "l2-fl14", "l2-fl16", "l2-test32", "l3-compl",
                                           "l3-he_32khz", "l3-he_48khz", "l3-nonstandard-apetag",
                                           "l3-nonstandard-id3v1", "l3-si", "l3-si_block"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (c == '-') c = '_';
                             return name;
                         });

TEST_F(DecoderTest, ChannelModeChangesStayOnTwoOutputs) {
    Decoded decoded = DecodeFile(DataPath("iso/l3-he_mode.bit"));
    EXPECT_GT(decoded.frames, 100);
    EXPECT_EQ(decoded.failures, 0);
    EXPECT_EQ(decoded.pcm.size(), static_cast<size_t>(decoded.frames) * 1152 * 4);
}

TEST_F(DecoderTest, FreeFormatStreamAsksAndDecodesNothingOnNo) {
    desktop_.SetYesNo(IDNO);
    Decoded decoded = DecodeFile(DataPath("iso/l3-he_free.bit"));
    EXPECT_EQ(decoded.frames, 0);
    EXPECT_TRUE(decoded.pcm.empty());
    EXPECT_EQ(desktop_.Count("Error In Stream..."), 1u);
}

// ---- Made clips ------------------------------------------------------------

class MadeClipTest : public DecoderTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(MadeClipTest, MatchesItsPcmExactly) {
    std::string stream = std::string("made/") + GetParam();
    Decoded decoded = DecodeFile(DataPath(stream));
    EXPECT_EQ(decoded.failures, 0);
    std::vector<uint8_t> reference = ReadFileBytes(PcmOf(stream));
    ASSERT_FALSE(reference.empty());
    if (decoded.header.stereo == 1) {
        std::vector<int16_t> out = Samples(decoded.pcm);
        EXPECT_EQ(Channel(out, 0), Channel(out, 1));
        EXPECT_EQ(Channel(out, 0), Samples(reference));
    } else {
        EXPECT_EQ(decoded.pcm.size(), reference.size());
        EXPECT_TRUE(decoded.pcm == reference);
    }
    EXPECT_TRUE(desktop_.Boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Made, MadeClipTest,
                         ::testing::Values("mpeg1_l3_cbr128_44k.mp3", "mpeg1_l3_crc_48k.mp3",
                                           "mpeg1_l3_vbr_44k.mp3", "mpeg2_l3_22k.mp3",
                                           "mpeg25_l3_11k_mono.mp3", "mpeg25_l3_8k_mono.mp3",
                                           "mpeg1_l2_44k.mp2", "text_prefix_44k.mp3",
                                           "id3v2_big_tag_44k.mp3"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             return name.substr(0, name.find('.'));
                         });

TEST_F(DecoderTest, MonoClipsGiveTheirChannelOnOneOutput) {
    for (const char* stream : {"made/mpeg25_l3_11k_mono.mp3", "made/mpeg25_l3_8k_mono.mp3"}) {
        for (int channels : {0, 1, 2}) {
            DecodeSettings settings;
            settings.channels = channels;
            Decoded decoded = DecodeFile(DataPath(stream), settings);
            EXPECT_TRUE(decoded.pcm == ReadFileBytes(PcmOf(stream))) << stream << " " << channels;
            EXPECT_EQ(OutputChannels(decoded.header), 1);
        }
    }
}

TEST_F(DecoderTest, NotAudioDecodesNothing) {
    Decoded decoded = DecodeFile(DataPath("made/not_audio.mp3"));
    EXPECT_TRUE(decoded.opened);
    EXPECT_EQ(decoded.frames, 0);
    EXPECT_TRUE(decoded.pcm.empty());
    std::vector<Box> boxes = desktop_.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "This does not look like a valid MPEG Audio File");
    EXPECT_EQ(boxes[0].caption, "Synchronization Error...");
}

// ---- Every frame at once -----------------------------------------------------

TEST_F(DecoderTest, EveryFrameIsDecodedWhenItIsDelivered) {
    struct Case {
        std::string stream;
        size_t frame_bytes;
    };
    const Case cases[] = {{kCbr, 1152 * 4},
                          {kLayerTwo, 1152 * 4},
                          {"iso/l1-fl1.bit", 384 * 4},
                          {kMono8k, 576 * 4},
                          {"made/mpeg1_l3_vbr_44k.mp3", 1152 * 4}};
    for (const Case& c : cases) {
        Decoded decoded = DecodeFile(DataPath(c.stream));
        ASSERT_GT(decoded.frames, 0) << c.stream;
        ASSERT_EQ(decoded.frame_bytes.size(), static_cast<size_t>(decoded.frames)) << c.stream;
        for (size_t i = 0; i < decoded.frame_bytes.size(); ++i)
            ASSERT_EQ(static_cast<size_t>(decoded.frame_bytes[i]), c.frame_bytes)
                << c.stream << " frame " << i;
        EXPECT_EQ(decoded.pcm.size(), decoded.frame_bytes.size() * c.frame_bytes) << c.stream;
    }
}

TEST_F(DecoderTest, NoFrameReadyIsAFailure) {
    FrameHeader header;
    PrepareDecoder(&header);
    ASSERT_EQ(OpenInput(DataPath(kCbr).c_str()), 1);
    uint8_t data[kPcmChunkBytes];
    PcmChunk chunk{data, 0};
    const uint8_t* frame = nullptr;
    size_t size = 0;
    CurrentFrame(&frame, &size);
    EXPECT_EQ(DecodeFrame(header, frame, size, &chunk), 0);
    EXPECT_EQ(chunk.fill, 0);
}

// ---- PCM format ----------------------------------------------------------------

TEST_F(DecoderTest, QuarterRateOf48kStereo) {
    DecodeSettings settings;
    settings.down_sample = 2;
    Decoded decoded = DecodeFile(DataPath(kCrc48), settings);
    EXPECT_EQ(OutputRate(decoded.header), 12000);
    EXPECT_EQ(OutputChannels(decoded.header), 2);
    EXPECT_EQ(decoded.header.block_size, 32);
    EXPECT_EQ(decoded.failures, 0);
    EXPECT_EQ(decoded.pcm.size(), static_cast<size_t>(decoded.frames) * 288 * 4);
}

TEST_F(DecoderTest, DownSampledOutputFollowsTheFullRateSignal) {
    std::vector<int16_t> full = Channel(Samples(DecodeFile(DataPath(kCbr)).pcm), 0);
    for (int down_sample : {1, 2}) {
        DecodeSettings settings;
        settings.down_sample = down_sample;
        Decoded decoded = DecodeFile(DataPath(kCbr), settings);
        EXPECT_EQ(OutputRate(decoded.header), 44100 >> down_sample);
        EXPECT_EQ(decoded.header.block_size, 128 >> down_sample);
        std::vector<int16_t> part = Channel(Samples(decoded.pcm), 0);
        EXPECT_EQ(part.size(), full.size() >> down_sample);
        EXPECT_GT(BestCorrelation(part, full, 1 << down_sample), 0.9) << down_sample;
    }
}

TEST_F(DecoderTest, QuarterRateBelowTheUsualRates) {
    // 8000 Hz at quarter rate is 2000 Hz, a rate outside the library's table.
    std::vector<int16_t> full = Samples(ReadFileBytes(PcmOf(kMono8k)));
    DecodeSettings settings;
    settings.down_sample = 2;
    settings.channels = 0;
    Decoded decoded = DecodeFile(DataPath(kMono8k), settings);
    EXPECT_EQ(decoded.failures, 0);
    EXPECT_EQ(OutputRate(decoded.header), 2000);
    EXPECT_EQ(decoded.header.block_size, 16);
    std::vector<int16_t> part = Samples(decoded.pcm);
    EXPECT_EQ(part.size(), static_cast<size_t>(decoded.frames) * 144);
    EXPECT_GT(BestCorrelation(part, full, 4), 0.8);
}

TEST_F(DecoderTest, EightBitAtFullRateIsTheHighByteAround128) {
    DecodeSettings settings;
    settings.channels = 0;
    std::vector<int16_t> wide = Samples(DecodeFile(DataPath(kCbr), settings).pcm);
    settings.eight_bit = 1;
    Decoded narrow = DecodeFile(DataPath(kCbr), settings);
    EXPECT_EQ(narrow.header.block_size, 32);
    EXPECT_EQ(OutputChannels(narrow.header), 1);
    ASSERT_EQ(narrow.pcm.size(), wide.size());
    for (size_t i = 0; i < wide.size(); ++i)
        ASSERT_EQ(narrow.pcm[i], static_cast<uint8_t>((wide[i] >> 8) + 128)) << i;
}

TEST_F(DecoderTest, EightBitAtHalfRateHasHalfTheAmplitude) {
    DecodeSettings settings;
    settings.down_sample = 1;
    std::vector<int16_t> wide = Samples(DecodeFile(DataPath(kCbr), settings).pcm);
    settings.eight_bit = 1;
    Decoded narrow = DecodeFile(DataPath(kCbr), settings);
    EXPECT_EQ(narrow.header.block_size, 32);
    ASSERT_EQ(narrow.pcm.size(), wide.size());
    int highest = 0;
    for (size_t i = 0; i < wide.size(); ++i) {
        ASSERT_EQ(narrow.pcm[i], static_cast<uint8_t>((wide[i] >> 9) + 128)) << i;
        highest = std::max(highest, static_cast<int>(narrow.pcm[i]));
    }
    EXPECT_LE(highest, 191);
}

TEST_F(DecoderTest, SettingsOutsideTheirRangeAreLimited) {
    FrameHeader header;
    gSettings.DownSample = 7;
    gSettings.Channels = 9;
    PrepareDecoder(&header);
    EXPECT_EQ(header.down_sample, 2);
    EXPECT_EQ(header.single, 2);
    EXPECT_EQ(header.mono, 1);
    EXPECT_EQ(header.block_size, 16);

    gSettings.DownSample = -3;
    gSettings.Channels = -4;
    gSettings.AudioOutput8Bit = 5;
    PrepareDecoder(&header);
    EXPECT_EQ(header.down_sample, 0);
    EXPECT_EQ(header.single, -1);
    EXPECT_EQ(header.mono, 0);
    EXPECT_EQ(header.eight_bit, 1);
    EXPECT_EQ(header.block_size, 64);

    DecodeSettings wild;
    wild.down_sample = 9;
    wild.channels = 5;
    Decoded decoded = DecodeFile(DataPath(kCrc48), wild);
    EXPECT_EQ(OutputRate(decoded.header), 12000);
    EXPECT_EQ(decoded.pcm.size(), static_cast<size_t>(decoded.frames) * 288 * 2);
}

// ---- Channels --------------------------------------------------------------------

TEST_F(DecoderTest, ChannelChoiceForLayerIII) {
    std::vector<int16_t> stereo = Samples(DecodeFile(DataPath(kCbr)).pcm);
    std::vector<int16_t> left = Channel(stereo, 0);
    std::vector<int16_t> right = Channel(stereo, 1);
    ASSERT_GT(MaxDifference(left, right), 1000);
    std::vector<int16_t> mean(left.size());
    for (size_t i = 0; i < left.size(); ++i)
        mean[i] = static_cast<int16_t>((left[i] + right[i]) / 2);

    DecodeSettings settings;
    settings.channels = 0;
    Decoded only_left = DecodeFile(DataPath(kCbr), settings);
    EXPECT_EQ(only_left.header.block_size, 64);
    EXPECT_LE(MaxDifference(Samples(only_left.pcm), left), 1);
    EXPECT_EQ(Samples(only_left.pcm).size(), left.size());
    settings.channels = 1;
    EXPECT_LE(MaxDifference(Samples(DecodeFile(DataPath(kCbr), settings).pcm), right), 1);
    settings.channels = 2;
    std::vector<int16_t> mixed = Samples(DecodeFile(DataPath(kCbr), settings).pcm);
    EXPECT_LE(MaxDifference(mixed, mean), 2);
    EXPECT_GT(MaxDifference(mixed, left), 1000);
}

TEST_F(DecoderTest, MonoMixOfLayerIIIsItsLeftChannel) {
    DecodeSettings settings;
    settings.channels = 0;
    std::vector<uint8_t> left = DecodeFile(DataPath(kLayerTwo), settings).pcm;
    settings.channels = 2;
    std::vector<uint8_t> mixed = DecodeFile(DataPath(kLayerTwo), settings).pcm;
    settings.channels = 1;
    std::vector<uint8_t> right = DecodeFile(DataPath(kLayerTwo), settings).pcm;
    ASSERT_FALSE(left.empty());
    EXPECT_TRUE(mixed == left);
    EXPECT_GT(MaxDifference(Samples(right), Samples(left)), 1000);
}

// ---- Equaliser -------------------------------------------------------------------

void BuildBoost() {
    float bands[12] = {2.0f, 2.0f, 2.0f, 2.0f, 1.0f, 0.2f, 0.2f, 0.2f, 0.2f, 0.2f, 0.2f, 0.2f};
    BuildEqualiserCurve(bands);
}

TEST_F(DecoderTest, FlatEqualiserChangesNothing) {
    std::vector<uint8_t> plain = DecodeFile(DataPath(kCbr)).pcm;
    float flat[12] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    BuildEqualiserCurve(flat);
    DecodeSettings settings;
    settings.eq_enabled = 1;
    EXPECT_TRUE(DecodeFile(DataPath(kCbr), settings).pcm == plain);
}

TEST_F(DecoderTest, EqualiserShapesLayerIIIOnly) {
    std::vector<uint8_t> plain = DecodeFile(DataPath(kCbr)).pcm;
    std::vector<uint8_t> plain_two = DecodeFile(DataPath(kLayerTwo)).pcm;
    BuildBoost();
    DecodeSettings settings;
    settings.eq_enabled = 1;
    std::vector<uint8_t> shaped = DecodeFile(DataPath(kCbr), settings).pcm;
    ASSERT_EQ(shaped.size(), plain.size());
    EXPECT_GT(MaxDifference(Samples(shaped), Samples(plain)), 1000);
    EXPECT_TRUE(DecodeFile(DataPath(kLayerTwo), settings).pcm == plain_two);
    // Switched off, the gains do nothing.
    settings.eq_enabled = 0;
    EXPECT_TRUE(DecodeFile(DataPath(kCbr), settings).pcm == plain);
}

TEST_F(DecoderTest, EqualiserSwitchAndCurveActAtTheNextFrame) {
    std::vector<std::vector<uint8_t>> plain;
    {
        Session session(DataPath(kCbr), {});
        std::vector<uint8_t> pcm;
        while (session.Next(&pcm) == 1) plain.push_back(pcm);
    }
    ASSERT_GT(plain.size(), 60u);
    BuildBoost();
    Session session(DataPath(kCbr), {});
    std::vector<uint8_t> pcm;
    for (size_t frame = 0; session.Next(&pcm) == 1; ++frame) {
        if (frame == 19) gSettings.EqEnabled = 1;
        if (frame == 29) {
            float other[12] = {0.2f, 0.2f, 0.2f, 0.2f, 0.2f, 2, 2, 2, 2, 2, 2, 2};
            BuildEqualiserCurve(other);
        }
        if (frame == 39) gSettings.EqEnabled = 0;
        if (frame < 20 || frame > 41) {
            ASSERT_TRUE(pcm == plain[frame]) << frame;
        } else if (frame > 20 && frame < 40) {
            ASSERT_FALSE(pcm == plain[frame]) << frame;
        }
        if (frame == 25) BuildBoost();  // the same curve again: nothing changes
    }
}

// ---- Streams that change, seeking ----------------------------------------------

TEST_F(DecoderTest, RateChangeWithinAStreamIsFollowed) {
    TempDir dir;
    std::vector<uint8_t> first = ReadFileBytes(DataPath(kCbr));
    std::vector<uint8_t> joined = first;
    Append(&joined, ReadFileBytes(DataPath(kCrc48)));
    std::string path = dir.File("joined.mp3");
    ASSERT_TRUE(WriteFileBytes(path, joined.data(), joined.size()));
    std::vector<uint8_t> ref44 = ReadFileBytes(PcmOf(kCbr));
    std::vector<uint8_t> ref48 = ReadFileBytes(PcmOf(kCrc48));

    for (int down_sample : {0, 1}) {
        Session session(path, {down_sample, -1, 0, 0});
        std::vector<uint8_t> pcm, all;
        std::vector<int> rates;
        int result;
        while ((result = session.Next(&pcm)) == 1) {
            if (session.header.header_change) {
                int rate = OutputRate(session.header);
                if (rates.empty() || rates.back() != rate) rates.push_back(rate);
            }
            Append(&all, pcm);
        }
        EXPECT_EQ(result, -1);
        EXPECT_EQ(rates, (std::vector<int>{44100 >> down_sample, 48000 >> down_sample}));
        ASSERT_EQ(all.size(), (ref44.size() + ref48.size()) >> down_sample);
        if (down_sample == 0) {
            EXPECT_TRUE(std::equal(ref44.begin(), ref44.end(), all.begin()));
            // The second part starts with the first part's filter history.
            size_t settled = 2 * 4608;
            EXPECT_TRUE(std::equal(ref48.begin() + settled, ref48.end(),
                                   all.begin() + static_cast<long>(ref44.size() + settled)));
        }
    }
}

TEST_F(DecoderTest, DiscardEmptiesTheBitReservoir) {
    std::vector<std::vector<uint8_t>> plain;
    {
        Session session(DataPath(kCbr), {});
        std::vector<uint8_t> pcm;
        while (session.Next(&pcm) == 1) plain.push_back(pcm);
    }
    ASSERT_GT(plain.size(), 60u);
    ASSERT_NE(plain[50], std::vector<uint8_t>(plain[50].size(), 0));
    Session session(DataPath(kCbr), {});
    std::vector<uint8_t> pcm;
    for (int frame = 0; frame < 50; ++frame) ASSERT_EQ(session.Next(&pcm), 1);
    DiscardDecoderState();
    ASSERT_EQ(session.Next(&pcm), 1);
    EXPECT_EQ(pcm, std::vector<uint8_t>(plain[50].size(), 0));
    // It recovers within a few frames.
    for (int frame = 51; frame < 55; ++frame) ASSERT_EQ(session.Next(&pcm), 1);
    EXPECT_TRUE(pcm == plain[54]);
}

TEST_F(DecoderTest, SeekResumesTwoFramesAfterTheHeaderFound) {
    std::vector<uint8_t> file = ReadFileBytes(DataPath(kCbr));
    std::vector<size_t> starts;
    for (size_t at = 0; at + 4 <= file.size();) {
        starts.push_back(at);
        uint32_t word = static_cast<uint32_t>(file[at]) << 24 | file[at + 1] << 16 |
                        file[at + 2] << 8 | file[at + 3];
        at += static_cast<size_t>(FrameBytes(word));
    }
    size_t search_from = static_cast<size_t>(128 * 144000.0 / 44100.0 * 60 + 8);
    size_t found = 0;
    while (starts[found] < search_from) ++found;

    std::vector<std::vector<uint8_t>> plain;
    {
        Session session(DataPath(kCbr), {});
        std::vector<uint8_t> pcm;
        while (session.Next(&pcm) == 1) plain.push_back(pcm);
    }
    Session session(DataPath(kCbr), {});
    std::vector<uint8_t> pcm;
    for (int frame = 0; frame < 10; ++frame) ASSERT_EQ(session.Next(&pcm), 1);
    ASSERT_EQ(SeekFrame(&session.header, 60), 1);
    DiscardDecoderState();  // as the decoder thread does after every seek
    std::vector<std::vector<uint8_t>> after;
    while (session.Next(&pcm) == 1) after.push_back(pcm);
    // Frames found and found + 1 are skipped; decoding resumes after them.
    ASSERT_EQ(after.size(), plain.size() - found - 2);
    // The first frame has an empty reservoir; within three frames the output is
    // the uninterrupted decoding's again.
    EXPECT_EQ(after[0], std::vector<uint8_t>(after[0].size(), 0));
    for (size_t i = 3; i < after.size(); ++i) ASSERT_TRUE(after[i] == plain[found + 2 + i]) << i;
}

}  // namespace
}  // namespace vek::test
