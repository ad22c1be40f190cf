#include "tests/net/http_test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

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

HttpTestServer::HttpTestServer() {
    listen_fd_ = ListenOnLoopback(&port_);
    if (listen_fd_ >= 0) acceptor_ = std::thread([this] { AcceptLoop(); });
}

HttpTestServer::~HttpTestServer() {
    Stop();
}

std::string HttpTestServer::Url(const std::string& target) const {
    return "http://127.0.0.1:" + std::to_string(port_) + target;
}

void HttpTestServer::Serve(const std::string& target, HttpReply reply) {
    std::lock_guard<std::mutex> lock(mutex_);
    replies_[target] = std::move(reply);
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
        int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
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

bool HttpTestServer::ReadRequest(int fd, HttpRequest* request) {
    std::string text;
    while (text.find("\r\n\r\n") == std::string::npos) {
        if (stopping_.load() || text.size() > kMaxRequestBytes) return false;
        pollfd waiting{fd, POLLIN, 0};
        if (poll(&waiting, 1, kTickMs) <= 0) continue;
        char buffer[4096];
        ssize_t got = recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) return false;
        text.append(buffer, static_cast<size_t>(got));
    }
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

bool HttpTestServer::SendAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        if (stopping_.load()) return false;
        pollfd waiting{fd, POLLOUT, 0};
        if (poll(&waiting, 1, kTickMs) <= 0) continue;
        ssize_t sent = send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
            return false;  // the client has gone
        }
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

void HttpTestServer::StayUntilClientLeaves(int fd) {
    while (!stopping_.load()) {
        pollfd waiting{fd, POLLIN, 0};
        if (poll(&waiting, 1, kTickMs) <= 0) continue;
        char buffer[512];
        if (recv(fd, buffer, sizeof buffer, 0) <= 0) return;
    }
}

void HttpTestServer::HandleConnection(int fd) {
    HttpRequest request;
    if (ReadRequest(fd, &request)) {
        HttpReply reply;
        bool known = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(request);
            auto found = replies_.find(request.target);
            if (found != replies_.end()) {
                reply = found->second;
                known = true;
            }
        }
        if (!known) reply = HttpReply::Status(404, "Not Found");

        if (reply.silent_before_headers) {
            StayUntilClientLeaves(fd);
        } else {
            std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + reply.reason +
                               "\r\nConnection: close\r\n";
            if (reply.send_length) {
                head += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
            }
            for (const std::string& line : reply.headers) head += line + "\r\n";
            head += "\r\n";
            bool open = SendAll(fd, head.data(), head.size());

            size_t limit = std::min(reply.send_limit, reply.body.size());
            size_t piece = reply.piece_bytes ? reply.piece_bytes : reply.body.size();
            for (size_t done = 0; open && done < limit;) {
                if (reply.piece_delay_ms > 0) open = Pause(reply.piece_delay_ms);
                if (open && done == reply.pause_at) open = Pause(reply.pause_ms);
                size_t size = std::min(piece, limit - done);
                if (done < reply.pause_at) size = std::min(size, reply.pause_at - done);
                open = open && SendAll(fd, reply.body.data() + done, size);
                if (open) body_bytes_sent_.fetch_add(size);
                done += size;
            }
            if (open && reply.silent_at_limit) StayUntilClientLeaves(fd);
        }
    }
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
