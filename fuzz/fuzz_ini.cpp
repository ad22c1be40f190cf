// Arbitrary bytes as an ini file: parsing and lookups must never fault.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "settings/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vek::IniFile ini;
    vek::IniParse(&ini, std::string_view(reinterpret_cast<const char*>(data), size));
    (void)vek::IniGetInt(ini, "playlist", "NumberOfEntries", -1);
    (void)vek::IniGetString(ini, "vek", "EqBand00", "01.00");
    vek::IniSetString(&ini, "vek", "EqVolume", "7");
    vek::IniSetString(&ini, "new", "key", "value");
    return 0;
}
