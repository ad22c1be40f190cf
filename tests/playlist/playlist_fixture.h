// Every playlist test starts from an empty list and a recording desktop, and
// leaves the process-wide hooks as it found them.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "playlist/playlist.h"
#include "tests/support/test_support.h"

namespace vek::test {

class PlaylistTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetPlaylistRefreshHook(nullptr);
        SetShuffleSeedSource(nullptr);
        ClearPlaylist();
    }
    void TearDown() override {
        ClearPlaylist();
        SetPlaylistRefreshHook(nullptr);
        SetShuffleSeedSource(nullptr);
    }

    // The paths from first to last, checking the backward links on the way.
    static std::vector<std::string> Paths() {
        std::vector<std::string> paths;
        PlaylistEntry* previous = nullptr;
        for (PlaylistEntry* entry = gPlaylist.first; entry; entry = entry->next) {
            EXPECT_EQ(entry->previous, previous) << "broken back link at " << paths.size();
            paths.emplace_back(entry->path);
            previous = entry;
        }
        EXPECT_EQ(gPlaylist.last, previous);
        return paths;
    }

    static std::string CurrentPath() {
        char buffer[kPathField];
        if (!GetCurrentPath(buffer, sizeof buffer)) return "<none>";
        return buffer;
    }

    static void AppendAll(const std::vector<std::string>& paths) {
        for (const std::string& path : paths) ASSERT_TRUE(AppendEntry(path.c_str()));
    }

    RecordingDesktop desktop_;
};

}  // namespace vek::test
