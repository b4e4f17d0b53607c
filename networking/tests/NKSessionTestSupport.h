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

#include <networking/NKURLSessionManagerCore.h>
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

// Routes that answer badly: "badjson" (a cut JSON document), "truncated" (closes 900 bytes
// short of its Content-Length) and "hang" (waits at the server's gate for up to 10 s).
inline void addBadAnswerRoutes(Server& server) {
    auto& r = server.routes();
    r.Get("/badjson", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("{\"a\":", "application/json");
    });
    r.Get("/truncated", [](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(1000, "application/json", [](size_t offset, size_t, httplib::DataSink& sink) {
            if (offset > 0) return false;  // closes the connection 900 bytes short
            std::string part(100, ' ');
            sink.write(part.data(), part.size());
            return true;
        });
    });
    r.Get("/hang", [&server](const httplib::Request&, httplib::Response& res) {
        server.waitAtGate(10);
        res.set_content("{}", "application/json");
    });
}

// Spins the main run loop until the condition holds; false after `seconds`.
inline bool waitFor(const std::function<bool()>& condition, double seconds = 10) {
    return spinMainRunLoopUntil(condition, seconds);
}

// Set before invalidating: true once the manager's invalidation event has run. A test waits
// for it before it ends, since an event still on its way when the process ends leaves the
// manager and its session holding each other.
inline std::shared_ptr<std::atomic<bool>> watchInvalidation(NKURLSessionManagerCore& manager) {
    auto invalid = std::make_shared<std::atomic<bool>>(false);
    manager.setSessionDidBecomeInvalidBlock([invalid](const NSURLSessionPtr&, const NSErrorPtr&) { *invalid = true; });
    return invalid;
}


}  // namespace nktest
