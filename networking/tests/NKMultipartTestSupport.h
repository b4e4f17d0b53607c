#pragma once
// Test helpers for multipart bodies: reading a body stream to its end with reads of a given
// size, the body stream a request carries, a temporary directory, and an independent MIME
// parser (Python's email package, run as a child process).

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

#include <networking/NKMultipartBodyStream.h>
#include <platform_net/NSURLRequest.h>


namespace nkmultipart {

inline std::string readAll(NKMultipartBodyStreamCore& stream, std::size_t readSize) {
    stream.open();
    std::string out;
    std::string buffer(readSize, '\0');
    for (int guard = 0; guard < 10'000'000; ++guard) {
        const int64_t n = stream.read(reinterpret_cast<uint8_t*>(buffer.data()), readSize);
        if (n <= 0) break;
        out.append(buffer.data(), static_cast<std::size_t>(n));
    }
    return out;
}

template <class Stream = NKMultipartBodyStream>
std::shared_ptr<Stream> bodyStreamOf(const NSURLRequest& request) {
    return std::dynamic_pointer_cast<Stream>(request.HTTPBodyStream());
}

class TempDir {
public:
    TempDir() {
        static int counter = 0;
        path_ = (std::filesystem::temp_directory_path() /
                 ("nk-multipart-" + std::to_string(::getpid()) + "-" + std::to_string(counter++)))
                    .string();
        std::filesystem::create_directories(path_);
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    const std::string& path() const { return path_; }
    template <class Bytes>
    std::string write(const std::string& name, const Bytes& bytes) const {
        const std::string p = path_ + "/" + name;
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return p;
    }

private:
    std::string path_;
};

// python3 on the PATH.
inline bool pythonAvailable() {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        if (::access((dirs.substr(start, end - start) + "/python3").c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

inline std::string runPython(const std::string& script, const std::string& bodyPath, const std::string& contentType) {
    const std::string command = "python3 -c '" + script + "' '" + bodyPath + "' '" + contentType + "' 2>&1";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return {};
    std::string out;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    ::pclose(pipe);
    return out;
}

// Prints {"defects": n, "parts": [{"name", "filename", "type", "hex"}]} for the body.
inline const char kMIMEParser[] = R"PY(
import sys, json, email
from email import policy
raw = open(sys.argv[1], "rb").read()
head = ("Content-Type: " + sys.argv[2] + "\r\nMIME-Version: 1.0\r\n\r\n").encode()
msg = email.message_from_bytes(head + raw, policy=policy.HTTP)
parts = []
for part in msg.iter_parts():
    parts.append({"name": part.get_param("name", header="content-disposition"),
                  "filename": part.get_filename(),
                  "type": part.get("Content-Type"),
                  "hex": part.get_payload(decode=True).hex()})
print(json.dumps({"multipart": msg.is_multipart(), "defects": len(msg.defects), "parts": parts}))
)PY";

inline std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

}  // namespace nkmultipart
