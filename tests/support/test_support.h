// Helpers shared by the test programs.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/desktop_hooks.h"

namespace vek::test {

std::string DataPath(const std::string& name);  // a file in tests/data
std::vector<uint8_t> ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const void* data, size_t size);
bool WriteFileText(const std::string& path, const std::string& text);
bool FileExists(const std::string& path);
std::string ReadFileText(const std::string& path);

// A local stream socket bound at path and listening, standing for another
// player; -1 on failure. The caller closes it and removes path.
int ListenAt(const std::string& path);

// Runs fn in a child process, killed when it takes longer than timeout_ms, and
// gives its result, or -1 when it was killed or died. For code that may block
// or spin for good (opening a FIFO, reading a device), so that a fault fails
// the test instead of hanging it.
int RunInChild(const std::function<int()>& fn, int timeout_ms);

// A fresh directory, removed with everything in it at the end of the scope.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Puts an environment variable back as it was at the end of the scope.
class EnvRestorer {
  public:
    explicit EnvRestorer(const char* name);
    ~EnvRestorer();
    EnvRestorer(const EnvRestorer&) = delete;
    EnvRestorer& operator=(const EnvRestorer&) = delete;

  private:
    const char* name_;
    std::string value_;
    bool had_ = false;
};

// Points VEK_CONFIG_DIR at a temporary directory for the scope.
class ScopedConfigDir {
  public:
    ScopedConfigDir();
    ~ScopedConfigDir();
    std::string IniPath() const { return dir_.File("vek.ini"); }
    const TempDir& dir() const { return dir_; }

  private:
    TempDir dir_;
    std::string old_;
    bool had_old_ = false;
};

// A program run to its end, as a user would run it: its exit code (-1 when it
// ended by a signal or had to be stopped after timeout_ms), what it printed and
// how long it took. env edits this process's environment for it: "NAME=VALUE"
// sets a variable, "-NAME" removes it.
// With interrupt_when, SIGINT is sent once it answers true for the running
// program's id.
struct ProgramRun {
    int status = -1;
    bool timed_out = false;
    std::string out, err;
    double seconds = 0;
    double after_interrupt = 0;  // from the SIGINT to the end
};
ProgramRun RunProgram(const std::vector<std::string>& args,
                      const std::vector<std::string>& env = {}, int timeout_ms = 30000,
                      const std::function<bool(pid_t)>& interrupt_when = {});

// Whether the running program pid has signal in a set of /proc/pid/status:
// "SigCgt" (it has a handler for it) or "SigBlk" (blocked in its main thread).
bool SignalIn(pid_t pid, const char* set, int signal);

struct Box {
    std::string caption;
    std::string text;
    unsigned style = 0;
};

// Installs desktop hooks that record every message box (from any thread) and
// answer Yes/No boxes and save choosers as configured. Restores the headless
// hooks at the end of the scope.
class RecordingDesktop {
  public:
    RecordingDesktop();
    ~RecordingDesktop();
    std::vector<Box> Boxes();
    size_t Count(const std::string& caption);
    void SetYesNo(int answer);
    // Names handed out by the save chooser, one per call; an empty list cancels.
    void SetSaveNames(std::vector<std::string> names);
    int SaveRequests();
};

// The samples of a .wav file written by the player.
struct WavFile {
    int channels = 0;
    int rate = 0;
    int bits = 0;
    uint32_t riff_size = 0;
    uint32_t data_size = 0;
    std::vector<uint8_t> data;
};
bool ReadWav(const std::string& path, WavFile* wav);

}  // namespace vek::test
