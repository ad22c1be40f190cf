// Shuffling: a fixed 15-bit generator and partner rule, so that a given seed
// always gives the same order. Only paths move; the links and the current
// entry's position stay.
#include <ctime>
#include <utility>

#include "playlist/playlist.h"

namespace vek {
namespace {

uint32_t SecondsNow() {
    return static_cast<uint32_t>(std::time(nullptr));
}

uint32_t (*g_seed_source)() = SecondsNow;

// The classic linear congruential generator; each draw is bits 16..30.
uint32_t g_state = 0;
constexpr uint32_t kDrawCount = 0x8000;

int Draw() {
    g_state = g_state * 214013u + 2531011u;
    return static_cast<int>((g_state >> 16) & 0x7FFF);
}

// A draw below 0x8000 gives a partner below 0x2000, so only the head of a long
// list can be a partner. A table of that head saves walking to it on every pass.
constexpr int kPartnerLimit = kDrawCount / 4;
PlaylistEntry* g_partners[kPartnerLimit];

}  // namespace

void SetShuffleSeedSource(uint32_t (*seed)()) {
    g_seed_source = seed ? seed : SecondsNow;
}

bool ShufflePlaylist() {
    int count = PlaylistCount();
    if (count < 3) return false;

    int table_size = 0;
    for (PlaylistEntry* entry = gPlaylist.first; entry && table_size < kPartnerLimit;
         entry = entry->next)
        g_partners[table_size++] = entry;

    g_state = g_seed_source();
    // The span is 4 * (count - 1), so the last position is never drawn as a
    // partner; it moves only on its own pass.
    const long long span = 4LL * (count - 1);
    for (PlaylistEntry* entry = gPlaylist.first; entry; entry = entry->next) {
        int partner = static_cast<int>((Draw() % span) / 4);
        std::swap(entry->path, g_partners[partner]->path);
    }
    return true;
}

}  // namespace vek
