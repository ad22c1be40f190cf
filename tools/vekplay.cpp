// vekplay: the engine without windows. It plays the main window's part for
// playback: it builds the playlist, drives the decoder thread with the same
// messages and answers its reports with the same track-end logic, so the
// terminal player, the tests and the benchmarks all run the real engine.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "control/playlist_link.h"
#include "control/stream_title.h"
#include "control/transport.h"
#include "engine/decoder.h"
#include "engine/decoder_thread.h"
#include "output/output_system.h"
#include "output/outputs.h"
#include "platform/desktop_hooks.h"
#include "platform/messages.h"
#include "platform/thread_queue.h"
#include "platform/url_name.h"
#include "platform/user_dirs.h"
#include "playlist/playlist.h"
#include "playlist/playlist_paths.h"
#include "settings/settings.h"
#include "tags/track_tags.h"

namespace vek {
namespace {

// vekplay's own window messages, above the player's.
constexpr uint32_t VP_TIMER = 0xA000;      // lparam: index of a timed action
constexpr uint32_t VP_INTERRUPT = 0xA003;  // SIGINT or SIGTERM

struct TimedAction {
    enum Kind { Seek, Stop, Pause, Resume } kind;
    double at_seconds;
    int percent = 0;
};

struct Options {
    std::vector<std::string> names;
    std::vector<std::pair<std::string, std::string>> sets;
    std::string wav_path;
    int answer = IDNO;
    bool quiet = false;
    std::vector<TimedAction> actions;
};

struct Player {
    Window window;
    int decoder = -1;
    bool list_finished = false;  // the last track ended and the output drains
    int exit_code = 0;
    bool stopped = false;       // --stop@ ended the run, which is no failure
    int failures_in_a_row = 0;  // entries that would not open since the last good one
    bool progress_line = false;
    // The entry whose "Playing" line was printed last, and the titles of the
    // current entry that came before that line (a stream's station name often
    // does) and wait to be printed after it.
    const PlaylistEntry* announced = nullptr;
    std::vector<std::string> waiting_titles;
    Options options;
};

Player g_player;
std::atomic<bool> g_interrupted{false};  // SIGINT or SIGTERM came

// Save-chooser answers for --wav: PATH, then PATH-2, PATH-3... before the extension.
std::mutex g_wav_mutex;
int g_wav_files = 0;

std::string NumberedName(const std::string& path, int n) {
    if (n == 1) return path;
    size_t slash = path.rfind('/');
    size_t dot = path.rfind('.');
    bool has_extension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    std::string suffix = "-" + std::to_string(n);
    return has_extension ? path.substr(0, dot) + suffix + path.substr(dot) : path + suffix;
}

int PrintingMessageBox(Window*, const char* text, const char* caption, unsigned style) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
    if ((style & MB_TYPEMASK) == MB_YESNO) return g_player.options.answer;
    return IDOK;
}

bool NumberedSaveName(Window*, const char*, const char*, const char*, const char*, char* out,
                      size_t out_size) {
    std::lock_guard<std::mutex> lock(g_wav_mutex);
    std::string name = NumberedName(g_player.options.wav_path, ++g_wav_files);
    if (name.size() + 1 > out_size) return false;
    std::memcpy(out, name.c_str(), name.size() + 1);
    return true;
}

void EndProgressLine() {
    if (g_player.progress_line) {
        std::fputc('\n', stdout);
        g_player.progress_line = false;
    }
}

// The list is over: the decoder lets the queued audio play out and closes the
// output; then the loop ends.
void FinishList() {
    g_player.list_finished = true;
    PostQuitMessage(g_player.exit_code);
}

void AdvanceOrFinish() {
    if (!HandleTrackEnded()) FinishList();
}

// A user would press Next after the box, and so does vekplay. With RepeatPlay
// a list of entries that all fail would go round forever; once every entry
// has failed in a row, stop.
void SkipFailedEntry() {
    HandlePlayFailed();
    if (++g_player.failures_in_a_row >= PlaylistCount()) {
        PostCloseOutput(g_player.decoder);
        FinishList();
    } else {
        AdvanceOrFinish();
    }
}

void RunAction(const TimedAction& action) {
    switch (action.kind) {
        case TimedAction::Seek:
            PostSeek(action.percent, g_player.decoder);
            break;
        case TimedAction::Stop:
            g_player.stopped = true;
            CommandStop();
            PostQuitMessage(g_player.exit_code);
            break;
        case TimedAction::Pause:
            CommandPause();
            break;
        case TimedAction::Resume:
            if (GetPlayState() == PlayState::Paused) CommandPlay();
            break;
    }
}

void PrintTitle(const char* title) {
    EndProgressLine();
    std::printf("Title: %s\n", title);
    std::fflush(stdout);
}

// A file's name from its tags, else its file title; a station's titles come
// as it sends them.
void PrintFileTitle(const char* path) {
    if (IsUrl(path)) return;
    TrackTags tags;
    ReadTrackTags(path, &tags, nullptr);
    std::string title = TagTitle(tags);
    PrintTitle(title.empty() ? std::string(EntryFileTitle(path)).c_str() : title.c_str());
}

intptr_t PlayerProc(Window*, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    switch (message) {
        case UIM_PLAY_STARTED: {
            HandlePlayStarted();
            g_player.failures_in_a_row = 0;
            char path[kPathField];
            if (!g_player.options.quiet && GetCurrentPath(path, sizeof path)) {
                EndProgressLine();
                std::printf("Playing %s\n", path);
                std::fflush(stdout);
                PrintFileTitle(path);
                g_player.announced = gPlaylist.current;
                for (const std::string& title : g_player.waiting_titles) PrintTitle(title.c_str());
            }
            g_player.waiting_titles.clear();
            return 0;
        }
        case UIM_STREAM_TITLE: {
            std::string title;
            if (HandleStreamTitle(wparam, lparam, &title) && !g_player.options.quiet) {
                if (gPlaylist.current == g_player.announced)
                    PrintTitle(title.c_str());
                else
                    g_player.waiting_titles.push_back(title);
            }
            return 0;
        }
        case UIM_PROGRESS:
            if (!g_player.options.quiet && isatty(STDOUT_FILENO)) {
                std::printf("\r%3d%% ", static_cast<int>(lparam));
                std::fflush(stdout);
                g_player.progress_line = true;
            }
            return 1;
        case UIM_TRACK_ENDED:
            AdvanceOrFinish();
            return 1;
        case UIM_OPEN_FAILED:
            SkipFailedEntry();
            return 0;
        case UIM_PLAYLIST_LINK:
            if (HandlePlaylistLink(wparam, lparam) == LinkOutcome::kFailed) SkipFailedEntry();
            return 0;
        case UIM_OUTPUT_FAILED:
            // Nothing can be played or written: the run has failed.
            if (gSettings.AudioOutputSystem != 1)
                std::fputs("vekplay: no sound device; use --wav FILE to write a .wav file\n", stderr);
            HandlePlayFailed();
            g_player.exit_code = 1;
            PostQuitMessage(1);
            return 0;
        case VP_TIMER:
            RunAction(g_player.options.actions[static_cast<size_t>(lparam)]);
            return 0;
        case VP_INTERRUPT:
            CommandStop();
            g_player.exit_code = 130;
            PostQuitMessage(130);
            return 0;
        default:
            return 0;
    }
}

// Posts each timed action to the player's window when its time comes.
class ActionClock {
  public:
    void Start(const std::vector<TimedAction>& actions) {
        if (actions.empty()) return;
        thread_ = std::thread([this, actions] {
            auto start = std::chrono::steady_clock::now();
            std::vector<size_t> order(actions.size());
            for (size_t i = 0; i < order.size(); ++i) order[i] = i;
            std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
                return actions[a].at_seconds < actions[b].at_seconds;
            });
            pthread_setname_np(pthread_self(), "vek-clock");
            std::unique_lock<std::mutex> lock(mutex_);
            for (size_t i : order) {
                auto when = start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                        std::chrono::duration<double>(actions[i].at_seconds));
                if (cv_.wait_until(lock, when, [this] { return stop_; })) return;
                PostWindowMessage(&g_player.window, VP_TIMER, 0, static_cast<intptr_t>(i));
            }
        });
    }
    void Stop() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        cv_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

  private:
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool stop_ = false;
};

// SIGINT and SIGTERM end the run the normal way, so the settings are saved.
class SignalWatch {
  public:
    void Start() {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        sigaddset(&set, SIGUSR1);
        pthread_sigmask(SIG_BLOCK, &set, nullptr);  // inherited by every later thread
        thread_ = std::thread([this, set] {
            pthread_setname_np(pthread_self(), "vek-signals");
            for (;;) {
                int sig = 0;
                if (sigwait(&set, &sig) != 0) continue;
                if (done_.load()) return;
                if (sig == SIGUSR1) continue;
                // A playlist still loading stops at its next entry.
                g_interrupted = true;
                SetPlaylistLoadingStopped(true);
                PostWindowMessage(&g_player.window, VP_INTERRUPT, 0, 0);
            }
        });
    }
    void Stop() {
        done_ = true;
        if (thread_.joinable()) {
            pthread_kill(thread_.native_handle(), SIGUSR1);
            thread_.join();
        }
    }

  private:
    std::thread thread_;
    std::atomic<bool> done_{false};
};

void Usage(FILE* out) {
    std::fputs(
        "Usage: vekplay [options] NAME...\n"
        "Plays MPEG audio files, .pls/.m3u playlists and http(s) URLs in order.\n"
        "With no NAME and no option it plays a short bundled clip.\n\n"
        "  --wav PATH              write .wav files instead of playing: PATH, then\n"
        "                          PATH-2, PATH-3... for each new output format\n"
        "  --set KEY=VALUE         override a vek.ini setting for this run only\n"
        "  --no-gapless            play the encoder's delay and padding and the info\n"
        "                          frame (as --set Gapless=0)\n"
        "  --replaygain track|album|off\n"
        "                          adjust loudness by the files' ReplayGain tags\n"
        "  --answer yes|no         answer to Yes/No questions (default no)\n"
        "  --seek PERCENT@SECONDS  seek to PERCENT after SECONDS of wall time\n"
        "  --stop@SECONDS          stop after SECONDS\n"
        "  --pause LENGTH@SECONDS  pause for LENGTH seconds after SECONDS\n"
        "  --quiet                 print nothing but messages\n"
        "  --help                  show this text\n"
        "  --version               show the version\n",
        out);
}

bool ParseAt(const char* text, double* first, double* at) {
    char* end = nullptr;
    *first = std::strtod(text, &end);
    if (end == text || *end != '@') return false;
    const char* rest = end + 1;
    *at = std::strtod(rest, &end);
    return end != rest && *end == '\0' && *at >= 0;
}

bool ParseOptions(int argc, char** argv, Options* o, bool* any_option) {
    *any_option = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "vekplay: %s needs a value\n", name);
                return nullptr;
            }
            return argv[++i];
        };
        if (arg == "--") {
            for (++i; i < argc; ++i) o->names.push_back(argv[i]);
            break;
        }
        if (arg.empty() || arg[0] != '-' || arg == "-") {
            o->names.push_back(arg);
            continue;
        }
        *any_option = true;
        if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            std::exit(0);
        } else if (arg == "--version" || arg == "-V") {
            std::printf("vekplay %s\n", VEK_VERSION);
            std::exit(0);
        } else if (arg == "--quiet" || arg == "-q") {
            o->quiet = true;
        } else if (arg == "--wav") {
            const char* v = value("--wav");
            if (!v) return false;
            o->wav_path = v;
        } else if (arg == "--set") {
            const char* v = value("--set");
            if (!v) return false;
            const char* eq = std::strchr(v, '=');
            if (!eq || eq == v) {
                std::fprintf(stderr, "vekplay: --set wants KEY=VALUE, not %s\n", v);
                return false;
            }
            o->sets.emplace_back(std::string(v, eq), std::string(eq + 1));
        } else if (arg == "--no-gapless") {
            o->sets.emplace_back("Gapless", "0");
        } else if (arg == "--replaygain") {
            // The same as --set ReplayGain=N: one home for the setting.
            const char* v = value("--replaygain");
            if (!v) return false;
            const char* modes[] = {"off", "track", "album"};
            auto mode = std::find_if(std::begin(modes), std::end(modes),
                                     [v](const char* m) { return std::strcmp(m, v) == 0; });
            if (mode == std::end(modes)) {
                std::fprintf(stderr, "vekplay: --replaygain wants track, album or off\n");
                return false;
            }
            o->sets.emplace_back("ReplayGain", std::to_string(mode - std::begin(modes)));
        } else if (arg == "--answer") {
            const char* v = value("--answer");
            if (!v) return false;
            if (std::strcmp(v, "yes") == 0)
                o->answer = IDYES;
            else if (std::strcmp(v, "no") == 0)
                o->answer = IDNO;
            else {
                std::fprintf(stderr, "vekplay: --answer wants yes or no\n");
                return false;
            }
        } else if (arg == "--seek" || arg == "--pause") {
            const char* v = value(arg.c_str());
            double first = 0, at = 0;
            if (!v || !ParseAt(v, &first, &at) || first < 0) {
                std::fprintf(stderr, "vekplay: %s wants NUMBER@SECONDS\n", arg.c_str());
                return false;
            }
            if (arg == "--seek") {
                o->actions.push_back({TimedAction::Seek, at, static_cast<int>(first)});
            } else {
                o->actions.push_back({TimedAction::Pause, at});
                o->actions.push_back({TimedAction::Resume, at + first});
            }
        } else if (arg.rfind("--stop@", 0) == 0) {
            char* end = nullptr;
            double at = std::strtod(arg.c_str() + 7, &end);
            if (end == arg.c_str() + 7 || *end != '\0' || at < 0) {
                std::fprintf(stderr, "vekplay: --stop@SECONDS wants a number\n");
                return false;
            }
            o->actions.push_back({TimedAction::Stop, at});
        } else {
            std::fprintf(stderr, "vekplay: unknown option %s\n", arg.c_str());
            Usage(stderr);
            return false;
        }
    }
    return true;
}

// The bundled clip: where the installation put it beside vekplay, else in the
// source tree (a vekplay run from the build tree).
std::string BundledClip() {
    std::string installed = ExecutableDirectory() + VEK_INSTALLED_CLIP;
    char resolved[PATH_MAX];
    if (realpath(installed.c_str(), resolved)) return resolved;
    return VEK_SOURCE_CLIP;
}

void AddName(const std::string& name) {
    int before = PlaylistCount();
    if (AddNameOrComplain(name.c_str()) && PlaylistCount() == before &&
        !g_interrupted)
        std::fprintf(stderr, "vekplay: nothing to play in %s\n", name.c_str());
}

int Run(int argc, char** argv) {
    Options& o = g_player.options;
    bool any_option = false;
    if (!ParseOptions(argc, argv, &o, &any_option)) return 2;
    if (o.names.empty()) {
        // Options without a name are most likely a name forgotten: `--wav out.wav`
        // alone would otherwise write nothing and look like success.
        if (any_option) {
            std::fputs("vekplay: no NAME to play; only a bare vekplay plays its bundled clip\n",
                       stderr);
            return 2;
        }
        o.names.push_back(BundledClip());
    }

    // The window exists before the signal thread that posts to it starts.
    InitWindow(&g_player.window, PlayerProc, nullptr);
    SignalWatch signals;
    signals.Start();

    LoadSettings();
    // Overrides hold for this run only: the settings are saved as they were loaded.
    SettingsSnapshot loaded = gSettings;
    for (const auto& [key, value] : o.sets) {
        if (!SetSettingByKey(key.c_str(), value.c_str())) {
            std::fprintf(stderr, "vekplay: unknown setting %s\n", key.c_str());
            signals.Stop();
            return 2;
        }
    }
    if (!o.wav_path.empty()) gSettings.AudioOutputSystem = 1;

    SetDesktopHooks(DesktopHooks{PrintingMessageBox, NumberedSaveName});
    SetMainWindow(&g_player.window);

    ClearPlaylist();
    for (const std::string& name : o.names) {
        if (g_interrupted) break;
        AddName(name);
    }

    SelectOutputSystem(gSettings.AudioOutputSystem);
    BuildEqualiserCurveFromSettings();

    // No window draws the progress: a .wav file is written without pauses.
    g_player.decoder = StartDecoderThread(&g_player.window, ProgressPacing::None);
    if (g_player.decoder == -1) {
        std::fprintf(stderr, "vekplay: cannot start the decoder thread\n");
        signals.Stop();
        return 1;
    }

    ActionClock clock;
    int code = 0;
    bool had_entries = false;
    if (g_interrupted) {
        code = 130;
    } else if ((had_entries = PlayListFromStart())) {
        clock.Start(o.actions);
        Message m;
        while (GetMessage(&m)) DispatchMessage(m);
        code = static_cast<int>(m.wparam);
    }
    clock.Stop();
    EndProgressLine();

    // After the list has ended, the decoder drains the output before it takes
    // the quit message; at low rates that takes longer than the usual bound.
    StopDecoderThreadWithin(g_player.decoder, g_player.list_finished ? 60000 : 3000);
    signals.Stop();

    gSettings = loaded;
    SaveSettings();
    if (DecoderThreadGivenUp()) {
        // The decoder thread may still be inside a library call; leave without
        // tearing down what it could touch.
        std::fflush(nullptr);
        _exit(code);
    }
    ClearPlaylist();
    ShutdownSoundDevice();  // SDL's audio state goes with it
    // Names that gave no entry, or entries of which none would play.
    if (code == 0 && !g_player.stopped && TracksPlayed() == 0) code = 1;
    return code;
}

}  // namespace
}  // namespace vek

int main(int argc, char** argv) {
    return vek::Run(argc, argv);
}
