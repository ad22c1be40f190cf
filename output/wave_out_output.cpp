// The sound device: ten buffers of 32768 bytes queued to an SDL2 audio device.
//
// SDL pulls audio through a callback on its own thread, so the buffers reach it
// through a lock-free ring of indices: Write fills a buffer and pushes its
// index, the callback copies bytes out of the oldest buffer and, once every
// byte of it is consumed, counts the buffer as returned. That return runs the
// completion handler (free count, byte accumulator, seconds counter) right in
// the callback, or, in the thread completion mode, wakes our completion thread
// which runs it. The callback never blocks, allocates or takes a lock of ours.
//
// The device is held (SDL-paused) after an open or a reset until the fourth
// buffer is queued, and paused while the user pauses. SDL pauses a device
// under its own lock, the one it holds around every callback, so once the
// device is paused the callback is neither running nor about to run: that is
// when Reset and Close reclaim the queued buffers on their own thread.
#include <semaphore.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>

#include "output/index_ring.h"
#include "output/outputs.h"
#include "output/pcm_volume.h"
#include "output/sdl_audio.h"
#include "output/wave_format.h"
#include "platform/desktop_hooks.h"
#include "platform/messages.h"
#include "platform/priority.h"
#include "platform/worker_thread.h"
#include "settings/settings.h"

namespace vek {
namespace {

constexpr int kBufferCount = 10;
constexpr int kBufferBytes = 32768;
constexpr int kPrebufferWrites = 3;  // the fourth write after an open or reset starts the device
constexpr int kCompletionStackBytes = 16384;
constexpr int kCompletionJoinMs = 3000;

enum CompletionMode { kCompleteInCallback = 0, kCompleteOnThread = 1 };

struct WaveOutDevice {
    // Control state, changed by the decoder thread and the main thread under
    // control_mutex; the SDL callback never takes it.
    std::mutex control_mutex;
    std::atomic<SDL_AudioDeviceID> device{0};  // 0: closed; read without the lock by IsOpen
    bool held = false;                         // waiting for the fourth buffer
    bool user_paused = false;                  // Pause without Resume yet
    bool draining = false;                     // Close(0) is playing out the queue
    bool running = false;                      // what SDL was last told: unpaused
    int prebuffer_count = 0;

    // Decoder thread only, between Open and Close.
    int next_index = 0;
    WorkerThread completion_thread;

    // Set by Open before the device starts, then only read (also by the callback
    // and the completion thread).
    uint8_t* buffers[kBufferCount] = {};
    WaveFormat format;
    CompletionMode completion_mode = kCompleteInCallback;
    uint8_t silence = 0;

    // Queued buffers: Write produces, the callback consumes (or Reset and Close
    // while the device is paused). lengths[i] is written before i is pushed.
    IndexRing queued;
    int lengths[kBufferCount] = {};
    std::atomic<int> head_offset{0};  // bytes of the oldest queued buffer already played

    // The lengths of consumed buffers on their way to the completion thread:
    // the callback produces, the completion thread consumes. Lengths, not
    // indices: after a Reset, Write may refill a buffer before the completion
    // thread has counted its last use.
    IndexRing returned;

    // Completion state.
    std::atomic<int> free_count{kBufferCount};
    std::atomic<uint32_t> byte_accumulator{0};  // the completion handler's; SetSeconds clears it
    std::atomic<int> seconds{0};
    std::atomic<uint32_t> volume{kFullVolume};
    std::atomic<int> writer_waiting{0};  // Write or Close is waiting for a free buffer

    // Lock-free wakes: sem_post may be called from the SDL callback.
    sem_t buffer_freed;     // wakes a waiting Write or Close
    sem_t buffer_returned;  // wakes the completion thread

    WaveOutDevice() {
        sem_init(&buffer_freed, 0, 0);
        sem_init(&buffer_returned, 0, 0);
    }
};

WaveOutDevice g_out;

// SDL's functions while a device is open: SDL was loaded to open it.
const SdlLibrary& Sdl() {
    return *LoadSdl();
}

void ShowWaveOutError(const char* caption, const char* text) {
    ShowMessageBox(MainWindow(), text, caption, MB_OK);
}

void DrainSemaphore(sem_t* semaphore) {
    while (sem_trywait(semaphore) == 0) {
    }
}

// Waits for a post, until the absolute deadline when there is one; a signal
// or a stale post just ends the wait early. False once the deadline is past.
bool WaitOnSemaphore(sem_t* semaphore, const timespec* deadline) {
    if (!deadline) return sem_wait(semaphore) == 0 || errno != ETIMEDOUT;
    return sem_clockwait(semaphore, CLOCK_MONOTONIC, deadline) == 0 || errno != ETIMEDOUT;
}

// The completion handler for one returned buffer of length bytes. Runs in the
// SDL callback or on the completion thread, never on both during one open.
void CountReturnedBuffer(int length) {
    uint32_t per_second = g_out.format.avg_bytes_per_sec;
    uint32_t bytes = g_out.byte_accumulator.load(std::memory_order_relaxed) +
                     static_cast<uint32_t>(length);
    // Every whole second the buffer completes counts, so slow formats (a
    // 16384-byte buffer is 1.49 s of 11025 Hz 8-bit mono) do not fall behind.
    uint32_t whole_seconds = bytes / per_second;
    g_out.byte_accumulator.store(bytes - whole_seconds * per_second, std::memory_order_relaxed);
    if (whole_seconds > 0) g_out.seconds.fetch_add(static_cast<int>(whole_seconds));
    g_out.free_count.fetch_add(1);
    if (g_out.writer_waiting.load() > 0) sem_post(&g_out.buffer_freed);
}

// SDL callback: every byte of a buffer has gone to the device.
void BufferConsumed(int index) {
    int length = g_out.lengths[index];
    if (g_out.completion_mode == kCompleteOnThread) {
        PushIndex(&g_out.returned, length);  // at most ten in flight: never full
        sem_post(&g_out.buffer_returned);
    } else {
        CountReturnedBuffer(length);
    }
}

void FillDeviceBuffer(void*, Uint8* stream, int length) {
    int filled = 0;
    int index;
    while (filled < length && PeekIndex(&g_out.queued, &index)) {
        int offset = g_out.head_offset.load(std::memory_order_relaxed);
        int count = std::min(length - filled, g_out.lengths[index] - offset);
        std::memcpy(stream + filled, g_out.buffers[index] + offset, static_cast<size_t>(count));
        filled += count;
        offset += count;
        if (offset < g_out.lengths[index]) {
            g_out.head_offset.store(offset, std::memory_order_relaxed);
            break;
        }
        g_out.head_offset.store(0, std::memory_order_relaxed);
        PopIndex(&g_out.queued);
        BufferConsumed(index);
    }
    if (filled < length)
        std::memset(stream + filled, g_out.silence, static_cast<size_t>(length - filled));
    ApplyVolume(stream, static_cast<size_t>(length), g_out.format.channels,
                g_out.format.bits_per_sample, g_out.volume.load(std::memory_order_relaxed));
}

int CompletionThreadMain(void*) {
    SetPriorityLevel(5);
    for (;;) {
        sem_wait(&g_out.buffer_returned);
        int length;
        while (PeekIndex(&g_out.returned, &length)) {
            PopIndex(&g_out.returned);
            CountReturnedBuffer(length);
        }
        Message message;
        while (PeekMessage(&message)) {
            if (message.message == WM_QUIT) return 0;
        }
    }
}

void StopCompletionThread() {
    if (!g_out.completion_thread) return;
    PostThreadMessage(g_out.completion_thread.id, WM_QUIT, 0, 0);
    sem_post(&g_out.buffer_returned);
    JoinWorkerThread(&g_out.completion_thread, kCompletionJoinMs, nullptr);
}

void FreeBuffers() {
    for (uint8_t*& buffer : g_out.buffers) {
        std::free(buffer);
        buffer = nullptr;
    }
}

// Control lock held. Tells SDL whether the device should play now.
void UpdateDeviceRunLocked() {
    bool run = g_out.draining || (!g_out.held && !g_out.user_paused);
    if (run == g_out.running) return;
    Sdl().PauseAudioDevice(g_out.device.load(), run ? 0 : 1);
    g_out.running = run;
}

// Control lock held. Stops the device and takes back every queued buffer.
// Discarded buffers count as free but not as played: they do not pass the
// completion handler, so the seconds counter holds only audio that was heard.
void DiscardQueuedLocked() {
    SDL_AudioDeviceID device = g_out.device.load();
    if (g_out.running) {
        Sdl().PauseAudioDevice(device, 1);
        g_out.running = false;
    }
    // Some of SDL's backends look at the pause flag before they take the
    // device lock, so one callback may still be on its way: the queue is only
    // emptied while SDL's device lock keeps the callback out.
    Sdl().LockAudioDevice(device);
    int discarded = 0;
    int index;
    while (PeekIndex(&g_out.queued, &index)) {
        PopIndex(&g_out.queued);
        ++discarded;
    }
    g_out.head_offset.store(0, std::memory_order_relaxed);
    Sdl().UnlockAudioDevice(device);
    g_out.prebuffer_count = 0;
    g_out.held = true;
    if (discarded > 0) {
        g_out.free_count.fetch_add(discarded);
        sem_post(&g_out.buffer_freed);
    }
}

// Waits while fewer than `wanted` buffers are free, until deadline_ms from now
// passes (negative: no limit). True when they are free. Each returned buffer
// wakes the wait (the completion posts while a writer waits), so it sleeps
// until the buffer it needs is back instead of looking every wait interval.
bool WaitForFreeBuffers(int wanted, int deadline_ms) {
    timespec deadline;
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += deadline_ms / 1000;
    deadline.tv_nsec += static_cast<long>(deadline_ms % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    bool in_time = true;
    while (g_out.free_count.load() < wanted && in_time) {
        // Counted as waiting before the count is looked at again, so a buffer
        // returned in between either is seen here or posts the semaphore.
        g_out.writer_waiting.fetch_add(1);
        if (g_out.free_count.load() < wanted)
            in_time = WaitOnSemaphore(&g_out.buffer_freed, deadline_ms < 0 ? nullptr : &deadline);
        g_out.writer_waiting.fetch_sub(1);
    }
    return g_out.free_count.load() >= wanted;
}

// Open's failure path once a box has been shown.
int FailOpen(const char* text) {
    ShowWaveOutError("waveOutOpen", text);
    StopCompletionThread();
    FreeBuffers();
    return 0;
}

bool SameFormat(const SDL_AudioSpec& a, const SDL_AudioSpec& b) {
    return a.freq == b.freq && a.format == b.format && a.channels == b.channels;
}

// About a tenth of a second per callback (4096 frames at 44100 Hz: one 16384-byte
// chunk of 16-bit stereo), so the device's thread wakes about as often as a
// buffer comes back; a pause or a new volume is heard within two callbacks.
Uint16 CallbackFrames(int rate) {
    Uint16 frames = 64;
    while (frames < 4096 && frames * 2 <= rate / 10) frames = static_cast<Uint16>(frames * 2);
    return frames;
}

int WaveOutOpen(int rate, int channels, int device_number, int, float, int eight_bit) {
    if (g_out.device.load() != 0) return 0;
    const SdlLibrary* sdl = EnsureSdlAudio();
    if (!sdl) {
        ShowWaveOutError("waveOutOpen", SdlErrorText());
        return 0;
    }
    sdl->ClearError();
    if (rate <= 0 || channels < 1 || channels > 2) {
        char text[128];
        std::snprintf(text, sizeof text, "Unsupported wave format: %d Hz, %d channels.", rate,
                      channels);
        ShowWaveOutError("waveOutOpen", text);
        return 0;
    }
    std::string device_name;
    if (device_number != -1 && !AudioDeviceName(device_number, &device_name)) {
        ShowWaveOutError("waveOutOpen", SdlErrorText());
        return 0;
    }

    g_out.format = MakeWaveFormat(rate, channels, eight_bit);
    g_out.silence = eight_bit ? 0x80 : 0x00;
    g_out.completion_mode = gSettings.WinMMCallback == 1 ? kCompleteOnThread : kCompleteInCallback;
    for (uint8_t*& buffer : g_out.buffers) {
        buffer = static_cast<uint8_t*>(std::malloc(kBufferBytes));
        if (!buffer) {
            FreeBuffers();
            ShowWaveOutError("waveOutOpen", "Not enough memory for the wave buffers.");
            return 0;
        }
    }
    ClearRing(&g_out.queued);
    ClearRing(&g_out.returned);
    g_out.head_offset.store(0);
    std::fill(std::begin(g_out.lengths), std::end(g_out.lengths), 0);
    g_out.free_count.store(kBufferCount);
    g_out.byte_accumulator.store(0);
    g_out.seconds.store(0);
    g_out.volume.store(kFullVolume);  // a freshly opened device plays at full level
    g_out.writer_waiting.store(0);
    DrainSemaphore(&g_out.buffer_freed);
    DrainSemaphore(&g_out.buffer_returned);
    g_out.next_index = 0;

    if (g_out.completion_mode == kCompleteOnThread) {
        g_out.completion_thread =
            StartWorkerThread(CompletionThreadMain, nullptr, kCompletionStackBytes, "vek-output");
        if (!g_out.completion_thread) return FailOpen("Could not start the completion thread.");
    }

    SDL_AudioSpec wanted{};
    wanted.freq = rate;
    wanted.format = eight_bit ? AUDIO_U8 : AUDIO_S16SYS;
    wanted.channels = static_cast<Uint8>(channels);
    wanted.samples = CallbackFrames(rate);
    wanted.callback = FillDeviceBuffer;
    SDL_AudioSpec obtained{};
    // Bypassing conversion: let SDL report what the device really takes and
    // refuse anything else; otherwise SDL converts our format for the device.
    bool bypass = gSettings.AudioBypassACM != 0;
    int allowed = bypass ? SDL_AUDIO_ALLOW_ANY_CHANGE : SDL_AUDIO_ALLOW_SAMPLES_CHANGE;
    SDL_AudioDeviceID device = sdl->OpenAudioDevice(
        device_number == -1 ? nullptr : device_name.c_str(), 0, &wanted, &obtained, allowed);
    if (device == 0) return FailOpen(SdlErrorText());
    if (bypass && !SameFormat(wanted, obtained)) {
        sdl->CloseAudioDevice(device);
        char text[160];
        std::snprintf(text, sizeof text,
                      "The device cannot take %d Hz, %d channels, %d bits without conversion.",
                      rate, channels, eight_bit ? 8 : 16);
        return FailOpen(text);
    }

    std::lock_guard<std::mutex> lock(g_out.control_mutex);
    g_out.device.store(device);  // SDL opens devices paused: held until the fourth write
    g_out.held = true;
    g_out.user_paused = false;
    g_out.draining = false;
    g_out.running = false;
    g_out.prebuffer_count = 0;
    return 1;
}

int WaveOutClose(int reset) {
    SDL_AudioDeviceID device = g_out.device.load();
    if (device == 0) return 0;
    {
        std::lock_guard<std::mutex> lock(g_out.control_mutex);
        if (reset) {
            DiscardQueuedLocked();
        } else {
            // Plays out even when held or paused by the user; otherwise the
            // queued buffers would never come back.
            g_out.draining = true;
            UpdateDeviceRunLocked();
        }
    }
    // The queue plays out well within its own length; the bound only guards
    // against a device that stopped taking audio.
    uint32_t per_second = std::max<uint32_t>(g_out.format.avg_bytes_per_sec, 1);
    int bound_ms = static_cast<int>(1000.0 * kBufferCount * kBufferBytes / per_second) + 2000;
    WaitForFreeBuffers(kBufferCount, bound_ms);
    {
        std::lock_guard<std::mutex> lock(g_out.control_mutex);
        Sdl().CloseAudioDevice(device);  // ends SDL's thread: no callback after this
        g_out.device.store(0);
        g_out.draining = false;
        g_out.running = false;
    }
    // SDL's close reports no failure, so there is no "waveOutClose" box to show.
    StopCompletionThread();
    FreeBuffers();
    return 1;
}

int WaveOutIsOpen() {
    return g_out.device.load() != 0 ? 1 : 0;
}

int WaveOutWrite(int length, const uint8_t* data) {
    if (g_out.device.load() == 0) return -1;
    if (length < 0 || length > kBufferBytes || (length > 0 && !data)) return -1;
    if (g_out.next_index >= kBufferCount) g_out.next_index = 0;
    WaitForFreeBuffers(1, -1);
    // Buffers come back in the order they were queued, so with one free the
    // next one in turn is among the free.
    int index = g_out.next_index;
    if (length > 0) std::memcpy(g_out.buffers[index], data, static_cast<size_t>(length));
    g_out.lengths[index] = length;
    g_out.free_count.fetch_sub(1);
    {
        // Queued and counted in one step, so a Reset from the main thread sees
        // the buffer either before or after, never half.
        std::lock_guard<std::mutex> lock(g_out.control_mutex);
        PushIndex(&g_out.queued, index);
        if (g_out.prebuffer_count < kPrebufferWrites) {
            ++g_out.prebuffer_count;
        } else if (g_out.held) {
            g_out.held = false;
            UpdateDeviceRunLocked();
        }
    }
    ++g_out.next_index;
    return length;
}

void WaveOutReset() {
    std::lock_guard<std::mutex> lock(g_out.control_mutex);
    if (g_out.device.load() == 0) return;
    DiscardQueuedLocked();
}

// A pause is the user's and outlasts the start on the fourth write; only
// Resume ends it.
void WaveOutPause() {
    std::lock_guard<std::mutex> lock(g_out.control_mutex);
    if (g_out.device.load() == 0 || g_out.draining) return;
    g_out.user_paused = true;
    UpdateDeviceRunLocked();
}

void WaveOutResume() {
    std::lock_guard<std::mutex> lock(g_out.control_mutex);
    if (g_out.device.load() == 0) return;
    g_out.user_paused = false;
    UpdateDeviceRunLocked();
}

int WaveOutGetSeconds() {
    return g_out.seconds.load();
}

void WaveOutSetSeconds(int seconds) {
    // The fraction heard before belongs to the old count (a seek's place):
    // kept, it would bring the next second up to a second early.
    g_out.byte_accumulator.store(0);
    g_out.seconds.store(seconds);
}

int WaveOutGetVolume() {
    if (g_out.device.load() == 0) return -1;
    return static_cast<int>((g_out.volume.load() & 0xFFFF) / 1024);
}

void WaveOutSetVolume(int value) {
    if (g_out.device.load() == 0) return;
    g_out.volume.store(VolumeWordOfStep(value));
}

int WaveOutGetBufferCount() {
    return kBufferCount;
}

int WaveOutGetFreeBuffers() {
    return g_out.free_count.load();
}

}  // namespace

const OutputSystem kWaveOutOutput{
    .Open = WaveOutOpen,
    .Close = WaveOutClose,
    .IsOpen = WaveOutIsOpen,
    .Write = WaveOutWrite,
    .Reset = WaveOutReset,
    .Pause = WaveOutPause,
    .Resume = WaveOutResume,
    .GetSeconds = WaveOutGetSeconds,
    .SetSeconds = WaveOutSetSeconds,
    .GetVolume = WaveOutGetVolume,
    .SetVolume = WaveOutSetVolume,
    .GetBufferCount = WaveOutGetBufferCount,
    .GetFreeBuffers = WaveOutGetFreeBuffers,
};

WaveFormat WaveOutFormat() {
    return g_out.format;
}

void ShutdownSoundDevice() {
    WaveOutClose(1);
    QuitSdlAudio();
}

}  // namespace vek
