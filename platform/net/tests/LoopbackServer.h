#pragma once
// Test helper: an HTTP (or HTTPS) server on 127.0.0.1 with an ephemeral port, serving on its
// own thread from the moment it is constructed until it is destroyed. Handlers that must
// hang (a server that never answers) wait on the server's gate, which opens on destruction.

#ifndef CPPHTTPLIB_OPENSSL_SUPPORT
#define CPPHTTPLIB_OPENSSL_SUPPORT
#endif
#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class LoopbackServer {
public:
    // Plain HTTP.
    LoopbackServer() : server_(std::make_unique<httplib::Server>()) {}
    // HTTPS with the PEM certificate (chain) and key files.
    LoopbackServer(const std::string& certificatePath, const std::string& keyPath)
        : server_(std::make_unique<httplib::SSLServer>(certificatePath.c_str(), keyPath.c_str())), tls_(true) {}

    ~LoopbackServer() { stop(); }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    // Routes are added before start().
    httplib::Server& routes() { return *server_; }

    // Binds (the port accepts connections from here on) and serves on a thread.
    void start() {
        // The server writes a response's head and body separately: without this the body
        // waits for the client's delayed acknowledgement (tens of milliseconds) on every
        // small response, which would hide the latency of the client under test.
        server_->set_tcp_nodelay(true);
        port_ = server_->bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_->listen_after_bind(); });
        // stop() only reaches a server whose accept loop runs.
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!server_->is_running() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    // Opens the gate, stops serving and joins the thread.
    void stop() {
        openGate();
        if (thread_.joinable()) {
            server_->stop();
            thread_.join();
        }
    }

    int port() const { return port_; }
    std::string url(const std::string& path = "/") const {
        return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + path;
    }

    // For handlers: waits until the gate opens or the time passes.
    void waitAtGate(double seconds) {
        std::unique_lock lock(gateMutex_);
        gateCv_.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return gateOpen_; });
    }
    void openGate() {
        std::lock_guard lock(gateMutex_);
        gateOpen_ = true;
        gateCv_.notify_all();
    }

private:
    std::unique_ptr<httplib::Server> server_;
    bool tls_ = false;
    int port_ = 0;
    std::thread thread_;
    std::mutex gateMutex_;
    std::condition_variable gateCv_;
    bool gateOpen_ = false;
};
