#include "tests/support/test_support.h"

#include <fcntl.h>
#include <ftw.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <thread>

extern char** environ;

namespace vek::test {

std::string DataPath(const std::string& name) {
    return std::string(VEK_TEST_DATA_DIR) + "/" + name;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return bytes;
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(file);
    return bytes;
}

bool WriteFileBytes(const std::string& path, const void* data, size_t size) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = size == 0 || std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && ok;
}

bool WriteFileText(const std::string& path, const std::string& text) {
    return WriteFileBytes(path, text.data(), text.size());
}

std::string ReadFileText(const std::string& path) {
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

int ListenAt(const std::string& path) {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (fd < 0 || path.size() >= sizeof address.sun_path) return -1;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd, 4) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool FileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

namespace {

// Waits for the child, looking every few ms (and calling on_look then); kills
// it once timeout_ms have passed. False when it had to be killed.
bool WaitForChild(pid_t pid, int timeout_ms, int* status, const std::function<void()>& on_look) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (waitpid(pid, status, WNOHANG) != pid) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, status, 0);
            return false;
        }
        if (on_look) on_look();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace

int RunInChild(const std::function<int()>& fn, int timeout_ms) {
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) _exit(fn());
    int status = 0;
    if (!WaitForChild(pid, timeout_ms, &status, {})) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/vek-test-XXXXXX";
    if (mkdtemp(pattern.data())) path_ = pattern;
}

TempDir::~TempDir() {
    if (path_.empty()) return;
    nftw(
        path_.c_str(),
        [](const char* p, const struct stat*, int, struct FTW*) { return remove(p); }, 16,
        FTW_DEPTH | FTW_PHYS);
}

EnvRestorer::EnvRestorer(const char* name) : name_(name) {
    if (const char* value = std::getenv(name)) value_ = value, had_ = true;
}

EnvRestorer::~EnvRestorer() {
    if (had_)
        setenv(name_, value_.c_str(), 1);
    else
        unsetenv(name_);
}

ProgramRun RunProgram(const std::vector<std::string>& args, const std::vector<std::string>& env,
                      int timeout_ms, const std::function<bool(pid_t)>& interrupt_when) {
    auto edited = [&](const char* entry) {
        for (const std::string& e : env) {
            std::string name = e[0] == '-' ? e.substr(1) + "=" : e.substr(0, e.find('=') + 1);
            if (std::strncmp(entry, name.c_str(), name.size()) == 0) return true;
        }
        return false;
    };
    std::vector<std::string> environment;
    for (const std::string& e : env)
        if (e[0] != '-') environment.push_back(e);
    for (char** e = environ; *e; ++e)
        if (!edited(*e)) environment.emplace_back(*e);
    std::vector<std::string> arguments = args;
    std::vector<char*> argv, envp;
    for (std::string& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (std::string& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);

    TempDir dir;
    std::string out = dir.File("stdout"), err = dir.File("stderr");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ProgramRun run;
    pid_t pid;
    int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        run.err = "cannot start " + args[0] + ": " + std::strerror(spawned);
        return run;
    }
    auto start = std::chrono::steady_clock::now();
    auto interrupted = start;
    int status = 0;
    run.timed_out = !WaitForChild(pid, timeout_ms, &status, [&] {
        if (interrupt_when && interrupted == start && interrupt_when(pid)) {
            interrupted = std::chrono::steady_clock::now();
            kill(pid, SIGINT);
        }
    });
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.after_interrupt =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - interrupted).count();
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = ReadFileText(out);
    run.err = ReadFileText(err);
    return run;
}

bool SignalIn(pid_t pid, const char* set, int signal) {
    std::string text = ReadFileText("/proc/" + std::to_string(pid) + "/status");
    size_t at = text.find(std::string("\n") + set + ":");
    if (at == std::string::npos) return false;
    return (std::stoull(text.substr(at + std::strlen(set) + 2), nullptr, 16) >> (signal - 1) & 1) !=
           0;
}

ScopedConfigDir::ScopedConfigDir() {
    if (const char* old = std::getenv("VEK_CONFIG_DIR")) {
        old_ = old;
        had_old_ = true;
    }
    setenv("VEK_CONFIG_DIR", dir_.path().c_str(), 1);
}

ScopedConfigDir::~ScopedConfigDir() {
    if (had_old_)
        setenv("VEK_CONFIG_DIR", old_.c_str(), 1);
    else
        unsetenv("VEK_CONFIG_DIR");
}

namespace {

std::mutex g_mutex;
std::vector<Box> g_boxes;
int g_yes_no = IDNO;
std::deque<std::string> g_save_names;
int g_save_requests = 0;

int RecordBox(Window*, const char* text, const char* caption, unsigned style) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_boxes.push_back(Box{caption ? caption : "", text ? text : "", style});
    return (style & MB_TYPEMASK) == MB_YESNO ? g_yes_no : IDOK;
}

bool ChooseName(Window*, const char*, const char*, const char*, const char*, char* out,
                size_t out_size) {
    std::lock_guard<std::mutex> lock(g_mutex);
    ++g_save_requests;
    if (g_save_names.empty() || g_save_names.front().size() + 1 > out_size) return false;
    std::memcpy(out, g_save_names.front().c_str(), g_save_names.front().size() + 1);
    g_save_names.pop_front();
    return true;
}

}  // namespace

RecordingDesktop::RecordingDesktop() {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_boxes.clear();
        g_yes_no = IDNO;
        g_save_names.clear();
        g_save_requests = 0;
    }
    SetDesktopHooks(DesktopHooks{RecordBox, ChooseName});
}

RecordingDesktop::~RecordingDesktop() {
    SetDesktopHooks(HeadlessDesktopHooks());
}

std::vector<Box> RecordingDesktop::Boxes() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_boxes;
}

size_t RecordingDesktop::Count(const std::string& caption) {
    std::lock_guard<std::mutex> lock(g_mutex);
    size_t n = 0;
    for (const Box& box : g_boxes) n += box.caption == caption;
    return n;
}

void RecordingDesktop::SetYesNo(int answer) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_yes_no = answer;
}

void RecordingDesktop::SetSaveNames(std::vector<std::string> names) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_save_names.assign(names.begin(), names.end());
}

int RecordingDesktop::SaveRequests() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_save_requests;
}

namespace {
uint32_t Le32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
}  // namespace

bool ReadWav(const std::string& path, WavFile* wav) {
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    if (bytes.size() < 46 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0 ||
        std::memcmp(bytes.data() + 12, "fmt ", 4) != 0)
        return false;
    uint32_t fmt_size = Le32(&bytes[16]);
    size_t data_chunk = 20 + fmt_size;
    if (data_chunk + 8 > bytes.size() || std::memcmp(&bytes[data_chunk], "data", 4) != 0)
        return false;
    wav->riff_size = Le32(&bytes[4]);
    wav->channels = Le16(&bytes[22]);
    wav->rate = static_cast<int>(Le32(&bytes[24]));
    wav->bits = Le16(&bytes[34]);
    wav->data_size = Le32(&bytes[data_chunk + 4]);
    size_t start = data_chunk + 8;
    size_t size = std::min<size_t>(wav->data_size, bytes.size() - start);
    wav->data.assign(bytes.begin() + static_cast<long>(start),
                     bytes.begin() + static_cast<long>(start + size));
    return true;
}

}  // namespace vek::test
