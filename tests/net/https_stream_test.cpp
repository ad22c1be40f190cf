// https streams from a server of our own, with a certificate the test makes.
#include <gtest/gtest.h>

#include <string>

#include "net/url_stream.h"
#include "tests/net/url_stream_fixture.h"

namespace vek {
namespace {

using namespace test;

class HttpsStreamTest : public UrlStreamTest {
  protected:
    void SetUp() override {
        UrlStreamTest::SetUp();
        ASSERT_TRUE(MakeTestCertificate(cert_dir.path(), &certificate));
        tls_server = std::make_unique<HttpTestServer>(certificate);
        ASSERT_NE(tls_server->port(), 0);
    }
    void TearDown() override {
        SetUrlStreamTestCertificates("");
        UrlStreamTest::TearDown();
    }

    TempDir cert_dir;
    TestCertificate certificate;
    std::unique_ptr<HttpTestServer> tls_server;
};

TEST_F(HttpsStreamTest, StreamsTheServedBytesFromATrustedServer) {
    std::string body = Body(200000, 30);
    tls_server->Serve("/secure.mp3", HttpReply::Bytes(body));
    SetUrlStreamTestCertificates(certificate.cert_path);
    std::string url = tls_server->Url("/secure.mp3");
    ASSERT_EQ(url.rfind("https://", 0), 0u);
    int fd = OpenUrlStream(url.c_str());
    ASSERT_GE(fd, 0);
    std::string got = ReadToEnd(fd);
    CloseStream(fd);
    EXPECT_TRUE(got == body) << got.size();
    EXPECT_TRUE(desktop.Boxes().empty());
}

TEST_F(HttpsStreamTest, AServerWithACertificateNobodyVouchedForIsRefused) {
    tls_server->Serve("/secure.mp3", HttpReply::Bytes(Body(1000, 31)));
    Box box = OpenMustFail(tls_server->Url("/secure.mp3"));
    EXPECT_NE(box.text.find("certificate"), std::string::npos) << box.text;
    EXPECT_TRUE(tls_server->Requests().empty());
}

}  // namespace
}  // namespace vek
