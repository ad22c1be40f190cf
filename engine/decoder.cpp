#include "engine/decoder.h"

#include <mpg123.h>

#include <cstddef>
#include <cstdint>

#include "settings/settings.h"

namespace vek {
namespace {

// Frames are handed over whole and one at a time: the library must neither
// wait for the next header nor hunt for sync on its own, and an info frame
// handed over is played as the ordinary frame it is. The library's own gapless
// trimming stays off: it would need the info frame, and the caller's window
// does the same with it left out. A change
// of rate within a stream is followed (the output reopens), so streams joined
// from different sources are allowed.
constexpr long kBaseFlags =
    MPG123_NO_READAHEAD | MPG123_IGNORE_INFOFRAME | MPG123_NO_RESYNC | MPG123_QUIET;
constexpr int kSubbands = 32;
constexpr int kLinesPerSubband = 18;
// Samples of the largest frame's output: 1152 per channel, two channels.
constexpr size_t kMaxFrameSamples = 1152 * 2;
// A fed frame yields a format notice and its samples; more rounds mean trouble.
constexpr int kMaxDecodeRounds = 4;

enum class EqualiserState { kUnknown, kFlat, kCurve };

struct Decoder {
    mpg123_handle* handle = nullptr;
    int channels = 2;
    int down_sample = 0;
    bool eight_bit = false;
    long allowed_rate = 0;  // the one output rate the library may choose now
    EqualiserState equaliser = EqualiserState::kUnknown;
    uint32_t equaliser_generation = 0;
    uint8_t eight_bit_pcm[kMaxFrameSamples];
};

Decoder g_decoder;

bool EnsureHandle() {
    Decoder& d = g_decoder;
    if (d.handle) return true;
    static bool initialised = mpg123_init() == MPG123_OK;
    if (!initialised) return false;
    d.handle = mpg123_new(nullptr, nullptr);
    return d.handle != nullptr;
}

long ChannelFlag(int single) {
    switch (single) {
        case 0:
            return MPG123_MONO_LEFT;
        case 1:
            return MPG123_MONO_RIGHT;
        case 2:
            // Layer III averages the two channels; layers I and II take the
            // left one, as the library does for them.
            return MPG123_MONO_MIX;
        default:
            // Also keeps a one-channel stream (or part of one) on two outputs.
            return MPG123_FORCE_STEREO;
    }
}

// Everything the previous frames left behind goes: feed buffer, bit
// reservoir, synthesis history, negotiated format.
void Restart() {
    Decoder& d = g_decoder;
    mpg123_open_feed(d.handle);
    d.allowed_rate = 0;
    d.equaliser = EqualiserState::kUnknown;
}

// Forcing the output rate to the stream's rate shifted by the down-sample lets
// the library pick its half or quarter rate synthesis also for rates below its
// own table (8000 Hz at quarter rate is 2000 Hz).
void AllowOutputRate(long rate) {
    Decoder& d = g_decoder;
    mpg123_param(d.handle, MPG123_FORCE_RATE, rate, 0);
    mpg123_format_none(d.handle);
    mpg123_format(d.handle, rate, d.channels == 1 ? MPG123_MONO : MPG123_STEREO,
                  MPG123_ENC_SIGNED_16);
    d.allowed_rate = rate;
}

bool FormatIsExpected() {
    Decoder& d = g_decoder;
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(d.handle, &rate, &channels, &encoding) != MPG123_OK) return false;
    return rate == d.allowed_rate && channels == d.channels && encoding == MPG123_ENC_SIGNED_16;
}

// The library's equaliser works on its 32 sub-bands and acts in the synthesis
// of every layer, so it carries the curve (each sub-band gets the mean of its
// 18 lines) only for layer III frames and is flat for the others.
void UpdateEqualiser(int layer) {
    Decoder& d = g_decoder;
    bool wanted = layer == 3 && gSettings.EqEnabled.load() != 0;
    if (!wanted) {
        if (d.equaliser != EqualiserState::kFlat) {
            mpg123_reset_eq(d.handle);
            d.equaliser = EqualiserState::kFlat;
        }
        return;
    }
    uint32_t generation = EqualiserCurveGeneration();
    if (d.equaliser == EqualiserState::kCurve && generation == d.equaliser_generation) return;
    for (int band = 0; band < kSubbands; ++band) {
        double sum = 0.0;
        for (int line = 0; line < kLinesPerSubband; ++line)
            sum += EqualiserCurveValue(band * kLinesPerSubband + line);
        mpg123_eq2(d.handle, MPG123_LR, band, sum / kLinesPerSubband);
    }
    d.equaliser = EqualiserState::kCurve;
    d.equaliser_generation = generation;
}

// 8-bit samples are unsigned around 128, taken from the 16-bit ones; at half
// and quarter rate with one bit less, so at half the amplitude.
void AppendSamples(const uint8_t* pcm, size_t bytes, const FrameHeader& header, PcmChunk* chunk) {
    Decoder& d = g_decoder;
    size_t block = header.block_size > 0 ? static_cast<size_t>(header.block_size) : bytes;
    if (!d.eight_bit) {
        AppendPcm(chunk, pcm, bytes, block);
        return;
    }
    int shift = d.down_sample > 0 ? 9 : 8;
    size_t samples = bytes / 2;
    const uint8_t* in = pcm;
    while (samples > 0) {
        size_t count = samples < kMaxFrameSamples ? samples : kMaxFrameSamples;
        for (size_t i = 0; i < count; ++i) {
            int16_t value = static_cast<int16_t>(in[2 * i] | in[2 * i + 1] << 8);
            d.eight_bit_pcm[i] = static_cast<uint8_t>((value >> shift) + 128);
        }
        AppendPcm(chunk, d.eight_bit_pcm, count, block);
        in += 2 * count;
        samples -= count;
    }
}

// The samples of one decoding step that the window keeps; the window then
// stands after them.
void AppendKept(const uint8_t* pcm, size_t bytes, const FrameHeader& header, SampleWindow* window,
                PcmChunk* chunk) {
    size_t per_sample = 2 * static_cast<size_t>(g_decoder.channels);
    int64_t count = static_cast<int64_t>(bytes / per_sample);
    SampleRun runs[2];
    int n = KeptRuns(*window, count, runs);
    window->at += count;
    for (int i = 0; i < n; ++i)
        AppendSamples(pcm + runs[i].first * static_cast<int64_t>(per_sample),
                      static_cast<size_t>(runs[i].count) * per_sample, header, chunk);
}

}  // namespace

void PrepareDecoder(FrameHeader* header) {
    Decoder& d = g_decoder;
    int down_sample = gSettings.DownSample.load();
    if (down_sample < 0) down_sample = 0;
    if (down_sample > 2) down_sample = 2;
    int single = gSettings.Channels.load();
    if (single < 0) single = -1;
    if (single > 2) single = 2;
    int eight_bit = gSettings.AudioOutput8Bit.load() != 0 ? 1 : 0;
    int mono = single >= 0 ? 1 : 0;

    header->down_sample = down_sample;
    header->single = single;
    header->mono = mono;
    header->eight_bit = eight_bit;
    header->block_size = 128 >> (eight_bit + mono + down_sample);

    d.channels = mono ? 1 : 2;
    d.down_sample = down_sample;
    d.eight_bit = eight_bit != 0;
    if (!EnsureHandle()) return;
    mpg123_param(d.handle, MPG123_FLAGS, kBaseFlags | ChannelFlag(single), 0);
    mpg123_param(d.handle, MPG123_DOWN_SAMPLE, down_sample, 0);
    Restart();
    // A gain of the last track would live on in the library's synthesis tables.
    SetDecoderGain(1.0);
}

void SetDecoderGain(double factor) {
    if (g_decoder.handle) mpg123_volume(g_decoder.handle, factor);
}

int DecodeFrame(const FrameHeader& header, const uint8_t* frame, size_t size, PcmChunk* chunk,
                const SampleWindow* window) {
    Decoder& d = g_decoder;
    if (!d.handle || !frame || size == 0 || !chunk || !chunk->data) return 0;
    long rate = OutputRate(header);
    if (rate == 0) return 0;
    if (rate != d.allowed_rate) AllowOutputRate(rate);
    UpdateEqualiser(header.layer);

    if (mpg123_feed(d.handle, frame, size) != MPG123_OK) {
        Restart();
        return 0;
    }
    bool produced = false;
    SampleWindow kept = window ? *window : SampleWindow{};
    for (int round = 0; round < kMaxDecodeRounds; ++round) {
        off_t number = 0;
        unsigned char* audio = nullptr;
        size_t bytes = 0;
        int result = mpg123_decode_frame(d.handle, &number, &audio, &bytes);
        if (result == MPG123_NEED_MORE || result == MPG123_DONE) break;
        if (result == MPG123_NEW_FORMAT) {
            if (!FormatIsExpected()) {
                Restart();
                return 0;
            }
        } else if (result != MPG123_OK) {
            // The library keeps a frame it refused; start clean for the next.
            Restart();
            return 0;
        }
        if (bytes > 0 && audio) {
            AppendKept(audio, bytes, header, &kept, chunk);
            produced = true;
        }
    }
    // A whole frame went in; a frame that gave nothing was not taken as one
    // (it would only be decoded together with the next frame's bytes).
    if (!produced) {
        Restart();
        return 0;
    }
    return 1;
}

void DiscardDecoderState() {
    if (g_decoder.handle) Restart();
}

int OutputRate(const FrameHeader& header) {
    if (header.sampling_index < 0 || header.sampling_index > 8) return 0;
    int down_sample = header.down_sample < 0 ? 0 : header.down_sample > 2 ? 2 : header.down_sample;
    return kSampleRates[header.sampling_index] >> down_sample;
}

int OutputChannels(const FrameHeader& header) {
    return header.single >= 0 ? 1 : 2;
}

}  // namespace vek
