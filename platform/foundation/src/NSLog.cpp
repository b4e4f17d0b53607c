#include <platform_foundation/NSLog.h>
#include <platform_foundation/NSProcessInfo.h>

#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <mutex>

namespace {

std::mutex gLogLock;
std::function<void(const std::string&)>& sink() {
    static std::function<void(const std::string&)> s;
    return s;
}

}  // namespace

void NSLogSetSinkForTesting(std::function<void(const std::string&)> newSink) {
    std::lock_guard lock(gLogLock);
    sink() = std::move(newSink);
}

void NSLogv(std::string_view message) {
    std::string text(message);
    {
        std::lock_guard lock(gLogLock);
        if (sink()) {
            sink()(text);
            return;
        }
    }
    struct timeval now {};
    gettimeofday(&now, nullptr);
    struct tm local {};
    localtime_r(&now.tv_sec, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    if (text.empty() || text.back() != '\n') text += '\n';
    auto info = NSProcessInfo::processInfo();
    std::string line = std::string(stamp) + "." + std::to_string(now.tv_usec / 1000 + 1000).substr(1) + " " +
                       info->processName() + "[" + std::to_string(info->processIdentifier()) + ":" +
                       std::to_string(static_cast<long>(syscall(SYS_gettid))) + "] " + text;
    // One write per line so concurrent messages never interleave.
    std::lock_guard lock(gLogLock);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}
