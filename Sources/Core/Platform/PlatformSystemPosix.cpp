#include "Core/Platform/PlatformSystem.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <sys/syscall.h>
#include <unistd.h>

namespace qel::platform {

int64_t performanceCounter() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

int64_t performanceFrequency() {
    return 1000000000;
}

double secondsFromTicks(int64_t ticks) {
    return double(ticks) / double(performanceFrequency());
}

int processorCount() {
    long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n > 0 ? int(n) : 1;
}

void sleepMilliseconds(int milliseconds) {
    timespec ts{milliseconds / 1000, long(milliseconds % 1000) * 1000000};
    while (nanosleep(&ts, &ts) == -1 && errno == EINTR) {
    }
}

uint64_t currentThreadId() {
    return uint64_t(syscall(SYS_gettid));
}

CString environmentVariable(const char* name) {
    const char* value = std::getenv(name);
    return value ? CString::fromUtf8(value) : CString();
}

int lastErrorCode() {
    return errno;
}

} // namespace qel::platform
