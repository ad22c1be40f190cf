// The stream reader on synthetic streams: frames with chosen header bits and
// zero bodies, junk, tags and pipes.
#include "engine/stream_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "engine/decoder.h"
#include "settings/settings.h"
#include "tests/engine/engine_test_support.h"
#include "tests/support/test_support.h"

namespace vek::test {
namespace {

constexpr char kSyncCaption[] = "Synchronization Error...";
constexpr char kNotAudio[] = "This does not look like a valid MPEG Audio File";
constexpr char kLostSync[] = "VEK could not locate a VALID sync in the stream.";

// MPEG-1 layer III, 128 kbit/s, 44100 Hz: 417 bytes a frame without padding.
const uint32_t kPlain = MakeHeader(1, 3, 9, 0);

class StreamReaderTest : public ::testing::Test {
  protected:
    void TearDown() override {
        CloseInput();
        ResetSettingsToDefaults();
    }

    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::string path = dir_.File(name);
        static const uint8_t kNone = 0;  // an empty vector's data() may be null
        EXPECT_TRUE(WriteFileBytes(path, bytes.empty() ? &kNone : bytes.data(), bytes.size()));
        return path;
    }

    // Opens the bytes as a file and counts the frames read.
    int CountFrames(const std::vector<uint8_t>& bytes) {
        EXPECT_EQ(OpenInput(Write("count.mp3", bytes).c_str()), 1);
        ForgetHeaders();
        int frames = 0;
        while (ReadFrame(&header_)) ++frames;
        return frames;
    }

    std::vector<uint8_t> CurrentBytes() {
        const uint8_t* data = nullptr;
        size_t size = 0;
        CurrentFrame(&data, &size);
        return std::vector<uint8_t>(data, data + size);
    }

    TempDir dir_;
    RecordingDesktop desktop_;
    FrameHeader header_;
};

std::vector<uint8_t> Bytes(size_t count, uint8_t value) {
    return std::vector<uint8_t>(count, value);
}

std::vector<uint8_t> Word(uint32_t word) {
    return {static_cast<uint8_t>(word >> 24), static_cast<uint8_t>(word >> 16),
            static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word)};
}

// Frames of one header whose bodies start with their index, to tell them apart.
std::vector<uint8_t> NumberedFrames(uint32_t header, int count) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < count; ++i) {
        std::vector<uint8_t> frame = MakeFrame(header);
        frame[4] = static_cast<uint8_t>(i + 1);
        Append(&bytes, frame);
    }
    return bytes;
}

std::vector<uint8_t> Id3Tag(uint32_t size, bool footer, uint8_t fill) {
    std::vector<uint8_t> tag = {'I',
                                'D',
                                '3',
                                static_cast<uint8_t>(footer ? 4 : 3),
                                0,
                                static_cast<uint8_t>(footer ? 0x10 : 0),
                                static_cast<uint8_t>(size >> 21 & 0x7F),
                                static_cast<uint8_t>(size >> 14 & 0x7F),
                                static_cast<uint8_t>(size >> 7 & 0x7F),
                                static_cast<uint8_t>(size & 0x7F)};
    Append(&tag, Bytes(size, fill));
    if (footer) {
        // The footer repeats the header with "3DI"; here it also holds a word
        // that would pass for a frame if it were not skipped.
        std::vector<uint8_t> foot = {'3', 'D', 'I', 4, 0, 0x10, 0, 0, 0, 0};
        std::vector<uint8_t> fake = Word(kPlain);
        std::copy(fake.begin(), fake.end(), foot.begin() + 6);
        Append(&tag, foot);
    }
    return tag;
}

TEST_F(StreamReaderTest, MissingFilesAndFoldersDoNotOpen) {
    EXPECT_EQ(OpenInput(dir_.File("none.mp3").c_str()), 0);
    EXPECT_EQ(OpenInput(dir_.path().c_str()), 0);
    EXPECT_EQ(ReadFrame(&header_), 0);
    EXPECT_TRUE(desktop_.Boxes().empty());
}

TEST_F(StreamReaderTest, DevicesDoNotOpenAndANamedPipeWithoutWriterIsEmpty) {
    EXPECT_EQ(OpenInput("/dev/zero"), 0) << "a device would be read for ever";
    std::string fifo = dir_.File("fifo.mp3");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Nobody writes to it: the open must not wait for a writer.
    ASSERT_EQ(OpenInput(fifo.c_str()), 1);
    EXPECT_EQ(ReadFrame(&header_), 0);
    CloseInput();
}

TEST_F(StreamReaderTest, BodyLengthFollowsPadding) {
    std::vector<uint8_t> bytes = MakeFrame(kPlain);
    Append(&bytes, MakeFrame(MakeHeader(1, 3, 9, 0, 1)));
    Append(&bytes, MakeFrame(MakeHeader(1, 3, 9, 0, 1)));
    ASSERT_EQ(OpenInput(Write("pad.mp3", bytes).c_str()), 1);
    ForgetHeaders();

    ASSERT_EQ(ReadFrame(&header_), 1);
    EXPECT_EQ(header_.body_length, 413);
    EXPECT_EQ(header_.header_change, 1);
    std::vector<uint8_t> frame = CurrentBytes();
    ASSERT_EQ(frame.size(), 417u);
    EXPECT_EQ(std::vector<uint8_t>(frame.begin(), frame.begin() + 4), Word(kPlain));

    ASSERT_EQ(ReadFrame(&header_), 1);
    EXPECT_EQ(header_.body_length, 414);
    EXPECT_EQ(header_.padding, 1);
    EXPECT_EQ(header_.header_change, 1);  // only the padding bit differs
    EXPECT_EQ(CurrentBytes().size(), 418u);

    ASSERT_EQ(ReadFrame(&header_), 1);
    EXPECT_EQ(header_.header_change, 0);
    EXPECT_EQ(ReadFrame(&header_), 0);
    EXPECT_TRUE(desktop_.Boxes().empty());
}

TEST_F(StreamReaderTest, HeaderFieldsAreDecoded) {
    // MPEG-2 layer II, CRC, 64 kbit/s, 24000 Hz, joint stereo, mode extension 2,
    // private, copyright, original, emphasis 1.
    uint32_t word = MakeHeader(2, 2, 8, 1, 0, 1, true) | 2u << 4 | 1u << 8 | 0xDu;
    ASSERT_EQ(CountFrames(MakeFrame(word)), 1);
    EXPECT_EQ(header_.lsf, 1);
    EXPECT_EQ(header_.mpeg25, 0);
    EXPECT_EQ(header_.layer, 2);
    EXPECT_EQ(header_.error_protection, 1);
    EXPECT_EQ(header_.bitrate_index, 8);
    EXPECT_EQ(kSampleRates[header_.sampling_index], 24000);
    EXPECT_EQ(header_.mode, 1);
    EXPECT_EQ(header_.mode_ext, 2);
    EXPECT_EQ(header_.extension, 1);
    EXPECT_EQ(header_.copyright, 1);
    EXPECT_EQ(header_.original, 1);
    EXPECT_EQ(header_.emphasis, 1);
    EXPECT_EQ(header_.stereo, 2);
    EXPECT_EQ(header_.sblimit, 30);
    EXPECT_EQ(header_.jsbound, 12);
    EXPECT_EQ(header_.body_length, 64 * 144000 / 24000 - 4);
}

TEST_F(StreamReaderTest, Mpeg25UsesTheExtendedRates) {
    uint32_t at12000 = MakeHeader(25, 3, 8, 1);
    uint32_t at8000 = MakeHeader(25, 3, 8, 2, 0, 3);
    std::vector<uint8_t> bytes = MakeFrame(at12000);
    ASSERT_EQ(CountFrames(bytes), 1);
    EXPECT_EQ(header_.mpeg25, 1);
    EXPECT_EQ(kSampleRates[header_.sampling_index], 12000);
    EXPECT_EQ(header_.body_length, 64 * 144000 / 24000 - 4);
    ASSERT_EQ(CountFrames(MakeFrame(at8000)), 1);
    EXPECT_EQ(kSampleRates[header_.sampling_index], 8000);
    EXPECT_EQ(header_.stereo, 1);
}

TEST_F(StreamReaderTest, EveryHeaderSetsItsOwnBitrateRateAndCrc) {
    // 128, 160 and 128 kbit/s, then 48000 Hz, then a CRC-protected frame.
    std::vector<uint8_t> bytes = MakeFrame(kPlain);
    Append(&bytes, MakeFrame(MakeHeader(1, 3, 10, 0)));
    Append(&bytes, MakeFrame(kPlain));
    Append(&bytes, MakeFrame(MakeHeader(1, 3, 9, 1)));
    Append(&bytes, MakeFrame(MakeHeader(1, 3, 9, 1, 0, 0, true)));
    ASSERT_EQ(OpenInput(Write("vbr.mp3", bytes).c_str()), 1);
    ForgetHeaders();
    ASSERT_EQ(ReadFrame(&header_), 1);
    EXPECT_EQ(header_.body_length, 413);
    ASSERT_EQ(ReadFrame(&header_), 1);
    EXPECT_EQ(header_.body_length, 522 - 4);
    EXPECT_EQ(header_.bitrate_index, 10);
    ASSERT_EQ(ReadFrame(&header_), 1);
    EXPECT_EQ(header_.body_length, 413);
    ASSERT_EQ(ReadFrame(&header_), 1);
    EXPECT_EQ(header_.header_change, 1);
    EXPECT_EQ(kSampleRates[header_.sampling_index], 48000);
    EXPECT_EQ(header_.body_length, 384 - 4);
    EXPECT_EQ(header_.error_protection, 0);
    ASSERT_EQ(ReadFrame(&header_), 1);
    EXPECT_EQ(header_.error_protection, 1);
    EXPECT_EQ(ReadFrame(&header_), 0);
    EXPECT_TRUE(desktop_.Boxes().empty());
    // The estimate stays with the first header.
    EXPECT_EQ(TotalFrames(header_), static_cast<int>(bytes.size() / 417.9591836734694));
}

TEST_F(StreamReaderTest, FrameArithmetic) {
    FrameHeader h;
    h.layer = 3;
    h.bitrate_index = 9;
    h.sampling_index = 0;
    h.lsf = 0;
    EXPECT_NEAR(BytesPerFrame(h), 417.9591836734694, 1e-9);
    EXPECT_NEAR(SecondsPerFrame(h), 1152.0 / 44100.0, 1e-12);
    // The doubled rate for lsf applies to every layer.
    h.layer = 1;
    h.lsf = 1;
    h.sampling_index = 3;  // 22050 Hz
    h.bitrate_index = 1;   // 32 kbit/s
    EXPECT_NEAR(BytesPerFrame(h), 32.0 * 48000.0 / 44100.0, 1e-9);
    EXPECT_NEAR(SecondsPerFrame(h), 384.0 / 44100.0, 1e-12);
    h.layer = 2;
    EXPECT_NEAR(BytesPerFrame(h), 8.0 * 144000.0 / 44100.0, 1e-9);
    h.layer = 0;
    EXPECT_EQ(BytesPerFrame(h), 1.0);
    EXPECT_EQ(SecondsPerFrame(h), 0.0);
}

TEST_F(StreamReaderTest, TotalAndElapsedOnAFile) {
    ASSERT_EQ(OpenInput(DataPath("made/mpeg1_l3_cbr128_44k.mp3").c_str()), 1);
    ForgetHeaders();
    ASSERT_EQ(ReadFrame(&header_), 1);
    EXPECT_EQ(TotalFrames(header_), 116);  // 48900 / 417.959
    EXPECT_EQ(ElapsedSeconds(header_), 0);
    while (ReadFrame(&header_)) {
    }
    EXPECT_EQ(ElapsedSeconds(header_), 3);  // 116 frames of 26.1 ms
}

// Frame 1000 at 417.959 bytes a frame is searched for from byte 417967: 8
// bytes past its average place, not 8 bytes a frame (8000 bytes further on).
// Frames placed at that byte are found there; placed one byte earlier, the
// search starts inside the first of them and finds the second.
TEST_F(StreamReaderTest, SeekSearchStartsEightBytesPastTheFramesAveragePlace) {
    for (size_t place : {417967u, 417966u}) {
        std::vector<uint8_t> bytes = MakeFrame(kPlain);
        bytes.resize(place, 0);
        Append(&bytes, NumberedFrames(kPlain, 4));
        ASSERT_EQ(OpenInput(Write("seek.mp3", bytes).c_str()), 1);
        ForgetHeaders();
        ASSERT_EQ(ReadFrame(&header_), 1);
        ASSERT_EQ(SeekFrame(&header_, 1000), 1) << place;
        ASSERT_EQ(ReadFrame(&header_), 1);
        // The two frames from the one found on are skipped.
        EXPECT_EQ(CurrentBytes()[4], place == 417967 ? 3 : 4) << place;
    }
}

// Ten minutes at 64 kbit/s, padded as encoders pad: seeks to 10, 50 and 90 %
// play from within a second of the place, and the time shown agrees.
TEST_F(StreamReaderTest, SeeksIntoTenMinutesLandWithinASecondAndTheTimeAgrees) {
    std::vector<uint8_t> bytes;
    for (int64_t i = 0; i < 22968; ++i) {
        bool pad = (i + 1) * 9216000 / 44100 - i * 9216000 / 44100 > 208;
        std::vector<uint8_t> frame = MakeFrame(MakeHeader(1, 3, 5, 0, pad));
        frame[4] = static_cast<uint8_t>(i >> 8), frame[5] = static_cast<uint8_t>(i);
        Append(&bytes, frame);
    }
    ASSERT_EQ(OpenInput(Write("ten.mp3", bytes).c_str()), 1);
    ForgetHeaders();
    ASSERT_EQ(ReadFrame(&header_), 1);
    for (int n : {2296, 11483, 20670}) {
        ASSERT_EQ(SeekFrame(&header_, n), 1);
        EXPECT_NEAR(ElapsedSeconds(header_), n * 0.0261224, 1.0) << n;
        ASSERT_EQ(ReadFrame(&header_), 1);
        EXPECT_NEAR((CurrentBytes()[4] << 8 | CurrentBytes()[5]) * 0.0261224, n * 0.0261224, 1.0);
    }
}

TEST_F(StreamReaderTest, FailedSeekLeavesPlayWhereItWas) {
    std::vector<uint8_t> bytes = NumberedFrames(kPlain, 20);
    Append(&bytes, Bytes(3000, 0));  // the estimate reaches past the last frame
    ASSERT_EQ(OpenInput(Write("end.mp3", bytes).c_str()), 1);
    ForgetHeaders();
    for (int i = 0; i < 5; ++i) ASSERT_EQ(ReadFrame(&header_), 1);
    EXPECT_EQ(SeekFrame(&header_, 22), 0);     // search runs into the end
    EXPECT_EQ(SeekFrame(&header_, 10000), 0);  // past the end of the file
    ASSERT_EQ(ReadFrame(&header_), 1);
    EXPECT_EQ(CurrentBytes()[4], 6);
    EXPECT_TRUE(desktop_.Boxes().empty());
}

TEST_F(StreamReaderTest, SeekLandsOnTheThirdFrameAfterTheSearch) {
    std::vector<uint8_t> bytes = NumberedFrames(kPlain, 40);
    ASSERT_EQ(OpenInput(Write("numbered.mp3", bytes).c_str()), 1);
    ForgetHeaders();
    ASSERT_EQ(ReadFrame(&header_), 1);
    // Search from 417.959 * 10 + 8 = 4187: frame 10 starts at 4170, frame 11
    // at 4587; 11 and 12 are skipped, frame 13 (numbered 14) is next.
    ASSERT_EQ(SeekFrame(&header_, 10), 1);
    ASSERT_EQ(ReadFrame(&header_), 1);
    EXPECT_EQ(CurrentBytes()[4], 14);
    EXPECT_EQ(ElapsedSeconds(header_), 0);  // 14 frames: 0.37 s
}

TEST_F(StreamReaderTest, SeekNeedsAFileAndAFirstHeader) {
    ASSERT_EQ(OpenInput(Write("a.mp3", NumberedFrames(kPlain, 5)).c_str()), 1);
    ForgetHeaders();
    EXPECT_EQ(SeekFrame(&header_, 1), 0);  // nothing accepted yet
    ASSERT_EQ(ReadFrame(&header_), 1);
    EXPECT_EQ(SeekFrame(&header_, -1), 0);
    ASSERT_EQ(ReadFrame(&header_), 1);
    EXPECT_EQ(CurrentBytes()[4], 2);
}

TEST_F(StreamReaderTest, TextBeforeTheFirstFrameIsSkippedSilently) {
    std::string text(1000, 'x');
    for (size_t i = 0; i < text.size(); i += 50) text[i] = '\n';
    std::vector<uint8_t> bytes(text.begin(), text.end());
    Append(&bytes, NumberedFrames(kPlain, 3));
    EXPECT_EQ(CountFrames(bytes), 3);
    EXPECT_TRUE(desktop_.Boxes().empty());
}

TEST_F(StreamReaderTest, InitialSearchComparesAtMost32768Words) {
    // After the first four bytes every shifted-in byte gives one counted word;
    // a header 32768 bytes in is the last one found.
    std::vector<uint8_t> found = Bytes(32768, 0);
    Append(&found, MakeFrame(kPlain));
    EXPECT_EQ(CountFrames(found), 1);
    EXPECT_TRUE(desktop_.Boxes().empty());

    std::vector<uint8_t> too_far = Bytes(32769, 0);
    Append(&too_far, MakeFrame(kPlain));
    EXPECT_EQ(CountFrames(too_far), 0);
    std::vector<Box> boxes = desktop_.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kNotAudio);
    EXPECT_EQ(boxes[0].caption, kSyncCaption);
    EXPECT_EQ(boxes[0].style, MB_OK);
}

TEST_F(StreamReaderTest, InitialSearchDoesNotCountRunsOfOnes) {
    std::vector<uint8_t> bytes = Bytes(40000, 0xFF);
    Append(&bytes, MakeFrame(kPlain));
    EXPECT_EQ(CountFrames(bytes), 1);
    EXPECT_TRUE(desktop_.Boxes().empty());
}

TEST_F(StreamReaderTest, RunsOfOnesStillCountTowardsAByteLimit) {
    // 2 MB of 0xFF bytes: every word is a run of ones, yet the search ends
    // after a bounded number of bytes and never reaches the frame behind them.
    std::vector<uint8_t> ones = Bytes(2 << 20, 0xFF);
    Append(&ones, MakeFrame(kPlain));
    EXPECT_EQ(CountFrames(ones), 0);
    ASSERT_EQ(desktop_.Boxes().size(), 1u);
    EXPECT_EQ(desktop_.Boxes()[0].text, kNotAudio);
}

int g_stop_checks = 0;
bool StopAfterTwoLooks() {
    return ++g_stop_checks >= 2;
}

TEST_F(StreamReaderTest, ASearchAsksWhetherToStopAndEndsQuietlyWhenTold) {
    g_stop_checks = 0;
    std::vector<uint8_t> junk = Bytes(200000, 0x20);
    Append(&junk, MakeFrame(kPlain));
    ASSERT_EQ(OpenInput(Write("junk.mp3", junk).c_str(), StopAfterTwoLooks), 1);
    ForgetHeaders();
    EXPECT_EQ(ReadFrame(&header_), 0);
    EXPECT_EQ(g_stop_checks, 2) << "asked every few kilobytes, and not after the answer";
    EXPECT_EQ(ReadFrame(&header_), 0) << "a stopped input stays stopped";
    EXPECT_TRUE(desktop_.Boxes().empty()) << "a stop is no failure to report";
}

TEST_F(StreamReaderTest, ASeekIntoEndlessJunkGivesUpAndPlayStaysWhereItWas) {
    std::vector<uint8_t> bytes = NumberedFrames(kPlain, 3);
    Append(&bytes, Bytes(3 << 20, 0x00));
    Append(&bytes, NumberedFrames(kPlain, 3));
    ASSERT_EQ(OpenInput(Write("gap.mp3", bytes).c_str()), 1);
    ForgetHeaders();
    ASSERT_EQ(ReadFrame(&header_), 1);
    EXPECT_EQ(SeekFrame(&header_, 10), 0);
    ASSERT_EQ(ReadFrame(&header_), 1);
    EXPECT_EQ(CurrentBytes()[4], 2);
}

TEST_F(StreamReaderTest, JunkThatEndsBeforeAnyFrameIsNotAudio) {
    EXPECT_EQ(CountFrames(Bytes(100, 0x20)), 0);
    ASSERT_EQ(desktop_.Count(kSyncCaption), 1u);
    EXPECT_EQ(desktop_.Boxes()[0].text, kNotAudio);
}

TEST_F(StreamReaderTest, TooShortInputsEndQuietly) {
    EXPECT_EQ(CountFrames(Bytes(3, 0xFF)), 0);
    EXPECT_EQ(CountFrames({}), 0);
    std::vector<uint8_t> frame_and_tail = MakeFrame(kPlain);
    Append(&frame_and_tail, Bytes(3, 0xFF));
    EXPECT_EQ(CountFrames(frame_and_tail), 1);
    EXPECT_EQ(CountFrames(Word(kPlain)), 0);  // a header with no body
    EXPECT_TRUE(desktop_.Boxes().empty());
}

TEST_F(StreamReaderTest, ShortBodyIsZeroFilled) {
    // Two full frames leave stale bytes in both buffers, then a body ends early.
    std::vector<uint8_t> marked = MakeFrame(kPlain);
    std::fill(marked.begin() + 4, marked.end(), 0xCD);
    std::vector<uint8_t> bytes = marked;
    Append(&bytes, marked);
    Append(&bytes, Word(kPlain));
    Append(&bytes, Bytes(100, 0xAB));
    ASSERT_EQ(OpenInput(Write("short.mp3", bytes).c_str()), 1);
    ForgetHeaders();
    ASSERT_EQ(ReadFrame(&header_), 1);
    ASSERT_EQ(ReadFrame(&header_), 1);
    ASSERT_EQ(ReadFrame(&header_), 1);
    std::vector<uint8_t> frame = CurrentBytes();
    ASSERT_EQ(frame.size(), 417u);
    for (size_t i = 4; i < 104; ++i) ASSERT_EQ(frame[i], 0xAB) << i;
    for (size_t i = 104; i < frame.size(); ++i) ASSERT_EQ(frame[i], 0) << i;
    EXPECT_EQ(ReadFrame(&header_), 0);
}

TEST_F(StreamReaderTest, ResyncFindsTheNextMatchingHeader) {
    // Junk, then a header that differs in the padding and the mode bits only.
    std::vector<uint8_t> bytes = MakeFrame(kPlain);
    Append(&bytes, Bytes(1000, 0x11));
    Append(&bytes, MakeFrame(MakeHeader(1, 3, 9, 0, 1, 2)));
    EXPECT_EQ(CountFrames(bytes), 2);
    EXPECT_EQ(header_.padding, 1);
    EXPECT_EQ(header_.mode, 2);
    EXPECT_TRUE(desktop_.Boxes().empty());
}

TEST_F(StreamReaderTest, ResyncIgnoresHeadersOfAnotherKind) {
    // A valid header of another bitrate does not match under the mask.
    std::vector<uint8_t> bytes = MakeFrame(kPlain);
    Append(&bytes, Bytes(10, 0));
    Append(&bytes, Word(MakeHeader(1, 3, 5, 0)));
    Append(&bytes, Bytes(10, 0));
    Append(&bytes, MakeFrame(kPlain));
    ASSERT_EQ(OpenInput(Write("kinds.mp3", bytes).c_str()), 1);
    ForgetHeaders();
    ASSERT_EQ(ReadFrame(&header_), 1);
    ASSERT_EQ(ReadFrame(&header_), 1);
    EXPECT_EQ(header_.bitrate_index, 9);
    EXPECT_EQ(ReadFrame(&header_), 0);
}

TEST_F(StreamReaderTest, ResyncGivesUpAfter32767Words) {
    std::vector<uint8_t> near = MakeFrame(kPlain);
    Append(&near, Bytes(32767, 0));
    Append(&near, MakeFrame(kPlain));
    EXPECT_EQ(CountFrames(near), 2);
    EXPECT_TRUE(desktop_.Boxes().empty());

    std::vector<uint8_t> far = MakeFrame(kPlain);
    Append(&far, Bytes(32768, 0));
    Append(&far, MakeFrame(kPlain));
    EXPECT_EQ(CountFrames(far), 1);
    std::vector<Box> boxes = desktop_.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kLostSync);
    EXPECT_EQ(boxes[0].caption, kSyncCaption);
    EXPECT_EQ(boxes[0].style, MB_OK);
}

TEST_F(StreamReaderTest, ResyncRunningIntoTheEndIsQuiet) {
    std::vector<uint8_t> bytes = MakeFrame(kPlain);
    Append(&bytes, Bytes(128, 0x20));  // a trailing tag, say
    EXPECT_EQ(CountFrames(bytes), 1);
    EXPECT_TRUE(desktop_.Boxes().empty());
}

TEST_F(StreamReaderTest, FreeFormatAsksAndNoEndsTheTrack) {
    std::vector<uint8_t> bytes = Word(MakeHeader(1, 3, 0, 0));
    Append(&bytes, Bytes(100, 0));
    Append(&bytes, MakeFrame(kPlain));
    desktop_.SetYesNo(IDNO);
    EXPECT_EQ(CountFrames(bytes), 0);
    std::vector<Box> boxes = desktop_.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Invalid Bitrate in stream, Try Resync?");
    EXPECT_EQ(boxes[0].caption, "Error In Stream...");
    EXPECT_EQ(boxes[0].style, MB_YESNO);
    // No bitrate, no estimate (and no division by zero).
    EXPECT_EQ(TotalFrames(header_), 0);
    EXPECT_EQ(ElapsedSeconds(header_), 0);
}

TEST_F(StreamReaderTest, FreeFormatAnsweredYesSearchesOn) {
    std::vector<uint8_t> bytes = Word(MakeHeader(1, 3, 0, 0));
    Append(&bytes, Bytes(100, 0));
    Append(&bytes, NumberedFrames(kPlain, 2));
    desktop_.SetYesNo(IDYES);
    EXPECT_EQ(CountFrames(bytes), 2);
    EXPECT_EQ(desktop_.Count("Error In Stream..."), 1u);
    EXPECT_EQ(header_.bitrate_index, 9);
}

TEST_F(StreamReaderTest, ReservedFieldsAfterTheFirstFrameRestartTheSearch) {
    // A sync word with bitrate index 15, then one with rate index 3: neither
    // describes a frame; the search goes on to the next valid header.
    std::vector<uint8_t> bytes = MakeFrame(kPlain);
    Append(&bytes, Word(MakeHeader(1, 3, 15, 0)));
    Append(&bytes, MakeFrame(kPlain));
    Append(&bytes, Word(MakeHeader(1, 3, 9, 3)));
    Append(&bytes, MakeFrame(kPlain));
    EXPECT_EQ(CountFrames(bytes), 3);
    EXPECT_TRUE(desktop_.Boxes().empty());
}

TEST_F(StreamReaderTest, BodyLongerThanItsBufferIsRejected) {
    // MPEG 2.5 layer II at 160 kbit/s and 8000 Hz would need 2876 bytes.
    const uint32_t huge = MakeHeader(25, 2, 14, 2);
    const uint32_t small = MakeHeader(25, 3, 8, 2);
    std::vector<uint8_t> first = Word(huge);
    Append(&first, Bytes(3000, 0));
    Append(&first, MakeFrame(small));
    EXPECT_EQ(CountFrames(first), 1);
    EXPECT_EQ(header_.layer, 3);

    std::vector<uint8_t> later = MakeFrame(small);
    Append(&later, Word(huge));
    Append(&later, Bytes(3000, 0x55));
    Append(&later, MakeFrame(small));
    EXPECT_EQ(CountFrames(later), 2);
    EXPECT_LE(CurrentBytes().size(), 1796u);
    EXPECT_TRUE(desktop_.Boxes().empty());
}

TEST_F(StreamReaderTest, UnknownLayerEndsWithADiagnostic) {
    std::vector<uint8_t> bytes = MakeFrame(kPlain);
    Append(&bytes, Word(kPlain & ~0x00060000u));
    Append(&bytes, MakeFrame(kPlain));
    ASSERT_EQ(OpenInput(Write("layer.mp3", bytes).c_str()), 1);
    ForgetHeaders();
    ASSERT_EQ(ReadFrame(&header_), 1);
    int result = 1;
    std::string errors = CaptureStderr([&] { result = ReadFrame(&header_); });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(errors, "Sorry, unknown layer type.\n");
    EXPECT_TRUE(desktop_.Boxes().empty());
}

TEST_F(StreamReaderTest, ForgetHeadersLetsTheNextHeaderDefineTheStream) {
    std::vector<uint8_t> bytes = NumberedFrames(kPlain, 2);
    Append(&bytes, NumberedFrames(MakeHeader(1, 3, 5, 0), 2));  // 64 kbit/s
    ASSERT_EQ(OpenInput(Write("forget.mp3", bytes).c_str()), 1);
    ForgetHeaders();
    ASSERT_EQ(ReadFrame(&header_), 1);
    EXPECT_EQ(TotalFrames(header_), static_cast<int>(bytes.size() / 417.9591836734694));
    ASSERT_EQ(ReadFrame(&header_), 1);
    ForgetHeaders();
    ASSERT_EQ(ReadFrame(&header_), 1);
    EXPECT_EQ(header_.header_change, 1);
    EXPECT_EQ(TotalFrames(header_), static_cast<int>(bytes.size() / (64 * 144000.0 / 44100)));
}

TEST_F(StreamReaderTest, LeadingId3TagIsSkippedWithItsFalseSyncs) {
    // The tag is longer than the search limit and full of frame-like words.
    std::vector<uint8_t> tag = Id3Tag(50000, false, 0);
    for (size_t i = 10; i + 4 <= tag.size(); i += 7) {
        std::vector<uint8_t> fake = Word(MakeHeader(1, 3, 5, 0));
        std::copy(fake.begin(), fake.end(), tag.begin() + static_cast<long>(i));
    }
    std::vector<uint8_t> bytes = tag;
    Append(&bytes, NumberedFrames(kPlain, 5));
    ASSERT_EQ(OpenInput(Write("tagged.mp3", bytes).c_str()), 1);
    ForgetHeaders();
    ASSERT_EQ(ReadFrame(&header_), 1);
    EXPECT_EQ(header_.bitrate_index, 9);
    EXPECT_EQ(CurrentBytes()[4], 1);
    EXPECT_EQ(TotalFrames(header_), 4);  // 2085 bytes after the tag / 417.959
    EXPECT_EQ(ElapsedSeconds(header_), 0);
    int frames = 1;
    while (ReadFrame(&header_)) ++frames;
    EXPECT_EQ(frames, 5);
    EXPECT_TRUE(desktop_.Boxes().empty());
}

TEST_F(StreamReaderTest, TagFooterIsSkippedToo) {
    // Ten frames and five bytes after the tag make 9.99 frames; counted with
    // the footer's ten bytes they would make 10.01.
    std::vector<uint8_t> bytes = Id3Tag(300, true, 0);
    Append(&bytes, NumberedFrames(kPlain, 10));
    Append(&bytes, Bytes(5, 0));
    ASSERT_EQ(OpenInput(Write("footer.mp3", bytes).c_str()), 1);
    ForgetHeaders();
    ASSERT_EQ(ReadFrame(&header_), 1);
    EXPECT_EQ(CurrentBytes()[4], 1);
    EXPECT_EQ(TotalFrames(header_), 9);
}

TEST_F(StreamReaderTest, SeekCountsFromTheEndOfTheTag) {
    std::vector<uint8_t> bytes = Id3Tag(20000, false, 0);
    Append(&bytes, NumberedFrames(kPlain, 40));
    ASSERT_EQ(OpenInput(Write("tagseek.mp3", bytes).c_str()), 1);
    ForgetHeaders();
    ASSERT_EQ(ReadFrame(&header_), 1);
    ASSERT_EQ(SeekFrame(&header_, 10), 1);
    ASSERT_EQ(ReadFrame(&header_), 1);
    EXPECT_EQ(CurrentBytes()[4], 14);
}

// Writes bytes into a pipe a few at a time, as a network would deliver them.
class Trickle {
  public:
    explicit Trickle(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {
        int ends[2];
        EXPECT_EQ(pipe(ends), 0);
        read_end_ = ends[0];
        write_end_ = ends[1];
        writer_ = std::thread([this] {
            size_t at = 0;
            while (at < bytes_.size()) {
                size_t n = std::min<size_t>(97, bytes_.size() - at);
                ssize_t written = write(write_end_, bytes_.data() + at, n);
                if (written <= 0) break;
                at += static_cast<size_t>(written);
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            close(write_end_);
        });
    }
    ~Trickle() {
        writer_.join();
        close(read_end_);
    }
    std::string Path() const { return "/proc/self/fd/" + std::to_string(read_end_); }

  private:
    std::vector<uint8_t> bytes_;
    int read_end_ = -1;
    int write_end_ = -1;
    std::thread writer_;
};

// Frames numbered in their first two body bytes, some padded, so that their
// starts fall at every kind of offset around the reader's buffer boundaries.
std::vector<uint8_t> ManyFrames(int count) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < count; ++i) {
        std::vector<uint8_t> frame = MakeFrame(MakeHeader(1, 3, 9, 0, i % 3 == 0 ? 1 : 0));
        frame[4] = static_cast<uint8_t>(i);
        frame[5] = static_cast<uint8_t>(i >> 8);
        Append(&bytes, frame);
    }
    return bytes;
}

// A pipe delivers in pieces that rarely end where a frame does.
TEST_F(StreamReaderTest, FramesAcrossBufferBoundariesReadWholeFromAPipe) {
    std::vector<uint8_t> bytes = ManyFrames(700);  // about 290 KB
    Trickle trickle(bytes);
    ASSERT_EQ(OpenInput(trickle.Path().c_str()), 1);
    ForgetHeaders();
    std::vector<uint8_t> read;
    int frames = 0;
    for (; ReadFrame(&header_); ++frames) Append(&read, CurrentBytes());
    EXPECT_EQ(frames, 700);
    EXPECT_TRUE(read == bytes);
}

TEST_F(StreamReaderTest, PipeReadsWaitForWholeHeadersAndBodies) {
    std::vector<uint8_t> bytes = NumberedFrames(kPlain, 12);
    Trickle trickle(bytes);
    ASSERT_EQ(OpenInput(trickle.Path().c_str()), 1);
    ForgetHeaders();
    int frames = 0;
    while (ReadFrame(&header_)) {
        ++frames;
        std::vector<uint8_t> frame = CurrentBytes();
        ASSERT_EQ(frame.size(), 417u);
        EXPECT_EQ(frame[4], frames);
        EXPECT_EQ(header_.header_change, frames == 1 ? 1 : 0);
    }
    CloseInput();
    EXPECT_EQ(frames, 12);
    EXPECT_TRUE(desktop_.Boxes().empty());
}

TEST_F(StreamReaderTest, PipeSkipsATagAndKeepsUntaggedStarts) {
    std::vector<uint8_t> tagged = Id3Tag(9000, false, 0xFF);
    Append(&tagged, NumberedFrames(kPlain, 3));
    {
        Trickle trickle(tagged);
        ASSERT_EQ(OpenInput(trickle.Path().c_str()), 1);
        ForgetHeaders();
        ASSERT_EQ(ReadFrame(&header_), 1);
        EXPECT_EQ(CurrentBytes()[4], 1);
        EXPECT_EQ(TotalFrames(header_), 0);
        CloseInput();
    }
    {
        Trickle trickle(NumberedFrames(kPlain, 3));
        ASSERT_EQ(OpenInput(trickle.Path().c_str()), 1);
        ForgetHeaders();
        int frames = 0;
        while (ReadFrame(&header_)) EXPECT_EQ(CurrentBytes()[4], ++frames);
        EXPECT_EQ(frames, 3);
        EXPECT_EQ(SeekFrame(&header_, 1), 0);
        CloseInput();
    }
    EXPECT_TRUE(desktop_.Boxes().empty());
}

TEST_F(StreamReaderTest, NotAudioFileSaysSo) {
    ASSERT_EQ(OpenInput(DataPath("made/not_audio.mp3").c_str()), 1);
    ForgetHeaders();
    EXPECT_EQ(ReadFrame(&header_), 0);
    std::vector<Box> boxes = desktop_.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kNotAudio);
    EXPECT_EQ(boxes[0].caption, kSyncCaption);
}

}  // namespace
}  // namespace vek::test
