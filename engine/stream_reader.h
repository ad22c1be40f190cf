// The stream reader: opens a file or URL, finds, checks and reads MPEG audio
// frames, and does the frame arithmetic behind progress and seeking. Used only
// by the decoder thread; one process-wide instance.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/frame_header.h"
#include "engine/gapless.h"

namespace vek {

// Asked now and then during a long search or skip: true ends it (the read
// then fails as at the end of the input, with no message). The decoder thread
// answers whether a stop or quit is waiting.
using StopCheck = bool (*)();

// 1 opened, 0 failed (nothing shown here). A URL (IsUrl) is fetched over the
// network, anything else opened as a file. A leading ID3v2 tag is skipped
// before the first header is looked for. The input is read through a buffer;
// from a pipe, a header or body still waits for all its bytes.
// kInputIsPlaylistLink: the URL named a playlist, which went to the main window
// (UIM_PLAYLIST_LINK); there is nothing to read and nothing to show.
int OpenInput(const char* path, StopCheck stop_check = nullptr);
inline constexpr int kInputIsPlaylistLink = 2;
void CloseInput();

// 1: a frame is ready (CurrentFrame) and header is filled; 0: end of input, a
// read failure, or a sync failure already shown to the user. Every accepted
// header sets its own layer, bitrate, rate and CRC flag, so variable-bitrate
// streams keep their sync.
int ReadFrame(FrameHeader* header);

// The next accepted header defines the stream's layer, rate and bitrate again.
void ForgetHeaders();

// The current frame, header bytes first, then the body (zero-filled when the
// input ended inside it), CRC word included. Valid until the next ReadFrame.
void CurrentFrame(const uint8_t** data, size_t* size);

// The reader's rules for a stream's beginning, as pure functions for those
// who look at a file without reading it through: true when word is a header
// the first search accepts (*header then holds its fields and body_length);
// the bytes of the ID3v2 tag that these ten bytes begin, header and footer
// included, or 0 when they begin none.
bool AcceptableFirstHeader(uint32_t word, FrameHeader* header);
int64_t LeadingTagBytes(const uint8_t* ten_bytes);

// From the header's own fields.
double BytesPerFrame(const FrameHeader& header);
double SecondsPerFrame(const FrameHeader& header);
// The samples per channel one frame decodes to; 0 for a layer that is none.
int32_t SamplesPerFrame(const FrameHeader& header);
// Whole frames in audio_bytes by the first header's frame length, at most
// INT32_MAX; 0 when that header gives no length (free format).
int32_t EstimateFrames(int64_t audio_bytes, const FrameHeader& first);
// The playing time of that many frames in milliseconds, at most INT32_MAX.
int32_t FramesToMs(int32_t frames, const FrameHeader& header);
// A track's playing time: that of its frames, or with a gap stated (see
// gapless.h) that of the samples left once it is cut away.
int32_t TrackLengthMs(int32_t frames, const EncoderGap& gap, const FrameHeader& header);

// These measure with the first accepted header of the stream (header only
// stands in while none has been accepted) and count from the first frame, after
// any leading tag. When a stream's first frame is an info frame (Xing, Info or
// VBRI), its frame count is used instead, and the table of a Xing or VBRI one
// for positions; the info frame itself is not counted.
// Frame count of the input, estimated from the first header unless the info
// frame gives it; 0 for a URL.
int32_t TotalFrames(const FrameHeader& header);
// True when TotalFrames is the count the file's info frame gives.
bool FrameCountIsExact();
// The encoder's delay and padding the stream states (its info frame's LAME tag,
// or an iTunSMPB comment in a file's leading tag), checked against its length;
// samples 0 when it states none. Known once the first frame has been read.
EncoderGap StreamEncoderGap(const FrameHeader& header);
// The LAME tag of the stream's info frame (present false without one). Known
// once the first frame has been read.
LameTag StreamLameTag();
// True when the frame last read is the stream's info frame: it holds no audio.
bool IsInfoFrame();
// The number of the frame last read among the stream's audio frames (0 for the
// first one after any info frame, -1 for the info frame): counted from the
// start, after a seek as the seek places it.
int64_t CurrentAudioFrame();
// False after a seek through a VBR table, whose places are estimates: the
// number may then be off by a few frames.
bool FramePlaceIsExact();
// Whole seconds before the current input position (by frames read when the
// info frame gives a count); 0 for a URL.
int32_t ElapsedSeconds(const FrameHeader& header);
// 1 positioned so that the next frames follow frame n (two frames after the
// header found are read and skipped); the caller then empties the decoder's bit
// reservoir, which the skipped frames would have fed. 0 not done (always for a
// URL) and the input stays where it was. With an info frame its table gives
// where the search starts.
int SeekFrame(FrameHeader* header, int32_t n);
// 1 positioned before the stream's first frame again, with no frame skipped
// (the stream's start needs no bit reservoir); the caller clears the decoder.
// 0 for an input that cannot be repositioned, or before a frame was read.
int RestartAtFirstFrame();

}  // namespace vek
