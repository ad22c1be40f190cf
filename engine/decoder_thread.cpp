#include "engine/decoder_thread.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#include "engine/decoder.h"
#include "engine/pcm_chunk.h"
#include "engine/replay_gain.h"
#include "engine/stream_reader.h"
#include "output/output_system.h"
#include "platform/desktop_hooks.h"
#include "platform/limits.h"
#include "platform/messages.h"
#include "platform/priority.h"
#include "platform/url_name.h"
#include "platform/worker_thread.h"
#include "settings/settings.h"

namespace vek {
namespace {

constexpr int kStopBoundMs = 3000;
constexpr size_t kStackBytes = 16384;

// The last percentage posted, one value for the whole process: the first value
// of a track is posted only when it differs from the last track's last one.
std::atomic<int> g_last_percent{-1};

std::atomic<int32_t> g_track_ms{-1};
std::atomic<int> g_tracks_played{0};  // tracks whose first frame reached an open output

WorkerThread g_worker;    // main thread only
bool g_given_up = false;  // main thread only
bool g_stopped_since_play = false;  // main thread only

// Everything the thread keeps for its life. Only the decoder thread touches it.
struct DecoderState {
    Window* main_window = nullptr;
    ProgressPacing pacing = ProgressPacing::ForWindow;
    char path[kPathField] = {};
    int output_system = 0;
    int volume = 0;
    int priority = 0;
    int eight_bit_at_start = 0;
    int open_rate = 0;       // rate the output was last opened with
    int open_channels = 0;   // its channel count
    int open_eight_bit = 0;  // and its sample width
    PcmChunk chunk;
};

// How one play ended.
enum class PlayEnd { Idle, Quit };

// What the reader's look at the queue during a long search took from it, for
// the frame loop to act on. Decoder thread only.
struct TakenDuringRead {
    bool stop = false;
    bool quit = false;
    int seek = -1;  // the last DTM_SEEK's percent
};
TakenDuringRead g_taken;

// The reader's StopCheck: true when a stop or quit is waiting, so that a
// search through junk never keeps the thread from answering them. Other
// messages are dropped as during play, a seek is kept for the loop.
bool StopOrQuitWaiting() {
    Message m;
    while (PeekMessage(&m)) {
        if (m.window) continue;
        if (m.message == WM_QUIT) g_taken.quit = true;
        if (m.message == DTM_STOP) g_taken.stop = true;
        if (m.message == DTM_SEEK) g_taken.seek = static_cast<int>(m.lparam);
        if (g_taken.quit || g_taken.stop) return true;
    }
    return false;
}

void ApplyVolume(DecoderState* s, int step) {
    s->volume = step;
    Output().SetVolume(step * 4);
}

// Closes the output at a natural boundary (end of the list, a new rate, width or
// channel count): the samples still in the chunk are written first and queued
// audio plays out, so a track ends with its last sample.
void CloseAtBoundary(DecoderState* s) {
    FlushPcm(&s->chunk);
    Output().Close(0);
}

// A stop or seek throws the chunk away and discards what the output queued.
void DiscardOutput(DecoderState* s) {
    Output().Reset();
    Output().Close(1);
    s->chunk.fill = 0;
}

// The samples a gapless track plays (all of them for a track played whole):
// its encoder's gap cut away, but for a place that a seek only estimates the
// end is left whole, rather than a cut falling inside the music.
SampleWindow WindowFor(const FrameHeader& header, bool gapless) {
    SampleWindow window;
    if (gapless) window = GaplessWindow(StreamEncoderGap(header), header.down_sample);
    if (!FramePlaceIsExact()) window.end = window.stated_end;
    return window;
}

void Seek(DecoderState* s, FrameHeader* header, int percent, bool gapless, SampleWindow* window,
          int* frame_counter) {
    // The factor is a single-precision constant used at double precision, so 50
    // percent of 1000 frames asks for frame 499.
    int target = static_cast<int>(TotalFrames(*header) * (percent * static_cast<double>(0.01f)));
    // Played gapless, the track's start sounds as it did the first time.
    bool moved = gapless && target == 0 ? RestartAtFirstFrame() : SeekFrame(header, target);
    if (!moved) return;
    *window = WindowFor(*header, gapless);
    DiscardDecoderState();
    std::memset(s->chunk.data, 0, kPcmWriteBytes);
    s->chunk.fill = 0;
    Output().Reset();
    *frame_counter = target;
    Output().SetSeconds(ElapsedSeconds(*header));
}

// Opens or reopens the output for the frame just read. False when it cannot.
bool EnsureOutput(DecoderState* s, const FrameHeader& header, int channels, int eight_bit) {
    int rate = OutputRate(header);
    if (Output().IsOpen()) {
        // Samples of another rate, channel count or width would play as noise
        // through an output opened for the old ones.
        if (rate == s->open_rate && channels == s->open_channels && eight_bit == s->open_eight_bit)
            return true;
        CloseAtBoundary(s);
    }
    if (!Output().Open(rate, channels, gSettings.WinMMOutputDev, kPcmWriteBytes,
                       gSettings.AudioBufTime, eight_bit))
        return false;
    s->open_rate = rate;
    s->open_channels = channels;
    s->open_eight_bit = eight_bit;
    ApplyVolume(s, gSettings.EqVolume);
    return true;
}

void ShowOpenFailure(const DecoderState& s) {
    std::string text = "Could not open file: " + NameForBox(s.path);
    ShowMessageBox(s.main_window, text.c_str(), "Decoder Error Message...",
                   MB_TOPMOST | MB_SETFOREGROUND | MB_ICONERROR);
}

// window: the gapless window at the frame just decoded. Where it cuts a stated
// gap, the share is of the samples kept, so that a short track's ring fills
// as its time runs; else of the frames.
void ReportPercent(const DecoderState& s, const FrameHeader& header, int frame_counter,
                   const SampleWindow& window, int buffer_count) {
    int total = TotalFrames(header);
    int64_t kept = window.end - window.begin;
    int percent = 0;
    if (window.stated_end != INT64_MAX && kept > 0)
        percent =
            static_cast<int>(std::clamp<int64_t>(window.at - window.begin, 0, kept) * 100 / kept);
    else if (total != 0)
        percent =
            static_cast<int>(static_cast<float>(frame_counter) / static_cast<float>(total) * 100.0);
    // An estimated count (the first frame's bitrate, a broken info frame) can
    // be far too low, and a seek may land a little past an exact one: the ring,
    // the tray and the desktop only ever see 0..100.
    percent = std::clamp(percent, 0, 100);
    if (percent == g_last_percent.load(std::memory_order_relaxed)) return;
    g_last_percent.store(percent, std::memory_order_relaxed);
    PostWindowMessage(s.main_window, UIM_PROGRESS, 0, percent);
    if (buffer_count < 1 && s.pacing == ProgressPacing::ForWindow) SleepMs(1);
}

// The throttle: ahead of playback by more than half the output's buffers, the
// thread yields 1 ms per frame. With none free it does not: its next write
// waits for the device to return one, which is a longer yield, and the sleeps
// would only wake it for nothing several times per buffer.
bool ShouldYield(int buffer_count) {
    if (buffer_count <= 0) return false;
    int free_buffers = Output().GetFreeBuffers();
    return free_buffers > 0 && buffer_count - free_buffers > buffer_count / 2;
}

void PublishTrackLength(const FrameHeader& header, bool gapless) {
    int32_t frames = TotalFrames(header);
    if (frames <= 0) return;  // a stream
    EncoderGap gap = gapless ? StreamEncoderGap(header) : EncoderGap{};
    g_track_ms.store(TrackLengthMs(frames, gap, header), std::memory_order_relaxed);
}

// What the file's tags say of its loudness, known before its first sample.
// Streams carry no tags.
ReplayGainInfo TrackGainInfo(const char* path) {
    if (gSettings.ReplayGain == kReplayGainOff || IsUrl(path)) return {};
    return ReadReplayGain(path);
}

double GainFactor(const ReplayGainInfo& info) {
    return ReplayGainFactor(info, gSettings.ReplayGain, gSettings.ReplayGainPreamp);
}

PlayEnd PlayTrack(DecoderState* s) {
    FrameHeader header;
    bool stop = false;
    bool output_failed = false;
    int frame_counter = 0;

    int system = gSettings.AudioOutputSystem;
    if (system != s->output_system) {
        s->output_system = system;
        CloseAtBoundary(s);  // the last track ended naturally; let it finish where it was going
        SelectOutputSystem(system);
    }
    if (gSettings.EqVolume != s->volume) ApplyVolume(s, gSettings.EqVolume);

    if (gSettings.AudioOutput8Bit != s->eight_bit_at_start) CloseAtBoundary(s);

    PrepareDecoder(&header);
    ReplayGainInfo gain = TrackGainInfo(s->path);
    SetDecoderGain(GainFactor(gain));
    // Gapless: the info frame is not played and the encoder's delay and padding
    // are cut away (the window, set at the first audio frame).
    bool gapless = gSettings.Gapless != 0;
    SampleWindow window;
    int channels = OutputChannels(header);
    int eight_bit = header.eight_bit;
    int buffer_count = Output().GetBufferCount();

    g_taken = TakenDuringRead{};
    g_track_ms.store(-1, std::memory_order_relaxed);
    int opened = OpenInput(s->path, StopOrQuitWaiting);
    // The main window puts the playlist's entries in the link's place and plays them.
    if (opened == kInputIsPlaylistLink) return PlayEnd::Idle;
    if (!opened) {
        ShowOpenFailure(*s);
        PostWindowMessage(s->main_window, UIM_OPEN_FAILED, 0, 0);
        return PlayEnd::Idle;
    }
    Output().SetSeconds(0);
    SendWindowMessage(s->main_window, UIM_PROGRESS, 0, 0);
    SendWindowMessage(s->main_window, UIM_PLAY_STARTED, 0, 0);
    ForgetHeaders();
    bool first_frame = true;

    for (;;) {
        // A stop taken while the reader waited ends the track before the queue
        // is looked at again, or the request behind it would be dropped.
        if (g_taken.stop || g_taken.quit) break;
        if (g_taken.seek >= 0) {
            Seek(s, &header, g_taken.seek, gapless, &window, &frame_counter);
            g_taken.seek = -1;
        }
        Message m;
        if (PeekMessage(&m) && m.window == nullptr) {
            if (m.message == WM_QUIT) return PlayEnd::Quit;
            if (m.message == DTM_STOP) {
                stop = true;
                break;
            }
            if (m.message == DTM_SEEK)
                Seek(s, &header, static_cast<int>(m.lparam), gapless, &window, &frame_counter);
            // Anything else arriving during play is dropped.
        }

        if (!ReadFrame(&header)) break;
        if (gapless && IsInfoFrame()) continue;

        // A rate change can also hide in the frames skipped after a decoding
        // failure, so the rate is compared on every frame.
        if (first_frame || header.header_change || OutputRate(header) != s->open_rate) {
            if (!EnsureOutput(s, header, channels, eight_bit)) {
                stop = output_failed = true;
                break;
            }
            if (first_frame) {
                // The encoder's own gain stands where the tags give none; its
                // LAME tag is known once the info frame has been read.
                if (AddLameGain(StreamLameTag(), &gain)) SetDecoderGain(GainFactor(gain));
                PublishTrackLength(header, gapless);
                window = WindowFor(header, gapless);
                g_tracks_played.fetch_add(1, std::memory_order_relaxed);
            }
            first_frame = false;
        }

        const uint8_t* frame = nullptr;
        size_t frame_size = 0;
        CurrentFrame(&frame, &frame_size);
        window.at = CurrentAudioFrame() * (SamplesPerFrame(header) >> header.down_sample);
        if (!DecodeFrame(header, frame, frame_size, &s->chunk, gapless ? &window : nullptr)) {
            // A frame that does not decode leaves the bit reservoir useless for
            // the next two; they are read and skipped.
            if (!ReadFrame(&header) || !ReadFrame(&header)) break;
        }

        if (ShouldYield(buffer_count)) SleepMs(1);

        ReportPercent(*s, header, frame_counter, window, buffer_count);

        if (gSettings.EqVolume != s->volume) ApplyVolume(s, gSettings.EqVolume);
        if (gSettings.DecoderPriority != s->priority) {
            s->priority = gSettings.DecoderPriority;
            SetPriorityLevel(s->priority);
        }
        ++frame_counter;
    }
    if (g_taken.quit) return PlayEnd::Quit;
    if (g_taken.stop) stop = true;

    CloseInput();
    if (!stop) {
        // The output stays open and the chunk keeps its fill, so the next track
        // continues the same output stream without a gap.
        SendWindowMessage(s->main_window, UIM_PROGRESS, 0, 100);
        SendWindowMessage(s->main_window, UIM_TRACK_ENDED, 0, 0);
    } else {
        DiscardOutput(s);
        if (output_failed) PostWindowMessage(s->main_window, UIM_OUTPUT_FAILED, 0, 0);
    }
    return PlayEnd::Idle;
}

struct StartArgs {
    Window* main_window;
    ProgressPacing pacing;
    uint8_t* chunk;
};

int DecoderThreadMain(void* raw) {
    auto* args = static_cast<StartArgs*>(raw);
    DecoderState* s = new (std::nothrow) DecoderState;
    if (!s) {
        delete[] args->chunk;
        delete args;
        return 0;
    }
    s->main_window = args->main_window;
    s->pacing = args->pacing;
    s->chunk.data = args->chunk;
    delete args;

    s->priority = gSettings.DecoderPriority;
    SetPriorityLevel(s->priority);
    s->output_system = gSettings.AudioOutputSystem;
    SelectOutputSystem(s->output_system);
    ApplyVolume(s, gSettings.EqVolume);
    s->eight_bit_at_start = gSettings.AudioOutput8Bit;

    Message m;
    bool quit = false;
    while (!quit && GetMessage(&m)) {
        if (m.window) continue;
        switch (m.message) {
            case DTM_PLAY_FILE:
                // The path travels with the message; one too long for a path
                // field was refused by the sender already.
                if (m.text.size() >= sizeof s->path) break;
                std::memcpy(s->path, m.text.c_str(), m.text.size() + 1);
                [[fallthrough]];
            case DTM_PLAY:
                // A stop already queued behind it supersedes the request: of a
                // burst of them only the last plays, and at once. What the stop
                // would have ended is ended as it would have been.
                if (IsThreadMessageQueued(DTM_STOP)) {
                    DiscardOutput(s);
                    break;
                }
                quit = PlayTrack(s) == PlayEnd::Quit;
                break;
            case DTM_CLOSE_OUTPUT:
                if (m.lparam == 0) {
                    CloseAtBoundary(s);
                } else {
                    Output().Close(static_cast<int>(m.lparam));
                    s->chunk.fill = 0;
                }
                break;
            case DTM_PRIORITY:
                if (gSettings.DecoderPriority != s->priority) {
                    s->priority = gSettings.DecoderPriority;
                    SetPriorityLevel(s->priority);
                }
                break;
            default:
                break;  // DTM_STOP and DTM_SEEK mean nothing while idle
        }
    }

    CloseInput();
    if (Output().IsOpen()) Output().Close(1);
    delete[] s->chunk.data;
    delete s;
    return 1;
}

}  // namespace

int StartDecoderThread(Window* main_window, ProgressPacing pacing) {
    // The chunk is taken before the thread exists, so a shortage fails the start
    // instead of leaving a thread that cannot decode.
    auto* chunk = new (std::nothrow) uint8_t[kPcmChunkBytes];
    auto* args = new (std::nothrow) StartArgs{main_window, pacing, chunk};
    if (!chunk || !args) {
        delete[] chunk;
        delete args;
        return -1;
    }
    g_worker = StartWorkerThread(DecoderThreadMain, args, kStackBytes, "vek-decoder");
    if (!g_worker) {
        delete[] chunk;
        delete args;
        return -1;
    }
    return static_cast<int>(g_worker.id);
}

int StopDecoderThreadWithin(int thread_id, int timeout_ms) {
    PostThreadMessage(static_cast<ThreadId>(thread_id), WM_QUIT, 0, 0);
    if (g_worker && static_cast<int>(g_worker.id) == thread_id)
        g_given_up = !JoinWorkerThread(&g_worker, timeout_ms, nullptr);
    return 1;
}

int StopDecoderThread(int thread_id) {
    return StopDecoderThreadWithin(thread_id, kStopBoundMs);
}

int PostPlay(const char* path) {
    ThreadId thread = g_worker.id;
    g_stopped_since_play = false;
    if (!path) return PostThreadMessage(thread, DTM_PLAY, 0, 0) ? 1 : 0;
    // Refused rather than cut: a cut path names another file.
    if (std::strlen(path) >= kPathField) return 0;
    return PostThreadText(thread, DTM_PLAY_FILE, path) ? 1 : 0;
}

int PostStop(int thread_id) {
    g_stopped_since_play = true;
    PostThreadMessage(static_cast<ThreadId>(thread_id), DTM_STOP, 0, 0);
    return 1;
}

int PostCloseOutput(int thread_id) {
    PostThreadMessage(static_cast<ThreadId>(thread_id), DTM_CLOSE_OUTPUT, 0, 0);
    return 1;
}

bool StopPostedSinceLastPlay() {
    return g_stopped_since_play;
}

int PostSeek(int percent, int thread_id) {
    PostThreadMessage(static_cast<ThreadId>(thread_id), DTM_SEEK, 0, percent);
    return 1;
}

int32_t PlayingTrackMs() {
    return g_track_ms.load(std::memory_order_relaxed);
}

int TracksPlayed() {
    return g_tracks_played.load(std::memory_order_relaxed);
}

int DecoderThreadId() {
    return static_cast<int>(g_worker.id);
}

bool DecoderThreadGivenUp() {
    return g_given_up;
}

}  // namespace vek
