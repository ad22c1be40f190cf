// A start without a desktop: which display the window would open on, and what
// the player and the run script's check say when there is none.
#include "app/display_probe.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "tests/support/test_support.h"

namespace vek::app {
namespace {

using vek::test::FileExists;
using vek::test::ProgramRun;
using vek::test::RunProgram;
using vek::test::TempDir;

// An X display number no server listens on.
std::string UnusedXDisplay() {
    for (int n = 59000;; ++n)
        if (!FileExists("/tmp/.X11-unix/X" + std::to_string(n))) return ":" + std::to_string(n);
}

// A socket that accepts connections, as a Wayland compositor's does.
class ListeningSocket {
  public:
    explicit ListeningSocket(const std::string& path) {
        fd_ = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(listen(fd_, 4), 0);
    }
    ~ListeningSocket() { close(fd_); }

  private:
    int fd_ = -1;
};

TEST(DisplayProbeTest, FindsTheDisplayThatCanBeOpened) {
    TempDir runtime, qt;
    ListeningSocket compositor(runtime.File("wayland-7"));
    // Qt's Wayland plugin, in the second of the plugin folders.
    mkdir(qt.File("platforms").c_str(), 0700);
    ASSERT_TRUE(vek::test::WriteFileText(qt.File("platforms/libqwayland-generic.so"), ""));
    const std::string with = "/nowhere:" + qt.path(), without = qt.File("platforms");
    const std::string no_x = UnusedXDisplay(), absolute = runtime.File("wayland-7");
    const std::string unset = "no display (neither DISPLAY nor WAYLAND_DISPLAY is set)";
    const char* dir = runtime.path().c_str();
    struct Case {
        const char *x11, *wayland, *runtime_dir;
        DisplayKind kind;
        std::string why;
        bool plugin = true;
    } cases[] = {
        {nullptr, nullptr, dir, DisplayKind::None, unset},
        {"", "", dir, DisplayKind::None, unset},
        {no_x.c_str(), nullptr, dir, DisplayKind::None,
         "no display (cannot connect to the X display " + no_x + ")"},
        {nullptr, "wayland-9", dir, DisplayKind::None,
         "no display (cannot connect to the Wayland display wayland-9)"},
        {no_x.c_str(), "wayland-9", dir, DisplayKind::None,
         "no display (cannot connect to the X display " + no_x +
             " nor the Wayland display wayland-9)"},
        {nullptr, "wayland-7", dir, DisplayKind::Wayland, ""},
        {no_x.c_str(), "wayland-7", dir, DisplayKind::Wayland, ""},
        // An absolute path needs no runtime directory; a bare name does.
        {nullptr, absolute.c_str(), nullptr, DisplayKind::Wayland, ""},
        {nullptr, "wayland-7", nullptr, DisplayKind::None,
         "no display (cannot connect to the Wayland display wayland-7)"},
        // Without Qt's plugin, only an X display (XWayland) will do.
        {no_x.c_str(), "wayland-7", dir, DisplayKind::None,
         "no display (the Wayland display wayland-7 needs Qt's Wayland platform plugin, package "
         "qt6-wayland)",
         false},
    };
    for (const Case& c : cases) {
        DisplayProbe probe =
            ProbeDisplay(c.x11, c.wayland, c.runtime_dir, c.plugin ? with : without);
        EXPECT_EQ(probe.kind, c.kind)
            << (c.x11 ? c.x11 : "-") << " " << (c.wayland ? c.wayland : "-");
        EXPECT_EQ(probe.why, c.why);
    }
}

// The player started the way a user starts it from a terminal with no desktop:
// it answers --help and --version all the same, and otherwise fails in one line.
TEST(DisplayProbeTest, WithoutADisplayThePlayerAnswersItsOptionsOrFailsInOneLine) {
    TempDir runtime;  // no player to hand over to
    const std::string no_x = UnusedXDisplay();
    struct Case {
        std::string arg;
        int status;
        std::string out, err;
    } cases[] = {
        {vek::test::DataPath("made/mpeg1_l3_cbr128_44k.mp3"), 1, "",
         "vek: cannot open the window: no display (cannot connect to the X display " + no_x +
             "); vekplay plays without one\n"},
        {"-V", 0, "vek " VEK_VERSION "\n", ""},
        {"--help", 0, "Usage: vek [NAME...]\n", ""},
    };
    for (const Case& c : cases) {
        ProgramRun run = RunProgram({VEK_PLAYER_PATH, c.arg},
                                    {"DISPLAY=" + no_x, "-WAYLAND_DISPLAY", "-QT_QPA_PLATFORM",
                                     "XDG_RUNTIME_DIR=" + runtime.path()},
                                    20000);
        EXPECT_EQ(run.status, c.status) << c.arg;
        EXPECT_EQ(run.err, c.err);
        // The help is checked by its first line, the rest by their whole output.
        EXPECT_EQ(c.arg == "--help" ? run.out.substr(0, c.out.size()) : run.out, c.out);
    }
}

TEST(DisplayProbeTest, TheRunScriptsCheckAnswersAsThePlayerDecides) {
    ProgramRun none =
        RunProgram({VEK_DISPLAY_CHECK_PATH}, {"-DISPLAY", "-WAYLAND_DISPLAY", "-QT_QPA_PLATFORM"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "no display (neither DISPLAY nor WAYLAND_DISPLAY is set)\n");
    ProgramRun chosen = RunProgram({VEK_DISPLAY_CHECK_PATH},
                                   {"-DISPLAY", "-WAYLAND_DISPLAY", "QT_QPA_PLATFORM=offscreen"});
    EXPECT_EQ(chosen.status, 0);
    EXPECT_EQ(chosen.out, "");
}

}  // namespace
}  // namespace vek::app
