// The copy of a stream kept on disk when the user chose "Play and Save".
#pragma once

#include <string>

namespace vek {

// The file is named after the text behind the URL's last '/' and lives in dir,
// with a '/' put in between when dir does not end in one; an empty dir means
// the current directory. A URL ending in '/' gives no name, so the file cannot
// be created. False (and *path untouched) when the path would not fit a path
// field: such names are refused, never cut.
bool BuildSavePath(const std::string& url, const std::string& dir, std::string* path);

// Creates the file anew for writing (an existing one is replaced). -1 on
// failure, and when the name is taken by anything but a regular file.
int CreateSaveFile(const std::string& path);

}  // namespace vek
