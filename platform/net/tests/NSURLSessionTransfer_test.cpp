#include <gtest/gtest.h>

#include <platform_dispatch/RunLoopSpin.h>
#include <platform_net/NSInputStream.h>
#include <platform_net/NSURLError.h>
#include <platform_net/NSURLSession.h>

#include "LoopbackServer.h"
#include "URLSessionRecorder.h"

#include <atomic>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes pattern(size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>((i * 31 + 7) & 0xff);
    return b;
}

struct TempDir {
    std::string path;
    TempDir() {
        std::string p = (fs::temp_directory_path() / "transfer-XXXXXX").string();
        path = mkdtemp(p.data());
    }
    ~TempDir() { fs::remove_all(path); }
};

class TransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto& r = server.routes();
        auto upload = [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(m);
            received = Bytes(req.body.begin(), req.body.end());
            chunked = req.get_header_value("Transfer-Encoding") == "chunked";
            res.set_content(std::to_string(req.body.size()), "text/plain");
        };
        r.Post("/upload", upload);
        r.Put("/upload", upload);
        r.Get("/file", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(std::string(file.begin(), file.end()), "application/octet-stream");
        });
        // The first request stalls after 64 KB; a ranged one gets the rest (206).
        r.Get("/resumable", [this](const httplib::Request& req, httplib::Response& res) {
            res.set_header("ETag", "\"v1\"");
            if (req.has_header("Range")) {
                rangeAsked = req.get_header_value("Range");
                res.set_content(std::string(file.begin(), file.end()), "application/octet-stream");
                return;
            }
            res.set_content_provider(file.size(), "application/octet-stream", [this](size_t offset, size_t, httplib::DataSink& sink) {
                if (offset == 0) {
                    sink.write(reinterpret_cast<const char*>(file.data()), 64 * 1024);
                    return true;
                }
                server.waitAtGate(20);
                return false;
            });
        });
        server.start();
    }

    NSURLSessionPtr session(std::shared_ptr<URLSessionRecorder> recorder) {
        auto s = NSURLSession::sessionWithConfiguration(NSURLSessionConfiguration::ephemeralSessionConfiguration(), recorder, nullptr);
        if (recorder) recorder->expectedQueue = s->delegateQueue();
        return s;
    }
    NSMutableURLRequestPtr post(const std::string& path) {
        auto req = NSMutableURLRequest::requestWithURL(NSURL::URLWithString(server.url(path)));
        req->setHTTPMethod("POST");
        return req;
    }
    Bytes serverReceived() {
        std::lock_guard lock(m);
        return received;
    }

    LoopbackServer server;
    std::mutex m;
    Bytes received;
    bool chunked = false;
    Bytes file = pattern(300 * 1024);
    std::string rangeAsked;
    TempDir dir;
};

TEST_F(TransferTest, UploadsFromDataFileAndStreamArriveIntactWithSendProgress) {
    Bytes body = pattern(200 * 1024);
    std::string path = dir.path + "/body.bin";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(body.data()), static_cast<std::streamsize>(body.size()));

    enum Source { FromData, FromFile, FromStream };
    for (Source source : {FromData, FromFile, FromStream}) {
        SCOPED_TRACE(source);
        auto recorder = std::make_shared<URLSessionRecorder>();
        auto s = session(recorder);
        NSURLSessionUploadTaskPtr task;
        if (source == FromData) task = s->uploadTaskWithRequest(post("/upload"), body);
        if (source == FromFile) task = s->uploadTaskWithRequest(post("/upload"), NSURL::fileURLWithPath(path));
        if (source == FromStream) {
            auto req = post("/upload");
            req->setHTTPBodyStream(NSInputStream::inputStreamWithData(body));
            task = s->uploadTaskWithStreamedRequest(req);
        }
        EXPECT_EQ(task->countOfBytesExpectedToSend(), source == FromStream ? -1 : static_cast<int64_t>(body.size()));
        task->resume();
        ASSERT_TRUE(recorder->waitForCompletion());
        ASSERT_EQ(recorder->error, nullptr) << recorder->error->description();
        EXPECT_EQ(serverReceived(), body);
        EXPECT_EQ(recorder->bodyText(), std::to_string(body.size()));
        ASSERT_FALSE(recorder->sentTotals.empty());
        EXPECT_EQ(recorder->sentTotals.back(), static_cast<int64_t>(body.size()));
        EXPECT_TRUE(std::is_sorted(recorder->sentTotals.begin(), recorder->sentTotals.end()));
        EXPECT_EQ(recorder->expectedToSend.back(), source == FromStream ? -1 : static_cast<int64_t>(body.size()));
        EXPECT_EQ(task->countOfBytesSent(), static_cast<int64_t>(body.size()));
        if (source == FromStream) {
            EXPECT_TRUE(chunked);
        }
    }
}

TEST_F(TransferTest, AStreamedUploadWithoutAStreamAsksTheDelegateForOne) {
    Bytes body = pattern(1000);
    auto recorder = std::make_shared<URLSessionRecorder>();
    recorder->onNeedStream = [&] { return NSInputStream::inputStreamWithData(body); };
    auto s = session(recorder);
    s->uploadTaskWithStreamedRequest(post("/upload"))->resume();
    ASSERT_TRUE(recorder->waitForCompletion());
    EXPECT_EQ(recorder->error, nullptr);
    EXPECT_EQ(recorder->count("needStream"), 1u);
    EXPECT_EQ(serverReceived(), body);
}

TEST_F(TransferTest, AStreamWithADeclaredLengthIsSentUnchunkedButReportedUnknown) {
    Bytes body = pattern(1024);
    auto recorder = std::make_shared<URLSessionRecorder>();
    auto s = session(recorder);
    auto req = post("/upload");
    req->setValue("1024", "Content-Length");
    req->setHTTPBodyStream(NSInputStream::inputStreamWithData(body));
    s->uploadTaskWithStreamedRequest(req)->resume();
    ASSERT_TRUE(recorder->waitForCompletion());
    EXPECT_EQ(recorder->error, nullptr);
    EXPECT_EQ(serverReceived(), body);
    EXPECT_FALSE(chunked);
    ASSERT_FALSE(recorder->expectedToSend.empty());
    EXPECT_EQ(recorder->expectedToSend.back(), NSURLSessionTransferSizeUnknown);
}

TEST_F(TransferTest, UploadFromAMissingFileFails) {
    std::atomic<bool> done{false};
    NSErrorPtr error;
    auto s = session(nullptr);
    s->uploadTaskWithRequest(post("/upload"), NSURL::fileURLWithPath(dir.path + "/missing"),
                             [&](std::optional<Bytes>, NSURLResponsePtr, NSErrorPtr e) {
                                 error = e;
                                 done = true;
                             })
        ->resume();
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return done.load(); }, 10));
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->code(), NSURLErrorFileDoesNotExist);
}

TEST_F(TransferTest, DownloadsGoToATemporaryFileRemovedAfterDelivery) {
    auto recorder = std::make_shared<URLSessionRecorder>();
    std::string seenPath;
    recorder->onFinishDownloading = [&](const NSURLPtr& location) { seenPath = location->path(); };
    auto s = session(recorder);
    auto task = s->downloadTaskWithURL(NSURL::URLWithString(server.url("/file")));
    task->resume();
    ASSERT_TRUE(recorder->waitForCompletion());
    EXPECT_EQ(recorder->error, nullptr);
    EXPECT_EQ(recorder->downloadedFile, file);
    ASSERT_FALSE(recorder->writtenTotals.empty());
    EXPECT_EQ(recorder->writtenTotals.back(), static_cast<int64_t>(file.size()));
    EXPECT_FALSE(seenPath.empty());
    EXPECT_FALSE(fs::exists(seenPath));
    auto events = recorder->events();
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events[events.size() - 3], "finishDownload");
    EXPECT_EQ(events[events.size() - 2], "metrics");
    EXPECT_EQ(events.back(), "complete");
}

TEST_F(TransferTest, DownloadCompletionHandlerGetsTheFileWhileItRuns) {
    auto s = session(nullptr);
    std::atomic<bool> done{false};
    Bytes content;
    std::string path;
    s->downloadTaskWithURL(NSURL::URLWithString(server.url("/file")), [&](NSURLPtr location, NSURLResponsePtr response, NSErrorPtr error) {
         EXPECT_EQ(error, nullptr);
         EXPECT_EQ(std::dynamic_pointer_cast<NSHTTPURLResponse>(response)->statusCode(), 200);
         path = location->path();
         std::ifstream in(path, std::ios::binary);
         content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
         done = true;
     })->resume();
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return done.load(); }, 10));
    EXPECT_EQ(content, file);
    EXPECT_TRUE(spinMainRunLoopUntil([&] { return !fs::exists(path); }, 5));
}

TEST_F(TransferTest, ACancelledDownloadResumesFromItsResumeData) {
    auto recorder = std::make_shared<URLSessionRecorder>();
    auto s = session(recorder);
    auto task = s->downloadTaskWithURL(NSURL::URLWithString(server.url("/resumable")));
    task->resume();
    ASSERT_TRUE(recorder->waitFor("write"));
    std::atomic<bool> produced{false};
    std::optional<Bytes> resumeData;
    task->cancelByProducingResumeData([&](std::optional<Bytes> data) {
        resumeData = std::move(data);
        produced = true;
    });
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return produced.load() && recorder->completions_ > 0; }, 10));
    ASSERT_TRUE(resumeData.has_value());
    EXPECT_EQ(recorder->error->code(), NSURLErrorCancelled);
    EXPECT_TRUE(recorder->error->userInfo().count(Value(NSURLSessionDownloadTaskResumeData)));

    auto second = std::make_shared<URLSessionRecorder>();
    auto s2 = session(second);
    s2->downloadTaskWithResumeData(*resumeData)->resume();
    ASSERT_TRUE(second->waitForCompletion());
    ASSERT_EQ(second->error, nullptr);
    EXPECT_EQ(second->resumeOffset, 64 * 1024);
    EXPECT_EQ(rangeAsked, "bytes=65536-");
    EXPECT_EQ(second->downloadedFile, file);
    server.openGate();
}

}  // namespace
