#include "settings/settings.h"

#include <strings.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/regular_file.h"
#include "platform/user_dirs.h"
#include "settings/ini_file.h"

namespace vek {

Settings gSettings;

namespace {

constexpr const char* kSection = "vek";

// Int: a number, limited to [min, max]. Choice: one of the values min..max;
// anything else means the default. Flag: 0 or 1, any other number meaning 1.
// A hand-edited file may hold any number, and the players' tables and
// arithmetic may only ever see values in range. Numbers are written signed, as
// they were clamped ("4294967295", as peers wrote -1, still reads as -1).
enum class Kind { Int, Choice, Flag, BufTime, Band, Path };

// One key of vek.ini and the field it fills; the table's order is the file's.
struct Key {
    const char* name;
    Kind kind;
    Relaxed<int32_t>* integer = nullptr;
    Relaxed<float>* real = nullptr;
    SharedPath* path = nullptr;
    int32_t int_default = 0;
    const char* text_default = nullptr;
    double min = 0;
    double max = 0;
};

// Screen positions: the window system's coordinates are 16-bit.
constexpr int32_t kCoordinateMin = -32768;
constexpr int32_t kCoordinateMax = 32767;

// Calls visit(key) for every key in file order.
template <typename Visit>
void ForEachKey(Settings& s, Visit&& visit) {
    auto number = [&](Kind kind, const char* name, Relaxed<int32_t>& field, int32_t def,
                      int32_t min, int32_t max) {
        visit(Key{name, kind, &field, nullptr, nullptr, def, nullptr, double(min), double(max)});
    };
    auto flag = [&](const char* name, Relaxed<int32_t>& field, int32_t def) {
        number(Kind::Flag, name, field, def, 0, 1);
    };
    auto coordinate = [&](const char* name, Relaxed<int32_t>& field, int32_t def) {
        number(Kind::Int, name, field, def, kCoordinateMin, kCoordinateMax);
    };
    visit(Key{"AudioBufTime", Kind::BufTime, nullptr, &s.AudioBufTime, nullptr, 0, "02.50", 0.0,
              60.0});
    number(Kind::Choice, "AudioOutputSystem", s.AudioOutputSystem, 0, 0, 2);
    flag("AudioOutput8Bit", s.AudioOutput8Bit, 0);
    flag("AudioBypassACM", s.AudioBypassACM, 0);
    flag("AudioAllowSyncDev", s.AudioAllowSyncDev, 0);
    number(Kind::Choice, "WinMMCallback", s.WinMMCallback, 0, 0, 1);
    number(Kind::Int, "WinMMOutputDev", s.WinMMOutputDev, -1, -1, INT32_MAX);
    flag("EqEnabled", s.EqEnabled, 0);
    number(Kind::Int, "EqLoudness", s.EqLoudness, 0, INT32_MIN, INT32_MAX);
    number(Kind::Int, "EqVolume", s.EqVolume, 7, 0, kTopVolume);
    static const char* const kBands[kEqBands] = {"EqBand00", "EqBand01", "EqBand02", "EqBand03",
                                                 "EqBand04", "EqBand05", "EqBand06", "EqBand07",
                                                 "EqBand08", "EqBand09", "EqBand10", "EqBand11"};
    for (int i = 0; i < kEqBands; ++i)
        visit(Key{kBands[i], Kind::Band, nullptr, &s.EqBand[i], nullptr, 0, "01.00", 0.0, 2.0});
    number(Kind::Choice, "DownSample", s.DownSample, 0, 0, 2);
    number(Kind::Choice, "Channels", s.Channels, -1, -1, 2);
    flag("Gapless", s.Gapless, 1);
    number(Kind::Choice, "DecoderPriority", s.DecoderPriority, 3, 0, 5);
    number(Kind::Choice, "ReplayGain", s.ReplayGain, 0, 0, 2);
    number(Kind::Int, "ReplayGainPreamp", s.ReplayGainPreamp, 0, -12, 12);
    flag("ShufflePlay", s.ShufflePlay, 0);
    flag("RepeatPlay", s.RepeatPlay, 0);
    flag("AutoPlayOnOpen", s.AutoPlayOnOpen, 1);
    flag("MultipleInstances", s.MultipleInstances, 0);
    // 2 and other numbers play without saving, as 0 does.
    number(Kind::Choice, "DownloadOption", s.DownloadOption, 0, 0, 1);
    visit(Key{"InternetDLDir", Kind::Path, nullptr, nullptr, &s.InternetDLDir});
    flag("DownloadPlayAfterSave", s.DownloadPlayAfterSave, 0);
    visit(Key{"PreviousDir", Kind::Path, nullptr, nullptr, &s.PreviousDir});
    flag("ShowSplashScreen", s.ShowSplashScreen, 1);
    number(Kind::Choice, "MinimizeLocation", s.MinimizeLocation, 0, 0, 1);
    flag("StartupExpanded", s.StartupExpanded, 0);
    flag("WinShade", s.WinShade, 0);
    flag("AlwaysOnTop", s.AlwaysOnTop, 0);
    flag("EasyMove", s.EasyMove, 0);
    flag("ShowTagTitles", s.ShowTagTitles, 0);
    coordinate("PlaylistX", s.PlaylistX, -1);
    coordinate("PlaylistY", s.PlaylistY, -1);
    coordinate("WindowX", s.WindowX, 100);
    coordinate("WindowY", s.WindowY, 100);
}

// Converts a key's text as the loader does and stores it, within the key's
// range. A path that does not fit its field is refused and the field keeps its
// value.
void Store(const Key& key, const char* text) {
    switch (key.kind) {
        case Kind::Int:
        case Kind::Choice:
        case Kind::Flag: {
            int32_t value = ParseIniInt(text);
            int32_t min = static_cast<int32_t>(key.min), max = static_cast<int32_t>(key.max);
            // The volume column has 16 cells; a larger step is pulled back to 14.
            if (std::strcmp(key.name, "EqVolume") == 0 && value > kTopVolume) value = 14;
            if (key.kind == Kind::Flag)
                value = value != 0;
            else if (key.kind == Kind::Choice && (value < min || value > max))
                value = key.int_default;
            else
                value = std::clamp(value, min, max);
            *key.integer = value;
            break;
        }
        case Kind::BufTime:
        case Kind::Band: {
            // Clamped before narrowing: 1e300 would become an infinite float.
            double value = ParseLeadingDouble(text);
            if (!std::isfinite(value)) value = ParseLeadingDouble(key.text_default);
            *key.real = static_cast<float>(std::clamp(value, key.min, key.max));
            break;
        }
        case Kind::Path:
            key.path->Set(text);
            break;
    }
}

std::string FormatFixed(double value, int decimals) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed,
                                decimals);
    return std::string(buffer, result.ptr);
}

std::string Format(const Key& key) {
    switch (key.kind) {
        case Kind::Int:
        case Kind::Choice:
        case Kind::Flag:
            return std::to_string(key.integer->load());
        case Kind::BufTime:
        case Kind::Band: {
            // Whatever put it there, a number that is not finite never reaches the file.
            double value = key.real->load();
            if (!std::isfinite(value)) value = ParseLeadingDouble(key.text_default);
            return FormatFixed(value, key.kind == Kind::Band ? 12 : 2);
        }
        case Kind::Path:
            return key.path->Get();
    }
    return {};
}

}  // namespace

double ParseLeadingDouble(const char* text) {
    // Copy the longest prefix that forms a decimal number, then convert it
    // without the process locale (a GUI may have set one with a decimal comma).
    const char* p = text;
    while (*p == ' ' || *p == '\t') ++p;
    std::string number;
    if (*p == '+' || *p == '-') number += *p++;
    size_t digits = 0;
    while (*p >= '0' && *p <= '9') number += *p++, ++digits;
    if (*p == '.') {
        number += *p++;
        while (*p >= '0' && *p <= '9') number += *p++, ++digits;
    }
    if (digits == 0) return 0.0;
    if (*p == 'e' || *p == 'E') {
        const char* q = p + 1;
        std::string exponent = "e";
        if (*q == '+' || *q == '-') exponent += *q++;
        if (*q >= '0' && *q <= '9') {
            while (*q >= '0' && *q <= '9') exponent += *q++;
            number += exponent;
        }
    }
    const char* begin = number.c_str();
    if (*begin == '+') ++begin;
    double value = 0.0;
    std::from_chars(begin, number.c_str() + number.size(), value);
    return value;
}

std::string SettingsFilePath() { return SettingsDirectory() + "/vek.ini"; }

void ResetSettingsToDefaults() {
    std::string home = HomeDirectoryWithSlash();
    ForEachKey(gSettings, [&](const Key& key) {
        if (key.kind == Kind::Path)
            key.path->Set(home.c_str());
        else if (key.text_default)
            Store(key, key.text_default);
        else
            *key.integer = key.int_default;
    });
}

bool LoadSettings() {
    IniFile ini;
    IniLoad(&ini, SettingsFilePath().c_str());
    std::string home = HomeDirectoryWithSlash();
    ForEachKey(gSettings, [&](const Key& key) {
        std::string value;
        bool found = IniFind(ini, kSection, key.name, &value) != nullptr;
        switch (key.kind) {
            case Kind::Int:
            case Kind::Choice:
            case Kind::Flag:
                // An empty value counts as missing, as with the classic reader.
                Store(key, found && !value.empty() ? value.c_str()
                                                   : std::to_string(key.int_default).c_str());
                break;
            case Kind::BufTime:
            case Kind::Band:
                Store(key, found ? value.c_str() : key.text_default);
                break;
            case Kind::Path:
                if (!found || !key.path->Set(value.c_str())) key.path->Set(home.c_str());
                break;
        }
    });
    return true;
}

bool SaveSettings() {
    std::string path = SettingsFilePath();
    std::string old;
    ReadOutcome outcome = ReadRegularFile(path.c_str(), kIniMaxBytes, &old);
    // A file that is there but could not be read may hold the user's other
    // sections: writing ours over it would lose them.
    if (outcome == ReadOutcome::kRefused) return true;
    IniFile ini;
    IniParse(&ini, old);
    IniValues values;
    values.reserve(kSettingsKeyCount);
    ForEachKey(gSettings, [&](const Key& key) { values.emplace_back(key.name, Format(key)); });
    IniSetStrings(&ini, kSection, values);
    std::string text = IniText(ini);
    // Unchanged settings cost neither a write nor a flush to disk.
    if (outcome == ReadOutcome::kRead && text == old) return true;
    if (MakeFolders(SettingsDirectory())) (void)IniWriteText(path.c_str(), text);
    return true;
}

bool SetSettingByKey(const char* name, const char* value) {
    bool known = false;
    ForEachKey(gSettings, [&](const Key& key) {
        if (!known && strcasecmp(key.name, name) == 0) {
            known = true;
            Store(key, value);
        }
    });
    return known;
}

bool FormatSettingByKey(const char* name, std::string* text) {
    bool known = false;
    ForEachKey(gSettings, [&](const Key& key) {
        if (!known && strcasecmp(key.name, name) == 0) {
            known = true;
            *text = Format(key);
        }
    });
    return known;
}

}  // namespace vek
