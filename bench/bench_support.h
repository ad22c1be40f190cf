// What the benchmarks share: the long test stream, a scratch directory and
// the CPU time of a child program.
#pragma once

#include <string>
#include <vector>

namespace vek::bench {

// tests/data/made/mpeg1_l3_cbr128_44k.mp3 in the source tree.
std::string DefaultClip();

// Writes `copies` copies of the clip back to back into out: a valid stream of
// that many times the clip's length.
bool BuildLongFile(const std::string& clip, int copies, const std::string& out);

// Writes the first `frames` audio frames of an MPEG-1 layer III clip into out
// (its info frame, when it has one, left out, so the file's length is its
// own): 38 frames make a file of one second.
bool BuildShortFile(const std::string& clip, int frames, const std::string& out);

// A fresh directory under /tmp, removed with its files by the destructor.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    bool ok() const { return !path_.empty(); }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Runs argv (with extra "NAME=VALUE" environment entries) and returns its user
// plus system CPU seconds, or -1 when it cannot run or fails. *wall gets the
// elapsed seconds when not null.
double ChildCpuSeconds(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                       double* wall = nullptr);

}  // namespace vek::bench
