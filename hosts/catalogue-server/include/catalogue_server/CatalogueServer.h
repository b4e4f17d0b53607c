#pragma once
// The loopback catalogue server: answers GET and HEAD of the catalogue and
// jailbreak-list services' paths from a CatalogueIndex, over TLS only, on
// 127.0.0.1. Its CA is made at start; clients trust it by installing caPEM().
//
// 200 with "application/json; charset=utf-8" and the stored bytes; an
// unknown path → 404 with a small JSON body; other methods → 405 with
// "Allow: GET, HEAD". Keep-alive, a small thread pool.
//
// start() and stop() from one owning thread; the server serves on threads
// of its own until stop() or destruction. Accessors are safe from any thread.

#include <memory>
#include <string>

class CatalogueIndex;

class CatalogueServer {
public:
    struct Options {
        std::string root;          // the catalogue folder
        int port = 0;              // 0: an ephemeral port
        std::string runDirectory;  // when set: created (0700) and given <dir>/ca.pem
        int threads = 4;
    };

    // Loads the catalogue, makes the TLS identity, binds and serves. Nothing
    // (and `*error`, one line naming the file or the port) when any step fails.
    static std::unique_ptr<CatalogueServer> start(const Options& options, std::string* error);
    // The catalogue folder a program serves by default: the main bundle's
    // "catalogue" folder, else the one in the source tree.
    static std::string defaultRoot();

    ~CatalogueServer();
    CatalogueServer(const CatalogueServer&) = delete;
    CatalogueServer& operator=(const CatalogueServer&) = delete;

    // Stops accepting, ends the open connections and joins the threads. Idempotent.
    void stop();

    int port() const;
    // "https://127.0.0.1:PORT"
    std::string url() const;
    const std::string& caPEM() const;
    // <runDirectory>/ca.pem; empty without a run directory.
    const std::string& caPath() const;
    const CatalogueIndex& index() const;

    struct State;

private:
    explicit CatalogueServer(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};
