// A machine without libcurl: a URL cannot be opened and the usual internet
// error box says why. A program of its own, since libcurl is looked for once
// per process.
#include <gtest/gtest.h>

#include <string>

#include "net/curl_library.h"
#include "net/url_stream.h"
#include "tests/net/http_test_server.h"
#include "tests/support/test_support.h"

namespace vek {
namespace {

constexpr char kMissing[] = "libvek-test-no-curl.so.4";

TEST(MissingCurl, UrlOpenFailsWithABoxNamingTheLibrary) {
    SetCurlSonameForTests(kMissing);
    test::HttpTestServer server;
    server.Serve("/a.mp3", test::HttpReply::Bytes("served"));
    test::RecordingDesktop desktop;
    EXPECT_EQ(OpenUrlStream(server.Url("/a.mp3").c_str()), -1);
    CloseUrlStream();
    std::vector<test::Box> boxes = desktop.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "VEK Internet Error Message...");
    EXPECT_NE(boxes[0].text.find(kMissing), std::string::npos) << boxes[0].text;
    EXPECT_TRUE(server.Requests().empty());
}

}  // namespace
}  // namespace vek
