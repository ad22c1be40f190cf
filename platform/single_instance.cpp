#include "platform/single_instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/worker_thread.h"

namespace vek {
namespace {

// Names are path fields; anything far longer is not a name we would add.
constexpr uint32_t kMaxRecordBytes = 65536;
constexpr int kRecordTimeoutSeconds = 5;

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

bool ReadAll(int fd, void* data, size_t size) {
    char* p = static_cast<char*>(data);
    while (size > 0) {
        ssize_t n = recv(fd, p, size, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// A private directory of ours: not a link, owned by us, no access for others.
bool PrivateDirectory(const std::string& dir) {
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st;
    if (lstat(dir.c_str(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == getuid() && (st.st_mode & 077) == 0;
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

// Delivers the records of one later start, in order, each answered before the
// next is read.
void Serve(int connection, Window* window) {
    std::vector<char> data;
    for (;;) {
        uint32_t head[3];  // kind, size, bytes that follow
        if (!ReadAll(connection, head, sizeof head) || head[2] > kMaxRecordBytes) return;
        // A name's size must be the bytes that carry it; anything else is not
        // a record a player sends.
        bool names = head[0] == CDS_ADD || head[0] == CDS_REPLACE_PLAY;
        if (names ? head[1] != head[2] : head[2] != 0) return;
        data.resize(head[2]);
        if (head[2] > 0 && !ReadAll(connection, data.data(), head[2])) return;
        CopyData record{head[0], head[1], data.data()};
        if (head[2] == 0) record.data = nullptr;
        uint32_t result = static_cast<uint32_t>(
            SendWindowMessage(window, WM_COPYDATA, 0, reinterpret_cast<intptr_t>(&record)));
        if (!WriteAll(connection, &result, sizeof result)) return;
    }
}

int ListenerMain(void* raw) {
    auto* listener = static_cast<Listener*>(raw);
    int fd = listener->fd, wake = listener->wake[0];
    Window* window = listener->window;
    for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {wake, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return 0;
        }
        if (fds[1].revents) return 1;
        int connection = accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) continue;
        // A start sends its records back to back; one that stops half way
        // must not keep later starts waiting.
        timeval limit{kRecordTimeoutSeconds, 0};
        setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        setsockopt(connection, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        if (SameUser(connection)) Serve(connection, window);
        close(connection);
    }
}

}  // namespace

std::string HandOverSocketPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/') return std::string(runtime) + "/vek.sock";
    const char* tmp = std::getenv("TMPDIR");
    std::string dir =
        std::string(tmp && tmp[0] == '/' ? tmp : "/tmp") + "/vek-" + std::to_string(getuid());
    if (!PrivateDirectory(dir)) return {};
    return dir + "/vek.sock";
}

int ConnectToRunningPlayer() {
    sockaddr_un address;
    if (!FillAddress(HandOverSocketPath(), &address)) return -1;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
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
    return WriteAll(connection, head, sizeof head) &&
           (bytes == 0 || WriteAll(connection, data, bytes)) &&
           ReadAll(connection, &result, sizeof result);
}

void CloseHandOverConnection(int connection) {
    if (connection >= 0) close(connection);
}

bool StartHandOverListener(Window* main_window) {
    if (g_listener.fd >= 0) return true;
    std::string path = HandOverSocketPath();
    sockaddr_un address;
    if (!FillAddress(path, &address)) return false;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
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
    if (listen(fd, 8) != 0 || pipe2(g_listener.wake, O_CLOEXEC) != 0) {
        close(fd);
        unlink(path.c_str());
        return false;
    }
    g_listener.fd = fd;
    g_listener.window = main_window;
    g_listener.path = path;
    g_listener.thread = StartWorkerThread(ListenerMain, &g_listener, 0);
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
