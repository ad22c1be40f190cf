#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "output/outputs.h"
#include "tests/support/test_support.h"

namespace vek {
namespace {

class WavFile : public ::testing::Test {
  protected:
    void SetUp() override { SelectOutputSystem(1); }
    void TearDown() override {
        Output().Close(0);
        SelectOutputSystem(0);
    }
    test::TempDir dir_;
    test::RecordingDesktop desktop_;
};

std::vector<uint8_t> Ramp(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 3);
    return bytes;
}

TEST_F(WavFile, StereoSixteenBitFileIsExactByteForByte) {
    std::string path = dir_.File("out.wav");
    desktop_.SetSaveNames({path});
    ASSERT_EQ(Output().Open(44100, 2, -1, 16384, 2.5f, 0), 1);
    EXPECT_EQ(desktop_.SaveRequests(), 1);
    EXPECT_EQ(Output().IsOpen(), 1);
    std::vector<uint8_t> samples = Ramp(4000);  // 1000 frames
    EXPECT_EQ(Output().Write(1500, samples.data()), 1500);
    EXPECT_EQ(Output().Write(0, samples.data()), 0);
    EXPECT_EQ(Output().Write(2500, samples.data() + 1500), 2500);
    EXPECT_EQ(Output().Close(0), 0);
    EXPECT_EQ(Output().IsOpen(), 0);

    const std::vector<uint8_t> header = {
        'R',  'I',  'F',  'F',  0xC6, 0x0F, 0x00, 0x00,                     // 4038
        'W',  'A',  'V',  'E',  'f',  'm',  't',  ' ',  18, 0, 0, 0, 1, 0,  // PCM
        2,    0,                                                            // channels
        0x44, 0xAC, 0x00, 0x00,                                             // 44100
        0x10, 0xB1, 0x02, 0x00,                                             // 176400
        4,    0,    16,   0,    0,    0,                 // block align, bits, extra
        'd',  'a',  't',  'a',  0xA0, 0x0F, 0x00, 0x00,  // 4000
    };
    std::vector<uint8_t> expected = header;
    expected.insert(expected.end(), samples.begin(), samples.end());
    std::vector<uint8_t> file = test::ReadFileBytes(path);
    EXPECT_EQ(file.size(), 4046u);
    EXPECT_TRUE(file == expected);
    EXPECT_TRUE(desktop_.Boxes().empty());
}

TEST_F(WavFile, OddDataGetsAPadByteCountedInTheRiffSize) {
    std::string path = dir_.File("odd.wav");
    desktop_.SetSaveNames({path});
    ASSERT_EQ(Output().Open(22050, 1, -1, 16384, 2.5f, 1), 1);
    const uint8_t samples[3] = {0x10, 0x80, 0xF0};
    EXPECT_EQ(Output().Write(3, samples), 3);
    Output().Close(0);

    const std::vector<uint8_t> expected = {
        'R',  'I',  'F', 'F', 42,   0,    0,    0,    'W', 'A', 'V',  'E',  'f', 'm',
        't',  ' ',  18,  0,   0,    0,    1,    0,    1,   0,   0x22, 0x56, 0,   0,  // 22050
        0x22, 0x56, 0,   0,   1,    0,    8,    0,    0,   0,   'd',  'a',  't', 'a',
        3,    0,    0,   0,   0x10, 0x80, 0xF0, 0x00,  // the samples and the pad byte
    };
    EXPECT_TRUE(test::ReadFileBytes(path) == expected);
    test::WavFile wav;
    ASSERT_TRUE(test::ReadWav(path, &wav));
    EXPECT_EQ(wav.riff_size, 42u);
    EXPECT_EQ(wav.data_size, 3u);
}

TEST_F(WavFile, CancelledChooserOpensNothingAndSaysNothing) {
    desktop_.SetSaveNames({});
    EXPECT_EQ(Output().Open(44100, 2, -1, 16384, 2.5f, 0), 0);
    EXPECT_EQ(Output().IsOpen(), 0);
    EXPECT_TRUE(desktop_.Boxes().empty());
    std::string path = dir_.File("again.wav");
    desktop_.SetSaveNames({path});
    EXPECT_EQ(Output().Open(44100, 2, -1, 16384, 2.5f, 0), 1);  // the next play asks again
    EXPECT_EQ(desktop_.SaveRequests(), 2);
}

TEST_F(WavFile, FileThatCannotBeCreatedIsReported) {
    desktop_.SetSaveNames({dir_.File("missing/dir/out.wav")});
    EXPECT_EQ(Output().Open(44100, 2, -1, 16384, 2.5f, 0), 0);
    std::vector<test::Box> boxes = desktop_.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Wave file output error");
    EXPECT_EQ(boxes[0].text, "Could not open file.");
    EXPECT_EQ(boxes[0].style, MB_ICONWARNING);
    EXPECT_EQ(Output().IsOpen(), 0);
}

TEST_F(WavFile, FullDeviceFailsTheWriteAndCloseStillFinishes) {
    desktop_.SetSaveNames({"/dev/full"});
    ASSERT_EQ(Output().Open(44100, 2, -1, 16384, 2.5f, 0), 1);
    std::vector<uint8_t> chunk = Ramp(16384);
    std::vector<int> results;
    for (int i = 0; i < 6; ++i) results.push_back(Output().Write(16384, chunk.data()));
    // The header and three chunks leave less than a chunk of room in the
    // buffer, so the fourth needs a flush, which the full device refuses.
    EXPECT_EQ(results, (std::vector<int>{16384, 16384, 16384, -1, -1, -1}));
    EXPECT_TRUE(desktop_.Boxes().empty());

    EXPECT_EQ(Output().Close(0), 0);
    EXPECT_EQ(Output().IsOpen(), 0);
    std::vector<test::Box> boxes = desktop_.Boxes();
    ASSERT_GE(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "mmioSetInfo() failed!");
    for (const test::Box& box : boxes) {
        EXPECT_EQ(box.caption, "Wave file output error");
        EXPECT_EQ(box.style, MB_ICONWARNING);
    }
    EXPECT_EQ(desktop_.Count("Wave file output error"), 3u);  // flush, data size, RIFF size
    EXPECT_EQ(Output().Close(0), 0);                          // nothing left open
    EXPECT_EQ(desktop_.Boxes().size(), boxes.size());
}

TEST_F(WavFile, AfterADiskFullTheSizesDescribeTheFileAsItIs) {
    // A file-size limit stands for a disk that fills up part way; it is set
    // in a child process so nothing else here is limited.
    std::string path = dir_.File("cut.wav");
    desktop_.SetSaveNames({path});
    pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);  // writes past the limit fail instead
        rlimit limit{100000, 100000};
        setrlimit(RLIMIT_FSIZE, &limit);
        if (Output().Open(44100, 2, -1, 16384, 2.5f, 0) != 1) _exit(2);
        std::vector<uint8_t> chunk = Ramp(16383);  // odd, so a pad byte is due
        for (int i = 0; i < 12; ++i) Output().Write(16383, chunk.data());
        Output().Close(0);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    test::WavFile wav;
    ASSERT_TRUE(test::ReadWav(path, &wav));
    size_t length = test::ReadFileBytes(path).size();
    EXPECT_LE(length, 100000u);
    EXPECT_EQ(wav.riff_size, length - 8);
    EXPECT_LE(wav.data_size + 46, length);
    EXPECT_GE(wav.data_size + 47, length);
}

TEST_F(WavFile, BytesReachTheDiskOneFullBufferAtATime) {
    std::string path = dir_.File("buffered.wav");
    desktop_.SetSaveNames({path});
    ASSERT_EQ(Output().Open(44100, 2, -1, 16384, 2.5f, 0), 1);
    std::vector<uint8_t> chunk = Ramp(16384);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(Output().Write(16384, chunk.data()), 16384);
    EXPECT_EQ(test::ReadFileBytes(path).size(), 0u);
    for (int i = 0; i < 2; ++i) ASSERT_EQ(Output().Write(16384, chunk.data()), 16384);
    EXPECT_EQ(test::ReadFileBytes(path).size(), 65536u);
    Output().Close(0);
    test::WavFile wav;
    ASSERT_TRUE(test::ReadWav(path, &wav));
    EXPECT_EQ(wav.data_size, 5u * 16384u);
    EXPECT_EQ(test::ReadFileBytes(path).size(), 46u + 5u * 16384u);
}

TEST_F(WavFile, OpenWhileOpenKeepsTheFirstFile) {
    std::string first = dir_.File("first.wav"), second = dir_.File("second.wav");
    desktop_.SetSaveNames({first, second});
    ASSERT_EQ(Output().Open(44100, 2, -1, 16384, 2.5f, 0), 1);
    EXPECT_EQ(Output().Open(48000, 2, -1, 16384, 2.5f, 0), 0);
    EXPECT_EQ(desktop_.SaveRequests(), 1);
    std::vector<uint8_t> chunk = Ramp(400);
    Output().Write(400, chunk.data());
    Output().Close(0);
    ASSERT_EQ(Output().Open(48000, 2, -1, 16384, 2.5f, 0), 1);
    Output().Close(0);
    test::WavFile a, b;
    ASSERT_TRUE(test::ReadWav(first, &a));
    ASSERT_TRUE(test::ReadWav(second, &b));
    EXPECT_EQ(a.rate, 44100);
    EXPECT_EQ(a.data, chunk);
    EXPECT_EQ(b.rate, 48000);
    EXPECT_EQ(b.data_size, 0u);
}

TEST_F(WavFile, WriteWhileClosedFails) {
    uint8_t byte = 1;
    EXPECT_EQ(Output().Write(1, &byte), -1);
}

TEST_F(WavFile, UnfilledSlotsDoNothingAndGiveZero) {
    std::string path = dir_.File("slots.wav");
    desktop_.SetSaveNames({path});
    ASSERT_EQ(Output().Open(44100, 2, -1, 16384, 2.5f, 0), 1);
    Output().Reset();
    Output().Pause();
    Output().Resume();
    Output().SetSeconds(12);
    Output().SetVolume(60);
    EXPECT_EQ(Output().GetSeconds(), 0);
    EXPECT_EQ(Output().GetVolume(), 0);
    EXPECT_EQ(Output().GetBufferCount(), 0);  // the decoder never throttles
    EXPECT_EQ(Output().GetFreeBuffers(), 0);
    EXPECT_EQ(Output().IsOpen(), 1);
}

// Sizes are 32 bits: past them the header would wrap and misdescribe the file,
// so the data stops just where the RIFF size, pad byte included, still fits.
TEST_F(WavFile, DataStopsWhereTheSizesStillFit) {
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP()
        << "4 GiB through the thread checker's memcpy is too slow; nothing is threaded here";
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
    GTEST_SKIP()
        << "4 GiB through the thread checker's memcpy is too slow; nothing is threaded here";
#endif
#endif
    desktop_.SetSaveNames({"/dev/null"});
    ASSERT_EQ(Output().Open(44100, 2, -1, 16384, 2.5f, 0), 1);
    std::vector<uint8_t> chunk(65536, 0);
    const uint64_t kLimit = 0xFFFFFFFFull - 39;
    uint64_t written = 0;
    while (written + chunk.size() <= kLimit) {
        ASSERT_EQ(Output().Write(65536, chunk.data()), 65536);
        written += chunk.size();
    }
    EXPECT_EQ(Output().Write(65536, chunk.data()), -1);
    int rest = static_cast<int>(kLimit - written);
    EXPECT_EQ(Output().Write(rest, chunk.data()), rest);
    EXPECT_EQ(Output().Write(1, chunk.data()), -1);
    Output().Close(0);
    EXPECT_TRUE(desktop_.Boxes().empty());
}

}  // namespace
}  // namespace vek
