// A small HTTP/1.1 server for tests: it listens on 127.0.0.1 on a port the
// system picks, serves scripted replies from memory (status, extra headers,
// pacing, an early close or a silence) and records every request. Each
// connection gets one reply and is then closed. It speaks TLS when given a
// certificate.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vek::test {

inline constexpr size_t kWholeBody = SIZE_MAX;

struct HttpReply {
    int status = 200;
    std::string reason = "OK";
    std::string status_line;           // sent instead of "HTTP/1.1 STATUS REASON" when set
    bool close_at_once = false;        // no answer at all: the connection is closed
    std::vector<std::string> headers;  // extra lines without CR LF, e.g. "Location: /x"
    std::string body;
    bool send_length = true;             // a Content-Length header for the whole body
    bool chunked = false;                // else the body in chunks, its end marked
    size_t piece_bytes = 0;              // body sent in pieces of this size (0: all at once)
    int piece_delay_ms = 0;              // pause before each piece
    size_t send_limit = kWholeBody;      // body bytes sent before the server stops sending
    bool silent_at_limit = false;        // at the limit: false closes the connection,
                                         // true keeps it open without a word
    bool silent_before_headers = false;  // answer nothing at all, keep the connection
    size_t pause_at = kWholeBody;        // body bytes sent before a pause
    int pause_ms = 0;                    // length of that pause; then the rest follows

    static HttpReply Bytes(std::string body);
    static HttpReply Status(int status, std::string reason);
    static HttpReply Redirect(std::string location, int status = 302);
    // A radio server's answer: the ICY status line, a station name ("Test
    // Radio"), no length; with an interval, its body holds metadata blocks (IcyBody).
    static HttpReply Radio(std::string body, uint32_t interval = 0);
    static HttpReply ClosedAtOnce();
};

struct HttpRequest {
    std::string method;
    std::string target;
    std::string version;
    std::vector<std::pair<std::string, std::string>> headers;  // in arrival order
    std::chrono::steady_clock::time_point arrived;
    // Value of the first header of that name (any case); empty when none.
    std::string Header(const std::string& name) const;
    size_t HeaderCount(const std::string& name) const;
};

// A certificate for 127.0.0.1 and its key, made fresh by the test (PEM files).
struct TestCertificate {
    std::string cert_path;
    std::string key_path;
};
// Makes one in dir with the openssl command; false if that failed.
bool MakeTestCertificate(const std::string& dir, TestCertificate* out);

// A radio body in the ICY manner: the audio with a metadata block after every
// interval bytes of it. The i-th block holds texts[i], padded with NULs to a
// multiple of 16 bytes; an empty text, and every block past the texts, is the
// empty block (a single 0 byte).
std::string IcyBody(const std::string& audio, size_t interval,
                    const std::vector<std::string>& texts);

class HttpTestServer {
  public:
    struct Connection;
    // Listening when constructed; port() is 0 if that failed. With a
    // certificate it speaks https only.
    HttpTestServer();
    explicit HttpTestServer(const TestCertificate& tls);
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    int port() const { return port_; }
    std::string Url(const std::string& target) const;  // target begins with '/'

    // What a request for target gets; any other target gets 404 Not Found.
    void Serve(const std::string& target, HttpReply reply);
    // The requests for target get these replies in turn; the last one stays.
    void ServeInTurn(const std::string& target, std::vector<HttpReply> replies);

    std::vector<HttpRequest> Requests();
    size_t BodyBytesSent() const { return body_bytes_sent_.load(); }
    int OpenConnections() const { return open_connections_.load(); }
    // Waits until every connection has ended (the client left or the reply was
    // done); false if some are still open after timeout_ms.
    bool WaitForConnectionsToEnd(int timeout_ms);

    // Ends every connection and the listener. Also done by the destructor.
    void Stop();

  private:
    void AcceptLoop();
    void HandleConnection(int fd);
    bool NextReply(const std::string& target, HttpReply* reply);
    void Reply(Connection& c, const HttpReply& reply);
    bool StartTls(Connection& c);
    // Waits a tick for the connection to be ready for what it last wanted.
    bool WaitReady(Connection& c);
    bool ReadRequest(Connection& c, HttpRequest* request);
    bool SendAll(Connection& c, const char* data, size_t size);
    bool Pause(int ms);
    void StayUntilClientLeaves(Connection& c);

    void* tls_ = nullptr;  // the TLS context when speaking https
    int listen_fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<size_t> body_bytes_sent_{0};
    std::atomic<int> open_connections_{0};
    std::thread acceptor_;

    std::mutex mutex_;  // guards everything below
    std::condition_variable changed_;
    std::map<std::string, std::vector<HttpReply>> replies_;
    std::map<std::string, size_t> served_;  // requests answered, by target
    std::vector<HttpRequest> requests_;
    std::vector<std::thread> handlers_;
};

// A port on 127.0.0.1 that nobody listens on: bound, then let go.
int UnusedLocalPort();

}  // namespace vek::test
