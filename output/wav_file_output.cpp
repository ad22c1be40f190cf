// The .wav writer: asks for a file name at each open and stores the PCM it is
// given as a RIFF/WAVE file with an 18-byte "fmt " chunk. The two sizes are
// written when the file is finished; an odd data chunk gets a pad byte that
// counts in the RIFF size.
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "output/buffered_file.h"
#include "output/outputs.h"
#include "output/wave_format.h"
#include "platform/desktop_hooks.h"
#include "platform/limits.h"

namespace vek {
namespace {

constexpr char kCaption[] = "Wave file output error";
constexpr size_t kHeaderBytes = 46;
constexpr off_t kRiffSizeOffset = 4;
constexpr off_t kDataSizeOffset = 42;
// Bytes of the RIFF chunk besides the samples and the pad byte: "WAVE", the
// "fmt " chunk (8 + 18) and the "data" chunk header (8).
constexpr uint64_t kRiffOverhead = 38;
// The most sample bytes whose RIFF size, pad byte included, still fits in 32
// bits; beyond it the sizes would wrap and the file would lie about itself.
constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - kRiffOverhead - 1;

struct WavFileState {
    bool open = false;  // decoder thread only
    uint64_t data_bytes = 0;
    BufferedFile file;
    char name[kPathField];
};

WavFileState g_wav;

void Warn(Window* owner, const char* text) {
    ShowMessageBox(owner, text, kCaption, MB_ICONWARNING);
}

uint8_t* PutLe16(uint8_t* p, uint16_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
    return p + 2;
}

uint8_t* PutLe32(uint8_t* p, uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
    return p + 4;
}

uint8_t* PutTag(uint8_t* p, const char* tag) {
    std::memcpy(p, tag, 4);
    return p + 4;
}

// The header with both sizes 0; they are patched when the file is finished.
void MakeHeader(const WaveFormat& format, uint8_t* header) {
    uint8_t* p = PutTag(header, "RIFF");
    p = PutLe32(p, 0);
    p = PutTag(p, "WAVE");
    p = PutTag(p, "fmt ");
    p = PutLe32(p, 18);
    p = PutLe16(p, format.format_tag);
    p = PutLe16(p, format.channels);
    p = PutLe32(p, format.samples_per_sec);
    p = PutLe32(p, format.avg_bytes_per_sec);
    p = PutLe16(p, format.block_align);
    p = PutLe16(p, format.bits_per_sample);
    p = PutLe16(p, format.extra_size);
    p = PutTag(p, "data");
    PutLe32(p, 0);
}

bool PatchSize(off_t offset, uint64_t size) {
    uint8_t bytes[4];
    PutLe32(bytes, static_cast<uint32_t>(size));
    return PatchBytesAt(&g_wav.file, offset, bytes, sizeof bytes);
}

int WavOpen(int rate, int channels, int, int, float, int eight_bit) {
    if (g_wav.open) return 0;
    WaveFormat format = MakeWaveFormat(rate, channels, eight_bit);
    g_wav.name[0] = '\0';
    if (!ChooseSaveFile(MainWindow(), "Waveform Audio", "*.wav", "Save a WaveForm Audio File...",
                        "WAV", g_wav.name, sizeof g_wav.name))
        return 0;
    if (!CreateBufferedFile(&g_wav.file, g_wav.name)) {
        Warn(MainWindow(), "Could not open file.");
        return 0;
    }
    uint8_t header[kHeaderBytes];
    MakeHeader(format, header);
    if (PutBytes(&g_wav.file, header, sizeof header) != sizeof header) {
        // A half-made file is of no use to anyone.
        CloseBufferedFile(&g_wav.file);
        unlink(g_wav.name);
        Warn(MainWindow(), "Could not write to file");
        return 0;
    }
    g_wav.data_bytes = 0;
    g_wav.open = true;
    return 1;
}

int WavWrite(int length, const uint8_t* data) {
    if (length <= 0) return length;
    if (!g_wav.open || !data) return -1;
    if (g_wav.data_bytes + static_cast<uint64_t>(length) > kMaxDataBytes) return -1;
    size_t stored = PutBytes(&g_wav.file, data, static_cast<size_t>(length));
    g_wav.data_bytes += stored;
    return stored == static_cast<size_t>(length) ? length : -1;
}

// Every step runs even when an earlier one failed; the file is closed and the
// output counts as closed in any case.
int WavClose(int) {
    if (!g_wav.open) return 0;
    if (!FlushBufferedFile(&g_wav.file)) {
        Warn(nullptr, "mmioSetInfo() failed!");
        // What never reached the disk is dropped, so the sizes below describe
        // the file as it is.
        uint64_t lost = g_wav.file.fill;
        g_wav.data_bytes = g_wav.data_bytes > lost ? g_wav.data_bytes - lost : 0;
        g_wav.file.fill = 0;
    }

    uint64_t pad = g_wav.data_bytes & 1;
    bool data_ok = true;
    if (pad) {
        const uint8_t zero = 0;
        data_ok = PutBytes(&g_wav.file, &zero, 1) == 1 && FlushBufferedFile(&g_wav.file);
    }
    data_ok = PatchSize(kDataSizeOffset, g_wav.data_bytes) && data_ok;
    if (!data_ok) Warn(nullptr, "Ascend on data chunk failed!");

    if (!PatchSize(kRiffSizeOffset, kRiffOverhead + g_wav.data_bytes + pad))
        Warn(nullptr, "Ascend on RIFF chunk failed!");
    if (!CloseBufferedFile(&g_wav.file)) Warn(nullptr, "Could not close output file!");
    g_wav.open = false;
    return 0;
}

int WavIsOpen() {
    return g_wav.open ? 1 : 0;
}

}  // namespace

// A file has no device to reset, pause or turn down, and never makes the
// decoder wait: the other slots keep the shared defaults.
const OutputSystem kWavFileOutput{
    .Open = WavOpen,
    .Close = WavClose,
    .IsOpen = WavIsOpen,
    .Write = WavWrite,
};

}  // namespace vek
