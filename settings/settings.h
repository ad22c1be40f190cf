// The player's settings: one process-wide record, loaded from vek.ini at
// start-up and written back whole. The main thread changes fields; other
// threads read them whole at any time.
#pragma once

#include <cstdint>
#include <string>

#include "settings/shared_value.h"

namespace vek {

// The equaliser's bands, and the volume's top step: EqVolume runs from 0 to it.
inline constexpr int kEqBands = 12;
inline constexpr int kTopVolume = 15;

struct Settings {
    Relaxed<int32_t> AudioOutputSystem{0};  // 0 sound device, 1 .wav file, 2 as 0
    Relaxed<float> AudioBufTime{2.5f};      // handed to Open; unused by the outputs
    Relaxed<int32_t> AudioOutput8Bit{0};
    Relaxed<int32_t> AudioBypassACM{0};
    Relaxed<int32_t> AudioAllowSyncDev{0};
    Relaxed<int32_t> WinMMCallback{0};  // 0 completion in the device callback, 1 own thread
    Relaxed<int32_t> WinMMOutputDev{-1};  // -1 default device
    Relaxed<int32_t> EqEnabled{0};
    Relaxed<float> EqBand[kEqBands]{1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f,
                                    1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f};
    Relaxed<int32_t> EqVolume{7};  // 0..kTopVolume
    Relaxed<int32_t> EqLoudness{0};
    Relaxed<int32_t> DownSample{0};   // 0 full, 1 half, 2 quarter rate
    Relaxed<int32_t> Channels{-1};    // -1 stereo, 0 left, 1 right, 2 mono mix
    Relaxed<int32_t> Gapless{1};      // 1 cuts the encoder's delay and padding away
    Relaxed<int32_t> DecoderPriority{3};
    Relaxed<int32_t> ReplayGain{0};        // 0 off, 1 track gain, 2 album gain
    Relaxed<int32_t> ReplayGainPreamp{0};  // dB, -12..12, added to the file's gain
    Relaxed<int32_t> RepeatPlay{0};
    Relaxed<int32_t> ShufflePlay{0};
    Relaxed<int32_t> AutoPlayOnOpen{1};
    Relaxed<int32_t> DownloadOption{0};  // 1 saves streams while they play
    SharedPath InternetDLDir;
    Relaxed<int32_t> DownloadPlayAfterSave{0};
    Relaxed<int32_t> MultipleInstances{0};
    SharedPath PreviousDir;
    Relaxed<int32_t> ShowSplashScreen{1};
    Relaxed<int32_t> MinimizeLocation{0};
    Relaxed<int32_t> StartupExpanded{0};
    Relaxed<int32_t> WinShade{0};
    Relaxed<int32_t> AlwaysOnTop{0};
    Relaxed<int32_t> EasyMove{0};
    Relaxed<int32_t> ShowTagTitles{0};  // the editor and the tip name files by their tags
    Relaxed<int32_t> PlaylistX{-1};
    Relaxed<int32_t> PlaylistY{-1};
    Relaxed<int32_t> WindowX{100};
    Relaxed<int32_t> WindowY{100};
};

// A whole copy, taken when the preferences open and restored field by field on
// Cancel.
using SettingsSnapshot = Settings;

extern Settings gSettings;

inline constexpr int kSettingsKeyCount = 47;

// Full name of vek.ini, computed afresh for every load and save.
std::string SettingsFilePath();

// Fills every field from vek.ini; a missing file, section or key gives the
// default, and a number outside its key's range is brought into it. A file that
// cannot be read (no access, not a regular file, over 16 MB) gives the defaults
// too. Always succeeds.
bool LoadSettings();

// Writes every key to vek.ini, keeping lines that are not ours and the file's
// line ends. Nothing is written when the bytes would not change, nor when the
// file exists but could not be read. A failed write changes nothing and is not
// reported. Always succeeds.
bool SaveSettings();

// Sets one field from text by its key name (any case), converted and limited
// as the loader does with the file's text. False for an unknown key.
bool SetSettingByKey(const char* key, const char* value);

// The text a save would write for a key, or false for an unknown key.
bool FormatSettingByKey(const char* key, std::string* text);

// Restores every field to its default.
void ResetSettingsToDefaults();

// Leading decimal number (sign, digits, point, exponent); the rest is ignored,
// no number gives 0.0. Independent of the process locale.
double ParseLeadingDouble(const char* text);

}  // namespace vek
