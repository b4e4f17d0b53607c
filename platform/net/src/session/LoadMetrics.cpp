#include "session/LoadMetrics.h"


#include <algorithm>
#include <cctype>

void LoadMetrics::exchangeStarted(double now) {
    fetchStart_ = NSDate::date();
    fetchStartMono_ = now;
    requestEnd_ = 0;
}

void LoadMetrics::recordLocal(const NSURLRequestPtr& request, const NSURLResponsePtr& response) {
    auto transaction = std::make_shared<NSURLSessionTaskTransactionMetrics>();
    transaction->request = request;
    transaction->response = response;
    transaction->resourceFetchType = NSURLSessionTaskMetricsResourceFetchTypeLocalCache;
    NSDate now = NSDate::date();
    transaction->fetchStartDate = now;
    transaction->responseStartDate = now;
    transaction->responseEndDate = now;
    transactions_.push_back(transaction);
}

long LoadMetrics::recordExchange(CURL* easy, const NSURLRequestPtr& request, const NSHTTPURLResponsePtr& response) {
    auto m = std::make_shared<NSURLSessionTaskTransactionMetrics>();
    m->request = request;
    m->response = response;
    m->resourceFetchType = NSURLSessionTaskMetricsResourceFetchTypeNetworkLoad;
    double t0 = fetchStart_.timeIntervalSinceReferenceDate();
    auto info = [&](CURLINFO what) {
        curl_off_t v = 0;
        curl_easy_getinfo(easy, what, &v);
        return static_cast<double>(v) / 1e6;
    };
    double lookup = info(CURLINFO_NAMELOOKUP_TIME_T), connect = info(CURLINFO_CONNECT_TIME_T),
           appConnect = info(CURLINFO_APPCONNECT_TIME_T), pretransfer = info(CURLINFO_PRETRANSFER_TIME_T),
           firstByte = info(CURLINFO_STARTTRANSFER_TIME_T), total = info(CURLINFO_TOTAL_TIME_T);
    long connects = 0, version = 0, osErrno = 0;
    curl_easy_getinfo(easy, CURLINFO_NUM_CONNECTS, &connects);
    curl_easy_getinfo(easy, CURLINFO_HTTP_VERSION, &version);
    curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &osErrno);
    std::string scheme = request && request->URL() ? request->URL()->scheme() : std::string();
    for (auto& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    bool secure = scheme == "https";

    // Each phase starts no earlier than the one before it.
    double last = t0;
    auto at = [&](double offset) {
        last = std::max(last, t0 + offset);
        return NSDate(last);
    };
    m->fetchStartDate = NSDate(t0);
    m->isReusedConnection = connects == 0 && (pretransfer > 0 || response);
    if (!m->isReusedConnection) {
        if (lookup > 0 || connect > 0) {
            m->domainLookupStartDate = at(0);
            m->domainLookupEndDate = at(lookup);
        }
        if (connect > 0) {
            m->connectStartDate = at(lookup);
            if (secure && appConnect > 0) {
                m->secureConnectionStartDate = at(connect);
                m->secureConnectionEndDate = at(appConnect);
            }
            m->connectEndDate = at(std::max(connect, appConnect));
        }
    }
    if (pretransfer > 0) {
        m->requestStartDate = at(pretransfer);
        double end = pretransfer;
        if (requestEnd_ > 0) end = std::max(end, requestEnd_ - fetchStartMono_);
        if (firstByte > 0) end = std::min(end, firstByte);
        m->requestEndDate = at(end);
    }
    if (firstByte > 0 && response) {
        m->responseStartDate = at(firstByte);
        m->responseEndDate = at(total);
    }
    switch (version) {
        case CURL_HTTP_VERSION_1_0: m->networkProtocolName = "http/1.0"; break;
        case CURL_HTTP_VERSION_1_1: m->networkProtocolName = "http/1.1"; break;
        case CURL_HTTP_VERSION_2_0: m->networkProtocolName = "h2"; break;
        case CURL_HTTP_VERSION_3: m->networkProtocolName = "h3"; break;
        default: break;
    }
    long requestSize = 0, headerSize = 0;
    curl_easy_getinfo(easy, CURLINFO_REQUEST_SIZE, &requestSize);
    curl_easy_getinfo(easy, CURLINFO_HEADER_SIZE, &headerSize);
    curl_off_t uploaded = 0, downloaded = 0;
    curl_easy_getinfo(easy, CURLINFO_SIZE_UPLOAD_T, &uploaded);
    curl_easy_getinfo(easy, CURLINFO_SIZE_DOWNLOAD_T, &downloaded);
    m->countOfRequestBodyBytesSent = uploaded;
    m->countOfRequestHeaderBytesSent = std::max<int64_t>(0, requestSize - uploaded);
    m->countOfResponseHeaderBytesReceived = headerSize;
    m->countOfResponseBodyBytesReceived = downloaded;
    char* ip = nullptr;
    long port = 0;
    if (curl_easy_getinfo(easy, CURLINFO_PRIMARY_IP, &ip) == CURLE_OK && ip && *ip) {
        m->remoteAddress = ip;
        curl_easy_getinfo(easy, CURLINFO_PRIMARY_PORT, &port);
        m->remotePort = port;
    }
    if (curl_easy_getinfo(easy, CURLINFO_LOCAL_IP, &ip) == CURLE_OK && ip && *ip) {
        m->localAddress = ip;
        curl_easy_getinfo(easy, CURLINFO_LOCAL_PORT, &port);
        m->localPort = port;
    }
    transactions_.push_back(m);
    return osErrno;
}

std::shared_ptr<NSURLSessionTaskMetrics> LoadMetrics::build(int redirectCount) const {
    auto metrics = std::make_shared<NSURLSessionTaskMetrics>();
    metrics->transactionMetrics = transactions_;
    metrics->taskInterval.startDate = taskStart_;
    metrics->taskInterval.duration = NSDate::date().timeIntervalSinceDate(taskStart_);
    metrics->redirectCount = redirectCount;
    return metrics;
}
