#pragma once
// The metrics of one load: a transaction per exchange with the server (from libcurl's
// timings and counters) or per answer made locally. Loading thread only.

#include <platform_net/NSHTTPURLResponse.h>
#include <platform_net/NSURLSessionTaskMetrics.h>

#include "CurlLibrary.h"

#include <memory>
#include <vector>

class LoadMetrics {
public:
    LoadMetrics() : taskStart_(NSDate::date()) {}

    // An exchange starts now (monotonic `now` as the engine counts).
    void exchangeStarted(double now);
    // The request's last body byte went out at `now`.
    void requestBodyEnded(double now) { requestEnd_ = now; }
    // The exchange on `easy` ended: a network transaction. Answers libcurl's OS error.
    long recordExchange(CURL* easy, const NSURLRequestPtr& request, const NSHTTPURLResponsePtr& response);
    // A response answered without the network (from the cache).
    void recordLocal(const NSURLRequestPtr& request, const NSURLResponsePtr& response);

    std::shared_ptr<NSURLSessionTaskMetrics> build(int redirectCount) const;

private:
    NSDate taskStart_;
    NSDate fetchStart_;
    double fetchStartMono_ = 0;
    double requestEnd_ = 0;
    std::vector<NSURLSessionTaskTransactionMetricsPtr> transactions_;
};
