#include "bench/bench_support.h"

#include <dirent.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/frame_header.h"

namespace vek::bench {
namespace {

double Seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
}

// The whole file; empty when it cannot be read.
std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) return bytes;
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(in);
    return bytes;
}

bool WriteCopies(const std::vector<uint8_t>& bytes, int copies, const std::string& out) {
    if (bytes.empty()) return false;
    FILE* file = std::fopen(out.c_str(), "wb");
    if (!file) return false;
    bool ok = true;
    for (int i = 0; ok && i < copies; ++i)
        ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

double Now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace

std::string DefaultClip() {
    // Not __FILE__: ccache may compile with a path relative to the build tree.
    return std::string(VEK_SOURCE_DIR) + "/tests/data/made/mpeg1_l3_cbr128_44k.mp3";
}

bool BuildLongFile(const std::string& clip, int copies, const std::string& out) {
    return WriteCopies(ReadBytes(clip), copies, out);
}

bool BuildShortFile(const std::string& clip, int frames, const std::string& out) {
    std::vector<uint8_t> bytes = ReadBytes(clip);
    std::vector<uint8_t> kept;
    size_t at = 0;
    int taken = 0;
    for (bool first = true; taken < frames && at + 4 <= bytes.size(); first = false) {
        const uint8_t* h = &bytes[at];
        bool mpeg1_layer3 = h[0] == 0xFF && (h[1] & 0xFE) == 0xFA;
        int bitrate_index = (h[2] >> 4) & 0xF, rate_index = (h[2] >> 2) & 3;
        if (!mpeg1_layer3 || bitrate_index == 0 || bitrate_index == 15 || rate_index == 3)
            return false;
        int bitrate = kBitrates[0][2][bitrate_index];
        size_t size =
            static_cast<size_t>(144000 * bitrate / kSampleRates[rate_index]) + ((h[2] >> 1) & 1);
        if (at + size > bytes.size()) return false;
        std::string body(reinterpret_cast<const char*>(h), size);
        bool info = first && (body.find("Info") != std::string::npos ||
                              body.find("Xing") != std::string::npos);
        if (!info) {
            kept.insert(kept.end(), h, h + size);
            ++taken;
        }
        at += size;
    }
    if (taken < frames) return false;
    return WriteCopies(kept, 1, out);
}

ScratchDir::ScratchDir() {
    char dir[] = "/tmp/vek-bench-XXXXXX";
    if (mkdtemp(dir)) path_ = dir;
}

ScratchDir::~ScratchDir() {
    if (path_.empty()) return;
    if (DIR* d = opendir(path_.c_str())) {
        while (dirent* e = readdir(d)) {
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                unlink(File(e->d_name).c_str());
        }
        closedir(d);
    }
    rmdir(path_.c_str());
}

double ChildCpuSeconds(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                       double* wall) {
    double start = Now();
    std::fflush(stdout);  // or the child would print our pending lines again
    pid_t child = fork();
    if (child < 0) return -1.0;
    if (child == 0) {
        for (const std::string& entry : env) putenv(const_cast<char*>(entry.c_str()));
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        // Quiet children: the benchmark prints the figures.
        freopen("/dev/null", "w", stdout);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) return -1.0;
    if (wall) *wall = Now() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1.0;
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

}  // namespace vek::bench
