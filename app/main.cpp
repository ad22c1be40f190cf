#include <cstdio>
#include <cstring>

#include "app/startup.h"

namespace {

// The two options a user tries first. They are answered before anything else
// starts, so they work without a display and never reach a running player;
// every other argument that begins with '-' is skipped as before.
bool AnswerInformationOption(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(
                "Usage: vek [NAME...]\n"
                "Plays MPEG audio files, .pls/.m3u playlists and http(s) URLs in a small\n"
                "window; the first NAME starts at once. When a player already runs on this\n"
                "display, the names go to it instead (without names it is left alone).\n\n"
                "  -h, --help     show this text\n"
                "  -V, --version  show the version\n\n"
                "Without a display vek says why and ends with status 1; vekplay plays in a\n"
                "terminal. See vek(1).\n",
                stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "-V") == 0) {
            std::printf("vek %s\n", VEK_VERSION);
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (AnswerInformationOption(argc, argv)) return 0;
    return vek::app::RunPlayer(argc, argv);
}
