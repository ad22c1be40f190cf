#include "settings/settings.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "platform/user_dirs.h"
#include "settings/ini_file.h"

namespace vek {

Settings gSettings;

namespace {

constexpr const char* kSection = "vek";

enum class Kind { Int, Unsigned, BufTime, Band, Path };

// One key of vek.ini and the field it fills; the table's order is the file's.
struct Key {
    const char* name;
    Kind kind;
    Relaxed<int32_t>* integer = nullptr;
    Relaxed<float>* real = nullptr;
    SharedPath* path = nullptr;
    int32_t int_default = 0;
    const char* text_default = nullptr;
};

// Calls visit(key) for every key in file order.
template <typename Visit>
void ForEachKey(Settings& s, Visit&& visit) {
    auto integer = [&](const char* name, Relaxed<int32_t>& field, int32_t def) {
        visit(Key{name, Kind::Int, &field, nullptr, nullptr, def, nullptr});
    };
    visit(Key{"AudioBufTime", Kind::BufTime, nullptr, &s.AudioBufTime, nullptr, 0, "02.50"});
    integer("AudioOutputSystem", s.AudioOutputSystem, 0);
    integer("AudioOutput8Bit", s.AudioOutput8Bit, 0);
    integer("AudioBypassACM", s.AudioBypassACM, 0);
    integer("AudioAllowSyncDev", s.AudioAllowSyncDev, 0);
    integer("WinMMCallback", s.WinMMCallback, 0);
    visit(Key{"WinMMOutputDev", Kind::Unsigned, &s.WinMMOutputDev, nullptr, nullptr, -1, nullptr});
    integer("EqEnabled", s.EqEnabled, 0);
    integer("EqLoudness", s.EqLoudness, 0);
    integer("EqVolume", s.EqVolume, 7);
    static const char* const kBands[12] = {"EqBand00", "EqBand01", "EqBand02", "EqBand03",
                                           "EqBand04", "EqBand05", "EqBand06", "EqBand07",
                                           "EqBand08", "EqBand09", "EqBand10", "EqBand11"};
    for (int i = 0; i < 12; ++i)
        visit(Key{kBands[i], Kind::Band, nullptr, &s.EqBand[i], nullptr, 0, "01.00"});
    integer("DownSample", s.DownSample, 0);
    integer("Channels", s.Channels, -1);
    integer("DecoderPriority", s.DecoderPriority, 3);
    integer("ShufflePlay", s.ShufflePlay, 0);
    integer("RepeatPlay", s.RepeatPlay, 0);
    integer("AutoPlayOnOpen", s.AutoPlayOnOpen, 1);
    integer("MultipleInstances", s.MultipleInstances, 0);
    integer("DownloadOption", s.DownloadOption, 0);
    visit(Key{"InternetDLDir", Kind::Path, nullptr, nullptr, &s.InternetDLDir, 0, nullptr});
    integer("DownloadPlayAfterSave", s.DownloadPlayAfterSave, 0);
    visit(Key{"PreviousDir", Kind::Path, nullptr, nullptr, &s.PreviousDir, 0, nullptr});
    integer("ShowSplashScreen", s.ShowSplashScreen, 1);
    integer("MinimizeLocation", s.MinimizeLocation, 0);
    integer("StartupExpanded", s.StartupExpanded, 0);
    integer("WinShade", s.WinShade, 0);
    integer("AlwaysOnTop", s.AlwaysOnTop, 0);
    integer("EasyMove", s.EasyMove, 0);
    integer("PlaylistX", s.PlaylistX, -1);
    integer("PlaylistY", s.PlaylistY, -1);
    integer("WindowX", s.WindowX, 100);
    integer("WindowY", s.WindowY, 100);
}

// Converts a key's text as the loader does and stores it. A path that does not
// fit its field is refused and the field keeps its value.
void Store(const Key& key, const char* text) {
    switch (key.kind) {
        case Kind::Int:
        case Kind::Unsigned: {
            int32_t value = ParseIniInt(text);
            // The volume column has 16 cells; a larger step is pulled back to 14.
            if (std::strcmp(key.name, "EqVolume") == 0 && value > 15) value = 14;
            *key.integer = value;
            break;
        }
        case Kind::BufTime:
        case Kind::Band:
            *key.real = static_cast<float>(ParseLeadingDouble(text));
            break;
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
            return std::to_string(key.integer->load());
        case Kind::Unsigned:
            return std::to_string(static_cast<uint32_t>(key.integer->load()));
        case Kind::BufTime:
            return FormatFixed(key.real->load(), 2);
        case Kind::Band:
            return FormatFixed(key.real->load(), 12);
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
            case Kind::Unsigned:
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
    IniFile ini;
    IniLoad(&ini, path.c_str());
    ForEachKey(gSettings, [&](const Key& key) { IniSetString(&ini, kSection, key.name, Format(key)); });
    (void)IniSave(ini, path.c_str());
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
