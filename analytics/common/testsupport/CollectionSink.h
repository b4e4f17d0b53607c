#pragma once
// Test support: TLS collection sinks on loopback and a collection service's own reading of
// what they receive. A sink serves every path (/unify_logs, /zcfg, stateless targets) over
// HTTPS with a certificate for 127.0.0.1 and *.zavez.localhost issued by a test CA, records
// each request (path, headers, body) and answers a scripted status, content type and body.
// The readers below use the independently generated Thrift classes, OpenSSL (the `openssl
// enc` command for codex-1 entities), zlib and RapidJSON; none of them uses the analytics
// layer's code.
//
// Threads: a sink serves on its own threads from construction until destruction; every
// member may be called from any thread. trustTestCA() must run before the process's first
// TLS request (the platform loads the default trust anchors once).

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <rapidjson/document.h>

#include "analytics_wire_types.h"

namespace httplib {
class Server;
}

namespace zvsink {

// Points OpenSSL's default trust file at the test CA (idempotent); answers the CA's PEM path.
const std::string& trustTestCA();

struct Request {
    std::string method, path;
    std::multimap<std::string, std::string> headers;
    std::string body;
    // The first value of a header (case-insensitive name), "" when absent.
    std::string header(const std::string& name) const;
};

struct Answer {
    int status = 200;
    std::string contentType = "application/thrift";
    std::string body;
};

class CollectionSink {
public:
    // `hostName` is the name the sink is reached by (e.g. "ulog.zavez.localhost").
    explicit CollectionSink(std::string hostName);
    ~CollectionSink();
    CollectionSink(const CollectionSink&) = delete;
    CollectionSink& operator=(const CollectionSink&) = delete;

    int port() const { return port_; }
    // "name:port", as ZAVEZ_COLLECTION_HOSTS takes it.
    std::string hostPort() const { return hostName_ + ":" + std::to_string(port_); }

    // Answers used once each, in order; then the answer of the request's path, then the
    // default answer.
    void queueAnswer(Answer answer);
    void setAnswerForPath(const std::string& path, Answer answer);
    void setDefaultAnswer(Answer answer);
    // Down: the port keeps listening but closes every connection at once, unanswered (a
    // network error for the client; the port is never free for another program to take);
    // up again serves as before.
    void setDown(bool down);
    // Held: a request is recorded at once, but its answer waits until the sink is released
    // (by setHeld(false), clear() or the sink's end): an upload in flight for as long as the
    // test needs.
    void setHeld(bool held);

    std::vector<Request> requests() const;
    void clear();
    // Waits until at least `count` requests arrived; false after `seconds`.
    bool waitForRequests(std::size_t count, double seconds) const;

private:
    void startServing();
    void stopServing();
    void startRefusing();
    void stopRefusing();
    int refusingSocket_ = -1;
    std::thread refuser_;
    std::string hostName_;
    int port_ = 0;
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::condition_variable released_;
    bool held_ = false;
    std::vector<Request> requests_;
    std::deque<Answer> queued_;
    std::map<std::string, Answer> byPath_;
    Answer default_;
};

// --- what a collection service makes of an envelope ---
struct ReceivedEnvelope {
    zvpeer::ZVEnvelope envelope;
    std::string json;
    std::vector<std::string> problems;  // empty when every check passed
    bool ok() const { return problems.empty(); }
};

// Decodes the Thrift record (no bytes may follow), checks the checksum, recomputes the guid
// from `identity` (vendor identifier + shared device id), decrypts a codex-1 entity with the
// `openssl` command (key = signature bytes 1-16), inflates it and checks the length.
ReceivedEnvelope decodeEnvelope(const std::string& bytes, const std::string& identity);
rapidjson::Document parseJSON(const std::string& json);

// --- what a collection service answers ---
struct ImprintEntry {
    std::string value;
    int64_t ts = 1;
    std::string guid = "g";
};
// The imprint checksum: entries ordered by key without regard to letter case, each key,
// value, time stamp and guid, then the version; lowercase MD5 hex.
std::string imprintChecksum(const std::map<std::string, ImprintEntry>& entries, int32_t version);
// An encoded Response; `checksum` empty = the correct one.
std::string responseBytes(int32_t respCode, const std::map<std::string, std::string>& imprint, int32_t version = 1,
                          const std::string& checksum = "");

// Runs a shell command; its standard output, or nothing when it failed.
bool runCommand(const std::string& command);
std::string hex(const std::string& bytes);
std::string md5Hex(const std::string& bytes);

}  // namespace zvsink
