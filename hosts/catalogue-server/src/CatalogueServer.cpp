#include <catalogue_server/CatalogueServer.h>

#include <catalogue_server/CatalogueIndex.h>

#include "CatalogueCertificates.h"

#include <platform_foundation/NSBundle.h>

#ifndef CPPHTTPLIB_OPENSSL_SUPPORT
#define CPPHTTPLIB_OPENSSL_SUPPORT
#endif
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr const char* kJSONType = "application/json; charset=utf-8";
constexpr const char* kAllowed = "GET, HEAD";

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// Writes <dir>/ca.pem through a temporary file, so a reader sees the old file or the whole new one.
bool writeCA(const std::string& dir, const std::string& pem, std::string* path, std::string* error) {
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec || !fs::is_directory(dir)) {
        *error = "cannot create the run folder " + dir + (ec ? ": " + ec.message() : std::string());
        return false;
    }
    ::chmod(dir.c_str(), 0700);
    std::string final = dir + "/ca.pem", temp = final + ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << pem;
        out.flush();
        if (!out) {
            *error = "cannot write " + temp;
            fs::remove(temp, ec);
            return false;
        }
    }
    fs::rename(temp, final, ec);
    if (ec) {
        *error = "cannot write " + final + ": " + ec.message();
        fs::remove(temp, ec);
        return false;
    }
    *path = final;
    return true;
}

}  // namespace

struct CatalogueServer::State {
    std::unique_ptr<CatalogueIndex> index;
    std::unique_ptr<CatalogueCertificates> certificates;
    std::unique_ptr<httplib::SSLServer> server;
    std::thread thread;
    std::atomic<bool> listenEnded{false};
    int port = 0;
    std::string caPath;
};

std::string CatalogueServer::defaultRoot() {
    std::string bundled = NSBundle::mainBundle()->resourcePath() + "/catalogue";
    std::error_code ec;
    if (fs::is_directory(bundled, ec)) return bundled;
    return CATALOGUE_DEFAULT_ROOT;
}

std::unique_ptr<CatalogueServer> CatalogueServer::start(const Options& options, std::string* error) {
    std::string scratch;
    std::string& message = error ? *error : scratch;
    auto state = std::make_unique<State>();
    // The TLS identity (two key pairs and two signatures) is made while the catalogue loads: each
    // is a good part of a start.
    std::string certificateError;
    {
        std::jthread certificateMaker(
            [&] { state->certificates = CatalogueCertificates::make(&certificateError); });
        state->index = CatalogueIndex::load(options.root, &message);
    }  // joined here, also when the load throws
    if (!state->index) return nullptr;
    if (!state->certificates) {
        message = certificateError;
        return nullptr;
    }
    if (!options.runDirectory.empty() &&
        !writeCA(options.runDirectory, state->certificates->caPEM, &state->caPath, &message))
        return nullptr;

    state->server = std::make_unique<httplib::SSLServer>(state->certificates->leaf.get(),
                                                         state->certificates->leafKey.get());
    auto& server = *state->server;
    if (!server.is_valid()) {
        message = "cannot set up TLS for the catalogue server";
        return nullptr;
    }
    int threads = options.threads > 0 ? options.threads : 1;
    server.new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<std::size_t>(threads)); };
    server.set_tcp_nodelay(true);
    server.set_keep_alive_max_count(1000);
    // An idle client connection holds the server's stop for this long; the wait also applies
    // before a connection's first request, so it stays well above a loaded machine's delays.
    server.set_keep_alive_timeout(1);

    const CatalogueIndex* index = state->index.get();
    server.Get(".*", [index](const httplib::Request& request, httplib::Response& response) {
        if (const std::string* document = index->documentForTarget(request.target)) {
            response.status = 200;
            response.set_content(*document, kJSONType);
            return;
        }
        response.status = 404;
        response.set_content("{\"error\":\"not found\",\"path\":" + jsonString(request.path) + "}\n", kJSONType);
    });
    auto notAllowed = [](const httplib::Request& request, httplib::Response& response) {
        response.status = 405;
        response.set_header("Allow", kAllowed);
        response.set_content("{\"error\":\"method not allowed\",\"method\":" + jsonString(request.method) + "}\n",
                             kJSONType);
    };
    server.Post(".*", notAllowed);
    server.Put(".*", notAllowed);
    server.Patch(".*", notAllowed);
    server.Delete(".*", notAllowed);
    server.Options(".*", notAllowed);
    // Methods the HTTP library does not route (unknown ones, a POST without a
    // length) reach here as its bare 400: they are not allowed either.
    server.set_error_handler([notAllowed](const httplib::Request& request, httplib::Response& response) {
        if (response.status == 400 && !request.method.empty() && request.method != "GET" && request.method != "HEAD")
            notAllowed(request, response);
    });

    if (options.port < 0 || options.port > 65535) {
        message = "port out of range: " + std::to_string(options.port);
        return nullptr;
    }
    if (options.port == 0) {
        state->port = server.bind_to_any_port("127.0.0.1");
        if (state->port <= 0) {
            message = "cannot listen on 127.0.0.1";
            return nullptr;
        }
    } else {
        if (!server.bind_to_port("127.0.0.1", options.port)) {
            message = "cannot listen on 127.0.0.1:" + std::to_string(options.port) + " (the port is taken or not allowed)";
            return nullptr;
        }
        state->port = options.port;
    }
    State* raw = state.get();
    state->thread = std::thread([raw] {
        raw->server->listen_after_bind();
        raw->listenEnded = true;
    });
    return std::unique_ptr<CatalogueServer>(new CatalogueServer(std::move(state)));
}

namespace {

// The server's workers wait on an idle kept-alive connection until its time-out, and
// stopping joins them: the connections this server accepted (connected sockets of this
// process on the server's port) are shut down, so each wait ends at once and the worker
// closes its socket. Only shut down, never closed here: the descriptors stay the workers'.
void shutDownAcceptedConnections(int port) {
    DIR* fds = opendir("/proc/self/fd");
    if (!fds) return;
    while (const dirent* entry = readdir(fds)) {
        char* end = nullptr;
        long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd == dirfd(fds)) continue;
        sockaddr_storage local{}, peer{};
        socklen_t localSize = sizeof local, peerSize = sizeof peer;
        if (getsockname(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&local), &localSize) != 0) continue;
        if (local.ss_family != AF_INET || ntohs(reinterpret_cast<const sockaddr_in&>(local).sin_port) != port) continue;
        if (getpeername(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&peer), &peerSize) != 0) continue;
        ::shutdown(static_cast<int>(fd), SHUT_RDWR);
    }
    closedir(fds);
}

}  // namespace

CatalogueServer::CatalogueServer(std::unique_ptr<State> state) : state_(std::move(state)) {}

CatalogueServer::~CatalogueServer() { stop(); }

void CatalogueServer::stop() {
    if (!state_->thread.joinable()) return;
    // The listening socket is bound and queues connections from start() on;
    // stop() only reaches an accept loop that runs, which is a moment after.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!state_->server->is_running() && !state_->listenEnded && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    state_->server->stop();
    shutDownAcceptedConnections(state_->port);
    state_->thread.join();
}

int CatalogueServer::port() const { return state_->port; }
std::string CatalogueServer::url() const { return "https://127.0.0.1:" + std::to_string(state_->port); }
const std::string& CatalogueServer::caPEM() const { return state_->certificates->caPEM; }
const std::string& CatalogueServer::caPath() const { return state_->caPath; }
const CatalogueIndex& CatalogueServer::index() const { return *state_->index; }
