#include "CollectionSink.h"

#ifndef CPPHTTPLIB_OPENSSL_SUPPORT
#define CPPHTTPLIB_OPENSSL_SUPPORT
#endif
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include "../../../platform/net/tests/TestCertificates.h"

using apache::thrift::protocol::TBinaryProtocol;
using apache::thrift::transport::TMemoryBuffer;

namespace zvsink {

namespace {

// The layer's fixed initialisation vector of codex-1 entities (the wire format).
constexpr char kIVHex[] = "3e91c07a5d2b64f8a1097e3dc45b2f60";

struct Credentials {
    std::string dir, caPath, certPath, keyPath;
};

const Credentials& credentials() {
    static const Credentials c = [] {
        char tmpl[] = "/tmp/zvsink-XXXXXX";
        const char* d = ::mkdtemp(tmpl);
        Credentials out;
        out.dir = d ? d : "/tmp";
        const auto ca = testcerts::makeCA("Collection Test CA");
        const auto server =
            testcerts::makeServer(ca, "127.0.0.1", "DNS:*.zavez.localhost,DNS:localhost,IP:127.0.0.1");
        out.caPath = ca.writePEM(out.dir, "ca").first;
        std::tie(out.certPath, out.keyPath) = server.writePEM(out.dir, "server");
        return out;
    }();
    return c;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string unhex(const std::string& h) {
    std::string out;
    for (std::size_t i = 0; i + 1 < h.size(); i += 2)
        out += static_cast<char>(std::stoi(h.substr(i, 2), nullptr, 16));
    return out;
}

std::string md5Raw(const std::string& bytes) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    EVP_Digest(bytes.data(), bytes.size(), out, &len, EVP_md5(), nullptr);
    return std::string(reinterpret_cast<char*>(out), len);
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

const std::string& trustTestCA() {
    static const std::string path = [] {
        const std::string p = credentials().caPath;
        ::setenv("SSL_CERT_FILE", p.c_str(), 1);
        return p;
    }();
    return path;
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

std::string md5Hex(const std::string& bytes) { return hex(md5Raw(bytes)); }

bool runCommand(const std::string& command) { return std::system(command.c_str()) == 0; }

std::string Request::header(const std::string& name) const {
    for (const auto& [k, v] : headers) {
        if (k.size() != name.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < k.size(); ++i) same = same && lower(k[i]) == lower(name[i]);
        if (same) return v;
    }
    return "";
}

CollectionSink::CollectionSink(std::string hostName) : hostName_(std::move(hostName)) { startServing(); }

CollectionSink::~CollectionSink() {
    stopRefusing();
    stopServing();
}

void CollectionSink::startRefusing() {
    refusingSocket_ = ::socket(AF_INET, SOCK_STREAM, 0);
    const int yes = 1;
    ::setsockopt(refusingSocket_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port_));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    // The server closed the port a moment ago; take it back at once.
    for (int i = 0; i < 500; ++i) {
        if (::bind(refusingSocket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::listen(refusingSocket_, 16);
    const int fd = refusingSocket_;
    refuser_ = std::thread([fd] {
        for (;;) {
            const int client = ::accept(fd, nullptr, nullptr);
            if (client < 0) return;  // the listening socket was shut down
            ::close(client);
        }
    });
}

void CollectionSink::stopRefusing() {
    if (refusingSocket_ < 0) return;
    ::shutdown(refusingSocket_, SHUT_RDWR);
    if (refuser_.joinable()) refuser_.join();
    ::close(refusingSocket_);
    refusingSocket_ = -1;
}

void CollectionSink::startServing() {
    const auto& c = credentials();
    server_ = std::make_unique<httplib::SSLServer>(c.certPath.c_str(), c.keyPath.c_str());
    server_->set_tcp_nodelay(true);
    // Stopping waits for idle kept-alive connections: keep them briefly.
    server_->set_keep_alive_timeout(1);
    auto handler = [this](const httplib::Request& req, httplib::Response& res) {
        Request r{req.method, req.path, {}, req.body};
        for (const auto& [k, v] : req.headers) r.headers.emplace(k, v);
        Answer a;
        {
            std::lock_guard lock(mutex_);
            if (!queued_.empty()) {
                a = queued_.front();
                queued_.pop_front();
            } else if (auto it = byPath_.find(req.path); it != byPath_.end()) {
                a = it->second;
            } else {
                a = default_;
            }
        }
        res.status = a.status;
        res.set_content(a.body, a.contentType);
        // Recorded after the answer was chosen, so a waiting test sees a settled script.
        std::unique_lock lock(mutex_);
        requests_.push_back(std::move(r));
        arrived_.notify_all();
        released_.wait(lock, [this] { return !held_; });
    };
    server_->Post(".*", handler);
    server_->Get(".*", handler);
    if (port_ == 0) {
        port_ = server_->bind_to_any_port("127.0.0.1");
    } else {
        // Up again on the port the client knows; a just-closed port may need a moment.
        for (int i = 0; i < 500 && !server_->bind_to_port("127.0.0.1", port_); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!server_->is_running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void CollectionSink::stopServing() {
    if (!server_) return;
    setHeld(false);
    server_->stop();
    if (thread_.joinable()) thread_.join();
    server_.reset();
}

void CollectionSink::setDown(bool down) {
    if (down == !server_) return;
    if (down) {
        stopServing();
        startRefusing();
    } else {
        stopRefusing();
        startServing();
    }
}

void CollectionSink::setHeld(bool held) {
    std::lock_guard lock(mutex_);
    held_ = held;
    if (!held) released_.notify_all();
}

void CollectionSink::queueAnswer(Answer answer) {
    std::lock_guard lock(mutex_);
    queued_.push_back(std::move(answer));
}

void CollectionSink::setAnswerForPath(const std::string& path, Answer answer) {
    std::lock_guard lock(mutex_);
    byPath_[path] = std::move(answer);
}

void CollectionSink::setDefaultAnswer(Answer answer) {
    std::lock_guard lock(mutex_);
    default_ = std::move(answer);
}

std::vector<Request> CollectionSink::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void CollectionSink::clear() {
    std::lock_guard lock(mutex_);
    requests_.clear();
    queued_.clear();
    byPath_.clear();
    default_ = Answer{};
    held_ = false;
    released_.notify_all();
}

bool CollectionSink::waitForRequests(std::size_t count, double seconds) const {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return requests_.size() >= count; });
}

ReceivedEnvelope decodeEnvelope(const std::string& bytes, const std::string& identity) {
    ReceivedEnvelope r;
    auto buffer = std::make_shared<TMemoryBuffer>(reinterpret_cast<uint8_t*>(const_cast<char*>(bytes.data())),
                                                  static_cast<uint32_t>(bytes.size()));
    TBinaryProtocol protocol(buffer);
    try {
        r.envelope.read(&protocol);
    } catch (const std::exception& e) {
        r.problems.push_back(std::string("undecodable: ") + e.what());
        return r;
    }
    if (buffer->available_read() != 0) r.problems.push_back("bytes after the record");
    const auto& e = r.envelope;
    if (e.checksum != md5Hex(e.signature + std::to_string(e.serial_num) + std::to_string(e.ts_secs) +
                             std::to_string(e.length) + e.guid))
        r.problems.push_back("checksum");
    const std::string signature = unhex(e.signature);
    if (signature.size() != 32) {
        r.problems.push_back("signature length");
        return r;
    }
    const std::string entityMD5 = md5Raw(e.entity), identityMD5 = md5Raw(identity);
    std::string guid(32, '\0');
    for (int k = 0; k < 16; ++k) {
        guid[2 * k] = entityMD5[k];
        guid[2 * k + 1] = identityMD5[k];
    }
    for (int i : {0, 1, 30, 31}) guid[i] = signature[i];
    for (int i = 0; i < 32; ++i)
        guid[i] = static_cast<char>(guid[i] ^ static_cast<uint8_t>(static_cast<uint32_t>(e.ts_secs) >> (8 * (i % 4))));
    if (e.guid != hex(guid)) r.problems.push_back("guid");

    std::string compressed = e.entity;
    if (e.codex == 1) {
        const std::string in = credentials().dir + "/entity-" + std::to_string(::getpid()) + "-" +
                               std::to_string(std::hash<std::thread::id>{}(std::this_thread::get_id()));
        std::ofstream(in, std::ios::binary) << e.entity;
        if (!runCommand("openssl enc -d -aes-128-cbc -K " + hex(signature.substr(1, 16)) + " -iv " + kIVHex +
                        " -in " + in + " -out " + in + ".plain")) {
            r.problems.push_back("openssl could not decrypt the entity");
            return r;
        }
        compressed = readFile(in + ".plain");
        std::remove(in.c_str());
        std::remove((in + ".plain").c_str());
    }
    std::string json(static_cast<std::size_t>(std::max(0, e.length)), '\0');
    uLongf len = json.size();
    if (uncompress(reinterpret_cast<Bytef*>(json.data()), &len, reinterpret_cast<const Bytef*>(compressed.data()),
                   compressed.size()) != Z_OK ||
        len != json.size())
        r.problems.push_back("inflate / length");
    r.json = std::move(json);
    return r;
}

rapidjson::Document parseJSON(const std::string& json) {
    rapidjson::Document d;
    d.Parse(json.c_str(), json.size());
    return d;
}

std::string imprintChecksum(const std::map<std::string, ImprintEntry>& entries, int32_t version) {
    std::vector<std::pair<std::string, ImprintEntry>> sorted(entries.begin(), entries.end());
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
        return std::lexicographical_compare(a.first.begin(), a.first.end(), b.first.begin(), b.first.end(),
                                            [](char x, char y) { return lower(x) < lower(y); });
    });
    std::string text;
    for (const auto& [key, e] : sorted) text += key + e.value + std::to_string(e.ts) + e.guid;
    return md5Hex(text + std::to_string(version));
}

std::string responseBytes(int32_t respCode, const std::map<std::string, std::string>& imprint, int32_t version,
                          const std::string& checksum) {
    zvpeer::Response response;
    response.__set_resp_code(respCode);
    if (!imprint.empty()) {
        std::map<std::string, ImprintEntry> entries;
        zvpeer::Imprint record;
        for (const auto& [k, v] : imprint) {
            ImprintEntry e{v};
            entries[k] = e;
            zvpeer::ImprintValue value;
            value.__set_value(e.value);
            value.__set_ts(e.ts);
            value.__set_guid(e.guid);
            record.property[k] = value;
        }
        record.__isset.property = true;
        record.__set_version(version);
        record.__set_checksum(checksum.empty() ? imprintChecksum(entries, version) : checksum);
        response.__set_imprint(record);
    }
    auto buffer = std::make_shared<TMemoryBuffer>();
    TBinaryProtocol protocol(buffer);
    response.write(&protocol);
    return buffer->getBufferAsString();
}

}  // namespace zvsink
