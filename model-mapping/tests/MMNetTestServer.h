#pragma once
// Test helpers for the HTTP-backed model mapping: a loopback server on an ephemeral port that
// records the requests it gets, and a waiter on the main run loop.

#include <httplib.h>
#ifdef DELETE
#undef DELETE
#endif

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <platform_dispatch/RunLoopSpin.h>

namespace mmnettest {

struct Seen {
    std::string method;
    std::string target;  // path and query as sent
    std::string body;
    std::multimap<std::string, std::string, httplib::detail::ci> headers;
    bool hasHeader(const std::string& name) const { return headers.count(name) > 0; }
    std::string header(const std::string& name) const {
        auto it = headers.find(name);
        return it == headers.end() ? "" : it->second;
    }
};

// Every path answers with the status, body and type set by respond(); requests are recorded.
class Server {
public:
    Server() {
        auto handler = [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(mutex_);
            Seen seen{req.method, req.target, req.body, {}};
            for (const auto& [k, v] : req.headers) seen.headers.emplace(k, v);
            seen_.push_back(std::move(seen));
            res.status = status_;
            if (!body_.empty()) res.set_content(body_, "application/json");
        };
        server_.Get(".*", handler);
        server_.Post(".*", handler);
        server_.Put(".*", handler);
        server_.Delete(".*", handler);
        // One request per connection, so stopping never waits on an idle keep-alive client.
        server_.set_keep_alive_max_count(1);
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!server_.is_running() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    }
    ~Server() {
        server_.stop();
        if (thread_.joinable()) thread_.join();
    }

    void respond(int status, std::string body) {
        std::lock_guard lock(mutex_);
        status_ = status;
        body_ = std::move(body);
    }
    std::string url(const std::string& path = "") const {
        return "http://127.0.0.1:" + std::to_string(port_) + "/" + path;
    }
    std::vector<Seen> seen() {
        std::lock_guard lock(mutex_);
        return seen_;
    }
    Seen last() {
        std::lock_guard lock(mutex_);
        return seen_.empty() ? Seen{} : seen_.back();
    }

private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
    std::mutex mutex_;
    int status_ = 200;
    std::string body_ = "{}";
    std::vector<Seen> seen_;
};

inline bool waitFor(const std::function<bool()>& condition) { return spinMainRunLoopUntil(condition, 10.0); }

}  // namespace mmnettest
