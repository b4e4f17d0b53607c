#pragma once
// Timing and size figures of a task's transfers: one transaction per request made (each
// redirect is one), with the dates of the phases of the fetch.

#include <platform_net/NSURLRequest.h>
#include <platform_net/NSURLResponse.h>
#include <platform_runtime/NSDate.h>
#include <platform_runtime/NSObject.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

enum NSURLSessionTaskMetricsResourceFetchType : int64_t {
    NSURLSessionTaskMetricsResourceFetchTypeUnknown = 0,
    NSURLSessionTaskMetricsResourceFetchTypeNetworkLoad = 1,
    NSURLSessionTaskMetricsResourceFetchTypeServerPush = 2,
    NSURLSessionTaskMetricsResourceFetchTypeLocalCache = 3,
};

class NSURLSessionTaskTransactionMetrics : public NSObject {
public:
    std::string className() const override { return "NSURLSessionTaskTransactionMetrics"; }

    NSURLRequestPtr request;
    NSURLResponsePtr response;
    // Phase dates; absent where the phase did not happen (no lookup or connect on a reused
    // connection, no secure phase over plain HTTP, all network phases for a cache hit).
    std::optional<NSDate> fetchStartDate;
    std::optional<NSDate> domainLookupStartDate;
    std::optional<NSDate> domainLookupEndDate;
    std::optional<NSDate> connectStartDate;
    std::optional<NSDate> secureConnectionStartDate;
    std::optional<NSDate> secureConnectionEndDate;
    std::optional<NSDate> connectEndDate;
    std::optional<NSDate> requestStartDate;
    std::optional<NSDate> requestEndDate;
    std::optional<NSDate> responseStartDate;
    std::optional<NSDate> responseEndDate;
    // "http/1.1", "h2"; absent for a cache hit.
    std::optional<std::string> networkProtocolName;
    bool isProxyConnection = false;
    bool isReusedConnection = false;
    NSURLSessionTaskMetricsResourceFetchType resourceFetchType = NSURLSessionTaskMetricsResourceFetchTypeUnknown;
    int64_t countOfRequestHeaderBytesSent = 0;
    int64_t countOfRequestBodyBytesSent = 0;
    int64_t countOfResponseHeaderBytesReceived = 0;
    int64_t countOfResponseBodyBytesReceived = 0;
    std::optional<std::string> localAddress;
    std::optional<int64_t> localPort;
    std::optional<std::string> remoteAddress;
    std::optional<int64_t> remotePort;
};
using NSURLSessionTaskTransactionMetricsPtr = std::shared_ptr<NSURLSessionTaskTransactionMetrics>;

// The task's interval runs from its creation to the delivery of its completion.
struct NSDateInterval {
    NSDate startDate;
    double duration = 0;
    NSDate endDate() const { return NSDate::dateWithTimeIntervalSinceReferenceDate(startDate.timeIntervalSinceReferenceDate() + duration); }
};

class NSURLSessionTaskMetrics : public NSObject {
public:
    std::string className() const override { return "NSURLSessionTaskMetrics"; }

    std::vector<NSURLSessionTaskTransactionMetricsPtr> transactionMetrics;
    NSDateInterval taskInterval;
    int64_t redirectCount = 0;
};
using NSURLSessionTaskMetricsPtr = std::shared_ptr<NSURLSessionTaskMetrics>;
