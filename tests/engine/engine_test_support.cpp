#include "tests/engine/engine_test_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "engine/decoder.h"
#include "engine/pcm_chunk.h"
#include "engine/stream_reader.h"
#include "output/output_system.h"
#include "settings/settings.h"
#include "tests/support/test_support.h"

namespace vek::test {
namespace {

std::mutex g_mutex;
std::vector<uint8_t> g_bytes;
bool g_open = false;
const OutputSystem* g_previous = nullptr;

int CaptureOpen(int, int, int, int, float, int) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_open = true;
    return 1;
}
int CaptureClose(int) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_open = false;
    return 1;
}
int CaptureIsOpen() {
    return 1;
}
int CaptureWrite(int length, const uint8_t* data) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_bytes.insert(g_bytes.end(), data, data + length);
    return length;
}
const OutputSystem kCapture{
    .Open = CaptureOpen,
    .Close = CaptureClose,
    .IsOpen = CaptureIsOpen,
    .Write = CaptureWrite,
};

int FrameBytesOf(int version, int layer, int bitrate_index, int rate_index, int padding) {
    static const int kRates[3][3] = {
        {44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
    static const int kKbps[2][3][15] = {
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
    int lsf = version == 1 ? 0 : 1;
    int rate = kRates[version == 1 ? 0 : version == 2 ? 1 : 2][rate_index];
    int kbps = kKbps[lsf][layer - 1][bitrate_index];
    if (layer == 1) return (12000 * kbps / rate + padding) * 4;
    if (layer == 2) return 144000 * kbps / rate + padding;
    return 144000 * kbps / (rate << lsf) + padding;
}

}  // namespace

CaptureOutput::CaptureOutput() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_bytes.clear();
    g_open = false;
    g_previous = &Output();
    InstallOutputSystem(&kCapture);
}

CaptureOutput::~CaptureOutput() {
    InstallOutputSystem(g_previous);
}

const std::vector<uint8_t>& CaptureOutput::bytes() const {
    return g_bytes;
}

void CaptureOutput::Clear() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_bytes.clear();
}

void ApplySettings(const DecodeSettings& settings) {
    gSettings.DownSample = settings.down_sample;
    gSettings.Channels = settings.channels;
    gSettings.AudioOutput8Bit = settings.eight_bit;
    gSettings.EqEnabled = settings.eq_enabled;
}

Session::Session(const std::string& path, const DecodeSettings& settings) {
    ApplySettings(settings);
    PrepareDecoder(&header);
    opened = OpenInput(path.c_str()) == 1;
    ForgetHeaders();
}

Session::~Session() {
    CloseInput();
}

int Session::Next(std::vector<uint8_t>* pcm) {
    if (!ReadFrame(&header)) return -1;
    size_t before = capture.bytes().size();
    const uint8_t* frame = nullptr;
    size_t size = 0;
    CurrentFrame(&frame, &size);
    int decoded = DecodeFrame(header, frame, size, &chunk);
    FlushPcm(&chunk);
    pcm->assign(capture.bytes().begin() + static_cast<long>(before), capture.bytes().end());
    return decoded;
}

Decoded DecodeFile(const std::string& path, const DecodeSettings& settings) {
    Decoded result;
    CaptureOutput capture;
    ApplySettings(settings);
    static uint8_t chunk_data[kPcmChunkBytes];
    PcmChunk chunk{chunk_data, 0};
    PrepareDecoder(&result.header);
    result.opened = OpenInput(path.c_str()) == 1;
    if (!result.opened) return result;
    ForgetHeaders();
    while (ReadFrame(&result.header)) {
        ++result.frames;
        result.header_changes += result.header.header_change;
        size_t before = capture.bytes().size() + static_cast<size_t>(chunk.fill);
        const uint8_t* frame = nullptr;
        size_t size = 0;
        CurrentFrame(&frame, &size);
        if (!DecodeFrame(result.header, frame, size, &chunk)) {
            ++result.failures;
            if (!ReadFrame(&result.header) || !ReadFrame(&result.header)) break;
            continue;
        }
        size_t after = capture.bytes().size() + static_cast<size_t>(chunk.fill);
        result.frame_bytes.push_back(static_cast<int>(after - before));
    }
    FlushPcm(&chunk);
    CloseInput();
    result.pcm = capture.bytes();
    return result;
}

uint32_t MakeHeader(int version, int layer, int bitrate_index, int rate_index, int padding,
                    int mode, bool crc) {
    uint32_t version_bits = version == 1 ? 3u : version == 2 ? 2u : 0u;
    return 0xFFE00000u | version_bits << 19 | static_cast<uint32_t>(4 - layer) << 17 |
           (crc ? 0u : 1u) << 16 | static_cast<uint32_t>(bitrate_index) << 12 |
           static_cast<uint32_t>(rate_index) << 10 | static_cast<uint32_t>(padding) << 9 |
           static_cast<uint32_t>(mode) << 6;
}

int FrameBytes(uint32_t header) {
    int version_bits = static_cast<int>(header >> 19) & 3;
    int version = version_bits == 3 ? 1 : version_bits == 2 ? 2 : 25;
    return FrameBytesOf(version, 4 - static_cast<int>((header >> 17) & 3),
                        static_cast<int>((header >> 12) & 15), static_cast<int>((header >> 10) & 3),
                        static_cast<int>((header >> 9) & 1));
}

std::vector<uint8_t> MakeFrame(uint32_t header) {
    std::vector<uint8_t> frame(static_cast<size_t>(FrameBytes(header)), 0);
    frame[0] = static_cast<uint8_t>(header >> 24);
    frame[1] = static_cast<uint8_t>(header >> 16);
    frame[2] = static_cast<uint8_t>(header >> 8);
    frame[3] = static_cast<uint8_t>(header);
    return frame;
}

void Append(std::vector<uint8_t>* to, const std::vector<uint8_t>& bytes) {
    to->insert(to->end(), bytes.begin(), bytes.end());
}

std::vector<int16_t> Samples(const std::vector<uint8_t>& bytes) {
    std::vector<int16_t> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    return samples;
}

std::vector<int16_t> Channel(const std::vector<int16_t>& stereo, int channel) {
    std::vector<int16_t> out;
    out.reserve(stereo.size() / 2);
    for (size_t i = static_cast<size_t>(channel); i < stereo.size(); i += 2)
        out.push_back(stereo[i]);
    return out;
}

int MaxDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    size_t common = a.size() < b.size() ? a.size() : b.size();
    if (common == 0) return -1;
    int worst = 0;
    for (size_t i = 0; i < common; ++i) {
        int difference = std::abs(a[i] - b[i]);
        if (difference > worst) worst = difference;
    }
    return worst;
}

int BeginStderrCapture(std::string* path) {
    std::fflush(stderr);
    char name[] = "/tmp/vek-engine-stderr-XXXXXX";
    int fd = mkstemp(name);
    *path = name;
    int saved = dup(2);
    dup2(fd, 2);
    close(fd);
    return saved;
}

std::string EndStderrCapture(int saved, const std::string& path) {
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    unlink(path.c_str());
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace vek::test
