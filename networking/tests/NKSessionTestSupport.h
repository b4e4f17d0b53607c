#pragma once
// Test helpers for the session managers: a loopback HTTP(S) server on an ephemeral port,
// temporary folders and waiting on the main run loop.

#ifndef CPPHTTPLIB_OPENSSL_SUPPORT
#define CPPHTTPLIB_OPENSSL_SUPPORT
#endif
#include <httplib.h>
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

// Serves from start() until destruction. Handlers that must hang wait at the gate, which
// opens when the server stops.
class Server {
public:
    Server() : server_(std::make_unique<httplib::Server>()) {}
    Server(const std::string& certificatePath, const std::string& keyPath)
        : server_(std::make_unique<httplib::SSLServer>(certificatePath.c_str(), keyPath.c_str())), tls_(true) {}
    ~Server() { stop(); }

    httplib::Server& routes() { return *server_; }

    void start() {
        port_ = server_->bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_->listen_after_bind(); });
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!server_->is_running() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
    }

    void stop() {
        {
            std::lock_guard lock(gateMutex_);
            gateOpen_ = true;
        }
        gateCv_.notify_all();
        if (thread_.joinable()) {
            server_->stop();
            thread_.join();
        }
    }

    void waitAtGate(double seconds) {
        std::unique_lock lock(gateMutex_);
        gateCv_.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return gateOpen_; });
    }

    std::string base() const {
        return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + "/";
    }
    std::string url(const std::string& path) const { return base() + path; }
    int port() const { return port_; }

private:
    std::unique_ptr<httplib::Server> server_;
    bool tls_ = false;
    int port_ = 0;
    std::thread thread_;
    std::mutex gateMutex_;
    std::condition_variable gateCv_;
    bool gateOpen_ = false;
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
