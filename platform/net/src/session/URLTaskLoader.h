#pragma once
// Drives one task's load on its session's engine: the cache, the exchanges with the server
// (redirects included), the answers the delegate must give before the load goes on (response
// disposition, redirection; server trust through its ServerTrustGate) and the delivery of
// every event, in order, on the delegate queue. Its parts: the request set-up
// (CurlRequestSetup), the upload (RequestBody), the head of each response
// (ResponseHeaderParser), redirects (HTTPRedirect), the download file (DownloadSink) and the
// metrics (LoadMetrics). Lifetime: see NSURLSession.h. All state is the loading thread's;
// the public control calls post there.

#include <platform_net/NSHTTPURLResponse.h>
#include <platform_net/NSURLSession.h>
#include <platform_net/NSURLSessionTaskMetrics.h>

#include "session/CurlHandles.h"
#include "session/DownloadSink.h"
#include "session/LoadMetrics.h"
#include "session/RequestBody.h"
#include "session/ResponseHeaderParser.h"
#include "session/ServerTrustGate.h"
#include "session/URLLoadingEngine.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class SecTrust;

class URLTaskLoader : public EngineTransfer, public std::enable_shared_from_this<URLTaskLoader> {
public:
    URLTaskLoader(NSURLSessionPtr session, NSURLSessionTaskPtr task);
    ~URLTaskLoader() override;

    // Any thread; the work runs on the engine thread.
    void start();
    // Airplane mode: every started, unfinished load ends with NSURLErrorNotConnectedToInternet.
    static void endAllRunning();
    void setSuspended(bool suspended);
    void cancel();
    // Ends a load that was never started, on the caller's thread: nothing of it is on the
    // loading thread, so the task completes (-999) without waiting for it. The caller makes
    // sure start() is never called afterwards (the task left its suspended state).
    void cancelBeforeStart();
    // Cancels a download and answers its resume data (or nothing) on the delegate queue.
    void cancelProducingResumeData(std::function<void(std::optional<std::vector<uint8_t>>)> handler);

    void transferDone(CURLcode result) override;
    void tick(double now) override;


private:
    enum class Kind { Data, Download };
    using Data = std::vector<uint8_t>;

    void begin();
    bool answerFromCache();
    void startExchange(NSURLRequestPtr request);
    bool configureEasy(const NSURLRequest& request);
    void releaseEasy();
    void updatePause();

    static size_t headerCallback(char* data, size_t size, size_t count, void* self);
    static size_t writeCallback(char* data, size_t size, size_t count, void* self);
    static size_t readCallback(char* data, size_t size, size_t count, void* self);
    static int progressCallback(void* self, curl_off_t dlTotal, curl_off_t dlNow, curl_off_t ulTotal, curl_off_t ulNow);

    void headersComplete();
    // The final response of the load: asks the delegate's disposition when it wants to.
    void responseReady(NSURLResponsePtr response);
    void applyDisposition(NSURLSessionResponseDisposition disposition);
    void continueAfterResponse();
    bool receiveBody(const char* bytes, size_t length);
    void exchangeEnded(CURLcode result);
    void handleRedirect();
    void finishSuccess();
    void storeInCacheThenFinish();
    void finish(NSErrorPtr error);
    void becomeDownload();
    NSErrorPtr errorWithCode(int64_t code, Value::Dictionary extra = {}) const;
    // The gate's question to the delegate; false when no delegate takes it.
    bool askAboutServerTrust(const std::shared_ptr<SecTrust>& trust, const ServerTrustGate::Chain& chain);
    void trustAnswered(const std::shared_ptr<SecTrust>& trust, ServerTrustGate::Chain chain,
                       NSURLSessionAuthChallengeDisposition disposition, const NSURLCredentialPtr& credential);
    void restartAfterTrustAnswer();
    // The session's delegate when it answers the selector and has that event's interface.
    template <class T>
    std::shared_ptr<T> delegateAs(const char* selector) const {
        return std::dynamic_pointer_cast<T>(session_->delegateFor(selector));
    }
    // Hands an event to the delegate queue, behind the body bytes still gathered for it.
    void deliver(std::function<void()> event);
    void deliverGatheredData();
    bool hasCompletionHandler() const;
    NSURLCacheStoragePolicy cacheStoragePolicy() const;
    // Whether the session's URL cache may keep this response's body (asked once its head came).
    bool cacheMayKeepBody() const;

    NSURLSessionPtr session_;
    NSURLSessionTaskPtr task_;
    std::shared_ptr<URLLoadingEngine> engine_;
    Kind kind_ = Kind::Data;

    // Engine-thread state. The trust gate and the body parts come before the handle that
    // points at them, so the handle goes first.
    ServerTrustGate trustGate_;
    RequestBody requestBody_;
    DownloadSink downloadSink_;
    LoadMetrics metrics_;
    CurlHeaderListPtr headerList_;
    CurlEasyPtr easy_;
    NSURLRequestPtr request_;
    std::string host_;
    bool started_ = false;
    bool suspended_ = false;
    bool awaitingDecision_ = false;
    std::optional<CURLcode> doneWhileWaiting_;
    bool local_ = false;  // the response came from the cache or a refused redirect
    Data localBody_;
    NSURLSessionTaskMetricsResourceFetchType localFetchType_ = NSURLSessionTaskMetricsResourceFetchTypeLocalCache;

    ResponseHeaderParser headers_;
    NSHTTPURLResponsePtr exchangeResponse_;
    bool redirecting_ = false;
    int redirectCount_ = 0;

    NSURLResponsePtr response_;
    bool collectBody_ = false;
    bool deliverData_ = false;
    // Body bytes received in this turn of the loading thread for the delegate: one
    // received-data event carries them, at the turn's end or before the next event.
    Data gathered_;
    bool gatheredFlushDue_ = false;
    Data body_;
    int64_t received_ = 0;
    int64_t expectedToReceive_ = -1;

    int64_t expectedToSend_ = -1;
    int64_t reportedSent_ = 0;

    std::string validator_;  // ETag or Last-Modified of the response, for resume data
    std::function<void(std::optional<Data>)> resumeDataHandler_;

    // Timeouts (monotonic seconds).
    double idleTimeout_ = 60;
    double resourceTimeout_ = 7 * 24 * 3600;
    double lastActivity_ = 0;
    double resourceStart_ = 0;
    long lastOsErrno_ = 0;

    std::atomic<bool> finished_{false};
};
