#pragma once
// Test helper: a session delegate that implements every event, records them in order with
// whether each ran on the expected queue (and alone), and lets a test steer the answers.

#include <platform_dispatch/NSOperationQueue.h>
#include <platform_dispatch/RunLoopSpin.h>
#include <platform_net/NSURLSession.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class URLSessionRecorder : public NSURLSessionDownloadDelegate {
    NS_CLASS(URLSessionRecorder, NSURLSessionDownloadDelegate)
    NS_SELECTORS("URLSession:didBecomeInvalidWithError:", "URLSession:didReceiveChallenge:completionHandler:",
                 "URLSessionDidFinishEventsForBackgroundURLSession:",
                 "URLSession:task:willPerformHTTPRedirection:newRequest:completionHandler:",
                 "URLSession:task:didReceiveChallenge:completionHandler:", "URLSession:task:needNewBodyStream:",
                 "URLSession:task:didSendBodyData:totalBytesSent:totalBytesExpectedToSend:",
                 "URLSession:task:didCompleteWithError:", "URLSession:task:didFinishCollectingMetrics:",
                 "URLSession:dataTask:didReceiveResponse:completionHandler:", "URLSession:dataTask:didBecomeDownloadTask:",
                 "URLSession:dataTask:didReceiveData:", "URLSession:dataTask:willCacheResponse:completionHandler:",
                 "URLSession:downloadTask:didFinishDownloadingToURL:",
                 "URLSession:downloadTask:didWriteData:totalBytesWritten:totalBytesExpectedToWrite:",
                 "URLSession:downloadTask:didResumeAtOffset:expectedTotalBytes:")
public:
    using Data = std::vector<uint8_t>;

    // Selectors this delegate claims not to implement.
    std::set<std::string> unanswered;
    // The queue events must arrive on (set once the session exists).
    std::shared_ptr<NSOperationQueue> expectedQueue;

    // Steering; unset means the session's default answer.
    std::function<NSURLSessionResponseDisposition(const NSURLResponsePtr&)> onResponse;
    std::function<NSURLRequestPtr(const NSHTTPURLResponsePtr&, const NSURLRequestPtr&)> onRedirect;
    std::function<std::pair<NSURLSessionAuthChallengeDisposition, NSURLCredentialPtr>(const NSURLAuthenticationChallengePtr&)>
        onChallenge;
    std::function<NSCachedURLResponsePtr(const NSCachedURLResponsePtr&)> onWillCache;
    std::function<std::shared_ptr<NSInputStream>()> onNeedStream;
    std::function<void(const NSURLPtr&)> onFinishDownloading;

    bool respondsToSelector(std::string_view selector) const override {
        if (unanswered.count(std::string(selector))) return false;
        return NSURLSessionDownloadDelegate::respondsToSelector(selector);
    }

    // --- what was seen ---
    std::vector<std::string> events() const {
        std::lock_guard lock(m_);
        return events_;
    }
    size_t count(const std::string& event) const {
        std::lock_guard lock(m_);
        return static_cast<size_t>(std::count(events_.begin(), events_.end(), event));
    }
    Data body() const {
        std::lock_guard lock(m_);
        return body_;
    }
    std::string bodyText() const {
        auto b = body();
        return std::string(b.begin(), b.end());
    }
    bool waitForCompletion(double seconds = 10) {
        return spinMainRunLoopUntil([&] { return completions_.load() > 0; }, seconds);
    }
    bool waitFor(const std::string& event, double seconds = 10) {
        return spinMainRunLoopUntil([&] { return count(event) > 0; }, seconds);
    }

    std::atomic<int> completions_{0};
    std::atomic<bool> wrongQueue{false};
    std::atomic<bool> overlapped{false};
    NSErrorPtr error;
    NSURLResponsePtr response;
    NSURLSessionTaskMetricsPtr metrics;
    NSURLSessionDownloadTaskPtr becameDownload;
    Data downloadedFile;
    std::vector<int64_t> sentTotals;
    std::vector<int64_t> expectedToSend;
    std::vector<int64_t> writtenTotals;
    int64_t resumeOffset = -1;
    NSURLAuthenticationChallengePtr challenge;

    // --- events ---
    void didBecomeInvalidWithError(const NSURLSessionPtr&, const NSErrorPtr&) override { record("invalid"); }
    void didReceiveChallenge(const NSURLSessionPtr&, const NSURLAuthenticationChallengePtr& c,
                             ChallengeCompletion completion) override {
        record("challenge");
        answerChallenge(c, std::move(completion));
    }
    void URLSessionDidFinishEventsForBackgroundURLSession(const NSURLSessionPtr&) override { record("background"); }
    void taskWillPerformHTTPRedirection(const NSURLSessionPtr&, const NSURLSessionTaskPtr&, const NSHTTPURLResponsePtr& r,
                                        const NSURLRequestPtr& next, std::function<void(NSURLRequestPtr)> completion) override {
        record("redirect");
        completion(onRedirect ? onRedirect(r, next) : next);
    }
    void taskDidReceiveChallenge(const NSURLSessionPtr&, const NSURLSessionTaskPtr&, const NSURLAuthenticationChallengePtr& c,
                                 ChallengeCompletion completion) override {
        record("taskChallenge");
        answerChallenge(c, std::move(completion));
    }
    void taskNeedNewBodyStream(const NSURLSessionPtr&, const NSURLSessionTaskPtr&,
                               std::function<void(std::shared_ptr<NSInputStream>)> completion) override {
        record("needStream");
        completion(onNeedStream ? onNeedStream() : nullptr);
    }
    void taskDidSendBodyData(const NSURLSessionPtr&, const NSURLSessionTaskPtr&, int64_t, int64_t total,
                             int64_t expected) override {
        record("sent");
        std::lock_guard lock(m_);
        sentTotals.push_back(total);
        expectedToSend.push_back(expected);
    }
    void taskDidCompleteWithError(const NSURLSessionPtr&, const NSURLSessionTaskPtr& task, const NSErrorPtr& e) override {
        record("complete");
        {
            std::lock_guard lock(m_);
            error = e;
            response = task->response();
        }
        completions_++;
    }
    void taskDidFinishCollectingMetrics(const NSURLSessionPtr&, const NSURLSessionTaskPtr&,
                                        const NSURLSessionTaskMetricsPtr& m) override {
        record("metrics");
        std::lock_guard lock(m_);
        metrics = m;
    }
    void dataTaskDidReceiveResponse(const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&, const NSURLResponsePtr& r,
                                    std::function<void(NSURLSessionResponseDisposition)> completion) override {
        record("response");
        completion(onResponse ? onResponse(r) : NSURLSessionResponseAllow);
    }
    void dataTaskDidBecomeDownloadTask(const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&,
                                       const NSURLSessionDownloadTaskPtr& download) override {
        record("becomeDownload");
        std::lock_guard lock(m_);
        becameDownload = download;
    }
    void dataTaskDidReceiveData(const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&, const Data& data) override {
        record("data");
        std::lock_guard lock(m_);
        body_.insert(body_.end(), data.begin(), data.end());
    }
    void dataTaskWillCacheResponse(const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&, const NSCachedURLResponsePtr& proposed,
                                   std::function<void(NSCachedURLResponsePtr)> completion) override {
        record("cache");
        completion(onWillCache ? onWillCache(proposed) : proposed);
    }
    void downloadTaskDidFinishDownloadingToURL(const NSURLSessionPtr&, const NSURLSessionDownloadTaskPtr&,
                                               const NSURLPtr& location) override {
        record("finishDownload");
        std::ifstream in(location->path(), std::ios::binary);
        Data bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        {
            std::lock_guard lock(m_);
            downloadedFile = std::move(bytes);
        }
        if (onFinishDownloading) onFinishDownloading(location);
    }
    void downloadTaskDidWriteData(const NSURLSessionPtr&, const NSURLSessionDownloadTaskPtr&, int64_t, int64_t total,
                                  int64_t) override {
        record("write");
        std::lock_guard lock(m_);
        writtenTotals.push_back(total);
    }
    void downloadTaskDidResumeAtOffset(const NSURLSessionPtr&, const NSURLSessionDownloadTaskPtr&, int64_t offset,
                                       int64_t) override {
        record("resume");
        std::lock_guard lock(m_);
        resumeOffset = offset;
    }

private:
    void answerChallenge(const NSURLAuthenticationChallengePtr& c, ChallengeCompletion completion) {
        {
            std::lock_guard lock(m_);
            challenge = c;
        }
        if (onChallenge) {
            auto [disposition, credential] = onChallenge(c);
            completion(disposition, credential);
        } else {
            completion(NSURLSessionAuthChallengePerformDefaultHandling, nullptr);
        }
    }
    void record(const std::string& event) {
        if (inFlight_.fetch_add(1) != 0) overlapped = true;
        if (expectedQueue && NSOperationQueue::currentQueue() != expectedQueue) wrongQueue = true;
        {
            std::lock_guard lock(m_);
            events_.push_back(event);
        }
        inFlight_.fetch_sub(1);
    }

    mutable std::mutex m_;
    std::vector<std::string> events_;
    Data body_;
    std::atomic<int> inFlight_{0};
};
