// The list's playing time. Each entry's length is measured once, on a thread
// of its own so that the main thread never reads an audio file, and kept with
// the entry.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace vek {

// The lengths known so far, summed.
struct Playtime {
    int entries = 0;
    int64_t known_ms = 0;
    bool complete = true;  // every entry has a known length
};
Playtime SumPlaytime();

// "Playtime: Unknown" for an empty list, else "Playtime: H:MM:SS" of the
// known lengths, with "+" after it while some entry gives none (a URL, a file
// that cannot be read, one not measured yet).
std::string PlaytimeText(const Playtime& playtime);

struct TrackTags;

// What one look at a file gives: its length in milliseconds (negative: none)
// and its tags (none when it has none).
struct Measurement {
    int32_t ms = -1;
    std::shared_ptr<const TrackTags> tags;
};

// Starts the measuring thread. measure(path, out) looks at a file on that
// thread; ready() is called on that thread whenever measurements wait to be
// taken. False when the thread cannot be made. Main thread.
bool StartMeasuringLengths(void (*measure)(const char* path, Measurement* out), void (*ready)());

// Main thread: takes the lengths measured so far into their entries, with
// their tags where an entry has none yet, then hands the thread the next
// entries without a length, a few thousand at a time, in list order from where
// the last look ended. Call after each ready(), and with rescan after the list
// changed so that the look starts at its top. True when some entry's length
// or tags changed.
bool UpdateMeasuredLengths(bool rescan);

// Stops the thread, waiting a bounded time for a measurement under way;
// entries handed to it and not measured are left unmeasured. Main thread.
void StopMeasuringLengths();

// How many entries the thread may hold at once. Tests lower it.
void SetMeasuringBatch(int entries);

}  // namespace vek
