#include "platform/priority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace vek {
namespace {

// The process's niceness when the first level was set; levels are relative to it
// so that a player started with `nice` stays nice.
int BaseNiceness() {
    static const int base = [] {
        errno = 0;
        int value = getpriority(PRIO_PROCESS, 0);
        return errno == 0 ? value : 0;
    }();
    return base;
}

}  // namespace

int NicenessOfLevel(int level) {
    switch (level) {
        case 0: return 10;
        case 1: return 5;
        case 3: return -5;
        case 4: return -10;
        case 5: return -20;
        default: return 0;
    }
}

void SetPriorityLevel(int level) {
    int nice_value = BaseNiceness() + NicenessOfLevel(level);
    if (nice_value < -20) nice_value = -20;
    if (nice_value > 19) nice_value = 19;
    // On Linux the niceness of a thread is set through its kernel thread id.
    pid_t tid = static_cast<pid_t>(syscall(SYS_gettid));
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice_value);
}

}  // namespace vek
