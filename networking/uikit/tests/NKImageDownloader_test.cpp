#include <networking_uikit/NKImageDownloader.h>

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <vector>

#include <networking/NKImageResponseSerializer.h>
#include <networking/NKNetworkingNotifications.h>
#include <platform_dispatch/NSThread.h>
#include <platform_dispatch/RunLoopSpin.h>
#include <platform_foundation/NSNotificationCenter.h>
#include <platform_net/NSURLError.h>

#include "ImageServer.h"

namespace {

bool waitFor(const std::function<bool()>& condition) { return spinMainRunLoopUntil(condition, 10); }

// What one caller saw.
struct Outcome {
    int successes = 0, failures = 0;
    NSURLRequestPtr request;
    NSHTTPURLResponsePtr response;
    UIImagePtr image;
    NSErrorPtr error;
    bool done() const { return successes + failures > 0; }
    NKImageDownloadSuccess success() {
        return [this](const NSURLRequestPtr& rq, const NSHTTPURLResponsePtr& rs, const UIImagePtr& im) {
            EXPECT_TRUE(NSThread::isMainThread());
            ++successes;
            request = rq;
            response = rs;
            image = im;
        };
    }
    NKImageDownloadFailure failure() {
        return [this](const NSURLRequestPtr& rq, const NSHTTPURLResponsePtr& rs, const NSErrorPtr& e) {
            EXPECT_TRUE(NSThread::isMainThread());
            ++failures;
            request = rq;
            response = rs;
            error = e;
        };
    }
};

class ImageDownloaderTest : public ::testing::Test {
protected:
    NKImageDownloader::Ptr makeDownloader(NKImageDownloadPrioritization order = NKImageDownloadPrioritizationFIFO,
                                          int64_t limit = 4) {
        auto configuration = NSURLSessionConfiguration::ephemeralSessionConfiguration();
        auto manager = std::make_shared<NKHTTPSessionManager>(nullptr, configuration);
        manager->setResponseSerializer(NKImageResponseSerializer::serializer());
        managers.push_back(manager);
        cache = NKAutoPurgingImageCache::create();
        return NKImageDownloader::create(manager, order, limit, cache);
    }
    static NSURLRequestPtr request(const std::string& url, NSURLRequestCachePolicy policy = NSURLRequestUseProtocolCachePolicy) {
        return NSURLRequest::requestWithURL(NSURL::URLWithString(url), policy, 60);
    }
    void SetUp() override {
        completionToken = NSNotificationCenter::defaultCenter()->addObserverForName(
            NKNetworkingTaskDidCompleteNotification, Value(), nullptr, [this](const NSNotification& n) {
                completedTasks.insert(n.object().asObject().get());
            });
    }
    void TearDown() override {
        NSNotificationCenter::defaultCenter()->removeObserver(completionToken);
        // A session holds its manager until it is invalidated.
        for (auto& m : managers) m->invalidateSessionCancelingTasks(true, false);
    }

    // Waits until the task's completion has gone through the downloader.
    void settle(const NKImageDownloader::Ptr& downloader, const NSURLSessionTaskPtr& task) {
        EXPECT_TRUE(waitFor([&] { return completedTasks.count(task.get()) > 0; }));
        downloader->waitForCompletionsInProgress();
        EXPECT_TRUE(nkimage::drainMainQueue());  // deliver what the completion queued
    }

    std::shared_ptr<NSObject> completionToken;
    std::set<const NSObject*> completedTasks;  // main thread
    nkimage::ImageServer server;
    std::vector<NKHTTPSessionManager::Ptr> managers;
    NKAutoPurgingImageCache::Ptr cache;
};

TEST_F(ImageDownloaderTest, SimultaneousRequestsMergeIntoOneTask) {
    auto downloader = makeDownloader();
    Outcome first, second;
    auto firstRequest = request(server.held("a"));
    auto r1 = downloader->downloadImageForURLRequest(firstRequest, first.success(), first.failure());
    auto r2 = downloader->downloadImageForURLRequest(request(server.held("a")), second.success(), second.failure());
    ASSERT_TRUE(r1 && r2);
    EXPECT_EQ(r1->task, r2->task);
    EXPECT_NE(*r1->receiptID, *r2->receiptID);
    server.release("a");
    ASSERT_TRUE(waitFor([&] { return first.done() && second.done(); }));
    EXPECT_EQ(server.requests("/held/a"), 1);
    EXPECT_EQ(first.successes, 1);
    EXPECT_EQ(second.successes, 1);
    EXPECT_EQ(first.image, second.image);
    EXPECT_EQ(second.request, firstRequest);  // the creating caller's request object
    ASSERT_TRUE(first.response);
    EXPECT_EQ(first.response->statusCode(), 200);
    // The image is cached now: a later request answers from memory without a receipt.
    Outcome third;
    EXPECT_EQ(downloader->downloadImageForURLRequest(request(server.held("a")), third.success(), third.failure()), nullptr);
    ASSERT_TRUE(waitFor([&] { return third.done(); }));
    EXPECT_EQ(third.image, first.image);
    EXPECT_EQ(third.response, nullptr);
    EXPECT_EQ(server.requests("/held/a"), 1);
}

TEST_F(ImageDownloaderTest, CancellingOneOfTwoReceiptsKeepsTheTaskForTheOther) {
    auto downloader = makeDownloader();
    Outcome kept, cancelled;
    auto rKept = downloader->downloadImageForURLRequest(request(server.held("b")), kept.success(), kept.failure());
    auto rCancelled =
        downloader->downloadImageForURLRequest(request(server.held("b")), cancelled.success(), cancelled.failure());
    downloader->cancelTaskForImageDownloadReceipt(rCancelled);
    ASSERT_TRUE(waitFor([&] { return cancelled.done(); }));
    EXPECT_EQ(cancelled.failures, 1);
    EXPECT_EQ(cancelled.error->code(), NSURLErrorCancelled);
    EXPECT_EQ(cancelled.error->localizedFailureReason(),
              "ImageDownloader cancelled URL request: " + server.held("b"));
    EXPECT_NE(rKept->task->state(), NSURLSessionTaskStateCanceling);
    server.release("b");
    ASSERT_TRUE(waitFor([&] { return kept.done(); }));
    EXPECT_EQ(kept.successes, 1);
    EXPECT_EQ(cancelled.successes + cancelled.failures, 1);
}

// A receipt with an equal identifier that is another object cancels nothing.
TEST_F(ImageDownloaderTest, OnlyTheVeryReceiptIdentifierCancels) {
    auto downloader = makeDownloader();
    Outcome outcome;
    auto receipt = downloader->downloadImageForURLRequest(request(server.held("c")), outcome.success(), outcome.failure());
    auto lookalike = std::make_shared<NKImageDownloadReceipt>(
        NSUUID::initWithUUIDString(receipt->receiptID->UUIDString()), receipt->task);
    downloader->cancelTaskForImageDownloadReceipt(lookalike);
    server.release("c");
    ASSERT_TRUE(waitFor([&] { return outcome.done(); }));
    EXPECT_EQ(outcome.successes, 1);
}

TEST_F(ImageDownloaderTest, CancellingTheLastReceiptCancelsTheTaskAndFreesItsSlot) {
    auto downloader = makeDownloader(NKImageDownloadPrioritizationFIFO, 1);
    Outcome first, next;
    auto r1 = downloader->downloadImageForURLRequest(request(server.held("d")), first.success(), first.failure());
    ASSERT_TRUE(waitFor([&] { return server.requests("/held/d") == 1; }));
    auto r2 = downloader->downloadImageForURLRequest(request(server.image("e")), next.success(), next.failure());
    EXPECT_EQ(downloader->queuedTaskCount(), 1u);
    downloader->cancelTaskForImageDownloadReceipt(r1);
    ASSERT_TRUE(waitFor([&] { return first.done() && next.done(); }));
    EXPECT_EQ(first.failures, 1);  // once: the cancelled task's own completion finds no handler
    EXPECT_EQ(first.error->code(), NSURLErrorCancelled);
    EXPECT_EQ(next.successes, 1);
    settle(downloader, r2->task);
    EXPECT_EQ(downloader->activeRequestCount(), 0);
    EXPECT_EQ(first.failures, 1);
}

TEST_F(ImageDownloaderTest, LimitQueuesTheRestInFifoOrLifoOrder) {
    struct Case {
        NKImageDownloadPrioritization order;
        std::size_t startsNext;  // index of the waiting download that gets the freed slot
    } cases[] = {{NKImageDownloadPrioritizationFIFO, 4}, {NKImageDownloadPrioritizationLIFO, 5}};
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.order);
        std::string tag = "r" + std::to_string(round++) + "-";
        auto downloader = makeDownloader(c.order, 4);
        std::vector<std::unique_ptr<Outcome>> outcomes;
        std::vector<NKImageDownloadReceiptPtr> receipts;
        for (int i = 0; i < 6; ++i) {
            outcomes.push_back(std::make_unique<Outcome>());
            receipts.push_back(downloader->downloadImageForURLRequest(
                request(server.held(tag + std::to_string(i))), outcomes.back()->success(), outcomes.back()->failure()));
        }
        EXPECT_EQ(downloader->activeRequestCount(), 4);
        EXPECT_EQ(downloader->queuedTaskCount(), 2u);
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(receipts[i]->task->state(), i < 4 ? NSURLSessionTaskStateRunning : NSURLSessionTaskStateSuspended) << i;
        // Free one slot: the first running download that reached the server finishes.
        int first = -1;
        ASSERT_TRUE(waitFor([&] {
            for (int i = 0; i < 4 && first < 0; ++i)
                if (server.requests("/held/" + tag + std::to_string(i)) > 0) first = i;
            return first >= 0;
        }));
        server.release(tag + std::to_string(first));
        ASSERT_TRUE(waitFor([&] { return receipts[c.startsNext]->task->state() == NSURLSessionTaskStateRunning; }));
        std::size_t other = c.startsNext == 4 ? 5 : 4;
        EXPECT_EQ(receipts[other]->task->state(), NSURLSessionTaskStateSuspended);
        EXPECT_EQ(downloader->activeRequestCount(), 4);
        for (int i = 0; i < 6; ++i) server.release(tag + std::to_string(i));
        ASSERT_TRUE(waitFor([&] {
            for (auto& o : outcomes)
                if (!o->done()) return false;
            return downloader->activeRequestCount() == 0;
        }));
        for (auto& o : outcomes) EXPECT_EQ(o->successes, 1);
    }
}

// A queued task cancelled before it started completes too; it held no slot, so its completion
// must not let a further download run beyond the limit.
TEST_F(ImageDownloaderTest, CancellingAQueuedTaskFreesNoSlotItNeverHeld) {
    auto downloader = makeDownloader(NKImageDownloadPrioritizationFIFO, 1);
    Outcome running, queued, later;
    downloader->downloadImageForURLRequest(request(server.held("s1")), running.success(), running.failure());
    ASSERT_TRUE(waitFor([&] { return server.requests("/held/s1") == 1; }));
    auto rQueued = downloader->downloadImageForURLRequest(request(server.held("s2")), queued.success(), queued.failure());
    downloader->cancelTaskForImageDownloadReceipt(rQueued);
    settle(downloader, rQueued->task);
    EXPECT_EQ(queued.failures, 1);
    EXPECT_EQ(downloader->activeRequestCount(), 1);
    downloader->downloadImageForURLRequest(request(server.held("s3")), later.success(), later.failure());
    EXPECT_EQ(downloader->activeRequestCount(), 1);
    EXPECT_EQ(downloader->queuedTaskCount(), 2u);  // the cancelled one waits to be skipped
    server.release("s1");
    server.release("s3");
    ASSERT_TRUE(waitFor([&] { return running.done() && later.done(); }));
    EXPECT_EQ(server.requests("/held/s2"), 0);
    EXPECT_EQ(later.successes, 1);
}

TEST_F(ImageDownloaderTest, CachePoliciesDecideWhetherTheImageCacheIsRead) {
    struct Case {
        NSURLRequestCachePolicy policy;
        bool readsCache;
    } cases[] = {{NSURLRequestUseProtocolCachePolicy, true},
                 {NSURLRequestReloadIgnoringLocalCacheData, false},
                 {NSURLRequestReturnCacheDataElseLoad, true},
                 {NSURLRequestReturnCacheDataDontLoad, true},
                 {static_cast<NSURLRequestCachePolicy>(4), false},
                 {static_cast<NSURLRequestCachePolicy>(5), false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.policy));
        auto downloader = makeDownloader();
        std::string url = server.image("policy" + std::to_string(c.policy));
        auto cached = nkimage::imageOf(nkimage::solidBitmap(2, 2));
        cache->addImage(cached, url);
        Outcome outcome;
        auto receipt = downloader->downloadImageForURLRequest(request(url, c.policy), outcome.success(), outcome.failure());
        ASSERT_TRUE(waitFor([&] { return outcome.done(); }));
        EXPECT_EQ(outcome.successes, 1);
        if (c.readsCache) {
            EXPECT_EQ(receipt, nullptr);
            EXPECT_EQ(outcome.image, cached);
            EXPECT_EQ(outcome.response, nullptr);
            EXPECT_EQ(server.requests("/img/policy" + std::to_string(c.policy)), 0);
        } else {
            ASSERT_NE(receipt, nullptr);
            EXPECT_NE(outcome.image, cached);
            EXPECT_EQ(server.requests("/img/policy" + std::to_string(c.policy)), 1);
            settle(downloader, receipt->task);
            EXPECT_EQ(cache->imageWithIdentifier(url), outcome.image);  // stored all the same
        }
    }
}

TEST_F(ImageDownloaderTest, ARequestWithoutURLFailsWithBadURL) {
    auto downloader = makeDownloader();
    Outcome outcome;
    auto noURL = std::make_shared<NSURLRequest>(nullptr);
    EXPECT_EQ(downloader->downloadImageForURLRequest(noURL, outcome.success(), outcome.failure()), nullptr);
    EXPECT_FALSE(outcome.done());  // asynchronously, on the main queue
    ASSERT_TRUE(waitFor([&] { return outcome.done(); }));
    EXPECT_EQ(outcome.failures, 1);
    EXPECT_EQ(outcome.error->code(), NSURLErrorBadURL);
    EXPECT_EQ(std::string(outcome.error->domain()), NSURLErrorDomain);
    EXPECT_EQ(outcome.request, noURL);
}

// Bad answers reach the failure callback with the serializer's error; nothing is cached.
TEST_F(ImageDownloaderTest, BadAnswersFailAndCacheNothing) {
    struct Case {
        const char* path;
        bool hasResponse;
    } cases[] = {{"/corrupt", true}, {"/truncated", true}, {"/huge", true},
                 {"/missing", true}, {"/text", true},      {"/cut/x", false}};
    auto downloader = makeDownloader();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        Outcome outcome;
        downloader->downloadImageForURLRequest(request(server.url(c.path)), outcome.success(), outcome.failure());
        ASSERT_TRUE(waitFor([&] { return outcome.done(); }));
        EXPECT_EQ(outcome.failures, 1);
        ASSERT_TRUE(outcome.error);
        if (c.hasResponse) {
            ASSERT_TRUE(outcome.response);
            EXPECT_EQ(std::string(outcome.error->domain()), "com.netkit.error.serialization.response");
        }
        EXPECT_EQ(cache->imageWithIdentifier(server.url(c.path)), nullptr);
    }
    EXPECT_EQ(cache->memoryUsage(), 0u);
    EXPECT_TRUE(waitFor([&] { return downloader->activeRequestCount() == 0; }));
}

TEST_F(ImageDownloaderTest, DefaultsAndTheSharedInstance) {
    auto configuration = NKImageDownloader::defaultURLSessionConfiguration();
    EXPECT_TRUE(configuration->HTTPShouldSetCookies());
    EXPECT_FALSE(configuration->HTTPShouldUsePipelining());
    EXPECT_EQ(configuration->timeoutIntervalForRequest(), 60.0);
    ASSERT_TRUE(configuration->URLCache());
    EXPECT_EQ(configuration->URLCache()->memoryCapacity(), 20u * 1024 * 1024);
    auto shared = NKImageDownloader::defaultInstance();
    EXPECT_EQ(shared, NKImageDownloader::defaultInstance());
    EXPECT_EQ(shared->maximumActiveDownloads(), 4);
    EXPECT_EQ(shared->downloadPrioritization(), NKImageDownloadPrioritizationFIFO);
    EXPECT_TRUE(std::dynamic_pointer_cast<NKAutoPurgingImageCache>(shared->imageCache()));
    EXPECT_TRUE(std::dynamic_pointer_cast<NKImageResponseSerializer>(shared->sessionManager()->responseSerializer()));
}

}  // namespace
