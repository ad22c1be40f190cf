// Gapless playback. An encoder puts silence before the audio (its delay) and
// after it (padding up to a whole frame); a file that states both lets a player
// cut them away, so that its samples are exactly the source's and tracks cut
// from one recording join without a pause.
#pragma once

#include <cstdint>

#include "engine/frame_header.h"
#include "engine/vbr_header.h"

namespace vek {

// Layer III decoding shifts the audio by this many samples more (its filter
// banks); the delays encoders state leave it out.
inline constexpr int32_t kDecoderDelay = 529;

// What a file states about its stream, in samples per channel at the stream's
// rate. samples 0: nothing stated.
struct EncoderGap {
    int32_t delay = 0;    // before the audio
    int32_t padding = 0;  // after it
    int64_t samples = 0;  // the whole stream, delay and padding included
};

// The iTunSMPB comment (" 00000000 DELAY PADDING COUNT ...", hexadecimal) of the
// ID3v2 tag that begins the file fd, read with pread so that the file's position
// stays. False when there is none.
bool ReadItunesGap(int fd, EncoderGap* gap);

// The gap of a stream whose first header is header: the LAME tag of its info
// frame, else the iTunSMPB comment, checked against stream_samples (the
// stream's length as far as it is known). Nothing for layers I and II, and
// nothing when the delay and padding would leave no audio: a hostile or
// mistaken header cannot cut away the stream.
EncoderGap ChooseEncoderGap(const VbrTable& table, const EncoderGap& itunes, int64_t stream_samples,
                            const FrameHeader& header);

// The samples left once the gap is cut away.
int64_t PlayedSamples(const EncoderGap& gap);

// Which decoded samples are played, counted per channel at the output rate
// from the first sample of the first audio frame: those before begin and those
// from end up to stated_end are dropped. Samples past the stream's stated length
// play on, as in files joined from several.
struct SampleWindow {
    int64_t at = 0;  // the index of the next decoded sample; its user keeps it
    int64_t begin = 0;
    int64_t end = INT64_MAX;
    int64_t stated_end = INT64_MAX;
};

// The window that cuts gap away at the rate shifted right by down_sample; one
// that keeps every sample when gap states nothing.
SampleWindow GaplessWindow(const EncoderGap& gap, int down_sample);

// Which of count samples decoded at window.at are played: at most two runs,
// each an offset into them and a length. Returns how many runs there are.
struct SampleRun {
    int64_t first;
    int64_t count;
};
int KeptRuns(const SampleWindow& window, int64_t count, SampleRun runs[2]);

}  // namespace vek
