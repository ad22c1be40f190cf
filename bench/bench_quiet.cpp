// What the window player costs while it plays, while it is stopped and while
// it sits minimised in the tray, beside Audacious (when installed) in the same
// run: each under its own Xvfb display with a window manager and a tray host,
// sound through SDL's disk driver into /dev/null. Per scenario and player:
// CPU of the player and of the X server (the scheduler's nanoseconds from
// /proc/PID/task/*/schedstat, which are exact where the tick counts of
// /proc/PID/stat are not), context switches per thread by name, and wake-ups
// per second (voluntary switches: each one is a sleep that ended). Rounds are
// interleaved and medians shown, since the machine is shared.
//
// Usage: bench_quiet [rounds [play-seconds [idle-seconds [display]]]]
// VEK=/path/to/vek measures another build, VEK_OTHER=/path/to/vek a second one
// beside it (an older build, say); AUDACIOUS=none leaves Audacious out.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_support.h"

extern char** environ;

namespace {

using vek::bench::ScratchDir;

double Now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void SleepSeconds(double s) {
    timespec t{static_cast<time_t>(s), static_cast<long>((s - static_cast<time_t>(s)) * 1e9)};
    while (nanosleep(&t, &t) != 0) {
    }
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    size_t mid = v.size() / 2;
    return v.size() % 2 ? v[mid] : (v[mid - 1] + v[mid]) / 2.0;
}

std::string ReadLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// --- Children ---------------------------------------------------------------

pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
    std::vector<std::string> merged;
    for (char** e = environ; *e; ++e) merged.emplace_back(*e);
    for (const std::string& entry : env) {
        std::string key = entry.substr(0, entry.find('=') + 1);
        merged.erase(std::remove_if(merged.begin(), merged.end(),
                                    [&](const std::string& m) { return m.rfind(key, 0) == 0; }),
                     merged.end());
        merged.push_back(entry);
    }
    std::vector<char*> args, envp;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    for (const std::string& e : merged) envp.push_back(const_cast<char*>(e.c_str()));
    args.push_back(nullptr);
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Output of a short helper command (xdotool), first line.
std::string Capture(const std::string& command) {
    FILE* p = popen(command.c_str(), "r");
    if (!p) return "";
    char line[256] = {};
    if (!std::fgets(line, sizeof line, p)) line[0] = '\0';
    pclose(p);
    std::string text = line;
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

void Stop(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 50; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) return;
        SleepSeconds(0.1);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

bool OnPath(const std::string& program) {
    return !Capture("command -v " + program + " 2>/dev/null").empty();
}

// --- What /proc tells -------------------------------------------------------

struct ThreadCounts {
    std::string name;
    long long voluntary = 0, involuntary = 0, run_ns = 0;
};

std::map<int, ThreadCounts> Threads(pid_t pid) {
    std::map<int, ThreadCounts> threads;
    std::string dir = "/proc/" + std::to_string(pid) + "/task";
    DIR* d = opendir(dir.c_str());
    if (!d) return threads;
    while (dirent* e = readdir(d)) {
        if (e->d_name[0] == '.') continue;
        std::string task = dir + "/" + e->d_name;
        ThreadCounts c;
        c.name = ReadLine(task + "/comm");
        std::istringstream(ReadLine(task + "/schedstat")) >> c.run_ns;
        std::ifstream status(task + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0)
                c.voluntary = std::atoll(line.c_str() + 24);
            if (line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
                c.involuntary = std::atoll(line.c_str() + 27);
        }
        threads[std::atoi(e->d_name)] = c;
    }
    closedir(d);
    return threads;
}

// Busy and total jiffies of the whole machine, for how loaded it was.
std::pair<long long, long long> MachineJiffies() {
    std::istringstream in(ReadLine("/proc/stat"));
    std::string cpu;
    in >> cpu;
    long long v, total = 0, idle = 0;
    for (int i = 0; in >> v; ++i) {
        total += v;
        if (i == 3 || i == 4) idle += v;  // idle and iowait
    }
    return {total - idle, total};
}

// Switches per second and CPU seconds of the threads of one name.
struct ThreadRates {
    double voluntary = 0, involuntary = 0, cpu = 0;
};

// One measured span of one player.
struct Sample {
    double player_cpu = 0, x_cpu = 0, wakeups = 0, seconds = 0;
    std::map<std::string, ThreadRates> per_name;
};

Sample Measure(pid_t player, pid_t xserver, double seconds) {
    auto a = Threads(player), xa = Threads(xserver);
    double t0 = Now();
    SleepSeconds(seconds);
    auto b = Threads(player), xb = Threads(xserver);
    Sample s;
    s.seconds = Now() - t0;
    for (const auto& [tid, after] : b) {
        ThreadCounts before;  // a thread born meanwhile counts from zero
        if (auto it = a.find(tid); it != a.end()) before = it->second;
        double vol = static_cast<double>(after.voluntary - before.voluntary) / s.seconds;
        double inv = static_cast<double>(after.involuntary - before.involuntary) / s.seconds;
        double cpu = static_cast<double>(after.run_ns - before.run_ns) * 1e-9;
        ThreadRates& rates = s.per_name[after.name];
        rates.voluntary += vol;
        rates.involuntary += inv;
        rates.cpu += cpu;
        s.wakeups += vol;
        s.player_cpu += cpu;
    }
    for (const auto& [tid, after] : xb) {
        if (auto it = xa.find(tid); it != xa.end())
            s.x_cpu += static_cast<double>(after.run_ns - it->second.run_ns) * 1e-9;
    }
    return s;
}

// --- The players --------------------------------------------------------------

enum class Scenario { Playing, Stopped, Tray };
const char* const kScenarioNames[] = {"playing", "stopped", "minimised to the tray"};

struct Player {
    std::string name;
    // The command for a scenario, given the file and a fresh settings folder.
    std::vector<std::string> (*command)(const Player&, Scenario, const std::string& file);
    std::string program;
    std::string settings;  // prepared settings to copy into each run
    std::map<int, std::vector<Sample>> samples;
};

std::vector<std::string> VekCommand(const Player& p, Scenario scenario, const std::string& file) {
    std::vector<std::string> argv = {p.program};
    if (scenario == Scenario::Playing) argv.push_back(file);
    return argv;
}

std::vector<std::string> AudaciousCommand(const Player& p, Scenario scenario,
                                          const std::string& file) {
    std::vector<std::string> argv = {p.program, "-G"};
    if (scenario == Scenario::Playing) argv.push_back(file);
    return argv;
}

// Audacious picks the first output that starts; its SDL output is chosen in
// the plugin registry it writes on its first start.
bool PrepareAudacious(const std::string& config, const std::vector<std::string>& env) {
    std::string registry = config + "/audacious/plugin-registry";
    std::vector<std::string> first = env;
    first.push_back("XDG_CONFIG_HOME=" + config);
    pid_t pid = Spawn({"audacious", "-H"}, first);
    for (int i = 0; i < 100 && access(registry.c_str(), R_OK) != 0; ++i) SleepSeconds(0.1);
    SleepSeconds(1);
    Stop(pid);
    std::ifstream in(registry);
    if (!in) return false;
    std::ostringstream out;
    std::string kind, path;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("output ", 0) == 0 || line.rfind("general ", 0) == 0 ||
            line.rfind("iface ", 0) == 0 || line.rfind("input ", 0) == 0 ||
            line.rfind("effect ", 0) == 0 || line.rfind("vis ", 0) == 0 ||
            line.rfind("playlist ", 0) == 0 || line.rfind("transport ", 0) == 0) {
            kind = line.substr(0, line.find(' '));
            path = line;
        }
        if (kind == "output" && line.rfind("enabled ", 0) == 0)
            line = path.find("sdlout") != std::string::npos ? "enabled 1" : "enabled 0";
        out << line << '\n';
    }
    in.close();
    std::ofstream(registry) << out.str();
    return true;
}

std::string WindowOf(pid_t pid) {
    return Capture("xdotool search --onlyvisible --pid " + std::to_string(pid) +
                   " 2>/dev/null | head -n 1");
}

// One player in one scenario: started afresh, measured, ended.
bool RunOne(Player* p, Scenario scenario, const std::string& file, const ScratchDir& dir,
            const std::vector<std::string>& env, pid_t xserver, double seconds) {
    std::string config = dir.File("run-config");
    std::system(
        ("rm -rf '" + config + "' && cp -r '" + p->settings + "' '" + config + "'").c_str());
    std::vector<std::string> run_env = env;
    run_env.push_back("VEK_CONFIG_DIR=" + config);
    run_env.push_back("XDG_CONFIG_HOME=" + config);
    pid_t pid = Spawn(p->command(*p, scenario, file), run_env);
    if (pid <= 0) return false;
    std::string window;
    for (int i = 0; i < 200 && window.empty(); ++i) {
        SleepSeconds(0.1);
        window = WindowOf(pid);
    }
    if (window.empty()) {
        std::fprintf(stderr, "%s showed no window\n", p->name.c_str());
        Stop(pid);
        return false;
    }
    SleepSeconds(3);  // start-up over, the first buffers queued
    if (scenario == Scenario::Tray) {
        std::system(("xdotool windowminimize " + window + " >/dev/null 2>&1").c_str());
        SleepSeconds(2);
    }
    Sample s = Measure(pid, xserver, seconds);
    bool alive = waitpid(pid, nullptr, WNOHANG) == 0;
    Stop(pid);
    if (!alive) {
        std::fprintf(stderr, "%s ended during the measurement\n", p->name.c_str());
        return false;
    }
    p->samples[static_cast<int>(scenario)].push_back(s);
    return true;
}

void Report(const std::vector<Player>& players, Scenario scenario, double per_seconds) {
    int k = static_cast<int>(scenario);
    std::printf("\n%s (CPU per %.0f s, medians of %zu rounds)\n", kScenarioNames[k], per_seconds,
                players[0].samples.count(k) ? players[0].samples.at(k).size() : size_t{0});
    std::printf("  %-12s %12s %12s %12s %14s\n", "player", "player CPU", "X CPU", "sum",
                "wake-ups/s");
    for (const Player& p : players) {
        if (!p.samples.count(k)) continue;
        std::vector<double> cpu, x, sum, wake;
        for (const Sample& s : p.samples.at(k)) {
            double scale = per_seconds / s.seconds;
            cpu.push_back(s.player_cpu * scale);
            x.push_back(s.x_cpu * scale);
            sum.push_back((s.player_cpu + s.x_cpu) * scale);
            wake.push_back(s.wakeups);
        }
        std::printf("  %-12s %10.3f s %10.3f s %10.3f s %14.1f\n", p.name.c_str(), Median(cpu),
                    Median(x), Median(sum), Median(wake));
    }
    for (const Player& p : players) {
        if (!p.samples.count(k)) continue;
        // A thread missing from a round counts 0 there.
        size_t n = p.samples.at(k).size();
        std::map<std::string, std::vector<std::vector<double>>> by_name;
        for (size_t i = 0; i < n; ++i) {
            const Sample& s = p.samples.at(k)[i];
            double scale = per_seconds / s.seconds;
            for (const auto& [name, rates] : s.per_name) {
                auto& columns = by_name[name];
                columns.resize(3, std::vector<double>(n, 0.0));
                columns[0][i] = rates.voluntary;
                columns[1][i] = rates.involuntary;
                columns[2][i] = rates.cpu * scale;
            }
        }
        std::printf("  %s by thread: switches per second (voluntary / involuntary), CPU\n",
                    p.name.c_str());
        for (const auto& [name, columns] : by_name) {
            std::printf("    %-18s %7.2f / %5.2f %9.3f s\n", name.c_str(), Median(columns[0]),
                        Median(columns[1]), Median(columns[2]));
        }
    }
}

std::string LoadAverage() {
    std::string line = ReadLine("/proc/loadavg");
    return line.substr(0, line.find(' ', line.find(' ', line.find(' ') + 1) + 1));
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
    double play_seconds = argc > 2 ? std::atof(argv[2]) : 60;
    double idle_seconds = argc > 3 ? std::atof(argv[3]) : 30;
    int display = argc > 4 ? std::atoi(argv[4]) : 66;
    if (rounds < 1 || play_seconds <= 0 || idle_seconds <= 0 || display < 1) {
        std::fprintf(stderr, "usage: %s [rounds [play-seconds [idle-seconds [display]]]]\n",
                     argv[0]);
        return 2;
    }
    for (const char* tool : {"Xvfb", "openbox", "trayer", "xdotool"}) {
        if (!OnPath(tool)) {
            std::fprintf(stderr, "%s is missing (scripts/install-deps.sh --bench installs it)\n",
                         tool);
            return 1;
        }
    }
    ScratchDir dir;
    std::string file = dir.File("long.mp3");
    // Long enough for the warm-up and the span measured, and some to spare.
    int copies = static_cast<int>(play_seconds / 3) + 10;
    if (!dir.ok() || !vek::bench::BuildLongFile(vek::bench::DefaultClip(), copies, file)) {
        std::fprintf(stderr, "cannot build the test file\n");
        return 1;
    }
    std::string runtime = dir.File("runtime");
    mkdir(runtime.c_str(), 0700);
    std::string name = ":" + std::to_string(display);
    std::vector<std::string> env = {"DISPLAY=" + name,
                                    "XDG_RUNTIME_DIR=" + runtime,
                                    "XDG_DATA_HOME=" + dir.File("data"),
                                    "XDG_CACHE_HOME=" + dir.File("cache"),
                                    "SDL_AUDIODRIVER=disk",
                                    "SDL_DISKAUDIOFILE=/dev/null",
                                    "DBUS_SESSION_BUS_ADDRESS=disabled:"};

    setenv("DISPLAY", name.c_str(), 1);  // for the xdotool calls
    pid_t xserver = Spawn({"Xvfb", name, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"}, {});
    std::string socket = "/tmp/.X11-unix/X" + std::to_string(display);
    for (int i = 0; i < 100 && access(socket.c_str(), F_OK) != 0; ++i) SleepSeconds(0.1);
    pid_t wm = Spawn({"openbox"}, env);
    pid_t tray =
        Spawn({"trayer", "--edge", "bottom", "--widthtype", "pixel", "--width", "200"}, env);
    SleepSeconds(1);

    std::vector<Player> players;
    const char* vek = std::getenv("VEK");
    Player ours{"vek", VekCommand, vek && *vek ? vek : VEK_PATH, dir.File("vek-config"), {}};
    mkdir(ours.settings.c_str(), 0700);
    // Minimising sends the window to the tray; the display is expanded as a
    // listener leaves it.
    std::ofstream(ours.settings + "/vek.ini")
        << "[vek]\nWindowX=100\nWindowY=100\nMinimizeLocation=1\nStartupExpanded=1\n";
    players.push_back(ours);
    if (const char* other = std::getenv("VEK_OTHER"); other && *other) {
        Player second = ours;
        second.name = "vek (other)";
        second.program = other;
        players.push_back(second);
    }
    const char* audacious = std::getenv("AUDACIOUS");
    bool want_audacious = !(audacious && std::strcmp(audacious, "none") == 0);
    if (want_audacious && OnPath("audacious")) {
        Player theirs{"audacious", AudaciousCommand, "audacious", dir.File("aud-config"), {}};
        mkdir(theirs.settings.c_str(), 0700);
        if (PrepareAudacious(theirs.settings, env))
            players.push_back(theirs);
        else
            std::printf("note: Audacious could not be set up and is left out\n");
    } else if (want_audacious) {
        std::printf("note: audacious is not installed and is left out\n");
    }

    std::printf("load average before: %s\n", LoadAverage().c_str());
    auto busy0 = MachineJiffies();
    bool ok = true;
    for (int round = 0; ok && round < rounds; ++round) {
        for (Scenario scenario : {Scenario::Playing, Scenario::Stopped, Scenario::Tray}) {
            double seconds = scenario == Scenario::Playing ? play_seconds : idle_seconds;
            for (size_t i = 0; ok && i < players.size(); ++i) {
                Player& p = players[(i + static_cast<size_t>(round)) % players.size()];
                ok = RunOne(&p, scenario, file, dir, env, xserver, seconds);
            }
        }
    }
    auto busy1 = MachineJiffies();
    std::printf("load average after:  %s; the machine's CPUs were %.0f%% busy meanwhile\n",
                LoadAverage().c_str(),
                100.0 * static_cast<double>(busy1.first - busy0.first) /
                    static_cast<double>(std::max(1LL, busy1.second - busy0.second)));
    Stop(tray);
    Stop(wm);
    Stop(xserver);
    std::system(("rm -rf '" + dir.File("vek-config") + "' '" + dir.File("aud-config") + "' '" +
                 dir.File("run-config") + "' '" + runtime + "' '" + dir.File("data") + "' '" +
                 dir.File("cache") + "'")
                    .c_str());
    if (!ok) return 1;
    Report(players, Scenario::Playing, 60);
    Report(players, Scenario::Stopped, 30);
    Report(players, Scenario::Tray, 30);
    return 0;
}
