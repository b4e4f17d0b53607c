#pragma once
// Test support: the crash collection sink on loopback 127.0.0.2 (cpp-httplib) and a collection service's own
// reading of what it receives. The sink takes POST /upload on a plain HTTP port, keeps every
// request's raw headers and body, and answers each with a scripted outcome (a status, or the
// connection closed without an answer). The reader parses the multipart body with Python's
// `email` package, decrypts a ".ec" file with the `openssl enc` command and gunzips with
// Python's `gzip` module (decode_upload.py); none of it uses the kit's own code.
//
// Threads: the sink serves on its own threads from construction until destruction; every
// member may be called from any thread.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

namespace crashsink {

struct Request {
    std::string method, path;
    std::multimap<std::string, std::string> headers;
    std::string body;
    // The first value of a header (case-insensitive name), nullopt when absent.
    std::optional<std::string> header(const std::string& name) const;
};

// What the sink does with one request: answer `status`, or (close) drop the connection
// without an answer.
struct Outcome {
    int status = 200;
    bool close = false;
    static Outcome answer(int status) { return {status, false}; }
    static Outcome closed() { return {0, true}; }
};

class CrashUploadSink {
public:
    CrashUploadSink();
    ~CrashUploadSink();
    CrashUploadSink(const CrashUploadSink&) = delete;
    CrashUploadSink& operator=(const CrashUploadSink&) = delete;

    // "http://127.0.0.2:<port>", the base URL the kit's Info key takes.
    std::string baseURL() const;
    int port() const;

    // Outcomes used once each, in order; then the default (200).
    void queueOutcome(Outcome outcome);
    void setDefaultOutcome(Outcome outcome);

    std::vector<Request> requests() const;
    std::size_t requestCount() const;
    // Waits until at least `count` requests arrived; false after `seconds`.
    bool waitForRequests(std::size_t count, double seconds) const;

private:
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::vector<Request> requests_;
    std::deque<Outcome> queued_;
    Outcome default_;
};

// --- what a collection service makes of an upload ---
struct DecodedUpload {
    std::string partName;     // the form-data name of the part
    std::string filename;     // its file name
    std::string contentType;  // its content type
    std::string text;         // decrypted (".ec") and gunzipped
    std::vector<std::string> problems;  // empty when every step worked
    bool ok() const { return problems.empty(); }
};

// Decodes the one file part of a crash upload; `keyText` is the 16-character cipher key
// (used only for ".ec" files).
DecodedUpload decodeUpload(const Request& request, const std::string& keyText);

// The cipher key a collection service derives: the first 16 lowercase hex digits of
// MD5(prefix + app name + app version), computed with the `openssl dgst` command.
std::string serviceCipherKey(const std::string& prefix, const std::string& appName, const std::string& appVersion);

// Runs a shell command; its standard output, or nullopt when it failed.
std::optional<std::string> runCommand(const std::string& command);
std::string hex(const std::string& bytes);
// A temporary file holding `bytes`, removed with the object.
class TempFile {
public:
    explicit TempFile(const std::string& bytes);
    ~TempFile();
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace crashsink
