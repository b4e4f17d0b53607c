#include "CrashUploadSink.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <rapidjson/document.h>

#ifndef CPPHTTPLIB_OPENSSL_SUPPORT
#define CPPHTTPLIB_OPENSSL_SUPPORT
#endif
#include <httplib.h>

namespace crashsink {

namespace {

// Drops the connection a request came on, without an answer: the socket whose local port is
// the sink's and whose peer port is the request's.
void dropConnection(int localPort, int remotePort) {
    for (int fd = 3; fd < 4096; ++fd) {
        sockaddr_in local{}, peer{};
        socklen_t length = sizeof local;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0 || local.sin_family != AF_INET)
            continue;
        length = sizeof peer;
        if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0) continue;
        if (ntohs(local.sin_port) == localPort && ntohs(peer.sin_port) == remotePort) {
            ::shutdown(fd, SHUT_RDWR);
            return;
        }
    }
}

bool caseEqual(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace

std::optional<std::string> Request::header(const std::string& name) const {
    for (const auto& [key, value] : headers)
        if (caseEqual(key, name)) return value;
    return std::nullopt;
}

CrashUploadSink::CrashUploadSink() : server_(std::make_unique<httplib::Server>()) {
    // The server would parse a multipart body into parts and keep no raw bytes: before the
    // body is read, its content type is set aside so that the body arrives whole.
    server_->set_pre_routing_handler([](const httplib::Request& req, httplib::Response&) {
        auto& headers = const_cast<httplib::Request&>(req).headers;
        auto type = headers.find("Content-Type");
        if (type != headers.end()) {
            std::string original = type->second;
            headers.erase(type);
            headers.emplace("Content-Type", "application/octet-stream");
            headers.emplace("X-Sink-Original-Content-Type", original);
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server_->Post("/upload", [this](const httplib::Request& req, httplib::Response& res) {
        Outcome outcome;
        {
            std::lock_guard lock(mutex_);
            Request recorded;
            recorded.method = req.method;
            recorded.path = req.path;
            for (const auto& [key, value] : req.headers) {
                if (key == "Content-Type") continue;
                recorded.headers.emplace(key == "X-Sink-Original-Content-Type" ? "Content-Type" : key, value);
            }
            recorded.body = req.body;
            requests_.push_back(std::move(recorded));
            if (!queued_.empty()) {
                outcome = queued_.front();
                queued_.pop_front();
            } else {
                outcome = default_;
            }
        }
        if (outcome.close) {
            dropConnection(port_, req.remote_port);
        } else {
            res.status = outcome.status;
            if (outcome.status != 204) res.set_content("{\"code\":0}", "application/json");
        }
        arrived_.notify_all();
    });
    server_->set_tcp_nodelay(true);
    port_ = server_->bind_to_any_port("127.0.0.2");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    // stop() only reaches a server whose accept loop runs.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!server_->is_running() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
}

CrashUploadSink::~CrashUploadSink() {
    server_->stop();
    if (thread_.joinable()) thread_.join();
}

std::string CrashUploadSink::baseURL() const { return "http://127.0.0.2:" + std::to_string(port_); }
int CrashUploadSink::port() const { return port_; }

void CrashUploadSink::queueOutcome(Outcome outcome) {
    std::lock_guard lock(mutex_);
    queued_.push_back(outcome);
}

void CrashUploadSink::setDefaultOutcome(Outcome outcome) {
    std::lock_guard lock(mutex_);
    default_ = outcome;
}

std::vector<Request> CrashUploadSink::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::size_t CrashUploadSink::requestCount() const {
    std::lock_guard lock(mutex_);
    return requests_.size();
}

bool CrashUploadSink::waitForRequests(std::size_t count, double seconds) const {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return requests_.size() >= count; });
}

std::optional<std::string> runCommand(const std::string& command) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return std::nullopt;
    std::string out;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    int status = ::pclose(pipe);
    if (status != 0) return std::nullopt;
    return out;
}

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

TempFile::TempFile(const std::string& bytes) {
    char name[] = "/tmp/crash-sink-XXXXXX";
    int fd = ::mkstemp(name);
    path_ = name;
    if (fd >= 0) {
        (void)!::write(fd, bytes.data(), bytes.size());
        ::close(fd);
    }
}

TempFile::~TempFile() { ::unlink(path_.c_str()); }

std::string serviceCipherKey(const std::string& prefix, const std::string& appName, const std::string& appVersion) {
    TempFile input(prefix + appName + appVersion);
    auto out = runCommand("openssl dgst -md5 -r " + input.path());
    if (!out || out->size() < 16) return {};
    return out->substr(0, 16);
}

DecodedUpload decodeUpload(const Request& request, const std::string& keyText) {
    DecodedUpload decoded;
    TempFile body(request.body);
    std::string contentType = request.header("Content-Type").value_or("");
    std::string command = std::string("/usr/bin/python3 ") + CRASH_SINK_DIR + "/decode_upload.py '" + contentType +
                          "' " + body.path() + " " + (keyText.empty() ? std::string("00") : hex(keyText)) + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string out;
    if (pipe) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        ::pclose(pipe);
    }
    rapidjson::Document json;
    json.Parse(out.c_str(), out.size());
    if (std::getenv("CRASH_SINK_KEEP")) {
        std::ofstream keep("/tmp/crash-sink-last-body.bin", std::ios::binary);
        keep << request.body;
        std::ofstream type("/tmp/crash-sink-last-type.txt");
        type << contentType;
    }
    if (json.HasParseError() || !json.IsObject()) {
        decoded.problems.push_back("decoder output: " + out);
        return decoded;
    }
    if (json.HasMember("error")) {
        decoded.problems.push_back(json["error"].GetString());
        return decoded;
    }
    decoded.partName = json["name"].GetString();
    decoded.filename = json["filename"].GetString();
    decoded.contentType = json["contentType"].GetString();
    decoded.text.assign(json["text"].GetString(), json["text"].GetStringLength());
    return decoded;
}

}  // namespace crashsink
