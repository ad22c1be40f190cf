#include <gtest/gtest.h>

#include "settings/ini_file.h"

namespace vek {
namespace {

TEST(IniFile, LookupRules) {
    IniFile ini;
    IniParse(&ini,
             "[playlist]\r\n  File1 =  a b.mp3  \r\nfile1=second\r\nNumberOfEntries=-1\r\n"
             "Empty=\r\n[Other]\r\nFile2=x\r\n");
    EXPECT_EQ(IniGetString(ini, "PLAYLIST", "file1", "d"), "a b.mp3") << "first occurrence, trimmed";
    EXPECT_EQ(IniGetString(ini, "playlist", "File2", "d"), "d") << "key of another section";
    EXPECT_EQ(IniGetString(ini, "missing", "File1", "d"), "d");
    EXPECT_EQ(IniGetInt(ini, "playlist", "NumberOfEntries", 5), -1);
    EXPECT_EQ(IniGetInt(ini, "playlist", "Empty", 5), 5);
    EXPECT_EQ(IniGetString(ini, "playlist", "Empty", "d"), "");
}

TEST(IniFile, IntegersWrapTo32Bits) {
    EXPECT_EQ(ParseIniInt("4294967295"), -1);
    EXPECT_EQ(ParseIniInt("4294967296"), 0);
    EXPECT_EQ(ParseIniInt("-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseIniInt("12abc"), 12);
    EXPECT_EQ(ParseIniInt("abc"), 0);
    EXPECT_EQ(ParseIniInt("+7"), 7);
}

TEST(IniFile, MissingFileGivesDefaults) {
    IniFile ini;
    EXPECT_FALSE(IniLoad(&ini, "/nonexistent/dir/x.ini"));
    EXPECT_EQ(IniGetInt(ini, "playlist", "NumberOfEntries", -1), -1);
}

TEST(IniFile, SetChangesInPlaceOrAppendsToItsSection) {
    IniFile ini;
    IniParse(&ini, "[a]\nx=1\n\n[b]\ny=2\n");
    IniSetString(&ini, "A", "X", "9");
    IniSetString(&ini, "a", "new", "3");
    IniSetString(&ini, "c", "z", "4");
    std::string text;
    for (const std::string& line : ini.lines) text += line + "\n";
    EXPECT_EQ(text, "[a]\nX=9\nnew=3\n\n[b]\ny=2\n\n[c]\nz=4\n");
}

TEST(IniFile, TextComesBackByteForByteAndNewLinesEndLikeTheirNeighbours) {
    const std::string text = "; mixed\r\n[a]\nx=1\r\n\n[b]\r\ny=2";  // no final line end
    IniFile ini;
    IniParse(&ini, text);
    EXPECT_EQ(IniText(ini), text);
    IniSetStrings(&ini, "a", {{"x", "5"}, {"new", "3"}, {"NEW", "4"}});
    IniSetStrings(&ini, "b", {{"z", "6"}});
    EXPECT_EQ(IniText(ini), "; mixed\r\n[a]\nx=5\r\nNEW=4\r\n\n[b]\r\ny=2\nz=6\n");
}

}  // namespace
}  // namespace vek
