#pragma once
// Test helpers for multipart bodies: reading a body stream to its end with reads of a given
// size, the body stream a request carries, and a temporary directory.

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

#include <networking/NKMultipartBodyStream.h>
#include <platform_net/NSURLRequest.h>


namespace nkmultipart {

inline std::string readAll(NKMultipartBodyStream& stream, std::size_t readSize) {
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

inline std::shared_ptr<NKMultipartBodyStream> bodyStreamOf(const NSURLRequest& request) {
    return std::dynamic_pointer_cast<NKMultipartBodyStream>(request.HTTPBodyStream());
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

}  // namespace nkmultipart
