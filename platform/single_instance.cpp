#include "platform/single_instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/worker_thread.h"

namespace vek {
namespace {

using Clock = std::chrono::steady_clock;

// Names are path fields; anything far longer is not a name we would add.
constexpr uint32_t kMaxRecordBytes = 65536;
constexpr size_t kHeadBytes = 3 * sizeof(uint32_t);  // kind, size, bytes that follow
// Later starts connected at once; past this the one waiting longest for a
// whole record is given up.
constexpr size_t kMaxPeers = 32;
// A display name longer than this is replaced by a hash of it in the socket's name.
constexpr size_t kMaxDisplayKey = 40;

std::atomic<int> g_record_ms{kHandOverRecordMs};
std::atomic<int> g_answer_ms{kHandOverAnswerMs};

// A later start connected to the listener.
struct Peer {
    int fd = -1;
    std::vector<char> bytes;  // the record read so far
    Clock::time_point deadline;
    bool complete = false;   // a whole record waits to be delivered
    uint64_t completed = 0;  // when it became complete, in records seen
};

struct Listener {
    int fd = -1;
    int wake[2] = {-1, -1};  // closing the listener wakes its thread through this pipe
    Window* window = nullptr;
    WorkerThread thread;
    std::string path;
};
Listener g_listener;  // main thread only, apart from what the thread reads at its start

bool WriteAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = send(fd, p, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Reads size bytes, giving up at the deadline.
bool ReadAllBefore(int fd, void* data, size_t size, Clock::time_point deadline) {
    char* p = static_cast<char*>(data);
    while (size > 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        pollfd in{fd, POLLIN, 0};
        int ready = poll(&in, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        ssize_t n = recv(fd, p, size, MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// A folder only this user can enter. A link is refused where others could
// have planted it.
bool PrivateDirectory(const std::string& dir, bool follow_link) {
    struct stat st;
    if ((follow_link ? stat(dir.c_str(), &st) : lstat(dir.c_str(), &st)) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == getuid() && (st.st_mode & 077) == 0;
}

// "-" and the display's name, safe for a file name: ":0" and ":0.0" name one
// display, bytes other than letters, digits and ".:_-" are written %XX, and a
// very long name is replaced by its hash. Empty without a display.
std::string DisplayKey() {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) display = std::getenv("WAYLAND_DISPLAY");
    if (!display || !*display) return {};
    std::string value = display;
    size_t colon = value.rfind(':');
    size_t dot = colon == std::string::npos ? colon : value.find('.', colon);
    if (dot != std::string::npos && dot + 1 < value.size() &&
        value.find_first_not_of("0123456789", dot + 1) == std::string::npos)
        value.resize(dot);
    std::string key;
    for (unsigned char c : value) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            std::strchr(".:_-", c)) {
            key += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            key += escaped;
        }
    }
    if (key.size() > kMaxDisplayKey) {
        uint64_t hash = 14695981039346656037ull;  // FNV-1a
        for (unsigned char c : value) hash = (hash ^ c) * 1099511628211ull;
        char hex[24];
        std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
        key = hex;
    }
    return "-" + key;
}

bool FillAddress(const std::string& path, sockaddr_un* address) {
    std::memset(address, 0, sizeof *address);
    address->sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address->sun_path) return false;
    std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
    return true;
}

bool SameUser(int connection) {
    struct ucred cred;
    socklen_t length = sizeof cred;
    return getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &cred, &length) == 0 &&
           cred.uid == getuid();
}

Clock::time_point RecordDeadline() {
    return Clock::now() + std::chrono::milliseconds(g_record_ms.load());
}

// Reads what the peer has sent of its record. False when the peer hung up or
// sent something that is not a record a player sends.
bool ReadRecord(Peer* peer, uint64_t* records_seen) {
    for (;;) {
        size_t want = kHeadBytes;
        if (peer->bytes.size() >= kHeadBytes) {
            uint32_t head[3];
            std::memcpy(head, peer->bytes.data(), sizeof head);
            // A name's size must be the bytes that carry it; other records carry none.
            bool names = head[0] == CDS_ADD || head[0] == CDS_REPLACE_PLAY;
            if (head[2] > kMaxRecordBytes || (names ? head[1] != head[2] : head[2] != 0))
                return false;
            want = kHeadBytes + head[2];
            if (peer->bytes.size() == want) {
                peer->complete = true;
                peer->completed = ++*records_seen;
                return true;
            }
        }
        size_t have = peer->bytes.size();
        peer->bytes.resize(want);
        ssize_t n = recv(peer->fd, peer->bytes.data() + have, want - have, MSG_DONTWAIT);
        peer->bytes.resize(have + static_cast<size_t>(std::max<ssize_t>(n, 0)));
        if (n < 0) return errno == EAGAIN || errno == EINTR;
        if (n == 0) return false;
    }
}

// Hands a whole record to the main window and answers the peer. False when the
// answer cannot be given.
bool Deliver(Peer* peer, Window* window) {
    uint32_t head[3];
    std::memcpy(head, peer->bytes.data(), sizeof head);
    CopyData record{head[0], head[1], head[2] > 0 ? peer->bytes.data() + kHeadBytes : nullptr};
    uint32_t result = static_cast<uint32_t>(
        SendWindowMessage(window, WM_COPYDATA, 0, reinterpret_cast<intptr_t>(&record)));
    peer->bytes.clear();
    peer->complete = false;
    peer->deadline = RecordDeadline();
    return send(peer->fd, &result, sizeof result, MSG_NOSIGNAL | MSG_DONTWAIT) ==
           static_cast<ssize_t>(sizeof result);
}

// The listener's thread. Every connection is read as its bytes come, each
// record within its deadline; one start at a time owns the hand-over, from its
// first whole record until it hangs up or is given up, so that the records of
// two starts never mix. The others' records wait for their turn.
int ListenerMain(void* raw) {
    auto* listener = static_cast<Listener*>(raw);
    int fd = listener->fd, wake = listener->wake[0];
    Window* window = listener->window;
    std::vector<Peer> peers;
    int owner = -1;  // index into peers
    uint64_t records_seen = 0;

    auto drop = [&](size_t i) {
        close(peers[i].fd);
        if (owner == static_cast<int>(i)) {
            owner = -1;
            PostWindowMessage(window, UIM_HANDOVER_ENDED, 0, 0);
        } else if (owner > static_cast<int>(i)) {
            --owner;
        }
        peers.erase(peers.begin() + static_cast<long>(i));
    };

    for (;;) {
        std::vector<pollfd> fds = {{fd, POLLIN, 0}, {wake, POLLIN, 0}};
        auto now = Clock::now();
        int timeout = -1;
        for (const Peer& peer : peers) {
            // A whole record waits for its turn; its peer is not read meanwhile
            // (poll skips a negative descriptor).
            fds.push_back({peer.complete ? -1 : peer.fd, POLLIN, 0});
            if (peer.complete) continue;
            auto left = std::chrono::ceil<std::chrono::milliseconds>(peer.deadline - now).count();
            left = std::max<long long>(left, 0);
            if (timeout < 0 || left < timeout) timeout = static_cast<int>(left);
        }
        if (poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) return 0;
        if (fds[1].revents) break;

        // Read first, then give up the late: a peer whose bytes came while the
        // main window was busy is not its fault.
        for (size_t i = peers.size(); i-- > 0;) {
            if (!fds[i + 2].revents || peers[i].complete) continue;
            if (!ReadRecord(&peers[i], &records_seen)) drop(i);
        }
        now = Clock::now();
        for (size_t i = peers.size(); i-- > 0;) {
            if (!peers[i].complete && peers[i].deadline <= now) drop(i);
        }
        if (fds[0].revents) {
            int connection;
            while ((connection = accept4(fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK)) >=
                   0) {
                if (!SameUser(connection)) {
                    close(connection);
                    continue;
                }
                if (peers.size() >= kMaxPeers) {
                    // Room is made by giving up the one that has idled longest.
                    auto idle = std::min_element(peers.begin(), peers.end(),
                                                 [&](const Peer& a, const Peer& b) {
                                                     if (a.complete != b.complete)
                                                         return !a.complete;
                                                     return a.deadline < b.deadline;
                                                 });
                    if (idle->complete || idle - peers.begin() == owner) {
                        close(connection);
                        continue;
                    }
                    drop(static_cast<size_t>(idle - peers.begin()));
                }
                peers.push_back(Peer{connection, {}, RecordDeadline(), false, 0});
            }
        }

        // Deliver what is whole: the owner's next record, or the first whole
        // record of another start, which then owns the hand-over.
        for (;;) {
            if (owner < 0) {
                for (size_t i = 0; i < peers.size(); ++i) {
                    if (peers[i].complete &&
                        (owner < 0 || peers[i].completed < peers[owner].completed))
                        owner = static_cast<int>(i);
                }
                if (owner < 0) break;
            }
            Peer& peer = peers[owner];
            if (!peer.complete) {
                // Its next record may already be there.
                if (!ReadRecord(&peer, &records_seen)) {
                    drop(static_cast<size_t>(owner));
                    continue;
                }
                if (!peer.complete) break;
            }
            if (!Deliver(&peer, window)) drop(static_cast<size_t>(owner));
        }
    }
    for (const Peer& peer : peers) close(peer.fd);
    if (owner >= 0) PostWindowMessage(window, UIM_HANDOVER_ENDED, 0, 0);
    return 1;
}

}  // namespace

void SetHandOverDeadlines(int record_ms, int answer_ms) {
    g_record_ms = record_ms > 0 ? record_ms : kHandOverRecordMs;
    g_answer_ms = answer_ms > 0 ? answer_ms : kHandOverAnswerMs;
}

std::string HandOverSocketPath() {
    std::string file = "/vek" + DisplayKey() + ".sock";
    // Whoever can write the folder could listen there and be handed the user's
    // names: only a folder of the user's own, closed to others, will do.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/' && PrivateDirectory(runtime, true))
        return std::string(runtime) + file;
    const char* tmp = std::getenv("TMPDIR");
    std::string dir =
        std::string(tmp && tmp[0] == '/' ? tmp : "/tmp") + "/vek-" + std::to_string(getuid());
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return {};
    if (!PrivateDirectory(dir, false)) return {};
    return dir + file;
}

int ConnectToRunningPlayer() {
    sockaddr_un address;
    if (!FillAddress(HandOverSocketPath(), &address)) return -1;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    // A listener whose queue is full would hold the connect without a bound.
    int ms = g_answer_ms.load();
    timeval limit{ms / 1000, (ms % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || !SameUser(fd)) {
        close(fd);
        return -1;
    }
    return fd;
}

bool SendHandOverRecord(int connection, uint32_t kind, uint32_t size, const void* data) {
    uint32_t bytes = (kind == CDS_ADD || kind == CDS_REPLACE_PLAY) ? size : 0;
    if (bytes > kMaxRecordBytes) return false;
    uint32_t head[3] = {kind, size, bytes};
    uint32_t result = 0;
    auto deadline = Clock::now() + std::chrono::milliseconds(g_answer_ms.load());
    return WriteAll(connection, head, sizeof head) &&
           (bytes == 0 || WriteAll(connection, data, bytes)) &&
           ReadAllBefore(connection, &result, sizeof result, deadline);
}

void CloseHandOverConnection(int connection) {
    if (connection >= 0) close(connection);
}

bool StartHandOverListener(Window* main_window) {
    if (g_listener.fd >= 0) return true;
    std::string path = HandOverSocketPath();
    sockaddr_un address;
    if (!FillAddress(path, &address)) return false;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return false;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        // A socket nobody answers on was left by a player that ended abruptly.
        int other = errno == EADDRINUSE ? ConnectToRunningPlayer() : -2;
        if (other >= 0 || other == -2) {
            CloseHandOverConnection(other);
            close(fd);
            return false;
        }
        unlink(path.c_str());
        if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            close(fd);
            return false;
        }
    }
    // Only the owner may connect, whatever the directory allows; each
    // connection's peer is checked as well.
    chmod(path.c_str(), 0600);
    if (listen(fd, 16) != 0 || pipe2(g_listener.wake, O_CLOEXEC) != 0) {
        close(fd);
        unlink(path.c_str());
        return false;
    }
    g_listener.fd = fd;
    g_listener.window = main_window;
    g_listener.path = path;
    g_listener.thread = StartWorkerThread(ListenerMain, &g_listener, 0, "vek-handover");
    if (!g_listener.thread) {
        StopHandOverListener();
        return false;
    }
    return true;
}

void StopHandOverListener() {
    if (g_listener.fd < 0) return;
    if (g_listener.wake[1] >= 0) {
        char byte = 0;
        (void)write(g_listener.wake[1], &byte, 1);
    }
    // The thread may be in a send to the main window: the join answers it. A
    // thread given up keeps its descriptors; they go with the process.
    if (g_listener.thread && !JoinWorkerThread(&g_listener.thread, 3000, nullptr)) {
        unlink(g_listener.path.c_str());
        g_listener.fd = -1;
        g_listener.wake[0] = g_listener.wake[1] = -1;
        return;
    }
    close(g_listener.fd);
    for (int& end : g_listener.wake) {
        if (end >= 0) close(end);
        end = -1;
    }
    unlink(g_listener.path.c_str());
    g_listener.fd = -1;
}

}  // namespace vek
