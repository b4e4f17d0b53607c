// What the monitoring kit relies on, on loopback servers: a client shaped like the kit's
// (raw-data responses, two concurrent operations), streamed multipart uploads read back by
// an independent MIME parser, failures with their documented errors, and the verbs.

#include <gtest/gtest.h>

#include <networking/NKNetworkingNotifications.h>
#include <platform_foundation/NSJSONSerialization.h>
#include <platform_net/NSURLError.h>
#include <sdk_http/ZPKNKHTTPSessionManager.h>
#include <sdk_http/ZPKNKMultipartFormData.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "../../networking/tests/NKMultipartTestSupport.h"
#include "../../networking/tests/NKSessionTestSupport.h"

namespace {

struct Outcome {
    std::atomic<bool> done{false};
    NSURLSessionDataTaskPtr task;
    Value object;
    NSErrorPtr error;
};

ZPKNKHTTPSessionManager::Success succeed(Outcome& out) {
    return [&out](const NSURLSessionDataTaskPtr& task, const Value& object) {
        out.task = task;
        out.object = object;
        out.done = true;
    };
}

ZPKNKHTTPSessionManager::Failure fail(Outcome& out) {
    return [&out](const NSURLSessionDataTaskPtr& task, const NSErrorPtr& error) {
        out.task = task;
        out.error = error;
        out.done = true;
    };
}

// Takes one request on loopback and keeps its head and body exactly as they arrived (the
// HTTP test server would take a multipart body apart before a handler sees it).
class RawUploadSink {
public:
    RawUploadSink() {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener_, 1);
        socklen_t length = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serveOne(); });
    }
    ~RawUploadSink() {
        ::shutdown(listener_, SHUT_RDWR);
        ::close(listener_);
        thread_.join();
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/upload"; }
    // The value of a header of the request ("" when absent); call after the response came.
    std::string header(const std::string& name) const {
        std::string lower = head_, key = "\r\n" + name + ":";
        for (auto* text : {&lower, &key}) {
            for (char& c : *text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        std::size_t at = lower.find(key);
        if (at == std::string::npos) return "";
        std::size_t start = head_.find_first_not_of(' ', at + key.size());
        return head_.substr(start, head_.find("\r\n", start) - start);
    }
    const std::string& body() const { return body_; }

private:
    void serveOne() {
        int connection = ::accept(listener_, nullptr, nullptr);
        if (connection < 0) return;
        std::string data;
        char buffer[65536];
        std::size_t headEnd = std::string::npos;
        std::size_t expected = 0;
        while (true) {
            if (headEnd == std::string::npos && (headEnd = data.find("\r\n\r\n")) != std::string::npos) {
                head_ = data.substr(0, headEnd);
                expected = std::stoull("0" + header("Content-Length"));
            }
            if (headEnd != std::string::npos && data.size() - headEnd - 4 >= expected) break;
            ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            data.append(buffer, static_cast<std::size_t>(n));
        }
        if (headEnd != std::string::npos) body_ = data.substr(headEnd + 4);
        const std::string answer = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 2\r\n"
                                   "Connection: close\r\n\r\n{}";
        ::send(connection, answer.data(), answer.size(), MSG_NOSIGNAL);
        ::close(connection);
    }

    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
    std::string head_, body_;
};

// The kit's API client: made with init, raw bytes as response objects. The kit widens the
// delegate queue to two operations; the session hands each event over as an operation of
// its own, so a wider queue lets one task's "data" and "complete" events overtake each other
// and these checks of the received bytes keep the queue at one.
class KitClient : public ZPKNKHTTPSessionManager {
public:
    static std::shared_ptr<KitClient> client(int operations = 1) {
        auto c = makeStarted<KitClient>();
        c->setResponseSerializer(ZPKNKHTTPResponseSerializer::serializer());
        c->operationQueue()->setMaxConcurrentOperationCount(operations);
        return c;
    }
};

class KitContractTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto& r = server.routes();
        r.Get("/config", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content("{\"q\":\"" + req.get_param_value("app") + "\"}", "application/json");
        });
        r.Get("/boom", [](const httplib::Request&, httplib::Response& res) {
            res.status = 500;
            res.set_content("server says no", "text/plain");
        });
        r.Get("/html", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("<html>no</html>", "text/html");
        });
        nktest::addBadAnswerRoutes(server);
        server.start();
    }
    void TearDown() override { server.openGate(); }

    nktest::Server server;
};

TEST_F(KitContractTest, KitShapedClientGetsAnAbsoluteURLAsRawBytes) {
    auto client = KitClient::client();
    EXPECT_FALSE(client->baseURL());
    // The kit's own width is accepted (a HEAD has no body to lose).
    auto wide = KitClient::client(2);
    std::atomic<bool> headDone{false};
    wide->HEAD(server.url("config"), Value(), [&](const NSURLSessionDataTaskPtr&) { headDone = true; }, nullptr);
    ASSERT_TRUE(nktest::waitFor([&] { return headDone.load(); }));
    wide->invalidateSessionCancelingTasks(true);
    Outcome out;
    const std::string url = server.url("config") + "?" + ZPKNKQueryStringFromDictionary(Value::dict({{"app", "a b"}}));
    auto task = client->GET(url, Value(), succeed(out), fail(out));
    ASSERT_TRUE(task);
    ASSERT_TRUE(nktest::waitFor([&] { return out.done.load(); }));
    ASSERT_FALSE(out.error) << out.error->description();
    EXPECT_EQ(out.task, task);
    ASSERT_TRUE(out.object.isData());
    const auto& bytes = out.object.asData();
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "{\"q\":\"a b\"}");
    client->invalidateSessionCancelingTasks(true);
}

TEST_F(KitContractTest, ServerErrorCarriesTheBodyBytes) {
    auto client = KitClient::client();
    Outcome out;
    client->GET(server.url("boom"), Value(), succeed(out), fail(out));
    ASSERT_TRUE(nktest::waitFor([&] { return out.done.load(); }));
    ASSERT_TRUE(out.error);
    EXPECT_EQ(out.error->domain(), NKURLResponseSerializationErrorDomain);
    EXPECT_EQ(out.error->code(), NSURLErrorBadServerResponse);
    Value body = Value(out.error->userInfo()).objectForKey(Value(NKNetworkingOperationFailingURLResponseDataErrorKey));
    ASSERT_TRUE(body.isData());
    EXPECT_EQ(std::string(body.asData().begin(), body.asData().end()), "server says no");

    // The completion of a plain data task gets both: the error and the bytes as object.
    std::atomic<bool> done{false};
    Value object;
    NSErrorPtr error;
    auto task = client->dataTaskWithRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(server.url("boom"))),
                                            nullptr, nullptr,
                                            [&](const NSURLResponsePtr&, const Value& o, const NSErrorPtr& e) {
                                                object = o;
                                                error = e;
                                                done = true;
                                            });
    task->resume();
    ASSERT_TRUE(nktest::waitFor([&] { return done.load(); }));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), NSURLErrorBadServerResponse);
    ASSERT_TRUE(object.isData());
    EXPECT_EQ(std::string(object.asData().begin(), object.asData().end()), "server says no");
    client->invalidateSessionCancelingTasks(true);
}

TEST_F(KitContractTest, StreamedMultipartUploadArrivesByteExact) {
    auto client = KitClient::client();
    RawUploadSink sink;
    std::string log;
    for (uint32_t i = 0; i < 50000; ++i) log += static_cast<char>((i * 2654435761u) >> 24);
    NSErrorPtr error;
    auto request = ZPKNKHTTPRequestSerializer::serializer()->multipartFormRequestWithMethod(
        "POST", sink.url(), Value(),
        [&](ZPKNKMultipartFormData& form) { form.appendPartWithFormData(Value::Data(log.begin(), log.end()), "file"); },
        &error);
    ASSERT_TRUE(request) << error->description();
    // What the stream yields, read from a copy of it.
    const std::string expected =
        nkmultipart::readAll(*nkmultipart::bodyStreamOf<ZPKNKMultipartBodyStream>(*request)->copy(), 1 << 16);

    std::atomic<bool> done{false};
    NSErrorPtr taskError;
    auto task = client->uploadTaskWithStreamedRequest(request, nullptr,
                                                      [&](const NSURLResponsePtr&, const Value&, const NSErrorPtr& e) {
                                                          taskError = e;
                                                          done = true;
                                                      });
    ASSERT_TRUE(task);
    task->resume();
    ASSERT_TRUE(nktest::waitFor([&] { return done.load(); }));
    ASSERT_FALSE(taskError) << taskError->description();
    EXPECT_TRUE(sink.body() == expected);
    EXPECT_EQ(sink.header("Content-Length"), std::to_string(expected.size()));

    if (!nkmultipart::pythonAvailable()) GTEST_SKIP() << "python3 is not available";
    nkmultipart::TempDir dir;
    const std::string output =
        nkmultipart::runPython(nkmultipart::kMIMEParser, dir.write("body.bin", sink.body()), sink.header("Content-Type"));
    NSErrorPtr parseError;
    Value report = NSJSONSerialization::JSONObjectWithData(output, 0, &parseError);
    ASSERT_FALSE(parseError) << output;
    EXPECT_EQ(report.objectForKey("defects"), Value(0));
    const Value& parts = report.objectForKey("parts");
    ASSERT_EQ(parts.count(), 1u) << output;
    EXPECT_EQ(parts[0].objectForKey("name"), Value("file"));
    EXPECT_TRUE(parts[0].objectForKey("hex") == Value(nkmultipart::hex(log)));
    client->invalidateSessionCancelingTasks(true);
}

TEST_F(KitContractTest, VerbsReportAsDocumented) {
    auto manager = ZPKNKHTTPSessionManager::managerWithBaseURL(NSURL::URLWithString(server.base()));
    // HEAD: success without a response object.
    std::atomic<bool> headDone{false};
    NSURLSessionDataTaskPtr headTask;
    auto head = manager->HEAD("config", Value(), [&](const NSURLSessionDataTaskPtr& t) {
        headTask = t;
        headDone = true;
    }, nullptr);
    ASSERT_TRUE(nktest::waitFor([&] { return headDone.load(); }));
    EXPECT_EQ(headTask, head);

    // A request that cannot be built: no task, the failure later with none.
    Outcome bad;
    auto none = manager->GET("http://[bad", Value(), succeed(bad), fail(bad));
    EXPECT_FALSE(none);
    EXPECT_FALSE(bad.done.load());
    ASSERT_TRUE(nktest::waitFor([&] { return bad.done.load(); }));
    EXPECT_FALSE(bad.task);
    EXPECT_TRUE(bad.error);

    // A multipart POST without parts keeps a plain form request.
    RawUploadSink sink;
    Outcome plain;
    manager->POST(sink.url(), Value(), ZPKNKHTTPSessionManager::ConstructingBodyBlock(), succeed(plain), fail(plain));
    ASSERT_TRUE(nktest::waitFor([&] { return plain.done.load(); }));
    EXPECT_EQ(sink.header("Content-Type").find("multipart"), std::string::npos);
    EXPECT_TRUE(sink.body().empty());
    manager->invalidateSessionCancelingTasks(true);
}

TEST_F(KitContractTest, BadAnswersEndInTheirErrors) {
    auto manager = ZPKNKHTTPSessionManager::managerWithBaseURL(NSURL::URLWithString(server.base()));
    manager->requestSerializer()->setTimeoutInterval(0.5);
    struct Case {
        const char* path;
        const char* domain;
        int64_t code;
    };
    const Case cases[] = {
        {"badjson", "NSCocoaErrorDomain", 3840},
        {"html", NKURLResponseSerializationErrorDomain, -1016},
        {"truncated", NSURLErrorDomain, NSURLErrorNetworkConnectionLost},
        {"hang", NSURLErrorDomain, NSURLErrorTimedOut},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        Outcome out;
        auto task = manager->GET(c.path, Value(), succeed(out), fail(out));
        ASSERT_TRUE(nktest::waitFor([&] { return out.done.load(); }, 15));
        ASSERT_TRUE(out.error);
        EXPECT_EQ(out.task, task);
        EXPECT_EQ(out.error->domain(), c.domain) << out.error->description();
        EXPECT_EQ(out.error->code(), c.code) << out.error->description();
        EXPECT_TRUE(out.object.isNull());
    }
    manager->invalidateSessionCancelingTasks(true);
}

}  // namespace
