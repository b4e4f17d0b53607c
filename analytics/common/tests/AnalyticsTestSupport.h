#pragma once
// A fresh sandbox and device root for each test program (set before anything reads them),
// a recording log manager registered by name, and a helper that drains the work queue.

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <unistd.h>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <analytics_common/ZVBuildPayload.h>
#include <analytics_common/ZVConfigureCache.h>
#include <analytics_common/ZVThriftCodec.h>
#include <analytics_common/ZVWorkDispatch.h>
#include <platform_dispatch/DispatchQueue.h>
#include <platform_foundation/Sandbox.h>
#include <platform_runtime/ObjCDeclare.h>

extern "C" char** environ;

namespace zvtest {

inline std::string makeTempDir() {
    char tmpl[] = "/tmp/zvtest-XXXXXX";
    const char* dir = ::mkdtemp(tmpl);
    return dir ? dir : "/tmp";
}

// Runs at static initialisation of the test program.
inline const std::string& root() {
    static const std::string dir = [] {
        // A child started as "the same app, launched again" inherits its parent's folder.
        const char* inherited = std::getenv("ZVTEST_ROOT");
        std::string d = inherited && *inherited ? std::string(inherited) : makeTempDir();
        ::setenv("ZVTEST_ROOT", d.c_str(), 1);
        ::setenv(NSSandbox::kRootEnvironmentVariable, (d + "/sandbox").c_str(), 1);
        ::setenv(NSSandbox::kDeviceRootEnvironmentVariable, (d + "/device").c_str(), 1);
        // Uploads of programs without sinks go to loopback ports that refuse them.
        ::setenv("ZAVEZ_COLLECTION_HOSTS", "ulog.zavez.localhost:1,ulog2.zavez.localhost:1", 0);
        return d;
    }();
    return dir;
}
inline const bool rootReady = (root(), true);

struct LogLine {
    int component, flag;
    std::string message;
};

// Runs this test program again with only the tests matching `filter`, as a new launch over
// the same sandbox and device root; true when they passed.
// The path of this test program (its name is the app's name: keep it in children).
inline std::string selfPath() {
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string("/proc/self/exe");
}

// Starts this test program again with only the (disabled) tests matching `filter`, its
// standard output into a pipe; answers the child and the reading end (-1 and nothing on
// failure).
inline std::pair<pid_t, FILE*> spawnSelfWithOutput(const std::string& filter) {
    int fds[2];
    if (::pipe(fds) != 0) return {-1, nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    const std::string exe = selfPath();
    std::string filterArg = "--gtest_filter=" + filter, disabled = "--gtest_also_run_disabled_tests";
    char* argv[] = {const_cast<char*>(exe.c_str()), filterArg.data(), disabled.data(), nullptr};
    pid_t child = -1;
    const int rc = posix_spawn(&child, exe.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        return {-1, nullptr};
    }
    return {child, ::fdopen(fds[0], "r")};
}

inline bool runAsNewLaunch(const std::string& filter) {
    const std::string cmd = selfPath() + " --gtest_filter='" + filter +
                            "' --gtest_also_run_disabled_tests > " + root() + "/child.log 2>&1";
    if (std::system(cmd.c_str()) != 0) return false;
    std::ifstream log(root() + "/child.log");
    const std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    return text.find("[  PASSED  ]") != std::string::npos && text.find("0 tests") == std::string::npos;
}

// The output of the last child launch.
inline std::string childLog() {
    std::ifstream log(root() + "/child.log");
    return std::string((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
}

// Stores an imprint of these key/value pairs with a valid checksum as the device's "zvImprint".
inline void storeImprint(const std::map<std::string, std::string>& values) {
    Value::Dictionary property;
    for (const auto& [k, v] : values) property[Value(k)] = Value(ZVTImprintValue::initWithValue(v, 1, "g"));
    auto imprint = ZVTImprint::initWithProperty(Value(std::move(property)), 1, "");
    imprint->setChecksum(ZVBuildPayload::generateImprintChecksum(*imprint));
    ZVConfigureCache::setObject(Value(ZVThriftCodec::encode(*imprint)), "zvImprint");
}

// Waits until every event sent so far ran on the work queue.
inline void drainWorkQueue() { dispatch_sync(ZVWorkDispatch::getWorkQueue(), [] {}); }

// After the last test the common work events do nothing, and the ones already queued have
// run: work that reachability or an upload sends late must not meet the program's statics
// while they are being destroyed.
class QuietWorkQueueAtExit : public ::testing::Environment {
public:
    void TearDown() override {
        ZVWorkDispatch::setCommonEventHandler([](ZVWorkDispatch&, const ZVDispatchEvent&, const auto&) {});
        drainWorkQueue();
    }
};
inline const bool quietExitRegistered = (::testing::AddGlobalTestEnvironment(new QuietWorkQueueAtExit), true);

}  // namespace zvtest

// The recording log manager: answers every level as valid and keeps each line.
class ZVCommonLogManager : public NSObject {
    NS_CLASS(ZVCommonLogManager, NSObject)
public:
    static std::mutex& mutex() {
        // Never destroyed: background work may still log while the program exits.
        static auto* m = new std::mutex;
        return *m;
    }
    static std::vector<zvtest::LogLine>& lines() {
        static auto* l = new std::vector<zvtest::LogLine>;
        return *l;
    }
    static std::vector<zvtest::LogLine> take() {
        std::lock_guard lock(mutex());
        auto out = lines();
        lines().clear();
        return out;
    }
    static std::size_t count(const std::string& message) {
        std::lock_guard lock(mutex());
        std::size_t n = 0;
        for (const auto& l : lines()) n += l.message == message;
        return n;
    }
};
