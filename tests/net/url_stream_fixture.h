// What the URL stream tests share: a server of our own on 127.0.0.1, a
// recording desktop, a folder for save files, and the stream read as the
// stream reader reads it.
#pragma once

#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "net/url_stream.h"
#include "settings/settings.h"
#include "tests/net/http_test_server.h"
#include "tests/support/test_support.h"

namespace vek::test {

using Clock = std::chrono::steady_clock;

constexpr char kInternetCaption[] = "VEK Internet Error Message...";
constexpr char kSaveFailedText[] = "URL Save file could NOT be created,\nData will NOT be saved...";

inline std::string Body(size_t size, unsigned seed = 1) {
    std::mt19937 random(seed);
    std::string body(size, '\0');
    for (char& byte : body) byte = static_cast<char>(random() & 0xFF);
    return body;
}

// Reads like the stream reader: until the writer closes its end, or size bytes.
inline std::string ReadExactly(int fd, size_t size) {
    std::string data;
    char buffer[4096];
    while (data.size() < size) {
        ssize_t got = read(fd, buffer, std::min(sizeof buffer, size - data.size()));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        data.append(buffer, static_cast<size_t>(got));
    }
    return data;
}

inline std::string ReadToEnd(int fd) {
    return ReadExactly(fd, SIZE_MAX);
}

inline size_t FilesIn(const std::string& path) {
    size_t count = 0;
    DIR* dir = opendir(path.c_str());
    if (!dir) return 0;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        count += name != "." && name != "..";
    }
    closedir(dir);
    return count;
}

inline int OpenDescriptors() {
    return static_cast<int>(FilesIn("/proc/self/fd")) - 1;
}  // minus the listing's own

// Closes a stream as the stream reader does: its read end first, then the rest.
// Returns how long that took.
inline std::chrono::milliseconds CloseStream(int fd) {
    auto start = Clock::now();
    close(fd);
    CloseUrlStream();
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

class UrlStreamTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(server.port(), 0);
        gSettings.DownloadOption = 0;
        gSettings.InternetDLDir.Set(save_dir.path().c_str());
    }
    void TearDown() override { ResetSettingsToDefaults(); }

    // Opens a URL that must fail and returns the one box shown for it.
    Box OpenMustFail(const std::string& url) {
        size_t before = desktop.Boxes().size();
        EXPECT_EQ(OpenUrlStream(url.c_str()), -1) << url;
        auto boxes = desktop.Boxes();
        EXPECT_EQ(boxes.size(), before + 1) << url;
        if (boxes.size() <= before) return {};
        const Box& box = boxes.back();
        EXPECT_EQ(box.caption, kInternetCaption);
        EXPECT_EQ(box.style & MB_TYPEMASK, MB_OK);
        std::printf("[ box    ] %s\n", box.text.c_str());
        return box;
    }

    RecordingDesktop desktop;
    TempDir save_dir;
    HttpTestServer server;
};

}  // namespace vek::test
