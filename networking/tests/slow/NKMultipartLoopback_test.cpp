// A multipart body streamed to a loopback HTTP server arrives byte for byte, and an
// independent MIME parser (Python's email package) finds the same parts in it.

#include <gtest/gtest.h>

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

#include <networking/NKHTTPRequestSerializer.h>
#include <networking/NKMultipartFormData.h>
#include <platform_foundation/NSJSONSerialization.h>

#include "NKMultipartTestSupport.h"

namespace {

using nkmultipart::TempDir;

struct Part {
    std::string name, filename, contentType, content;
};

class LoopbackServer {
public:
    LoopbackServer() {
        // The server's own multipart reader splits the body as it streams in.
        server_.Post("/upload", [this](const httplib::Request& req, httplib::Response& res,
                                       const httplib::ContentReader& reader) {
            std::vector<Part> parts;
            reader(
                [&](const httplib::MultipartFormData& header) {
                    parts.push_back({header.name, header.filename, header.content_type, {}});
                    return true;
                },
                [&](const char* data, size_t length) {
                    parts.back().content.append(data, length);
                    return true;
                });
            std::lock_guard<std::mutex> lock(mutex_);
            parts_ = std::move(parts);
            contentLength_ = req.get_header_value("Content-Length");
            res.set_content("ok", "text/plain");
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!server_.is_running() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    }
    ~LoopbackServer() {
        server_.stop();
        thread_.join();
    }
    int port() const { return port_; }
    std::vector<Part> parts() {
        std::lock_guard<std::mutex> lock(mutex_);
        return parts_;
    }
    std::string contentLength() {
        std::lock_guard<std::mutex> lock(mutex_);
        return contentLength_;
    }

private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
    std::mutex mutex_;
    std::vector<Part> parts_;
    std::string contentLength_;
};

// Streams the request's body in reads of `readSize` bytes, never holding it whole.
bool upload(const NSURLRequest& request, int port, std::size_t readSize) {
    auto stream = nkmultipart::bodyStreamOf(request);
    if (!stream) return false;
    stream->open();
    httplib::Client client("127.0.0.1", port);
    const auto length = std::stoull(*request.valueForHTTPHeaderField("Content-Length"));
    auto result = client.Post(
        "/upload", length,
        [&](size_t, size_t, httplib::DataSink& sink) {
            std::string buffer(readSize, '\0');
            const int64_t n = stream->read(reinterpret_cast<uint8_t*>(buffer.data()), readSize);
            if (n <= 0) return false;
            sink.write(buffer.data(), static_cast<size_t>(n));
            return true;
        },
        *request.valueForHTTPHeaderField("Content-Type"));
    return result && result->status == 200;
}

TEST(NKMultipartLoopback, StreamedBodyArrivesIntactAndParsesIndependently) {
    TempDir dir;
    std::string fileBytes;
    for (uint32_t i = 0; i < 70000; ++i) fileBytes += static_cast<char>((i * 7919u) >> 3);
    const std::string filePath = dir.write("photo.png", fileBytes);
    const std::string binary("\x00\x01\r\n--Boundary+\xff", 16);

    auto serializer = NKHTTPRequestSerializer::serializer();
    NSErrorPtr error;
    auto request = serializer->multipartFormRequestWithMethod(
        "POST", "http://127.0.0.1/upload",
        Value::dict({{"title", "caf\xC3\xA9 & co"}, {"count", 3}, {"raw", Value(Value::Data(binary.begin(), binary.end()))}}),
        [&](NKMultipartFormData& form) {
            NSErrorPtr fileError;
            EXPECT_TRUE(form.appendPartWithFileURL(NSURL::fileURLWithPath(filePath), "file", &fileError));
            form.appendPartWithFileData(Value::Data{'{', '}'}, "meta", "meta.json", "application/json");
        },
        &error);
    ASSERT_TRUE(request) << (error ? error->description() : "");
    const std::string expected = nkmultipart::readAll(*nkmultipart::bodyStreamOf(*request)->copy(), 1 << 16);

    LoopbackServer server;
    ASSERT_TRUE(upload(*request, server.port(), 1000));
    EXPECT_EQ(server.contentLength(), std::to_string(expected.size()));

    struct Expected { const char* name; const char* filename; const char* type; std::string bytes; };
    const Expected want[] = {
        {"count", "", "", "3"},
        {"raw", "", "", binary},
        {"title", "", "", "caf\xC3\xA9 & co"},
        {"file", "photo.png", "image/png", fileBytes},
        {"meta", "meta.json", "application/json", "{}"},
    };
    auto received = server.parts();
    ASSERT_EQ(received.size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(received[i].name, want[i].name);
        EXPECT_EQ(received[i].filename, want[i].filename) << want[i].name;
        EXPECT_EQ(received[i].contentType, want[i].type) << want[i].name;
        EXPECT_TRUE(received[i].content == want[i].bytes) << want[i].name;
    }

    // The bytes read back from a copy of the body, through Python's MIME parser.
    if (!nkmultipart::pythonAvailable()) GTEST_SKIP() << "python3 is not available";
    const std::string bodyPath = dir.write("body.bin", expected);
    const std::string output = nkmultipart::runPython(nkmultipart::kMIMEParser, bodyPath, *request->valueForHTTPHeaderField("Content-Type"));
    NSErrorPtr parseError;
    Value report = NSJSONSerialization::JSONObjectWithData(output, 0, &parseError);
    ASSERT_FALSE(parseError) << output;
    EXPECT_EQ(report.objectForKey("multipart"), Value(true));
    EXPECT_EQ(report.objectForKey("defects"), Value(0));
    const Value& found = report.objectForKey("parts");
    ASSERT_EQ(found.count(), 5u) << output;
    for (std::size_t i = 0; i < 5; ++i) {
        const Value& part = found[i];
        EXPECT_EQ(part.objectForKey("name"), Value(want[i].name)) << i;
        EXPECT_EQ(part.objectForKey("filename"), *want[i].filename ? Value(want[i].filename) : Value()) << i;
        EXPECT_EQ(part.objectForKey("type"), *want[i].type ? Value(want[i].type) : Value()) << i;
        EXPECT_TRUE(part.objectForKey("hex") == Value(nkmultipart::hex(want[i].bytes))) << want[i].name;
    }
}

}  // namespace
