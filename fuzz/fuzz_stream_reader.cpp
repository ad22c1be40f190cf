// Arbitrary bytes through the stream reader and the decoder, as the decoder
// thread drives them: open, read and decode every frame, with a seek or two.
// The first byte also picks the decoder settings.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/decoder.h"
#include "engine/pcm_chunk.h"
#include "engine/stream_reader.h"
#include "output/discard_output.h"
#include "output/output_system.h"
#include "platform/desktop_hooks.h"
#include "settings/settings.h"

namespace {

constexpr int kMaxFrames = 4000;
constexpr int kMaxSeeks = 3;

int g_questions = 0;

// Yes and No in turn, the same for every run of one input.
int SilentBox(vek::Window*, const char*, const char*, unsigned style) {
    if ((style & vek::MB_TYPEMASK) != vek::MB_YESNO) return vek::IDOK;
    return (g_questions++ % 2 == 0) ? vek::IDYES : vek::IDNO;
}

bool NoSaveFile(vek::Window*, const char*, const char*, const char*, const char*, char*, size_t) {
    return false;
}

int g_file = -1;
std::string g_path;
uint8_t g_chunk[vek::kPcmChunkBytes];

void SetUp() {
    vek::SetDesktopHooks(vek::DesktopHooks{SilentBox, NoSaveFile});
    vek::InstallOutputSystem(&vek::kDiscardOutput);
    float bands[12] = {2.0f, 1.5f, 1.0f, 0.5f, 0.0f, 1.0f, 1.0f, 1.0f, 1.2f, 1.4f, 1.0f, 0.0f};
    vek::BuildEqualiserCurve(bands);
    g_file = memfd_create("vek-fuzz-stream", MFD_CLOEXEC);
    if (g_file < 0) std::abort();
    g_path = "/proc/self/fd/" + std::to_string(g_file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (g_file < 0) SetUp();
    if (ftruncate(g_file, 0) != 0) return 0;
    if (size > 0 && pwrite(g_file, data, size, 0) != static_cast<ssize_t>(size)) return 0;
    g_questions = 0;

    uint8_t choice = size > 0 ? data[0] : 0;
    vek::gSettings.DownSample = choice & 3;  // 3 is out of range on purpose
    vek::gSettings.Channels = ((choice >> 2) & 7) - 2;
    vek::gSettings.AudioOutput8Bit = (choice >> 5) & 1;
    vek::gSettings.EqEnabled = (choice >> 6) & 1;
    bool seek = (choice >> 7) & 1;

    vek::FrameHeader header;
    vek::PcmChunk chunk{g_chunk, 0};
    vek::PrepareDecoder(&header);
    if (!vek::OpenInput(g_path.c_str())) return 0;
    vek::ForgetHeaders();
    int seeks = 0;
    for (int frame = 0; frame < kMaxFrames && vek::ReadFrame(&header); ++frame) {
        const uint8_t* bytes = nullptr;
        size_t length = 0;
        vek::CurrentFrame(&bytes, &length);
        vek::SampleWindow window =
            vek::GaplessWindow(vek::StreamEncoderGap(header), header.down_sample);
        window.at = vek::CurrentAudioFrame() * (vek::SamplesPerFrame(header) >> header.down_sample);
        if (!vek::DecodeFrame(header, bytes, length, &chunk, &window)) {
            if (!vek::ReadFrame(&header) || !vek::ReadFrame(&header)) break;
        }
        int32_t total = vek::TotalFrames(header);
        (void)vek::ElapsedSeconds(header);
        if (seek && seeks < kMaxSeeks && frame % 7 == 3) {
            ++seeks;
            if (vek::SeekFrame(&header, total / (seeks + 1))) {
                vek::DiscardDecoderState();
                chunk.fill = 0;
            }
        }
    }
    vek::FlushPcm(&chunk);
    vek::CloseInput();
    return 0;
}
