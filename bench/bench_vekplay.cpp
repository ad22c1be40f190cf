// The whole player without windows against the mpg123 command-line decoder,
// in one run on the same file: `vekplay --wav` and `mpg123 -w` decode a
// 10-minute 128 kbit/s stream into .wav files. Then the CPU share of playing
// in real time through SDL's dummy sound device.
//
// Usage: bench_vekplay [copies [rounds [playback-copies]]]
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_support.h"

using vek::bench::ChildCpuSeconds;

namespace {

long FileSize(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

}  // namespace

int main(int argc, char** argv) {
    int copies = argc > 1 ? std::atoi(argv[1]) : 200;
    int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
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

    double ours = 1e30, theirs = 1e30;
    std::string our_wav = dir.File("vek.wav"), their_wav = dir.File("mpg123.wav");
    for (int round = 0; round < rounds; ++round) {
        double a = ChildCpuSeconds({VEKPLAY_PATH, "--quiet", "--wav", our_wav, long_file}, env);
        double b = ChildCpuSeconds({"mpg123", "-q", "-w", their_wav, long_file}, env);
        if (a < 0 || b < 0) {
            std::fprintf(stderr, "a decoder failed (vekplay %.3f, mpg123 %.3f)\n", a, b);
            return 1;
        }
        if (a < ours) ours = a;
        if (b < theirs) theirs = b;
    }
    std::printf("file: %d copies of %s\n", copies, clip.c_str());
    std::printf("vekplay --wav: %.3f s CPU (best of %d), %ld bytes\n", ours, rounds,
                FileSize(our_wav));
    std::printf("mpg123 -w:     %.3f s CPU (best of %d), %ld bytes\n", theirs, rounds,
                FileSize(their_wav));
    double ratio = ours / theirs;
    std::printf("ratio: %.3fx (target at most 1.10x: %s)\n", ratio,
                ratio <= 1.10 ? "met" : "missed");

    double wall = 0;
    double cpu = ChildCpuSeconds({VEKPLAY_PATH, "--quiet", short_file}, env, &wall);
    if (cpu < 0) {
        std::fprintf(stderr, "playback through the dummy device failed\n");
        return 1;
    }
    std::printf(
        "real-time playback (SDL dummy device): %.3f s CPU over %.1f s = %.2f%% of one core\n", cpu,
        wall, 100.0 * cpu / wall);
    return 0;
}
