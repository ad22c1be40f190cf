// ReplayGain: the loudness correction a tagger stored with a file, and the
// factor it asks of the decoded samples. Read by the decoder thread when a
// track is opened, so that the first sample already has its gain.
#pragma once

#include <optional>
#include <string_view>

#include "engine/vbr_header.h"

namespace vek {

enum ReplayGainMode { kReplayGainOff = 0, kReplayGainTrack = 1, kReplayGainAlbum = 2 };

// A gain as taggers write it: "-6.00 dB", "+1.5", "-3,2 db", blanks around.
// True with *db finite and within +-64 dB; false for anything else (garbage,
// NaN, infinities, "1e308"), *db untouched. Independent of the locale.
bool ParseReplayGainDb(std::string_view text, double* db);

// A peak as a fraction of full scale ("0.988", "1.2"): true with *peak finite
// and above 0, else false and *peak untouched.
bool ParseReplayGainPeak(std::string_view text, double* peak);

// What a file says; a value it lacks, or gives as text that does not parse,
// is empty.
struct ReplayGainInfo {
    std::optional<double> track_gain, track_peak;  // dB, fraction of full scale
    std::optional<double> album_gain, album_peak;
};

// The file's ID3v2 TXXX frames REPLAYGAIN_TRACK_GAIN, _TRACK_PEAK,
// _ALBUM_GAIN and _ALBUM_PEAK (names in any case), and for what they lack
// its APE items of the same names. Nothing for a file that cannot be read, or
// whose leading tag is over 16 MB (a picture that large is not worth the
// wait before the first sample).
ReplayGainInfo ReadReplayGain(const char* path);

// Where info has no gain, the encoder's own from its LAME tag: the radio gain
// as the track's, the audiophile gain as the album's. True when it added one.
bool AddLameGain(const LameTag& lame, ReplayGainInfo* info);

// The factor for the samples of a file with info: the mode's gain (Album
// without an album gain takes the track's) plus the pre-amp, held down so
// that the file's peak stays within full scale. A file without a peak counts
// as reaching full scale already, so it is never raised. 1.0 when the mode is
// off or the file has no gain.
double ReplayGainFactor(const ReplayGainInfo& info, int mode, int preamp_db);

}  // namespace vek
