#pragma once
// Test helpers for the session managers: a loopback HTTP(S) server on an ephemeral port,
// temporary folders and waiting on the main run loop.

#include "../../platform/net/tests/LoopbackServer.h"
// A system resolver header defines DELETE, which would rename the manager's verb.
#ifdef DELETE
#undef DELETE
#endif

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <platform_dispatch/RunLoopSpin.h>

namespace nktest {

// The shared loopback server, with URLs relative to its root ("a.json" -> ".../a.json").
class Server : public LoopbackServer {
public:
    using LoopbackServer::LoopbackServer;

    std::string base() const { return LoopbackServer::url("/"); }
    std::string url(const std::string& path) const { return base() + path; }
};

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "nksession-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Spins the main run loop until the condition holds; false after `seconds`.
inline bool waitFor(const std::function<bool()>& condition, double seconds = 10) {
    return spinMainRunLoopUntil(condition, seconds);
}


}  // namespace nktest
