// catalogue-server: serves the catalogue folder over TLS on 127.0.0.1 until
// SIGINT or SIGTERM. Prints one line, "https://127.0.0.1:PORT ca=PATH", once
// it accepts connections; PATH is the PEM of the CA clients must trust.

#include <catalogue_server/CatalogueServer.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace {

const char* kUsage =
    "usage: catalogue-server [--root DIR] [--port N] [--run-dir DIR] [--threads N]\n"
    "  --root DIR     the catalogue folder (default: the bundled offline catalogue)\n"
    "  --port N       listen on 127.0.0.1:N (default: an ephemeral port)\n"
    "  --run-dir DIR  where ca.pem is written (default: a fresh folder, removed at exit)\n"
    "  --threads N    worker threads (default 4)\n";

int usage(const std::string& reason) {
    std::fprintf(stderr, "catalogue-server: %s\n%s", reason.c_str(), kUsage);
    return 2;
}

bool parseNumber(const std::string& text, int low, int high, int* out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text.c_str(), &end, 10);
    if (errno || *end || v < low || v > high) return false;
    *out = static_cast<int>(v);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    CatalogueServer::Options options;
    options.root = CatalogueServer::defaultRoot();
    bool ownRunDirectory = true;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        bool takesValue = arg == "--root" || arg == "--port" || arg == "--run-dir" || arg == "--threads";
        if (!takesValue) return usage("unknown argument: " + arg);
        if (i + 1 >= argc) return usage(arg + " needs a value");
        std::string value = argv[++i];
        if (arg == "--root") {
            options.root = value;
        } else if (arg == "--port") {
            if (!parseNumber(value, 1, 65535, &options.port)) return usage("not a port: " + value);
        } else if (arg == "--threads") {
            if (!parseNumber(value, 1, 256, &options.threads)) return usage("not a thread count: " + value);
        } else {
            options.runDirectory = value;
            ownRunDirectory = false;
        }
    }
    if (ownRunDirectory) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/catalogue-server.XXXXXX";
        if (!::mkdtemp(pattern.data())) {
            std::fprintf(stderr, "catalogue-server: cannot make a run folder %s: %s\n", pattern.c_str(),
                         std::strerror(errno));
            return 1;
        }
        options.runDirectory = pattern;
    }
    auto removeRunDirectory = [&] {
        if (!ownRunDirectory) return;
        std::error_code ec;
        std::filesystem::remove_all(options.runDirectory, ec);
    };

    // The server's threads inherit the mask, so only sigwait below sees the signals.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::string error;
    auto server = CatalogueServer::start(options, &error);
    if (!server) {
        std::fprintf(stderr, "catalogue-server: %s\n", error.c_str());
        removeRunDirectory();
        return 1;
    }
    std::printf("%s ca=%s\n", server->url().c_str(), server->caPath().c_str());
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    server->stop();
    removeRunDirectory();
    return 0;
}
