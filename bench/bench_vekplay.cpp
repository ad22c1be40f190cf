// The whole player without windows against the reference command-line
// decoders, in one run on the same file: `vekplay --wav`, `mpg123 -w` and
// `ffmpeg` turn a 10-minute 128 kbit/s stream into .wav files, in turn, round
// after round; the medians of wall and CPU time and of the per-round ratios
// are compared; then the same on the clip alone, where start-up weighs most.
// Then the CPU share of playing in real time through SDL's dummy sound device.
//
// Usage: bench_vekplay [copies [rounds [playback-copies]]]
// VEKPLAY=/path/to/vekplay measures another build (an older one, say).
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_support.h"

using vek::bench::ChildCpuSeconds;

namespace {

struct Contender {
    const char* name;
    std::vector<std::string> argv;
    bool present;
    std::vector<double> cpu, wall;
};

Contender Program(const char* name, std::vector<std::string> argv) {
    return Contender{name, std::move(argv), true, {}, {}};
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2.0;
}

// Median of ours[i] / theirs[i]: each pair ran side by side in one round, so
// a change of load between rounds touches both.
double MedianRatio(const std::vector<double>& ours, const std::vector<double>& theirs) {
    std::vector<double> ratios;
    for (size_t i = 0; i < ours.size() && i < theirs.size(); ++i)
        ratios.push_back(ours[i] / theirs[i]);
    return Median(ratios);
}

std::string LoadAverage() {
    FILE* f = std::fopen("/proc/loadavg", "r");
    if (!f) return "unknown";
    char line[128] = {};
    if (!std::fgets(line, sizeof line, f)) line[0] = '\0';
    std::fclose(f);
    std::string text = line;
    size_t end = text.find(' ', text.find(' ', text.find(' ') + 1) + 1);
    return text.substr(0, end);
}

bool OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (size_t at = 0; at <= dirs.size();) {
        size_t colon = dirs.find(':', at);
        if (colon == std::string::npos) colon = dirs.size();
        std::string candidate = dirs.substr(at, colon - at) + "/" + program;
        struct stat st;
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0111))
            return true;
        at = colon + 1;
    }
    return false;
}

// Interleaved: each round runs every program once, starting with a different
// one, so that cache and clock conditions fall on all alike.
bool RunRounds(std::vector<Contender>* all, int rounds, const std::vector<std::string>& env) {
    for (int round = 0; round < rounds; ++round) {
        for (size_t k = 0; k < all->size(); ++k) {
            Contender& c = (*all)[(k + static_cast<size_t>(round)) % all->size()];
            if (!c.present) continue;
            double wall = 0;
            double cpu = ChildCpuSeconds(c.argv, env, &wall);
            if (cpu < 0) {
                std::fprintf(stderr, "%s failed\n", c.name);
                return false;
            }
            c.cpu.push_back(cpu);
            c.wall.push_back(wall);
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int copies = argc > 1 ? std::atoi(argv[1]) : 200;
    int rounds = argc > 2 ? std::atoi(argv[2]) : 7;
    int playback_copies = argc > 3 ? std::atoi(argv[3]) : 7;
    if (copies < 1 || rounds < 1 || playback_copies < 1) {
        std::fprintf(stderr, "usage: %s [copies [rounds [playback-copies]]]\n", argv[0]);
        return 2;
    }
    vek::bench::ScratchDir dir;
    std::string clip = vek::bench::DefaultClip();
    std::string long_file = dir.File("long.mp3"), short_file = dir.File("short.mp3");
    if (!dir.ok() || !vek::bench::BuildLongFile(clip, copies, long_file) ||
        !vek::bench::BuildLongFile(clip, playback_copies, short_file)) {
        std::fprintf(stderr, "cannot build the test files from %s\n", clip.c_str());
        return 1;
    }
    // The player's settings stay out of the user's own vek.ini.
    std::vector<std::string> env = {"VEK_CONFIG_DIR=" + dir.File("config"),
                                    "SDL_AUDIODRIVER=dummy"};

    const char* other = std::getenv("VEKPLAY");
    std::string vekplay = other && *other ? other : VEKPLAY_PATH;
    std::vector<Contender> all = {
        Program("vekplay --wav", {vekplay, "--quiet", "--wav", dir.File("vek.wav"), long_file}),
        Program("mpg123 -w", {"mpg123", "-q", "-w", dir.File("mpg123.wav"), long_file}),
        Program("ffmpeg", {"ffmpeg", "-v", "quiet", "-nostdin", "-y", "-i", long_file,
                           dir.File("ffmpeg.wav")}),
    };
    for (Contender& c : all) {
        if (c.argv[0][0] != '/' && !OnPath(c.argv[0])) {
            c.present = false;
            std::printf(
                "note: %s is not installed and is skipped "
                "(scripts/install-deps.sh --bench installs it)\n",
                c.argv[0].c_str());
        }
    }

    struct stat st;
    double seconds =
        stat(long_file.c_str(), &st) == 0 ? static_cast<double>(st.st_size) / 16000.0 : 0;
    std::printf("file: %d copies of %s (%.0f s at 128 kbit/s)\n", copies, clip.c_str(), seconds);
    std::printf("load average before: %s\n", LoadAverage().c_str());
    if (!RunRounds(&all, rounds, env)) return 1;
    std::printf("load average after:  %s\n\n", LoadAverage().c_str());
    std::printf("%-14s %10s %10s   (median of %d rounds)\n", "", "wall s", "CPU s", rounds);
    for (const Contender& c : all) {
        if (c.present) std::printf("%-14s %10.3f %10.3f\n", c.name, Median(c.wall), Median(c.cpu));
    }

    const Contender& ours = all[0];
    const Contender* mpg123 = all[1].present ? &all[1] : nullptr;
    const Contender* ffmpeg = all[2].present ? &all[2] : nullptr;
    std::printf("\n");
    if (mpg123) {
        double cpu_ratio = MedianRatio(ours.cpu, mpg123->cpu);
        std::printf("CPU  vekplay / mpg123 -w: %.3fx (target at most 0.80x: %s)\n", cpu_ratio,
                    cpu_ratio <= 0.80 ? "met" : "missed");
    }
    if (ffmpeg)
        std::printf("CPU  vekplay / ffmpeg:    %.3fx\n", MedianRatio(ours.cpu, ffmpeg->cpu));
    if (mpg123 || ffmpeg) {
        // Per round, against the faster reference of that round.
        std::vector<double> fastest;
        for (size_t i = 0; i < ours.wall.size(); ++i) {
            double best = 1e30;
            if (mpg123) best = std::min(best, mpg123->wall[i]);
            if (ffmpeg) best = std::min(best, ffmpeg->wall[i]);
            fastest.push_back(best);
        }
        double wall_ratio = MedianRatio(ours.wall, fastest);
        std::printf("wall vekplay / faster reference: %.3fx (target at most 1.00x: %s)\n",
                    wall_ratio, wall_ratio <= 1.00 ? "met" : "missed");
    }

    // What every file costs whatever its length (start-up, set-up, the
    // pacing): the same contest on the clip alone, in more rounds.
    if (mpg123) {
        std::vector<Contender> pair = {
            Program("vekplay", {vekplay, "--quiet", "--wav", dir.File("vek.wav"), clip}),
            Program("mpg123", {"mpg123", "-q", "-w", dir.File("mpg123.wav"), clip})};
        if (!RunRounds(&pair, 3 * rounds, env)) return 1;
        std::printf("clip alone (3 s), wall/CPU ms: vekplay %.1f/%.1f, mpg123 %.1f/%.1f\n",
                    1e3 * Median(pair[0].wall), 1e3 * Median(pair[0].cpu),
                    1e3 * Median(pair[1].wall), 1e3 * Median(pair[1].cpu));
    }

    // A list of many short files, where whatever each track costs beyond its
    // decoding (opening, the percentages) adds up.
    if (mpg123) {
        constexpr int kShortFiles = 200;
        std::string one_second = dir.File("one.mp3");
        if (!vek::bench::BuildShortFile(clip, 38, one_second)) {
            std::fprintf(stderr, "cannot cut a one-second file from %s\n", clip.c_str());
            return 1;
        }
        std::vector<std::string> names;
        for (int i = 0; i < kShortFiles; ++i) {
            names.push_back(dir.File("short" + std::to_string(i) + ".mp3"));
            if (!vek::bench::BuildLongFile(one_second, 1, names.back())) return 1;
        }
        std::vector<std::string> ours_argv = {vekplay, "--quiet", "--wav", dir.File("vek.wav")};
        std::vector<std::string> theirs_argv = {"mpg123", "-q", "-w", dir.File("mpg123.wav")};
        ours_argv.insert(ours_argv.end(), names.begin(), names.end());
        theirs_argv.insert(theirs_argv.end(), names.begin(), names.end());
        std::vector<Contender> pair = {Program("vekplay", ours_argv),
                                       Program("mpg123", theirs_argv)};
        if (!RunRounds(&pair, rounds, env)) return 1;
        double ratio = MedianRatio(pair[0].wall, pair[1].wall);
        std::printf(
            "%d one-second files, wall/CPU s: vekplay %.3f/%.3f, mpg123 -w %.3f/%.3f; "
            "wall %.2fx (target at most 1.20x: %s)\n",
            kShortFiles, Median(pair[0].wall), Median(pair[0].cpu), Median(pair[1].wall),
            Median(pair[1].cpu), ratio, ratio <= 1.20 ? "met" : "missed");
    }

    double wall = 0;
    double cpu = ChildCpuSeconds({vekplay, "--quiet", short_file}, env, &wall);
    if (cpu < 0) {
        std::fprintf(stderr, "playback through the dummy device failed\n");
        return 1;
    }
    std::printf(
        "real-time playback (SDL dummy device): %.3f s CPU over %.1f s = %.2f%% of one core\n", cpu,
        wall, 100.0 * cpu / wall);
    return 0;
}
