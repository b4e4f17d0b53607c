#pragma once
// Drives one task's load on its session's engine: the cache, the exchanges with the server
// (redirects included), the answers the delegate must give before the load goes on (server
// trust, response disposition, redirection), the body sinks (memory, download file) and the
// delivery of every event, in order, on the delegate queue.

#include <platform_net/NSHTTPURLResponse.h>
#include <platform_net/NSURLSession.h>
#include <platform_net/NSURLSessionTaskMetrics.h>

#include "session/URLLoadingEngine.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
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
    void setSuspended(bool suspended);
    void cancel();
    // Cancels a download and answers its resume data (or nothing) on the delegate queue.
    void cancelProducingResumeData(std::function<void(std::optional<std::vector<uint8_t>>)> handler);

    void transferDone(CURLcode result) override;
    void tick(double now) override;

    // Called from the TLS handshake with the peer's chain (DER, leaf first): answers whether
    // the connection may go on. When the delegate must be asked it answers false at once,
    // and the exchange starts over on a new connection after the delegate's answer.
    bool decideServerTrust(std::vector<std::vector<uint8_t>> chain);
    const std::string& host() const { return host_; }

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
    size_t readBody(char* data, size_t capacity);
    static int progressCallback(void* self, curl_off_t dlTotal, curl_off_t dlNow, curl_off_t ulTotal, curl_off_t ulNow);
    static CURLcode sslContextCallback(CURL* easy, void* sslContext, void* self);

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
    bool openDownloadFile(bool append);
    NSErrorPtr errorWithCode(int64_t code, Value::Dictionary extra = {}) const;
    void recordTransaction(CURLcode result);
    std::shared_ptr<NSURLSessionTaskMetrics> buildMetrics() const;
    NSErrorPtr untrustedError(const std::shared_ptr<SecTrust>& trust, NSErrorPtr reason) const;
    void trustAnswered(const std::shared_ptr<SecTrust>& trust, std::vector<std::vector<uint8_t>> chain,
                       NSURLSessionAuthChallengeDisposition disposition, const NSURLCredentialPtr& credential);
    void restartAfterTrustAnswer();
    // The session's delegate when it answers the selector and has that event's interface.
    template <class T>
    std::shared_ptr<T> delegateAs(const char* selector) const {
        return std::dynamic_pointer_cast<T>(session_->delegateFor(selector));
    }
    void deliver(std::function<void()> event) const;
    bool hasCompletionHandler() const;

    NSURLSessionPtr session_;
    NSURLSessionTaskPtr task_;
    std::shared_ptr<URLLoadingEngine> engine_;
    Kind kind_ = Kind::Data;

    // Engine-thread state.
    CURL* easy_ = nullptr;
    curl_slist* headerList_ = nullptr;
    NSURLRequestPtr request_;
    std::string host_;
    bool started_ = false;
    bool suspended_ = false;
    bool awaitingDecision_ = false;
    std::optional<CURLcode> doneWhileWaiting_;
    bool local_ = false;  // the response came from the cache or a refused redirect
    Data localBody_;
    NSURLSessionTaskMetricsResourceFetchType localFetchType_ = NSURLSessionTaskMetricsResourceFetchTypeLocalCache;

    int64_t statusCode_ = 0;
    std::string httpVersion_;
    NSHTTPHeaderFields headerFields_;
    bool headersDone_ = false;
    NSHTTPURLResponsePtr exchangeResponse_;
    bool redirecting_ = false;
    int redirectCount_ = 0;

    NSURLResponsePtr response_;
    bool collectBody_ = false;
    bool deliverData_ = false;
    Data body_;
    int64_t received_ = 0;
    int64_t expectedToReceive_ = -1;

    // Request body.
    const Data* uploadData_ = nullptr;
    size_t uploadOffset_ = 0;
    FILE* uploadFile_ = nullptr;
    std::shared_ptr<NSInputStream> uploadStream_;
    int64_t expectedToSend_ = -1;
    int64_t reportedSent_ = 0;
    int64_t bodyBytesRead_ = 0;
    int64_t sentBase_ = 0;
    double requestEndTime_ = 0;

    // Download file.
    FILE* file_ = nullptr;
    std::string filePath_;
    int64_t fileOffset_ = 0;  // bytes already there from an earlier attempt
    std::string validator_;   // ETag or Last-Modified of the response, for resume data
    std::function<void(std::optional<Data>)> resumeDataHandler_;

    // Timeouts (monotonic seconds).
    double idleTimeout_ = 60;
    double resourceTimeout_ = 7 * 24 * 3600;
    double lastActivity_ = 0;
    double resourceStart_ = 0;

    // Metrics.
    NSDate taskStart_;
    NSDate fetchStart_;
    double fetchStartMono_ = 0;
    long lastOsErrno_ = 0;
    std::vector<NSURLSessionTaskTransactionMetricsPtr> transactions_;

    // Server trust (engine thread). Asked: the delegate has the question and the handshake
    // was stopped; Answered: the answer came before the stopped transfer left the engine.
    enum class TrustQuestion { None, Asked, Answered };
    TrustQuestion trustQuestion_ = TrustQuestion::None;
    std::vector<std::vector<uint8_t>> trustedChain_;  // accepted, for the connection made again
    int trustQuestions_ = 0;
    NSErrorPtr trustError_;

    std::atomic<bool> finished_{false};
};
