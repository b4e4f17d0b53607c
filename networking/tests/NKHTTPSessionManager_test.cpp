#include <networking/NKHTTPSessionManager.h>
#include <networking/NKImageResponseSerializer.h>
#include <networking/NKJSONRequestSerializer.h>
#include <networking/NKJSONResponseSerializer.h>
#include <networking/NKMultipartFormData.h>
#include <networking/NKNetworkingNotifications.h>
#include <networking/NKPropertyListResponseSerializer.h>
#include <networking/NKXMLParserResponseSerializer.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <vector>
#include <string>
#include <mutex>

#include <platform_dispatch/NSThread.h>
#include <platform_foundation/NSJSONSerialization.h>
#include <platform_foundation/NSNotificationCenter.h>
#include <platform_net/NSURLError.h>
#include <platform_net/NSXMLParser.h>
#include <platform_net/UIImage.h>
#include <platform_runtime/NSException.h>

#include "NKSessionTestSupport.h"

namespace {

// What one request ended with, and where its callback ran.
struct Outcome {
    std::atomic<bool> done{false};
    NSURLSessionDataTaskPtr task;
    Value object;
    NSErrorPtr error;
    bool onMain = false;
    std::string queueLabel;
    bool inGroup = false;
};

class HTTPSessionManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto echo = [](const httplib::Request& req, httplib::Response& res) {
            std::string header = req.has_header("X-Test") ? req.get_header_value("X-Test") : "";
            std::string json = "{\"method\":\"" + req.method + "\",\"bodyLength\":" + std::to_string(req.body.size()) +
                               ",\"query\":\"" + (req.target.find('?') != std::string::npos ? "yes" : "") +
                               "\",\"header\":\"" + header + "\"}";
            res.set_content(json, "application/json");
        };
        auto& r = server.routes();
        r.Get("/echo", echo);
        r.Post("/echo", echo);
        r.Put("/echo", echo);
        r.Patch("/echo", echo);
        r.Delete("/echo", echo);
        r.Post("/upload", [](const httplib::Request& req, httplib::Response& res) {
            std::string fields;
            for (const auto& [name, file] : req.files) fields += name + "=" + file.content + ";";
            res.set_content("{\"multipart\":" + std::string(req.is_multipart_form_data() ? "true" : "false") +
                                ",\"fields\":\"" + fields + "\"}",
                            "application/json");
        });
        r.Get("/api/items", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("{\"where\":\"api\"}", "application/json");
        });
        r.Get("/items", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("{\"where\":\"root\"}", "application/json");
        });
        r.Get("/plist", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict><key>name</key>"
                            "<string>iPhone</string><key>count</key><integer>3</integer></dict></plist>",
                            "application/x-plist");
        });
        r.Get("/xml", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("<root><item>1</item></root>", "application/xml");
        });
        r.Get("/png", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(std::string(png.begin(), png.end()), "image/png");
        });
        r.Get("/big", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(std::string(256 * 1024, 'x'), "application/octet-stream");
        });
        r.Get("/redirect", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/api/items", 302); });
        r.Get("/missing", [](const httplib::Request&, httplib::Response& res) {
            res.status = 404;
            res.set_content("{\"error\":\"none\"}", "application/json");
        });
        nktest::addBadAnswerRoutes(server);
        png = pngOf2x3();
        server.start();
        manager = NKHTTPSessionManager::managerWithBaseURL(NSURL::URLWithString(server.base()));
    }

    void TearDown() override { manager->invalidateSessionCancelingTasks(true, false); }

    static std::vector<uint8_t> pngOf2x3();

    NKHTTPSessionManager::Success recordSuccess(Outcome& out) {
        return [&out, this](const NSURLSessionDataTaskPtr& task, const Value& object) {
            note(out);
            out.task = task;
            out.object = object;
            out.done = true;
        };
    }
    NKHTTPSessionManager::Failure recordFailure(Outcome& out) {
        return [&out, this](const NSURLSessionDataTaskPtr& task, const NSErrorPtr& error) {
            note(out);
            out.task = task;
            out.error = error;
            out.done = true;
        };
    }
    void note(Outcome& out) {
        out.onMain = NSThread::isMainThread();
        const char* label = dispatch_queue_get_label(DISPATCH_CURRENT_QUEUE_LABEL);
        out.queueLabel = label ? label : "";
        dispatch_group_t group = manager->completionGroup() ? manager->completionGroup()
                                                            : NKURLSessionManagerTaskDelegate::sharedCompletionGroup();
        out.inGroup = dispatch_group_wait(group, DISPATCH_TIME_NOW) != 0;
    }
    void wait(Outcome& out) { ASSERT_TRUE(nktest::waitFor([&] { return out.done.load(); })); }

    nktest::Server server;
    std::vector<uint8_t> png;
    NKHTTPSessionManager::Ptr manager;
};

// A 2 x 3 RGBA PNG written by hand (stored deflate block), so the server's bytes do not
// depend on the encoder under the image serializer.
std::vector<uint8_t> HTTPSessionManagerTest::pngOf2x3() {
    auto crc32 = [](const uint8_t* p, size_t n) {
        uint32_t c = 0xFFFFFFFFu;
        for (size_t i = 0; i < n; ++i) {
            c ^= p[i];
            for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
        }
        return c ^ 0xFFFFFFFFu;
    };
    auto be32 = [](std::vector<uint8_t>& out, uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
    };
    auto chunk = [&](std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& body) {
        be32(out, static_cast<uint32_t>(body.size()));
        std::vector<uint8_t> typed(type, type + 4);
        typed.insert(typed.end(), body.begin(), body.end());
        out.insert(out.end(), typed.begin(), typed.end());
        be32(out, crc32(typed.data(), typed.size()));
    };
    std::vector<uint8_t> raw;
    for (int row = 0; row < 3; ++row) {
        raw.push_back(0);  // no filter
        for (int px = 0; px < 2; ++px) raw.insert(raw.end(), {0xFF, 0x00, 0x00, 0xFF});
    }
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    std::vector<uint8_t> zlib{0x78, 0x01, 0x01, static_cast<uint8_t>(raw.size()), 0x00,
                              static_cast<uint8_t>(~raw.size()), 0xFF};
    zlib.insert(zlib.end(), raw.begin(), raw.end());
    be32(zlib, (b << 16) | a);
    std::vector<uint8_t> ihdr;
    be32(ihdr, 2);
    be32(ihdr, 3);
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});
    std::vector<uint8_t> png{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    chunk(png, "IHDR", ihdr);
    chunk(png, "IDAT", zlib);
    chunk(png, "IEND", {});
    return png;
}

TEST_F(HTTPSessionManagerTest, EveryVerbReachesTheServerAndDecodesOnTheMainQueue) {
    struct Case {
        const char* method;
    } cases[] = {{"GET"}, {"POST"}, {"PUT"}, {"PATCH"}, {"DELETE"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.method);
        Outcome out;
        Value parameters = Value::dict({{"q", "v w"}});
        NKHTTPSessionManager::Headers headers{{"X-Test", c.method}};
        NSURLSessionDataTaskPtr task;
        std::string method = c.method;
        if (method == "GET") task = manager->GET("echo", parameters, headers, nullptr, recordSuccess(out), recordFailure(out));
        if (method == "POST") task = manager->POST("echo", parameters, headers, nullptr, recordSuccess(out), recordFailure(out));
        if (method == "PUT") task = manager->PUT("echo", parameters, headers, recordSuccess(out), recordFailure(out));
        if (method == "PATCH") task = manager->PATCH("echo", parameters, headers, recordSuccess(out), recordFailure(out));
        if (method == "DELETE") task = manager->DELETE("echo", parameters, headers, recordSuccess(out), recordFailure(out));
        ASSERT_TRUE(task);
        wait(out);
        ASSERT_FALSE(out.error) << out.error->description();
        EXPECT_EQ(out.task, task);
        EXPECT_TRUE(out.onMain);
        EXPECT_TRUE(out.inGroup);
        EXPECT_EQ(out.object.objectForKey("method").stringValue(), method);
        EXPECT_EQ(out.object.objectForKey("header").stringValue(), method);
        // GET, HEAD and DELETE carry the parameters in the query, the others in the body.
        bool inQuery = method == "GET" || method == "DELETE";
        EXPECT_EQ(out.object.objectForKey("query").stringValue(), inQuery ? "yes" : "");
        EXPECT_EQ(out.object.objectForKey("bodyLength").integerValue() > 0, !inQuery);
    }
}

TEST_F(HTTPSessionManagerTest, MultipartPostStreamsItsParts) {
    Outcome out;
    std::atomic<int64_t> sent{0};
    std::string blob(64 * 1024, 'z');
    auto task = manager->POST(
        "upload", Value::dict({{"model", "iPhone10,3"}}), {},
        [&](NKMultipartFormData& form) {
            form.appendPartWithFileData(Value::Data(blob.begin(), blob.end()), "file", "blob.bin",
                                        "application/octet-stream");
        },
        [&](const NSProgressPtr& progress) { sent = progress->completedUnitCount(); }, recordSuccess(out),
        recordFailure(out));
    ASSERT_TRUE(task);
    EXPECT_TRUE(task->isKindOfClass(&NSURLSessionUploadTask::classObject()));
    wait(out);
    ASSERT_FALSE(out.error) << out.error->description();
    EXPECT_EQ(out.task, task);
    EXPECT_TRUE(out.object.objectForKey("multipart").boolValue());
    EXPECT_EQ(out.object.objectForKey("fields").stringValue(), "file=" + blob + ";model=iPhone10,3;");
    EXPECT_GT(sent.load(), int64_t(blob.size()));  // the streamed body's bytes, as the task counts them
}

// A throttled upload pauses after each read of its body. The pause is the upload's own: the
// session's other transfers go on meanwhile, and the body still arrives whole.
TEST_F(HTTPSessionManagerTest, AThrottledUploadPausesWithoutHoldingUpOtherRequests) {
    constexpr double kPause = 1.0;
    Outcome upload, other;
    std::atomic<int64_t> sent{0};
    std::string blob(1000, 'z');  // with its part's head and boundaries, two packets
    auto task = manager->POST(
        "upload", Value(), {},
        [&](NKMultipartFormData& form) {
            form.appendPartWithFileData(Value::Data(blob.begin(), blob.end()), "file", "blob.bin",
                                        "application/octet-stream");
            form.throttleBandwidthWithPacketSize(700, kPause);
        },
        [&](const NSProgressPtr& progress) { sent = progress->completedUnitCount(); }, recordSuccess(upload),
        recordFailure(upload));
    ASSERT_TRUE(task);
    // The first bytes went out: from now on the upload spends its time in pauses.
    ASSERT_TRUE(nktest::waitFor([&] { return sent.load() > 0; }));
    const auto start = std::chrono::steady_clock::now();
    manager->GET("echo", Value(), {}, nullptr, recordSuccess(other), recordFailure(other));
    wait(other);
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_FALSE(other.error) << other.error->description();
    // A pause that blocked the loading thread would hold the request for at least one pause.
    EXPECT_LT(took, kPause / 2);
    EXPECT_FALSE(upload.done.load());
    wait(upload);
    ASSERT_FALSE(upload.error) << upload.error->description();
    EXPECT_EQ(upload.object.objectForKey("fields").stringValue(), "file=" + blob + ";");
}

TEST_F(HTTPSessionManagerTest, HeadSucceedsWithTheTaskOnly) {
    std::atomic<bool> done{false};
    NSURLSessionDataTaskPtr seen;
    auto task = manager->HEAD("echo", Value(), {}, [&](const NSURLSessionDataTaskPtr& t) {
        seen = t;
        done = true;
    }, [&](const NSURLSessionDataTaskPtr&, const NSErrorPtr& error) {
        ADD_FAILURE() << error->description();
        done = true;
    });
    ASSERT_TRUE(nktest::waitFor([&] { return done.load(); }));
    EXPECT_EQ(seen, task);
}

TEST_F(HTTPSessionManagerTest, BaseURLGainsATrailingSlash) {
    struct Case {
        std::string base, stored;
    } cases[] = {
        {"https://example.com/api", "https://example.com/api/"},
        {"https://example.com/api/", "https://example.com/api/"},
        {"https://example.com", "https://example.com"},
    };
    for (const Case& c : cases) {
        NKHTTPSessionManager m(NSURL::URLWithString(c.base));
        EXPECT_EQ(m.baseURL()->absoluteString(), c.stored);
    }
    // A relative string resolves below the base path.
    auto api = NKHTTPSessionManager::managerWithBaseURL(NSURL::URLWithString(server.url("api")));
    Outcome out;
    api->GET("items", Value(), {}, nullptr, recordSuccess(out), recordFailure(out));
    wait(out);
    EXPECT_EQ(out.object.objectForKey("where").stringValue(), "api");
    api->invalidateSessionCancelingTasks(true, false);
}

TEST_F(HTTPSessionManagerTest, ResponsesDecodeByTheirSerializer) {
    {
        manager->setResponseSerializer(NKPropertyListResponseSerializer::serializer());
        Outcome out;
        manager->GET("plist", Value(), {}, nullptr, recordSuccess(out), recordFailure(out));
        wait(out);
        ASSERT_FALSE(out.error) << out.error->description();
        EXPECT_EQ(out.object.objectForKey("name").stringValue(), "iPhone");
        EXPECT_EQ(out.object.objectForKey("count").integerValue(), 3);
    }
    {
        manager->setResponseSerializer(NKXMLParserResponseSerializer::serializer());
        Outcome out;
        manager->GET("xml", Value(), {}, nullptr, recordSuccess(out), recordFailure(out));
        wait(out);
        ASSERT_FALSE(out.error) << out.error->description();
        EXPECT_TRUE(out.object.objectAs<NSXMLParser>());
    }
    {
        manager->setResponseSerializer(NKImageResponseSerializer::serializer());
        Outcome out;
        manager->GET("png", Value(), {}, nullptr, recordSuccess(out), recordFailure(out));
        wait(out);
        ASSERT_FALSE(out.error) << out.error->description();
        auto image = out.object.objectAs<UIImage>();
        ASSERT_TRUE(image);
        EXPECT_GT(image->size().width, 0);
        EXPECT_TRUE(out.onMain);
    }
}

TEST_F(HTTPSessionManagerTest, CompletionQueueAndGroupAreHonoured) {
    dispatch_queue_t queue = dispatch_queue_create("com.netkit.test.completion", DISPATCH_QUEUE_SERIAL);
    dispatch_group_t group = dispatch_group_create();
    manager->setCompletionQueue(queue);
    manager->setCompletionGroup(group);
    Outcome out;
    std::atomic<bool> notified{false}, notifiedOnMain{false};
    auto token = NSNotificationCenter::defaultCenter()->addObserverForName(
        NKNetworkingTaskDidCompleteNotification, Value(), nullptr, [&](const NSNotification&) {
            notifiedOnMain = NSThread::isMainThread();
            notified = out.done.load();  // the handler always ran first
        });
    manager->GET("echo", Value(), {}, nullptr, recordSuccess(out), recordFailure(out));
    wait(out);
    ASSERT_TRUE(nktest::waitFor([&] { return notified.load(); }));
    NSNotificationCenter::defaultCenter()->removeObserver(token);
    EXPECT_FALSE(out.onMain);
    EXPECT_EQ(out.queueLabel, "com.netkit.test.completion");
    EXPECT_TRUE(out.inGroup);
    EXPECT_TRUE(notifiedOnMain);
    EXPECT_EQ(dispatch_group_wait(group, dispatch_time(DISPATCH_TIME_NOW, 5'000'000'000)), 0);
}

// Records the queue it decodes on and answers the body's length.
class QueueRecordingSerializer : public NKURLResponseSerialization {
public:
    Value responseObjectForResponse(const NSURLResponsePtr&, const Value::Data* data, NSErrorPtr*) const override {
        const char* label = dispatch_queue_get_label(DISPATCH_CURRENT_QUEUE_LABEL);
        std::lock_guard lock(m);
        labels.push_back(label ? label : "");
        return Value(static_cast<int64_t>(data ? data->size() : 0));
    }
    mutable std::mutex m;
    mutable std::vector<std::string> labels;
};

// Small bodies are decoded without a hand-off to another thread, large ones on a worker: both
// on the processing queue. The completion handler runs on the completion queue, and the
// notification follows it on the main queue; when the completion queue is the main queue the
// notification comes in the handler's own turn, before work the handler queued there.
TEST_F(HTTPSessionManagerTest, BodiesOfEverySizeDecodeOnTheProcessingQueueBeforeHandlerAndNotification) {
    auto serializer = std::make_shared<QueueRecordingSerializer>();
    manager->setResponseSerializer(serializer);
    struct Case {
        const char* path;
        int64_t length;
        bool mainCompletionQueue;
    } cases[] = {{"echo", -1, true}, {"big", 256 * 1024, true}, {"echo", -1, false}, {"big", 256 * 1024, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path) + (c.mainCompletionQueue ? " main" : " own queue"));
        manager->setCompletionQueue(c.mainCompletionQueue
                                        ? nullptr
                                        : dispatch_queue_create("com.netkit.test.completion", DISPATCH_QUEUE_CONCURRENT));
        NSURLSessionDataTaskPtr task;
        std::vector<std::string> events;  // main thread only
        std::atomic<bool> notified{false};
        auto token = NSNotificationCenter::defaultCenter()->addObserverForName(
            NKNetworkingTaskDidCompleteNotification, Value(), nullptr, [&](const NSNotification& n) {
                if (n.object().objectAs<NSURLSessionTask>() != task) return;
                events.push_back(NSThread::isMainThread() ? "notification" : "notification off main");
                notified = true;
            });
        Outcome out;
        task = manager->GET(c.path, Value(), {}, nullptr,
                            [&](const NSURLSessionDataTaskPtr& t, const Value& object) {
                                recordSuccess(out)(t, object);
                                if (!c.mainCompletionQueue) return;
                                events.push_back("handler");
                                dispatch_async(dispatch_get_main_queue(), [&] { events.push_back("queued by handler"); });
                            },
                            recordFailure(out));
        ASSERT_TRUE(nktest::waitFor([&] { return notified.load() && out.done.load(); }));
        ASSERT_TRUE(nktest::waitFor([&] { return !c.mainCompletionQueue || events.size() == 3; }));
        NSNotificationCenter::defaultCenter()->removeObserver(token);
        ASSERT_FALSE(out.error) << out.error->description();
        if (c.length >= 0) EXPECT_EQ(out.object.integerValue(), c.length);
        {
            std::lock_guard lock(serializer->m);
            ASSERT_EQ(serializer->labels.size(), 1u);
            EXPECT_EQ(serializer->labels[0], "com.netkit.networking.session.manager.processing");
            serializer->labels.clear();
        }
        EXPECT_TRUE(out.inGroup);
        if (c.mainCompletionQueue) {
            EXPECT_EQ(events, (std::vector<std::string>{"handler", "notification", "queued by handler"}));
        } else {
            EXPECT_EQ(out.queueLabel, "com.netkit.test.completion");
            EXPECT_EQ(events, std::vector<std::string>{"notification"});
        }
    }
}

// The completion notification of one task.
struct CompletionNote {
    std::atomic<bool> seen{false};
    Value userInfo;
    std::shared_ptr<NSObject> token;
    explicit CompletionNote(std::function<NSURLSessionTaskPtr()> task) {
        token = NSNotificationCenter::defaultCenter()->addObserverForName(
            NKNetworkingTaskDidCompleteNotification, Value(), nullptr, [this, task](const NSNotification& n) {
                if (n.object().objectAs<NSURLSessionTask>() != task()) return;
                userInfo = n.userInfo();
                seen = true;
            });
    }
    ~CompletionNote() { NSNotificationCenter::defaultCenter()->removeObserver(token); }
    bool has(const char* key) const { return !userInfo.objectForKey(Value(key)).isNull(); }
};

TEST_F(HTTPSessionManagerTest, CompletionNotificationCarriesWhatIsKnown) {
    NSURLSessionDataTaskPtr task;
    CompletionNote note([&] { return task; });
    Outcome out;
    task = manager->GET("echo", Value(), {}, nullptr, recordSuccess(out), recordFailure(out));
    ASSERT_TRUE(nktest::waitFor([&] { return note.seen.load(); }));
    EXPECT_TRUE(note.has(NKNetworkingTaskDidCompleteResponseSerializerKey));
    EXPECT_TRUE(note.has(NKNetworkingTaskDidCompleteResponseDataKey));
    EXPECT_TRUE(note.has(NKNetworkingTaskDidCompleteSessionTaskMetrics));
    EXPECT_EQ(note.userInfo.objectForKey(Value(NKNetworkingTaskDidCompleteSerializedResponseKey)), out.object);
    EXPECT_FALSE(note.has(NKNetworkingTaskDidCompleteErrorKey));
    EXPECT_FALSE(note.has(NKNetworkingTaskDidCompleteAssetPathKey));
}

TEST_F(HTTPSessionManagerTest, BadResponsesEndInTheirErrors) {
    manager->requestSerializer()->setTimeoutInterval(0.5);
    struct Case {
        const char* path;
        const char* domain;
        int64_t code;  // 0: any code of the domain
    } cases[] = {
        {"missing", NKURLResponseSerializationErrorDomain, NSURLErrorBadServerResponse},
        {"badjson", nullptr, 0},
        {"truncated", NSURLErrorDomain, NSURLErrorNetworkConnectionLost},
        {"hang", NSURLErrorDomain, NSURLErrorTimedOut},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        NSURLSessionDataTaskPtr task;
        CompletionNote note([&] { return task; });
        Outcome out;
        auto started = std::chrono::steady_clock::now();
        task = manager->GET(c.path, Value(), {}, nullptr, recordSuccess(out), recordFailure(out));
        wait(out);
        ASSERT_TRUE(out.error);
        EXPECT_EQ(out.task, task);
        if (c.domain) {
            EXPECT_EQ(out.error->domain(), c.domain) << out.error->description();
        }
        if (c.code) {
            EXPECT_EQ(out.error->code(), c.code) << out.error->description();
        }
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
        ASSERT_TRUE(nktest::waitFor([&] { return note.seen.load(); }));
        EXPECT_TRUE(note.has(NKNetworkingTaskDidCompleteErrorKey));
    }
}

TEST_F(HTTPSessionManagerTest, RequestSerializationErrorFailsWithoutATask) {
    manager->setRequestSerializer(NKJSONRequestSerializer::serializer());
    Outcome out;
    Value unencodable = Value::dict({{"url", Value(NSURL::URLWithString("https://example.com"))}});
    auto task = manager->POST("echo", unencodable, {}, nullptr, recordSuccess(out), recordFailure(out));
    EXPECT_FALSE(task);
    EXPECT_FALSE(out.done);  // reported later, not from inside the call
    wait(out);
    EXPECT_FALSE(out.task);
    ASSERT_TRUE(out.error);
    EXPECT_EQ(out.error->domain(), NKURLRequestSerializationErrorDomain);
    EXPECT_TRUE(out.onMain);
}

TEST_F(HTTPSessionManagerTest, ProgressOfResponseAndOfRequestBody) {
    manager->setResponseSerializer(NKHTTPResponseSerializer::serializer());
    std::atomic<double> downloaded{0};
    std::atomic<bool> downloadOffMain{false};
    Outcome out;
    manager->GET("big", Value(), {}, [&](const NSProgressPtr& progress) {
        downloaded = progress->fractionCompleted();
        if (!NSThread::isMainThread()) downloadOffMain = true;
    }, recordSuccess(out), recordFailure(out));
    wait(out);
    EXPECT_EQ(out.object.asData().size(), 256u * 1024);
    EXPECT_DOUBLE_EQ(downloaded.load(), 1.0);
    EXPECT_TRUE(downloadOffMain);

    manager->setResponseSerializer(NKJSONResponseSerializer::serializer());
    manager->setRequestSerializer(NKJSONRequestSerializer::serializer());  // a large body the server accepts
    std::atomic<double> uploaded{0};
    Outcome posted;
    manager->POST("echo", Value::dict({{"blob", std::string(200 * 1024, 'y')}}), {},
                  [&](const NSProgressPtr& progress) { uploaded = progress->fractionCompleted(); }, recordSuccess(posted),
                  recordFailure(posted));
    wait(posted);
    ASSERT_FALSE(posted.error) << posted.error->description();
    EXPECT_DOUBLE_EQ(uploaded.load(), 1.0);
}

TEST_F(HTTPSessionManagerTest, RedirectsAreFollowedUnlessTheCallbackStops) {
    Outcome out;
    manager->GET("redirect", Value(), {}, nullptr, recordSuccess(out), recordFailure(out));
    wait(out);
    ASSERT_FALSE(out.error) << out.error->description();
    EXPECT_EQ(out.object.objectForKey("where").stringValue(), "api");

    std::atomic<int> asked{0};
    manager->setTaskWillPerformHTTPRedirectionBlock(
        [&](const NSURLSessionPtr&, const NSURLSessionTaskPtr&, const NSHTTPURLResponsePtr& response,
            const NSURLRequestPtr&) -> NSURLRequestPtr {
            if (response && response->statusCode() == 302) ++asked;
            return nullptr;
        });
    Outcome stopped;
    manager->GET("redirect", Value(), {}, nullptr, recordSuccess(stopped), recordFailure(stopped));
    wait(stopped);
    EXPECT_EQ(asked, 1);
    ASSERT_TRUE(stopped.error);  // the 302 itself is not an acceptable status
    EXPECT_EQ(stopped.error->code(), NSURLErrorBadServerResponse);
}

TEST_F(HTTPSessionManagerTest, DownloadMovesTheFileToItsDestination) {
    nktest::TempDir dir;
    NSURLPtr destination = NSURL::fileURLWithPath(dir.path() + "/items.json");
    std::atomic<bool> done{false};
    Value object;
    NSErrorPtr error;
    NSURLSessionDownloadTaskPtr task;
    CompletionNote note([&] { return task; });
    task = manager->downloadTaskWithRequest(
        NSURLRequest::requestWithURL(NSURL::URLWithString(server.url("api/items"))), nullptr,
        [&](const NSURLPtr&, const NSURLResponsePtr&) { return destination; },
        [&](const NSURLResponsePtr&, const Value& o, const NSErrorPtr& e) {
            object = o;
            error = e;
            done = true;
        });
    task->resume();
    ASSERT_TRUE(nktest::waitFor([&] { return done.load() && note.seen.load(); }));
    EXPECT_FALSE(error);
    ASSERT_TRUE(object.objectAs<NSURL>());
    EXPECT_EQ(object.objectAs<NSURL>()->path(), destination->path());
    EXPECT_TRUE(std::filesystem::exists(destination->path()));
    EXPECT_TRUE(note.has(NKNetworkingTaskDidCompleteAssetPathKey));
    EXPECT_FALSE(note.has(NKNetworkingTaskDidCompleteResponseDataKey));
}

TEST_F(HTTPSessionManagerTest, PinningPolicyNeedsASecureBaseURL) {
    auto policy = NKSecurityPolicy::policyWithPinningMode(1, NKPinnedCertificates(std::set<NKCertificateData>{}));
    try {
        manager->setSecurityPolicy(policy);
        FAIL() << "expected an exception";
    } catch (const NSException& e) {
        EXPECT_EQ(e.name(), "Invalid Security Policy");
        EXPECT_NE(e.reason().find("NKSSLPinningModePublicKey"), std::string::npos);
    }
    EXPECT_NE(manager->securityPolicy(), policy);
    manager->setSecurityPolicy(NKSecurityPolicy::policyWithPinningMode(0));
}

TEST_F(HTTPSessionManagerTest, HeaderArgumentOverridesTheSerializersHeader) {
    manager->requestSerializer()->setValue("from serializer", "X-Test");
    Outcome out;
    manager->GET("echo", Value(), {{"X-Test", "from call"}}, nullptr, recordSuccess(out), recordFailure(out));
    wait(out);
    EXPECT_EQ(out.object.objectForKey("header").stringValue(), "from call");
}

}  // namespace
