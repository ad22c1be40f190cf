// Decoding cost of the engine against the mpg123 command-line decoder, in one
// run on the same file: a 10-minute 128 kbit/s stream made by joining a short
// clip, decoded through the stream reader and the decoder into an output that
// drops the samples, and by `mpg123 -q -t` (decode, no output).
//
// Usage: bench_decode [clip.mp3 [copies [rounds]]]
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "engine/decoder.h"
#include "engine/pcm_chunk.h"
#include "engine/stream_reader.h"
#include "output/discard_output.h"
#include "output/output_system.h"
#include "settings/settings.h"

namespace {

using vek::bench::BuildLongFile;
using vek::bench::ChildCpuSeconds;
using vek::bench::DefaultClip;

double ProcessCpuSeconds() {
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// CPU seconds of one decode through the engine; frames and PCM bytes out.
double DecodeWithEngine(const std::string& path, int* frames, int64_t* pcm_bytes) {
    static uint8_t chunk_data[vek::kPcmChunkBytes];
    vek::PcmChunk chunk{chunk_data, 0};
    vek::FrameHeader header;
    vek::ResetDiscardedBytes();
    *frames = 0;
    double start = ProcessCpuSeconds();
    vek::PrepareDecoder(&header);
    if (!vek::OpenInput(path.c_str())) return -1.0;
    vek::ForgetHeaders();
    while (vek::ReadFrame(&header)) {
        ++*frames;
        const uint8_t* frame = nullptr;
        size_t size = 0;
        vek::CurrentFrame(&frame, &size);
        if (!vek::DecodeFrame(header, frame, size, &chunk)) {
            if (!vek::ReadFrame(&header) || !vek::ReadFrame(&header)) break;
        }
    }
    vek::FlushPcm(&chunk);
    vek::CloseInput();
    double used = ProcessCpuSeconds() - start;
    *pcm_bytes = vek::DiscardedBytes();
    return used;
}

}  // namespace

int main(int argc, char** argv) {
    std::string clip = argc > 1 ? argv[1] : DefaultClip();
    int copies = argc > 2 ? std::atoi(argv[2]) : 200;
    int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
    if (copies < 1 || rounds < 1) {
        std::fprintf(stderr, "usage: %s [clip.mp3 [copies [rounds]]]\n", argv[0]);
        return 2;
    }

    vek::bench::ScratchDir dir;
    if (!dir.ok()) return 1;
    std::string path = dir.File("long.mp3");
    if (!BuildLongFile(clip, copies, path)) {
        std::fprintf(stderr, "cannot build the test file from %s\n", clip.c_str());
        return 1;
    }
    vek::InstallOutputSystem(&vek::kDiscardOutput);

    // Alternate the two so that both see the same cache and clock conditions;
    // the best round of each counts.
    double engine = 1e30;
    double reference = 1e30;
    int frames = 0;
    int64_t pcm_bytes = 0;
    for (int round = 0; round < rounds; ++round) {
        double ours = DecodeWithEngine(path, &frames, &pcm_bytes);
        double theirs = ChildCpuSeconds({"mpg123", "-q", "-t", path}, {});
        if (ours < 0 || theirs < 0) {
            std::fprintf(stderr, "a decoder failed (engine %.3f, mpg123 %.3f)\n", ours, theirs);
            return 1;
        }
        if (ours < engine) engine = ours;
        if (theirs < reference) reference = theirs;
    }
    double audio_seconds = static_cast<double>(pcm_bytes) / (44100.0 * 4.0);
    double ratio = engine / reference;
    std::printf("file: %d copies of %s, %d frames, %.1f s of audio\n", copies, clip.c_str(), frames,
                audio_seconds);
    std::printf("engine (reader + decoder): %.3f s CPU (best of %d)\n", engine, rounds);
    std::printf("mpg123 -q -t:              %.3f s CPU (best of %d)\n", reference, rounds);
    std::printf("ratio: %.3fx (target at most 1.10x: %s)\n", ratio,
                ratio <= 1.10 ? "met" : "missed");
    return 0;
}
