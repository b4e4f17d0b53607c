#include "session/URLTaskLoader.h"

#include <platform_net/AirplaneMode.h>
#include <platform_net/URLLoadActivity.h>

#include <platform_net/NSURLError.h>
#include <platform_net/SecTrust.h>

#include "session/CurlErrorMapping.h"
#include "session/CurlRequestSetup.h"
#include "session/HTTPRedirect.h"

#include <algorithm>
#include <mutex>
#include <vector>
#include <cctype>
#include <filesystem>

namespace fs = std::filesystem;

namespace {
constexpr int kMaximumRedirects = 16;

std::string lower(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Names under the reserved top-level domain "invalid" never resolve: no lookup is made.
bool isReservedInvalidName(std::string host) {
    host = lower(std::move(host));
    if (!host.empty() && host.back() == '.') host.pop_back();
    constexpr std::string_view kSuffix = ".invalid";
    return host == "invalid" ||
           (host.size() > kSuffix.size() && host.compare(host.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0);
}

// max-age of a Cache-Control value, when it allows reuse at all.
std::optional<double> maxAge(const std::optional<std::string>& cacheControl) {
    if (!cacheControl) return std::nullopt;
    std::string v = lower(*cacheControl);
    if (v.find("no-cache") != std::string::npos || v.find("no-store") != std::string::npos) return std::nullopt;
    auto pos = v.find("max-age=");
    if (pos == std::string::npos) return std::nullopt;
    try {
        return std::stod(v.substr(pos + 8));
    } catch (...) {
        return std::nullopt;
    }
}

}  // namespace

URLTaskLoader::URLTaskLoader(NSURLSessionPtr session, NSURLSessionTaskPtr task)
    : session_(std::move(session)),
      task_(std::move(task)),
      trustGate_([this](const std::shared_ptr<SecTrust>& trust, const ServerTrustGate::Chain& chain) {
                     return askAboutServerTrust(trust, chain);
                 },
                 [this](int64_t code, Value::Dictionary extra) { return errorWithCode(code, std::move(extra)); }) {
    engine_ = session_->engine();
    if (std::dynamic_pointer_cast<NSURLSessionDownloadTask>(task_)) kind_ = Kind::Download;
}

URLTaskLoader::~URLTaskLoader() = default;

bool URLTaskLoader::hasCompletionHandler() const {
    if (auto data = std::dynamic_pointer_cast<NSURLSessionDataTask>(task_))
        return static_cast<bool>(data->completionHandler(URLTaskLoaderKey()));
    if (auto download = std::dynamic_pointer_cast<NSURLSessionDownloadTask>(task_))
        return static_cast<bool>(download->completionHandler(URLTaskLoaderKey()));
    return false;
}


void URLTaskLoader::deliver(std::function<void()> event) {
    // On the loading thread the events of one turn go to the delegate queue together: one
    // queue hop (and one wake-up) for all of them instead of one each.
    if (engine_->onEngineThread()) {
        deliverGatheredData();
        if (auto flush = session_->holdDelivery(std::move(event))) engine_->atTurnEnd(std::move(flush));
        return;
    }
    session_->deliver(std::move(event));
}

void URLTaskLoader::deliverGatheredData() {
    if (gathered_.empty()) return;
    Data chunk = std::move(gathered_);
    gathered_ = Data();
    auto d = delegateAs<NSURLSessionDataDelegate>(NSURLSessionSelector::dataTaskDidReceiveData);
    auto task = std::dynamic_pointer_cast<NSURLSessionDataTask>(task_);
    if (!d || !task) return;
    auto session = session_;
    // The event runs once: the bytes move on to the delegate, which may keep them without a copy.
    deliver([d, session, task, chunk = std::move(chunk)]() mutable {
        d->dataTaskDidReceiveOwnedData(session, task, std::move(chunk));
    });
}

NSErrorPtr URLTaskLoader::errorWithCode(int64_t code, Value::Dictionary extra) const {
    NSURLPtr url = request_ ? request_->URL() : nullptr;
    if (!url) {
        if (auto current = task_->currentRequest()) url = current->URL();
    }
    return NSURLErrorWithCode(code, url, std::move(extra));
}

// --- control from any thread ---------------------------------------------------------------

namespace {
// The loads that began and have not finished, for airplane mode to end them.
std::mutex gRunningMutex;
std::vector<std::weak_ptr<URLTaskLoader>> gRunning;
// Loads from start until finish() handed their last events on.
std::atomic<std::size_t> gLoading{0};
// Loads resumed whose start has not yet run on the loading thread (or was dropped unrun).
std::atomic<std::size_t> gStarting{0};
struct StartingLoad {
    StartingLoad() { ++gStarting; }
    ~StartingLoad() { --gStarting; }
    StartingLoad(const StartingLoad&) = delete;
    StartingLoad& operator=(const StartingLoad&) = delete;
};
}  // namespace

std::size_t URLLoadingTaskCount() { return gStarting.load() + gLoading.load(); }

void URLTaskLoader::endAllRunning() {
    std::vector<std::shared_ptr<URLTaskLoader>> live;
    {
        std::lock_guard lock(gRunningMutex);
        for (auto& weak : gRunning)
            if (auto loader = weak.lock()) live.push_back(std::move(loader));
    }
    for (auto& loader : live)
        loader->engine_->post([loader] { loader->finish(loader->errorWithCode(NSURLErrorNotConnectedToInternet)); });
}

void URLTaskLoader::start() {
    auto self = shared_from_this();
    // Counted from here, so a load is never out of sight between its resume and its start.
    engine_->post([self, starting = std::make_shared<StartingLoad>()] { self->begin(); });
}

void URLTaskLoader::setSuspended(bool suspended) {
    auto self = shared_from_this();
    engine_->post([self, suspended] {
        self->suspended_ = suspended;
        if (!suspended) self->lastActivity_ = URLLoadingEngine::now();
        self->updatePause();
    });
}

void URLTaskLoader::cancel() {
    auto self = shared_from_this();
    engine_->post([self] { self->finish(self->errorWithCode(NSURLErrorCancelled)); });
}

void URLTaskLoader::cancelBeforeStart() { finish(errorWithCode(NSURLErrorCancelled)); }

void URLTaskLoader::cancelProducingResumeData(std::function<void(std::optional<std::vector<uint8_t>>)> handler) {
    auto self = shared_from_this();
    engine_->post([self, handler = std::move(handler)]() mutable {
        if (self->finished_) {
            self->deliver([handler] { handler(std::nullopt); });
            return;
        }
        self->resumeDataHandler_ = std::move(handler);
        self->finish(self->errorWithCode(NSURLErrorCancelled));
    });
}

// --- the load ------------------------------------------------------------------------------

void URLTaskLoader::begin() {
    if (finished_ || started_) return;
    if (NetworkAirplaneMode::isOn()) {
        finish(errorWithCode(NSURLErrorNotConnectedToInternet));  // without connecting
        return;
    }
    started_ = true;
    ++gLoading;
    {
        std::lock_guard lock(gRunningMutex);
        std::erase_if(gRunning, [](const std::weak_ptr<URLTaskLoader>& w) { return w.expired(); });
        gRunning.push_back(weak_from_this());
    }
    NSURLRequestPtr request = task_->currentRequest();
    auto config = session_->configuration_;
    resourceStart_ = URLLoadingEngine::now();
    lastActivity_ = resourceStart_;
    idleTimeout_ = config->timeoutIntervalForRequest();
    if (request && request->timeoutInterval() > 0 && (idleTimeout_ <= 0 || request->timeoutInterval() < idleTimeout_))
        idleTimeout_ = request->timeoutInterval();
    if (idleTimeout_ <= 0) idleTimeout_ = NSURLRequest::DefaultTimeoutInterval;
    resourceTimeout_ = config->timeoutIntervalForResource() > 0 ? config->timeoutIntervalForResource() : 7 * 24 * 3600;

    NSURLPtr url = request ? request->URL() : nullptr;
    std::string scheme = url ? lower(url->scheme()) : std::string();
    if (!url || (scheme != "http" && scheme != "https")) {
        request_ = request;
        finish(errorWithCode(NSURLErrorUnsupportedURL));
        return;
    }
    if (url->host().empty()) {
        request_ = request;
        finish(errorWithCode(NSURLErrorBadURL));
        return;
    }
    auto body = task_->bodySource(URLTaskLoaderKey());
    if (body.kind == NSURLSessionTask::Body::File) {
        std::error_code ec;
        std::string path = body.file ? body.file->path() : std::string();
        if (path.empty() || !fs::exists(path, ec)) {
            request_ = request;
            finish(errorWithCode(NSURLErrorFileDoesNotExist));
            return;
        }
        if (fs::is_directory(path, ec)) {
            request_ = request;
            finish(errorWithCode(NSURLErrorFileIsDirectory));
            return;
        }
    }

    // A streamed upload without a stream in its request asks the delegate for one.
    if (body.kind == NSURLSessionTask::Body::Stream && !request->HTTPBodyStream()) {
        auto d = delegateAs<NSURLSessionTaskDelegate>(NSURLSessionSelector::taskNeedNewBodyStream);
        if (!d) {
            request_ = request;
            finish(errorWithCode(NSURLErrorRequestBodyStreamExhausted));
            return;
        }
        std::weak_ptr<URLTaskLoader> weak = shared_from_this();
        auto session = session_;
        auto task = task_;
        deliver([d, session, task, weak, request] {
            d->taskNeedNewBodyStream(session, task, [weak, request](std::shared_ptr<NSInputStream> stream) {
                auto self = weak.lock();
                if (!self) return;
                self->engine_->post([self, request, stream] {
                    if (self->finished_) return;
                    if (!stream) {
                        self->request_ = request;
                        self->finish(self->errorWithCode(NSURLErrorRequestBodyStreamExhausted));
                        return;
                    }
                    auto withStream = request->mutableCopy();
                    withStream->setHTTPBodyStream(stream);
                    self->startExchange(withStream);
                });
            });
        });
        return;
    }

    if (kind_ == Kind::Download) {
        auto download = std::static_pointer_cast<NSURLSessionDownloadTask>(task_);
        const auto& resumeData = download->resumeData(URLTaskLoaderKey());
        if (auto resume = resumeData ? DownloadResumeData::parse(*resumeData) : std::nullopt) {
            downloadSink_.resumeFrom(resume->path, resume->offset);
            auto ranged = request->mutableCopy();
            ranged->setValue("bytes=" + std::to_string(resume->offset) + "-", "Range");
            if (!resume->validator.empty()) ranged->setValue(resume->validator, "If-Range");
            request = ranged;
        }
    }

    if (answerFromCache()) return;
    startExchange(request);
}

bool URLTaskLoader::answerFromCache() {
    NSURLRequestPtr request = task_->currentRequest();
    auto cache = session_->configuration_->URLCache();
    if (kind_ != Kind::Data || !cache || request->HTTPMethod() != "GET" || request->HTTPBody() ||
        request->HTTPBodyStream())
        return false;
    auto policy = request->cachePolicy();
    if (policy == NSURLRequestUseProtocolCachePolicy) policy = session_->configuration_->requestCachePolicy();
    if (policy == NSURLRequestReloadIgnoringLocalCacheData || policy == NSURLRequestReloadIgnoringLocalAndRemoteCacheData ||
        policy == NSURLRequestReloadRevalidatingCacheData)
        return false;
    auto cached = cache->cachedResponseForRequest(*request);
    if (!cached) {
        if (policy == NSURLRequestReturnCacheDataDontLoad) {
            request_ = request;
            finish(errorWithCode(NSURLErrorResourceUnavailable));
            return true;
        }
        return false;
    }
    if (policy == NSURLRequestUseProtocolCachePolicy) {
        auto http = std::dynamic_pointer_cast<NSHTTPURLResponse>(cached->response());
        auto age = http ? maxAge(http->valueForHTTPHeaderField("Cache-Control")) : std::nullopt;
        if (!age || cached->storedDate().timeIntervalSinceNow() < -*age) return false;
    }
    request_ = request;
    local_ = true;
    localFetchType_ = NSURLSessionTaskMetricsResourceFetchTypeLocalCache;
    localBody_ = cached->data();
    metrics_.recordLocal(request, cached->response());
    responseReady(cached->response());
    return true;
}

void URLTaskLoader::startExchange(NSURLRequestPtr request) {
    if (finished_) return;
    request_ = std::move(request);
    task_->setCurrentRequest(request_, URLTaskLoaderKey());
    host_ = request_->URL()->host();
    if (isReservedInvalidName(host_)) {
        finish(errorWithCode(NSURLErrorCannotFindHost));
        return;
    }
    headers_.reset();
    exchangeResponse_.reset();
    redirecting_ = false;
    localBody_.clear();
    reportedSent_ = 0;
    releaseEasy();
    easy_.reset(curl_easy_init());
    if (!easy_ || !configureEasy(*request_)) {
        finish(errorWithCode(NSURLErrorUnknown));
        return;
    }
    lastActivity_ = URLLoadingEngine::now();
    metrics_.exchangeStarted(lastActivity_);
    engine_->add(easy_.get(), shared_from_this());
    updatePause();
}

bool URLTaskLoader::configureEasy(const NSURLRequest& request) {
    CURL* easy = easy_.get();
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &URLTaskLoader::headerCallback);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &URLTaskLoader::writeCallback);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_READFUNCTION, &URLTaskLoader::readCallback);
    curl_easy_setopt(easy, CURLOPT_READDATA, this);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &URLTaskLoader::progressCallback);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_2TLS));
    // Waiting for another transfer's connection pays only where it may be shared (HTTP/2 is
    // offered over TLS only). On plain HTTP it made a request wait for another request's whole
    // response (a long upload, say) before opening a connection of its own.
    const bool secure = request.URL() && lower(request.URL()->scheme()) == "https";
    curl_easy_setopt(easy, CURLOPT_PIPEWAIT, secure ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(idleTimeout_ * 1000) + 1);
    trustGate_.attach(easy, host_);

    if (!requestBody_.open(task_->bodySource(URLTaskLoaderKey()), request)) return false;
    expectedToSend_ = requestBody_.expectedLength();
    task_->setExpectedToSend(expectedToSend_, URLTaskLoaderKey());
    headerList_ = setUpRequest(easy, request, requestBody_, session_->configuration_->HTTPAdditionalHeaders());
    return true;
}

void URLTaskLoader::releaseEasy() {
    if (!easy_) return;
    engine_->remove(easy_.get());
    easy_.reset();
}

void URLTaskLoader::updatePause() {
    if (!easy_) return;
    curl_easy_pause(easy_.get(), (suspended_ || awaitingDecision_) ? CURLPAUSE_ALL : CURLPAUSE_CONT);
}

// --- libcurl callbacks (engine thread) -----------------------------------------------------

size_t URLTaskLoader::headerCallback(char* data, size_t size, size_t count, void* p) {
    auto* self = static_cast<URLTaskLoader*>(p);
    size_t n = size * count;
    self->lastActivity_ = URLLoadingEngine::now();
    if (self->headers_.addLine(std::string_view(data, n))) self->headersComplete();
    return n;
}

size_t URLTaskLoader::writeCallback(char* data, size_t size, size_t count, void* p) {
    auto* self = static_cast<URLTaskLoader*>(p);
    size_t n = size * count;
    if (self->awaitingDecision_) return CURL_WRITEFUNC_PAUSE;
    self->lastActivity_ = URLLoadingEngine::now();
    if (self->redirecting_) {
        auto* begin = reinterpret_cast<const uint8_t*>(data);
        self->localBody_.insert(self->localBody_.end(), begin, begin + n);
        return n;
    }
    return self->receiveBody(data, n) ? n : 0;
}

size_t URLTaskLoader::readCallback(char* data, size_t size, size_t count, void* p) {
    auto* self = static_cast<URLTaskLoader*>(p);
    self->lastActivity_ = URLLoadingEngine::now();
    return self->requestBody_.read(data, size * count);
}

int URLTaskLoader::progressCallback(void* p, curl_off_t, curl_off_t, curl_off_t, curl_off_t wireSent) {
    auto* self = static_cast<URLTaskLoader*>(p);
    // Chunked bodies put framing on the wire; only body bytes count.
    int64_t ulNow = std::min<int64_t>(wireSent, self->requestBody_.bytesRead());
    if (ulNow <= self->reportedSent_) return 0;
    int64_t delta = ulNow - self->reportedSent_;
    self->reportedSent_ = ulNow;
    self->lastActivity_ = URLLoadingEngine::now();
    if (self->expectedToSend_ < 0 || ulNow >= self->expectedToSend_) self->metrics_.requestBodyEnded(self->lastActivity_);
    int64_t total = ulNow;
    self->task_->setBytesSent(total, URLTaskLoaderKey());
    if (auto d = self->delegateAs<NSURLSessionTaskDelegate>(NSURLSessionSelector::taskDidSendBodyData)) {
        auto session = self->session_;
        auto task = self->task_;
        int64_t expected = self->expectedToSend_;
        self->deliver([d, session, task, delta, total, expected] {
            d->taskDidSendBodyData(session, task, delta, total, expected);
        });
    }
    return 0;
}

// --- responses -----------------------------------------------------------------------------

void URLTaskLoader::headersComplete() {
    exchangeResponse_ = NSHTTPURLResponse::create(request_->URL(), headers_.statusCode(), headers_.httpVersion(), headers_.fields());
    if (isRedirectStatus(headers_.statusCode()) && headers_.fields().count("Location")) {
        redirecting_ = true;
        return;
    }
    // The server sent the whole resource again: start the file over.
    if (kind_ == Kind::Download && downloadSink_.resumedOffset() > 0 && headers_.statusCode() != 206) downloadSink_.discard();
    responseReady(exchangeResponse_);
}

void URLTaskLoader::responseReady(NSURLResponsePtr response) {
    response_ = std::move(response);
    expectedToReceive_ = response_ ? response_->expectedContentLength() : -1;
    if (auto http = std::dynamic_pointer_cast<NSHTTPURLResponse>(response_)) {
        if (auto etag = http->valueForHTTPHeaderField("ETag"))
            validator_ = *etag;
        else if (auto modified = http->valueForHTTPHeaderField("Last-Modified"))
            validator_ = *modified;
    }
    task_->setResponse(response_, expectedToReceive_, URLTaskLoaderKey());
    bool handler = hasCompletionHandler();
    if (kind_ == Kind::Data) {
        // The body is kept for the completion handler and for the URL cache; a delegate gets
        // it in pieces and needs no copy of the whole.
        collectBody_ = handler || cacheMayKeepBody();
        constexpr int64_t kLargestReservation = 64 << 20;  // a bound on what a header field can claim
        if (collectBody_ && expectedToReceive_ > 0 && !local_) body_.reserve(static_cast<size_t>(std::min(expectedToReceive_, kLargestReservation)));
        deliverData_ = !handler && delegateAs<NSURLSessionDataDelegate>(NSURLSessionSelector::dataTaskDidReceiveData) != nullptr;
        if (!handler) {
            if (auto d = delegateAs<NSURLSessionDataDelegate>(NSURLSessionSelector::dataTaskDidReceiveResponse)) {
                awaitingDecision_ = true;
                std::weak_ptr<URLTaskLoader> weak = shared_from_this();
                auto session = session_;
                auto task = std::static_pointer_cast<NSURLSessionDataTask>(task_);
                auto response = response_;
                deliver([d, session, task, response, weak] {
                    auto answered = std::make_shared<std::atomic<bool>>(false);
                    d->dataTaskDidReceiveResponse(session, task, response,
                                                  [weak, answered](NSURLSessionResponseDisposition disposition) {
                                                      if (answered->exchange(true)) return;
                                                      auto self = weak.lock();
                                                      if (!self) return;
                                                      self->engine_->post(
                                                          [self, disposition] { self->applyDisposition(disposition); });
                                                  });
                });
                return;
            }
        }
    }
    continueAfterResponse();
}

void URLTaskLoader::applyDisposition(NSURLSessionResponseDisposition disposition) {
    if (finished_) return;
    switch (disposition) {
        case NSURLSessionResponseCancel:
            finish(errorWithCode(NSURLErrorCancelled));
            return;
        case NSURLSessionResponseBecomeDownload:
            becomeDownload();
            break;
        default:
            break;
    }
    continueAfterResponse();
}

void URLTaskLoader::continueAfterResponse() {
    awaitingDecision_ = false;
    if (kind_ == Kind::Download) {
        bool resuming = downloadSink_.resumedOffset() > 0;
        if (!downloadSink_.open(resuming)) {
            finish(errorWithCode(NSURLErrorCannotCreateFile));
            return;
        }
        auto download = std::static_pointer_cast<NSURLSessionDownloadTask>(task_);
        if (download->resumeData(URLTaskLoaderKey()) && !hasCompletionHandler()) {
            if (auto d = delegateAs<NSURLSessionDownloadDelegate>(NSURLSessionSelector::downloadTaskDidResumeAtOffset)) {
                auto session = session_;
                int64_t offset = downloadSink_.resumedOffset();
                int64_t expected = expectedToReceive_ < 0 ? -1 : expectedToReceive_ + offset;
                deliver([d, session, download, offset, expected] {
                    d->downloadTaskDidResumeAtOffset(session, download, offset, expected);
                });
            }
        }
    }
    if (local_) {
        Data body = std::move(localBody_);
        localBody_.clear();
        if (!body.empty() && !receiveBody(reinterpret_cast<const char*>(body.data()), body.size())) {
            finish(errorWithCode(NSURLErrorCannotWriteToFile));
            return;
        }
        finishSuccess();
        return;
    }
    if (doneWhileWaiting_) {
        CURLcode result = *doneWhileWaiting_;
        doneWhileWaiting_.reset();
        exchangeEnded(result);
        return;
    }
    updatePause();
}

bool URLTaskLoader::receiveBody(const char* bytes, size_t length) {
    received_ += static_cast<int64_t>(length);
    task_->setBytesReceived(received_, URLTaskLoaderKey());
    if (kind_ == Kind::Download) {
        if (!downloadSink_.write(bytes, length)) return false;
        if (!hasCompletionHandler()) {
            if (auto d = delegateAs<NSURLSessionDownloadDelegate>(NSURLSessionSelector::downloadTaskDidWriteData)) {
                auto session = session_;
                auto task = std::static_pointer_cast<NSURLSessionDownloadTask>(task_);
                int64_t written = static_cast<int64_t>(length);
                int64_t total = downloadSink_.resumedOffset() + received_;
                int64_t expected = expectedToReceive_ < 0 ? -1 : expectedToReceive_ + downloadSink_.resumedOffset();
                deliver([d, session, task, written, total, expected] {
                    d->downloadTaskDidWriteData(session, task, written, total, expected);
                });
            }
        }
        return true;
    }
    // Same element type on both sides, so the insert is one block copy, not a byte loop.
    auto* begin = reinterpret_cast<const uint8_t*>(bytes);
    if (collectBody_) body_.insert(body_.end(), begin, begin + length);
    if (deliverData_) {
        // The pieces libcurl hands over in one turn (16 KB each) reach the delegate as one: one
        // event, and one append on the delegate's side, instead of one per piece.
        if (gathered_.empty() && expectedToReceive_ > 0) {
            constexpr int64_t kLargestGatherReservation = 4 << 20;
            int64_t remaining = std::max<int64_t>(expectedToReceive_ - received_ + static_cast<int64_t>(length), 0);
            gathered_.reserve(static_cast<size_t>(std::min(remaining, kLargestGatherReservation)));
        }
        gathered_.insert(gathered_.end(), begin, begin + length);
        if (!gatheredFlushDue_) {
            gatheredFlushDue_ = true;
            engine_->atTurnEnd([self = shared_from_this()] {
                self->gatheredFlushDue_ = false;
                self->deliverGatheredData();
            });
        }
    }
    return true;
}

void URLTaskLoader::transferDone(CURLcode result) {
    if (trustGate_.question() != ServerTrustGate::Question::None) {
        // The handshake stopped at the server's chain, before any request byte: the exchange
        // starts over on a new connection once the delegate answered.
        easy_.reset();
        if (trustGate_.question() == ServerTrustGate::Question::Answered) restartAfterTrustAnswer();
        return;
    }
    if (easy_) lastOsErrno_ = metrics_.recordExchange(easy_.get(), request_, exchangeResponse_);
    easy_.reset();
    if (awaitingDecision_) {
        doneWhileWaiting_ = result;
        return;
    }
    exchangeEnded(result);
}

void URLTaskLoader::exchangeEnded(CURLcode result) {
    if (finished_) return;
    if (trustGate_.refusal()) {
        finish(trustGate_.refusal());
        return;
    }
    if (result != CURLE_OK) {
        finish(errorWithCode(URLErrorCodeForCurlResult(result, lastOsErrno_)));
        return;
    }
    if (redirecting_) {
        handleRedirect();
        return;
    }
    if (!response_) {
        finish(errorWithCode(NSURLErrorBadServerResponse));
        return;
    }
    finishSuccess();
}

void URLTaskLoader::handleRedirect() {
    redirecting_ = false;
    auto response = exchangeResponse_;
    auto location = response->valueForHTTPHeaderField("Location");
    NSURLPtr target = location ? NSURL::URLWithString(*location, request_->URL()) : nullptr;
    auto refuse = [this, response] {
        local_ = true;
        localFetchType_ = NSURLSessionTaskMetricsResourceFetchTypeNetworkLoad;
        responseReady(response);
    };
    if (!target) {
        refuse();
        return;
    }
    if (++redirectCount_ > kMaximumRedirects) {
        finish(errorWithCode(NSURLErrorHTTPTooManyRedirects));
        return;
    }
    bool bodyDropped = false;
    NSURLRequestPtr proposed = redirectedRequest(*request_, response->statusCode(), target, bodyDropped);
    if (bodyDropped) task_->dropBody(URLTaskLoaderKey());
    auto d = delegateAs<NSURLSessionTaskDelegate>(NSURLSessionSelector::taskWillPerformHTTPRedirection);
    if (!d) {
        startExchange(proposed);
        return;
    }
    std::weak_ptr<URLTaskLoader> weak = shared_from_this();
    auto session = session_;
    auto task = task_;
    deliver([d, session, task, response, proposed, weak] {
        auto answered = std::make_shared<std::atomic<bool>>(false);
        d->taskWillPerformHTTPRedirection(session, task, response, proposed, [weak, answered](NSURLRequestPtr chosen) {
            if (answered->exchange(true)) return;
            auto self = weak.lock();
            if (!self) return;
            self->engine_->post([self, chosen] {
                if (self->finished_) return;
                if (chosen && chosen->URL()) {
                    self->startExchange(chosen);
                } else {
                    self->local_ = true;
                    self->localFetchType_ = NSURLSessionTaskMetricsResourceFetchTypeNetworkLoad;
                    self->responseReady(self->exchangeResponse_);
                }
            });
        });
    });
}

void URLTaskLoader::becomeDownload() {
    deliverGatheredData();  // bytes received so far belong to the data task
    auto dataTask = task_;
    auto download = NSURLSessionDownloadTask::continuing(*dataTask, session_->nextIdentifier(), shared_from_this(),
                                                         URLTaskLoaderKey());
    session_->registerTask(download);
    task_ = download;
    kind_ = Kind::Download;
    collectBody_ = false;
    deliverData_ = false;
    if (auto d = delegateAs<NSURLSessionDataDelegate>(NSURLSessionSelector::dataTaskDidBecomeDownloadTask)) {
        auto session = session_;
        auto data = std::static_pointer_cast<NSURLSessionDataTask>(dataTask);
        deliver([d, session, data, download] { d->dataTaskDidBecomeDownloadTask(session, data, download); });
    }
    session_->taskFinished(dataTask.get());
}

// --- completion ----------------------------------------------------------------------------

void URLTaskLoader::finishSuccess() {
    if (kind_ == Kind::Data) {
        storeInCacheThenFinish();
        return;
    }
    finish(nullptr);
}

NSURLCacheStoragePolicy URLTaskLoader::cacheStoragePolicy() const {
    return session_->configuration_->isEphemeral() ? NSURLCacheStorageAllowedInMemoryOnly : NSURLCacheStorageAllowed;
}

bool URLTaskLoader::cacheMayKeepBody() const {
    auto cache = session_->configuration_->URLCache();
    if (!cache) return false;
    // A delegate asked before the store may offer a response of its own: it gets the body.
    if (delegateAs<NSURLSessionDataDelegate>(NSURLSessionSelector::dataTaskWillCacheResponse)) return true;
    // The announced length is the body's only for bytes sent as they are; a body of unknown
    // length is kept until its end shows its size.
    auto http = std::dynamic_pointer_cast<NSHTTPURLResponse>(response_);
    if (expectedToReceive_ < 0 || !http) return true;
    if (auto coding = http->valueForHTTPHeaderField("Content-Encoding"); coding && lower(*coding) != "identity") return true;
    return cache->keepsBodyOfLength(static_cast<uint64_t>(expectedToReceive_), cacheStoragePolicy());
}

void URLTaskLoader::storeInCacheThenFinish() {
    auto cache = session_->configuration_->URLCache();
    auto http = std::dynamic_pointer_cast<NSHTTPURLResponse>(response_);
    // (Without a completion handler the body was kept only if the cache could keep it.)
    bool cacheable = cache && collectBody_ && http && !local_ && request_ && request_->HTTPMethod() == "GET" &&
                     (http->statusCode() == 200 || http->statusCode() == 203) &&
                     request_->cachePolicy() != NSURLRequestReloadIgnoringLocalAndRemoteCacheData;
    if (cacheable) {
        auto noStore = [](const std::optional<std::string>& v) {
            return v && lower(*v).find("no-store") != std::string::npos;
        };
        if (noStore(http->valueForHTTPHeaderField("Cache-Control")) || noStore(request_->valueForHTTPHeaderField("Cache-Control")))
            cacheable = false;
    }
    if (!cacheable) {
        finish(nullptr);
        return;
    }
    auto policy = cacheStoragePolicy();
    // Without a completion handler the cache is the body's last reader: it takes the bytes.
    Data cachedBody = hasCompletionHandler() ? body_ : std::move(body_);
    auto proposed = std::make_shared<NSCachedURLResponse>(response_, std::move(cachedBody), Value::Dictionary{}, policy);
    auto request = request_;
    auto d = hasCompletionHandler() ? nullptr : delegateAs<NSURLSessionDataDelegate>(NSURLSessionSelector::dataTaskWillCacheResponse);
    if (!d) {
        // The store may write a file: it runs on the delegate queue, ahead of the completion,
        // so the loading thread never waits for the disk.
        deliver([cache, proposed, request] { cache->storeCachedResponse(proposed, *request); });
        finish(nullptr);
        return;
    }
    std::weak_ptr<URLTaskLoader> weak = shared_from_this();
    auto session = session_;
    auto task = std::static_pointer_cast<NSURLSessionDataTask>(task_);
    deliver([d, session, task, proposed, cache, request, weak] {
        auto answered = std::make_shared<std::atomic<bool>>(false);
        d->dataTaskWillCacheResponse(session, task, proposed, [weak, answered, cache, request](NSCachedURLResponsePtr chosen) {
            if (answered->exchange(true)) return;
            if (chosen) cache->storeCachedResponse(chosen, *request);
            if (auto self = weak.lock()) self->engine_->post([self] { self->finish(nullptr); });
        });
    });
}

void URLTaskLoader::finish(NSErrorPtr error) {
    if (finished_.exchange(true)) return;
    {
        std::lock_guard lock(gRunningMutex);
        std::erase_if(gRunning, [this](const std::weak_ptr<URLTaskLoader>& w) {
            auto l = w.lock();
            return !l || l.get() == this;
        });
    }
    auto self = shared_from_this();
    releaseEasy();
    if (started_) engine_->unwatch(this);  // an unstarted load ends on its caller's thread
    requestBody_.close();
    downloadSink_.close();

    // A cancelled download can be continued when the server named a version to resume.
    std::optional<Data> resumeData;
    if (error && kind_ == Kind::Download) {
        std::error_code ec;
        const std::string& path = downloadSink_.path();
        bool keep = resumeDataHandler_ && !validator_.empty() && !path.empty() && fs::exists(path, ec) && request_ &&
                    request_->HTTPMethod() == "GET";
        if (keep) {
            resumeData = DownloadResumeData{request_->URL()->absoluteString(), path, downloadSink_.resumedOffset() + received_,
                                            validator_}
                             .encode();
            Value::Dictionary extra;
            extra[Value(NSURLSessionDownloadTaskResumeData)] = Value(*resumeData);
            error = errorWithCode(error->code(), std::move(extra));
        } else {
            downloadSink_.discard();
        }
    }

    auto task = task_;
    auto session = session_;
    task->complete(error, URLTaskLoaderKey());
    if (resumeDataHandler_) {
        auto handler = std::move(resumeDataHandler_);
        deliver([handler, resumeData] { handler(resumeData); });
    }
    auto metricsDelegate = delegateAs<NSURLSessionTaskDelegate>(NSURLSessionSelector::taskDidFinishCollectingMetrics);
    auto deliverMetrics = [&] {
        if (!metricsDelegate) return;
        auto metrics = metrics_.build(redirectCount_);
        auto d = metricsDelegate;
        deliver([d, session, task, metrics] { d->taskDidFinishCollectingMetrics(session, task, metrics); });
    };

    auto response = response_;
    if (kind_ == Kind::Download) {
        auto download = std::static_pointer_cast<NSURLSessionDownloadTask>(task);
        const std::string& file = downloadSink_.path();
        NSURLPtr location = (!error && !file.empty()) ? NSURL::fileURLWithPath(file) : nullptr;
        std::string path = error ? std::string() : file;
        auto handler = download->completionHandler(URLTaskLoaderKey());
        auto removeFile = [path] {
            if (path.empty()) return;
            std::error_code ec;
            fs::remove(path, ec);
        };
        if (handler) {
            deliverMetrics();
            deliver([handler, location, response, error, removeFile] {
                handler(location, response, error);
                removeFile();
            });
        } else {
            // The file is the delegate's only while the event runs.
            auto finishDelegate = delegateAs<NSURLSessionDownloadDelegate>(NSURLSessionSelector::downloadTaskDidFinishDownloadingToURL);
            deliver([finishDelegate, session, download, location, removeFile] {
                if (location && finishDelegate) finishDelegate->downloadTaskDidFinishDownloadingToURL(session, download, location);
                removeFile();
            });
            deliverMetrics();
            if (auto d = delegateAs<NSURLSessionTaskDelegate>(NSURLSessionSelector::taskDidCompleteWithError))
                deliver([d, session, task, error] { d->taskDidCompleteWithError(session, task, error); });
        }
    } else {
        deliverMetrics();
        auto data = std::dynamic_pointer_cast<NSURLSessionDataTask>(task);
        auto handler = data ? data->completionHandler(URLTaskLoaderKey()) : nullptr;
        if (handler) {
            std::optional<Data> body;
            if (!error) body = std::move(body_);
            // The event runs once: the body moves on to the handler instead of being copied.
            deliver([handler, body = std::move(body), response, error]() mutable {
                handler(std::move(body), response, error);
            });
        } else if (auto d = delegateAs<NSURLSessionTaskDelegate>(NSURLSessionSelector::taskDidCompleteWithError)) {
            deliver([d, session, task, error] { d->taskDidCompleteWithError(session, task, error); });
        }
    }
    task->detachSession(URLTaskLoaderKey());
    session->taskFinished(task.get());
    if (started_) --gLoading;
}

void URLTaskLoader::tick(double now) {
    if (finished_ || suspended_ || awaitingDecision_) return;
    // A paced body stream pauses on our side, not the server's: that is not idle time. Once
    // the pause passed, the upload goes on (within a tick of it).
    if (requestBody_.waiting()) {
        lastActivity_ = now;
        if (requestBody_.readableAgain()) updatePause();
    }
    // Waiting for a trust answer counts as idle: the question times out like a silent server.
    if (now - lastActivity_ > idleTimeout_ || now - resourceStart_ > resourceTimeout_)
        finish(errorWithCode(NSURLErrorTimedOut));
}

// --- server trust --------------------------------------------------------------------------

bool URLTaskLoader::askAboutServerTrust(const std::shared_ptr<SecTrust>& trust, const ServerTrustGate::Chain& chain) {
    auto sessionLevel = delegateAs<NSURLSessionDelegate>(NSURLSessionSelector::didReceiveChallenge);
    auto taskLevel = sessionLevel ? nullptr : delegateAs<NSURLSessionTaskDelegate>(NSURLSessionSelector::taskDidReceiveChallenge);
    if (!sessionLevel && !taskLevel) return false;

    long port = 443;
    if (auto p = request_->URL()->port()) port = *p;
    auto space = std::make_shared<NSURLProtectionSpace>(host_, port, std::string(NSURLProtectionSpaceHTTPS), std::nullopt,
                                                        NSURLAuthenticationMethodServerTrust, trust);
    auto challenge = std::make_shared<NSURLAuthenticationChallenge>(space, nullptr, 0, nullptr, nullptr);
    std::weak_ptr<URLTaskLoader> weak = shared_from_this();
    auto answered = std::make_shared<std::atomic<bool>>(false);
    auto completion = [weak, answered, trust, chain](NSURLSessionAuthChallengeDisposition disposition,
                                                     NSURLCredentialPtr credential) {
        if (answered->exchange(true)) return;
        auto self = weak.lock();
        if (!self) return;
        self->engine_->post([self, trust, chain, disposition, credential] {
            self->trustAnswered(trust, chain, disposition, credential);
        });
    };
    auto session = session_;
    auto task = task_;
    deliver([=] {
        if (sessionLevel)
            sessionLevel->didReceiveChallenge(session, challenge, completion);
        else
            taskLevel->taskDidReceiveChallenge(session, task, challenge, completion);
    });

    // The engine thread does not wait for the answer: the handshake stops and the transfer
    // leaves the multi handle, so the session's other transfers go on. Until the answer
    // comes the engine keeps checking this load's time-outs.
    lastActivity_ = URLLoadingEngine::now();
    engine_->watch(shared_from_this());
    return true;
}

void URLTaskLoader::trustAnswered(const std::shared_ptr<SecTrust>& trust, ServerTrustGate::Chain chain,
                                  NSURLSessionAuthChallengeDisposition disposition, const NSURLCredentialPtr& credential) {
    if (finished_ || trustGate_.question() != ServerTrustGate::Question::Asked) return;
    if (auto error = trustGate_.answered(trust, std::move(chain), disposition, credential)) {
        finish(error);
        return;
    }
    lastActivity_ = URLLoadingEngine::now();
    // The stopped transfer normally left the multi handle already; else it restarts when it does.
    if (easy_)
        trustGate_.answerArrivedEarly();
    else
        restartAfterTrustAnswer();
}

void URLTaskLoader::restartAfterTrustAnswer() {
    trustGate_.restarted();
    engine_->unwatch(this);
    startExchange(request_);
}
