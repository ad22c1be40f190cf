#include "tests/net/http_test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <signal.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>

#include "tests/support/test_support.h"

namespace vek::test {
namespace {

// Every wait is cut into ticks of this length so that Stop is seen quickly.
constexpr int kTickMs = 20;
constexpr size_t kMaxRequestBytes = 65536;

std::string Trim(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return std::string();
    size_t end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

int ListenOnLoopback(int* port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    int yes = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd, 16) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(fd);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return fd;
}

}  // namespace

struct HttpTestServer::Connection {
    int fd = -1;
    SSL* ssl = nullptr;
    short wanted = POLLIN;  // what the last move that could not go on waits for
};

namespace {

// A TLS move that could not go on now: true, with what it waits for, when it
// only has to wait; false when the connection has failed or ended.
bool TlsMustWait(HttpTestServer::Connection& c, int tls_error) {
    if (tls_error != SSL_ERROR_WANT_READ && tls_error != SSL_ERROR_WANT_WRITE) return false;
    c.wanted = tls_error == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT;
    return true;
}

// > 0: bytes moved; 0: try again once WaitReady says so; -1: the connection is over.
ssize_t ReceiveSome(HttpTestServer::Connection& c, char* buffer, size_t size) {
    if (c.ssl) {
        int got = SSL_read(c.ssl, buffer, static_cast<int>(size));
        if (got > 0) return got;
        return TlsMustWait(c, SSL_get_error(c.ssl, got)) ? 0 : -1;
    }
    ssize_t got = recv(c.fd, buffer, size, MSG_DONTWAIT);
    if (got > 0) return got;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        c.wanted = POLLIN;
        return 0;
    }
    return -1;
}

ssize_t SendSome(HttpTestServer::Connection& c, const char* data, size_t size) {
    if (c.ssl) {
        int sent = SSL_write(c.ssl, data, static_cast<int>(size));
        if (sent > 0) return sent;
        return TlsMustWait(c, SSL_get_error(c.ssl, sent)) ? 0 : -1;
    }
    ssize_t sent = send(c.fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent >= 0) return sent;
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
        c.wanted = POLLOUT;
        return 0;
    }
    return -1;  // the client has gone
}

}  // namespace

bool MakeTestCertificate(const std::string& dir, TestCertificate* out) {
    out->cert_path = dir + "/cert.pem";
    out->key_path = dir + "/key.pem";
    ProgramRun run = RunProgram({"/usr/bin/openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                                 "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2", "-subj",
                                 "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                                 "-keyout", out->key_path, "-out", out->cert_path});
    return run.status == 0 && FileExists(out->cert_path) && FileExists(out->key_path);
}

std::string IcyBody(const std::string& audio, size_t interval,
                    const std::vector<std::string>& texts) {
    std::string body;
    for (size_t at = 0, block = 0; at < audio.size(); at += interval, ++block) {
        body += audio.substr(at, interval);
        if (at + interval > audio.size()) break;
        std::string text = block < texts.size() ? texts[block] : std::string();
        size_t units = (text.size() + 15) / 16;
        body += static_cast<char>(units);
        body += text;
        body.append(units * 16 - text.size(), '\0');
    }
    return body;
}

HttpReply HttpReply::Bytes(std::string body) {
    HttpReply reply;
    reply.body = std::move(body);
    return reply;
}

HttpReply HttpReply::Status(int status, std::string reason) {
    HttpReply reply;
    reply.status = status;
    reply.reason = std::move(reason);
    reply.body = "<html><body>" + std::to_string(status) + "</body></html>\n";
    return reply;
}

HttpReply HttpReply::Redirect(std::string location, int status) {
    HttpReply reply;
    reply.status = status;
    reply.reason = status == 301 ? "Moved Permanently" : "Found";
    reply.headers.push_back("Location: " + location);
    return reply;
}

HttpReply HttpReply::Radio(std::string body, uint32_t interval) {
    HttpReply reply = Bytes(std::move(body));
    reply.status_line = "ICY 200 OK";
    reply.send_length = false;
    reply.headers = {"icy-name: Test Radio", "icy-br: 128"};
    if (interval) reply.headers.push_back("icy-metaint: " + std::to_string(interval));
    return reply;
}

HttpReply HttpReply::ClosedAtOnce() {
    HttpReply reply;
    reply.close_at_once = true;
    return reply;
}

std::string HttpRequest::Header(const std::string& name) const {
    for (const auto& [key, value] : headers) {
        if (strcasecmp(key.c_str(), name.c_str()) == 0) return value;
    }
    return std::string();
}

size_t HttpRequest::HeaderCount(const std::string& name) const {
    return std::count_if(headers.begin(), headers.end(), [&](const auto& header) {
        return strcasecmp(header.first.c_str(), name.c_str()) == 0;
    });
}

HttpTestServer::HttpTestServer() : HttpTestServer(TestCertificate{}) {}

HttpTestServer::HttpTestServer(const TestCertificate& tls) {
    if (!tls.cert_path.empty()) {
        // A client gone in the middle of a TLS write must not end the tests.
        signal(SIGPIPE, SIG_IGN);
        SSL_CTX* context = SSL_CTX_new(TLS_server_method());
        if (!context || SSL_CTX_use_certificate_chain_file(context, tls.cert_path.c_str()) != 1 ||
            SSL_CTX_use_PrivateKey_file(context, tls.key_path.c_str(), SSL_FILETYPE_PEM) != 1) {
            SSL_CTX_free(context);
            return;
        }
        SSL_CTX_set_mode(context,
                         SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
        tls_ = context;
    }
    listen_fd_ = ListenOnLoopback(&port_);
    if (listen_fd_ >= 0) acceptor_ = std::thread([this] { AcceptLoop(); });
}

HttpTestServer::~HttpTestServer() {
    Stop();
    SSL_CTX_free(static_cast<SSL_CTX*>(tls_));
}

std::string HttpTestServer::Url(const std::string& target) const {
    return (tls_ ? "https" : "http") + std::string("://127.0.0.1:") + std::to_string(port_) +
           target;
}

void HttpTestServer::Serve(const std::string& target, HttpReply reply) {
    ServeInTurn(target, {std::move(reply)});
}

void HttpTestServer::ServeInTurn(const std::string& target, std::vector<HttpReply> replies) {
    std::lock_guard<std::mutex> lock(mutex_);
    replies_[target] = std::move(replies);
    served_[target] = 0;
}

bool HttpTestServer::NextReply(const std::string& target, HttpReply* reply) {
    auto found = replies_.find(target);
    if (found == replies_.end() || found->second.empty()) return false;
    size_t turn = std::min(served_[target]++, found->second.size() - 1);
    *reply = found->second[turn];
    return true;
}

std::vector<HttpRequest> HttpTestServer::Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

bool HttpTestServer::WaitForConnectionsToEnd(int timeout_ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                             [this] { return open_connections_.load() == 0; });
}

void HttpTestServer::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_.store(true);
    }
    changed_.notify_all();
    if (acceptor_.joinable()) acceptor_.join();
    std::vector<std::thread> handlers;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        handlers.swap(handlers_);
    }
    for (std::thread& handler : handlers) handler.join();
    if (listen_fd_ >= 0) close(listen_fd_);
    listen_fd_ = -1;
}

void HttpTestServer::AcceptLoop() {
    while (!stopping_.load()) {
        pollfd waiting{listen_fd_, POLLIN, 0};
        if (poll(&waiting, 1, kTickMs) <= 0) continue;
        int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) continue;
        open_connections_.fetch_add(1);
        std::lock_guard<std::mutex> lock(mutex_);
        handlers_.emplace_back([this, fd] { HandleConnection(fd); });
    }
}

bool HttpTestServer::Pause(int ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    return !changed_.wait_for(lock, std::chrono::milliseconds(ms),
                              [this] { return stopping_.load(); });
}

bool HttpTestServer::WaitReady(Connection& c) {
    if (stopping_.load()) return false;
    if (c.ssl && SSL_pending(c.ssl) > 0) return true;
    pollfd waiting{c.fd, c.wanted, 0};
    poll(&waiting, 1, kTickMs);
    return !stopping_.load();
}

bool HttpTestServer::StartTls(Connection& c) {
    c.ssl = SSL_new(static_cast<SSL_CTX*>(tls_));
    if (!c.ssl || SSL_set_fd(c.ssl, c.fd) != 1) return false;
    for (;;) {
        int done = SSL_accept(c.ssl);
        if (done == 1) return true;
        if (!TlsMustWait(c, SSL_get_error(c.ssl, done)) || !WaitReady(c)) return false;
    }
}

bool HttpTestServer::ReadRequest(Connection& c, HttpRequest* request) {
    std::string text;
    while (text.find("\r\n\r\n") == std::string::npos) {
        if (text.size() > kMaxRequestBytes) return false;
        char buffer[4096];
        ssize_t got = ReceiveSome(c, buffer, sizeof buffer);
        if (got < 0) return false;
        if (got == 0) {
            if (!WaitReady(c)) return false;
            continue;
        }
        text.append(buffer, static_cast<size_t>(got));
    }
    request->arrived = std::chrono::steady_clock::now();
    text.resize(text.find("\r\n\r\n"));
    size_t line_end = text.find("\r\n");
    std::string first = text.substr(0, line_end);
    size_t space1 = first.find(' ');
    size_t space2 = first.rfind(' ');
    if (space1 == std::string::npos || space2 == space1) return false;
    request->method = first.substr(0, space1);
    request->target = first.substr(space1 + 1, space2 - space1 - 1);
    request->version = first.substr(space2 + 1);
    while (line_end != std::string::npos) {
        size_t begin = line_end + 2;
        line_end = text.find("\r\n", begin);
        std::string line = text.substr(
            begin, line_end == std::string::npos ? std::string::npos : line_end - begin);
        size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        request->headers.emplace_back(line.substr(0, colon), Trim(line.substr(colon + 1)));
    }
    return true;
}

bool HttpTestServer::SendAll(Connection& c, const char* data, size_t size) {
    while (size > 0) {
        if (stopping_.load()) return false;
        ssize_t sent = SendSome(c, data, size);
        if (sent < 0) return false;
        if (sent == 0) {
            if (!WaitReady(c)) return false;
            continue;
        }
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

void HttpTestServer::StayUntilClientLeaves(Connection& c) {
    while (!stopping_.load()) {
        char buffer[512];
        ssize_t got = ReceiveSome(c, buffer, sizeof buffer);
        if (got < 0) return;
        if (got == 0 && !WaitReady(c)) return;
    }
}

void HttpTestServer::Reply(Connection& c, const HttpReply& reply) {
    if (reply.close_at_once) return;
    if (reply.silent_before_headers) {
        StayUntilClientLeaves(c);
        return;
    }
    std::string head = reply.status_line.empty()
                           ? "HTTP/1.1 " + std::to_string(reply.status) + " " + reply.reason
                           : reply.status_line;
    head += "\r\nConnection: close\r\n";
    if (reply.send_length) {
        head += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
    } else if (reply.chunked) {
        head += "Transfer-Encoding: chunked\r\n";
    }
    for (const std::string& line : reply.headers) head += line + "\r\n";
    head += "\r\n";
    bool open = SendAll(c, head.data(), head.size());

    size_t limit = std::min(reply.send_limit, reply.body.size());
    size_t piece = reply.piece_bytes ? reply.piece_bytes : reply.body.size();
    for (size_t done = 0; open && done < limit;) {
        if (reply.piece_delay_ms > 0) open = Pause(reply.piece_delay_ms);
        if (open && done == reply.pause_at) open = Pause(reply.pause_ms);
        size_t size = std::min(piece, limit - done);
        if (done < reply.pause_at) size = std::min(size, reply.pause_at - done);
        char chunk[32];
        int chunk_size = std::snprintf(chunk, sizeof chunk, "%zx\r\n", size);
        if (reply.chunked) open = open && SendAll(c, chunk, static_cast<size_t>(chunk_size));
        open = open && SendAll(c, reply.body.data() + done, size);
        if (reply.chunked) open = open && SendAll(c, "\r\n", 2);
        if (open) body_bytes_sent_.fetch_add(size);
        done += size;
    }
    if (open && reply.chunked) open = SendAll(c, "0\r\n\r\n", 5);
    if (open && reply.silent_at_limit) StayUntilClientLeaves(c);
    if (open && c.ssl) SSL_shutdown(c.ssl);  // the end of the data, said the TLS way
}

void HttpTestServer::HandleConnection(int fd) {
    Connection c;
    c.fd = fd;
    HttpRequest request;
    if ((!tls_ || StartTls(c)) && ReadRequest(c, &request)) {
        HttpReply reply;
        bool known = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(request);
            known = NextReply(request.target, &reply);
        }
        if (!known) reply = HttpReply::Status(404, "Not Found");
        Reply(c, reply);
    }
    SSL_free(c.ssl);
    close(fd);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        open_connections_.fetch_sub(1);
    }
    changed_.notify_all();
}

int UnusedLocalPort() {
    int port = 0;
    int fd = ListenOnLoopback(&port);
    if (fd < 0) return 0;
    close(fd);
    return port;
}

}  // namespace vek::test
