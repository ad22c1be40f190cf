#include "tests/support/encoded_clip.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "tests/support/test_support.h"

namespace vek::test {
namespace {

void Put16(std::vector<uint8_t>* out, uint32_t value) {
    out->push_back(static_cast<uint8_t>(value));
    out->push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>* out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// The program's path by PATH, or the name itself when none is found.
std::string FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (size_t at = 0; at <= dirs.size();) {
        size_t colon = dirs.find(':', at);
        if (colon == std::string::npos) colon = dirs.size();
        std::string candidate = dirs.substr(at, colon - at) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        at = colon + 1;
    }
    return name;
}

}  // namespace

bool WriteTestWav(const std::string& wav_path, int seconds, int rate) {
    const uint32_t kRate = static_cast<uint32_t>(rate);
    const uint32_t frames = kRate * static_cast<uint32_t>(seconds);
    std::vector<uint8_t> wav;
    wav.insert(wav.end(), {'R', 'I', 'F', 'F'});
    Put32(&wav, 36 + frames * 4);
    wav.insert(wav.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put32(&wav, 16);
    Put16(&wav, 1);
    Put16(&wav, 2);
    Put32(&wav, kRate);
    Put32(&wav, kRate * 4);
    Put16(&wav, 4);
    Put16(&wav, 16);
    wav.insert(wav.end(), {'d', 'a', 't', 'a'});
    Put32(&wav, frames * 4);
    uint32_t noise = 12345;
    for (uint32_t i = 0; i < frames; ++i) {
        double t = static_cast<double>(i) / kRate;
        bool loud = i >= frames / 2;
        noise = noise * 1664525u + 1013904223u;
        double hiss = (static_cast<double>(noise >> 16) / 65536.0 - 0.5) * (loud ? 12000 : 0);
        double tone = std::sin(2 * M_PI * 440 * t) * (loud ? 9000 : 300) +
                      std::sin(2 * M_PI * (3000 + 2000 * std::sin(t)) * t) * (loud ? 6000 : 0);
        Put16(&wav, static_cast<uint16_t>(static_cast<int16_t>(tone + hiss)));
        Put16(&wav, static_cast<uint16_t>(static_cast<int16_t>(tone - hiss)));
    }
    return WriteFileBytes(wav_path, wav.data(), wav.size());
}

bool WriteUnderestimatedMp3(const std::string& mp3_path) {
    std::vector<uint8_t> mp3;
    for (int i = 0; i < 192; ++i) {
        int index = i == 0 ? 14 : 1, kbits = i == 0 ? 320 : 32;  // mono, zero side information
        std::vector<uint8_t> frame(144000 * kbits / 44100, 0);
        const uint8_t header[] = {0xFF, 0xFB, static_cast<uint8_t>(index << 4), 0xC0};
        std::copy(header, header + 4, frame.begin());
        mp3.insert(mp3.end(), frame.begin(), frame.end());
    }
    return WriteFileBytes(mp3_path, mp3.data(), mp3.size());
}

std::string EncodeWithLame(const std::string& wav_path, const std::string& mp3_path,
                           const std::vector<std::string>& options) {
    std::vector<std::string> args = {FindProgram("lame"), "--quiet"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(wav_path);
    args.push_back(mp3_path);
    ProgramRun run = RunProgram(args, {}, 60000);
    if (run.status == 0 && FileExists(mp3_path)) return "";
    return "lame " + std::to_string(run.status) + ": " + run.err +
           " (scripts/install-deps.sh --test installs lame)";
}

std::vector<uint8_t> DecodeWithMpg123(const std::string& mp3_path, const std::string& wav_path,
                                      const std::vector<std::string>& options) {
    std::vector<std::string> args = {FindProgram("mpg123"), "-q"};
    args.insert(args.end(), options.begin(), options.end());
    args.insert(args.end(), {"-w", wav_path, mp3_path});
    WavFile wav;
    if (RunProgram(args, {}, 60000).status == 0 && ReadWav(wav_path, &wav)) return wav.data;
    std::fprintf(stderr, "mpg123 -w %s failed (install-deps.sh --test)\n", mp3_path.c_str());
    return {};
}

}  // namespace vek::test
