// The table through which all audio leaves the player. One process-wide table,
// filled only by SelectOutputSystem; callers never learn which output is active.
#pragma once

#include <atomic>
#include <cstdint>

namespace vek {

// What an output without a device puts in the slots it has no use for: Reset,
// Pause and Resume do nothing, SetSeconds and SetVolume ignore the value, the
// getters answer 0 (no buffers: the decoder is never held back). A table that
// leaves such a slot out gets these.
void OutputDoesNothing();
void OutputIgnoresValue(int value);
int OutputAnswersZero();

// Every output fills Open, Close, IsOpen and Write; the other slots default to
// the shared ones above.
struct OutputSystem {
    // Decoder thread. Opens for rate (Hz), channels (1 or 2), device (-1 default),
    // chunk bytes, buffer time (s) and the 8-bit flag. 1 opened, 0 failed (the
    // output has shown its own message, if any) or already open.
    int (*Open)(int rate, int channels, int device, int chunk_bytes, float buffer_time,
                int eight_bit) = nullptr;
    // Decoder thread. reset 0 lets queued audio play out, non-zero discards it.
    // The sound device: 1 closed, 0 nothing was open; the .wav writer: always 0.
    int (*Close)(int reset) = nullptr;
    // Decoder thread. 1 open, 0 closed.
    int (*IsOpen)() = nullptr;
    // Decoder thread. Takes at most 32768 bytes; returns the bytes taken, or -1 on
    // failure. May block while every buffer is queued.
    int (*Write)(int length, const uint8_t* data) = nullptr;
    // Decoder or main thread. Discards queued audio and holds the device until
    // four buffers are queued again.
    void (*Reset)() = OutputDoesNothing;
    // Main thread. Pauses / restarts the device.
    void (*Pause)() = OutputDoesNothing;
    void (*Resume)() = OutputDoesNothing;
    // Any thread. Whole seconds played since the last SetSeconds.
    int (*GetSeconds)() = OutputAnswersZero;
    // Decoder thread.
    void (*SetSeconds)(int seconds) = OutputIgnoresValue;
    // Any thread. Volume step 0..63, -1 when closed.
    int (*GetVolume)() = OutputAnswersZero;
    // Decoder thread. Volume step 0..63 for both channels.
    void (*SetVolume)(int value) = OutputIgnoresValue;
    // Decoder thread. Number of buffers (0: the output never blocks).
    int (*GetBufferCount)() = OutputAnswersZero;
    // Decoder thread. Buffers not queued.
    int (*GetFreeBuffers)() = OutputAnswersZero;
};

// kind 0 and 2: the sound device; 1: the .wav writer; anything else leaves the
// table unchanged. Cannot fail: always returns 1.
int SelectOutputSystem(int kind);

// The active table. Before the first SelectOutputSystem it is the sound device's,
// so no slot is ever empty.
const OutputSystem& Output();

// Puts another complete table in place (tests and benchmarks capture the PCM
// this way). The table must outlive its use.
void InstallOutputSystem(const OutputSystem* table);

// The name of output device index (SDL's playback devices), at most 31
// characters; 0 and "Bad Device" for an index that names none.
int GetDeviceName(int index, char* name, int name_size);
int GetDeviceCount();

}  // namespace vek
