#include "session/URLTaskLoader.h"

#include <platform_foundation/NSJSONSerialization.h>
#include <platform_foundation/Sandbox.h>
#include <platform_net/NSURLError.h>
#include <platform_net/SecTrust.h>

#include "session/BodyStreamReader.h"
#include "session/CurlErrorMapping.h"

#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
constexpr int kMaximumRedirects = 16;

std::string trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return std::string(s.substr(b, e - b));
}

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

bool isRedirectStatus(int64_t status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
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

// OpenSSL's whole-chain verification hook: hands the peer's chain to the loader.
int verifyPeerChain(X509_STORE_CTX* store, void* arg) {
    auto* loader = static_cast<URLTaskLoader*>(arg);
    std::vector<std::vector<uint8_t>> ders;
    auto append = [&](X509* cert) {
        int len = i2d_X509(cert, nullptr);
        if (len <= 0) return;
        std::vector<uint8_t> der(static_cast<size_t>(len));
        unsigned char* p = der.data();
        i2d_X509(cert, &p);
        if (std::find(ders.begin(), ders.end(), der) == ders.end()) ders.push_back(std::move(der));
    };
    if (X509* leaf = X509_STORE_CTX_get0_cert(store)) append(leaf);
    if (STACK_OF(X509)* chain = X509_STORE_CTX_get0_untrusted(store)) {
        for (int i = 0; i < sk_X509_num(chain); ++i) append(sk_X509_value(chain, i));
    }
    return loader->decideServerTrust(std::move(ders)) ? 1 : 0;
}

constexpr int kMaximumTrustQuestions = 4;
}  // namespace

URLTaskLoader::URLTaskLoader(NSURLSessionPtr session, NSURLSessionTaskPtr task)
    : session_(std::move(session)), task_(std::move(task)), taskStart_(NSDate::date()) {
    engine_ = session_->engine();
    if (std::dynamic_pointer_cast<NSURLSessionDownloadTask>(task_)) kind_ = Kind::Download;
}

URLTaskLoader::~URLTaskLoader() {
    if (easy_) curl_easy_cleanup(easy_);
    if (headerList_) curl_slist_free_all(headerList_);
    if (uploadFile_) fclose(uploadFile_);
    if (file_) fclose(file_);
}

bool URLTaskLoader::hasCompletionHandler() const {
    if (auto data = std::dynamic_pointer_cast<NSURLSessionDataTask>(task_))
        return static_cast<bool>(data->completionHandler(URLTaskLoaderKey()));
    if (auto download = std::dynamic_pointer_cast<NSURLSessionDownloadTask>(task_))
        return static_cast<bool>(download->completionHandler(URLTaskLoaderKey()));
    return false;
}


void URLTaskLoader::deliver(std::function<void()> event) const { session_->deliver(std::move(event)); }

NSErrorPtr URLTaskLoader::errorWithCode(int64_t code, Value::Dictionary extra) const {
    NSURLPtr url = request_ ? request_->URL() : nullptr;
    if (!url) {
        if (auto current = task_->currentRequest()) url = current->URL();
    }
    return NSURLErrorWithCode(code, url, std::move(extra));
}

// --- control from any thread ---------------------------------------------------------------

void URLTaskLoader::start() {
    auto self = shared_from_this();
    engine_->post([self] { self->begin(); });
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
    started_ = true;
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
        if (const auto& resumeData = download->resumeData(URLTaskLoaderKey())) {
            Value info = NSJSONSerialization::JSONObjectWithData(*resumeData);
            std::string path = info.objectForKey("path").stringValue();
            int64_t offset = info.objectForKey("offset").integerValue();
            std::string validator = info.objectForKey("validator").stringValue();
            std::error_code ec;
            if (!path.empty() && offset > 0 && fs::exists(path, ec) &&
                static_cast<int64_t>(fs::file_size(path, ec)) == offset) {
                filePath_ = path;
                fileOffset_ = offset;
                auto ranged = request->mutableCopy();
                ranged->setValue("bytes=" + std::to_string(offset) + "-", "Range");
                if (!validator.empty()) ranged->setValue(validator, "If-Range");
                request = ranged;
            }
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
    auto transaction = std::make_shared<NSURLSessionTaskTransactionMetrics>();
    transaction->request = request;
    transaction->response = cached->response();
    transaction->resourceFetchType = NSURLSessionTaskMetricsResourceFetchTypeLocalCache;
    NSDate now = NSDate::date();
    transaction->fetchStartDate = now;
    transaction->responseStartDate = now;
    transaction->responseEndDate = now;
    transactions_.push_back(transaction);
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
    statusCode_ = 0;
    httpVersion_.clear();
    headerFields_.clear();
    headersDone_ = false;
    exchangeResponse_.reset();
    redirecting_ = false;
    localBody_.clear();
    reportedSent_ = 0;
    bodyBytesRead_ = 0;
    requestEndTime_ = 0;
    releaseEasy();
    easy_ = curl_easy_init();
    if (!easy_ || !configureEasy(*request_)) {
        finish(errorWithCode(NSURLErrorUnknown));
        return;
    }
    fetchStart_ = NSDate::date();
    lastActivity_ = URLLoadingEngine::now();
    fetchStartMono_ = lastActivity_;
    engine_->add(easy_, shared_from_this());
    updatePause();
}

bool URLTaskLoader::configureEasy(const NSURLRequest& request) {
    std::string url = request.URL()->absoluteString();
    if (auto hash = url.find('#'); hash != std::string::npos) url.resize(hash);
    curl_easy_setopt(easy_, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &URLTaskLoader::headerCallback);
    curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &URLTaskLoader::writeCallback);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy_, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy_, CURLOPT_XFERINFOFUNCTION, &URLTaskLoader::progressCallback);
    curl_easy_setopt(easy_, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(easy_, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_2TLS));
    curl_easy_setopt(easy_, CURLOPT_PIPEWAIT, 1L);
    curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(idleTimeout_ * 1000) + 1);

    // Server trust is decided by the session (and its delegate), not by libcurl: the chain is
    // handed over from the handshake, and every new connection is asked about again.
    curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(easy_, CURLOPT_SSL_SESSIONID_CACHE, 0L);
    curl_easy_setopt(easy_, CURLOPT_SSL_CTX_FUNCTION, &URLTaskLoader::sslContextCallback);
    curl_easy_setopt(easy_, CURLOPT_SSL_CTX_DATA, this);

    // Body: the task's upload source, else the request's body or stream.
    const std::string& method = request.HTTPMethod();
    uploadData_ = nullptr;
    uploadOffset_ = 0;
    if (uploadFile_) {
        fclose(uploadFile_);
        uploadFile_ = nullptr;
    }
    uploadStream_.reset();
    bool hasBody = false;
    expectedToSend_ = 0;
    auto body = task_->bodySource(URLTaskLoaderKey());
    switch (body.kind) {
        case NSURLSessionTask::Body::Data:
            uploadData_ = body.data;
            break;
        case NSURLSessionTask::Body::File: {
            std::string path = body.file->path();
            uploadFile_ = fopen(path.c_str(), "rb");
            if (!uploadFile_) return false;
            std::error_code ec;
            expectedToSend_ = static_cast<int64_t>(fs::file_size(path, ec));
            hasBody = true;
            break;
        }
        case NSURLSessionTask::Body::Stream:
        case NSURLSessionTask::Body::None:
            if (request.HTTPBodyStream())
                uploadStream_ = request.HTTPBodyStream();
            else if (request.HTTPBody())
                uploadData_ = &*request.HTTPBody();
            break;
    }
    if (uploadData_) {
        hasBody = true;
        expectedToSend_ = static_cast<int64_t>(uploadData_->size());
    }
    // A stream's length is unknown to the task even when the request names one; the
    // Content-Length field only spares the body its chunked framing.
    curl_off_t wireLength = -1;
    if (uploadStream_) {
        hasBody = true;
        expectedToSend_ = -1;
        if (auto length = request.valueForHTTPHeaderField("Content-Length")) {
            try {
                wireLength = std::stoll(*length);
            } catch (...) {
            }
        }
    }
    if (method == "HEAD") {
        curl_easy_setopt(easy_, CURLOPT_NOBODY, 1L);
    } else if (hasBody || method == "POST" || method == "PUT" || method == "PATCH") {
        curl_easy_setopt(easy_, CURLOPT_POST, 1L);
        curl_easy_setopt(easy_, CURLOPT_READFUNCTION, &URLTaskLoader::readCallback);
        curl_easy_setopt(easy_, CURLOPT_READDATA, this);
        curl_off_t size = uploadStream_ ? wireLength : static_cast<curl_off_t>(hasBody ? expectedToSend_ : 0);
        curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE, size);
        if (method != "POST") curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, method.c_str());
    } else if (method != "GET") {
        curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, method.c_str());
    }
    if (!hasBody) expectedToSend_ = 0;
    sentBase_ = 0;
    task_->setExpectedToSend(expectedToSend_, URLTaskLoaderKey());

    // Header fields: the request's, then the configuration's extra ones it lacks.
    if (headerList_) curl_slist_free_all(headerList_);
    headerList_ = nullptr;
    NSHTTPHeaderFields fields = request.allHTTPHeaderFields();
    for (auto& [name, value] : session_->configuration_->HTTPAdditionalHeaders())
        if (!fields.count(name)) fields.emplace(name, value);
    auto addLine = [&](const std::string& line) { headerList_ = curl_slist_append(headerList_, line.c_str()); };
    for (auto& [name, value] : fields) addLine(value.empty() ? name + ";" : name + ": " + value);
    // No header fields the caller did not ask for.
    addLine("Expect:");
    if (!fields.count("Content-Type")) addLine("Content-Type:");
    if (!fields.count("Accept-Encoding")) curl_easy_setopt(easy_, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headerList_);
    return true;
}

void URLTaskLoader::releaseEasy() {
    if (!easy_) return;
    engine_->remove(easy_);
    curl_easy_cleanup(easy_);
    easy_ = nullptr;
}

void URLTaskLoader::updatePause() {
    if (!easy_) return;
    curl_easy_pause(easy_, (suspended_ || awaitingDecision_) ? CURLPAUSE_ALL : CURLPAUSE_CONT);
}

// --- libcurl callbacks (engine thread) -----------------------------------------------------

size_t URLTaskLoader::headerCallback(char* data, size_t size, size_t count, void* p) {
    auto* self = static_cast<URLTaskLoader*>(p);
    size_t n = size * count;
    std::string_view line(data, n);
    self->lastActivity_ = URLLoadingEngine::now();
    if (line.substr(0, 5) == "HTTP/") {
        auto space = line.find(' ');
        self->httpVersion_ = std::string(line.substr(0, space));
        self->statusCode_ = 0;
        if (space != std::string_view::npos) {
            std::string rest = trim(line.substr(space + 1));
            try {
                self->statusCode_ = std::stoll(rest.substr(0, 3));
            } catch (...) {
                self->statusCode_ = 0;
            }
        }
        self->headerFields_.clear();
        self->headersDone_ = false;
        return n;
    }
    std::string text = trim(line);
    if (text.empty()) {
        if (self->statusCode_ >= 200 && !self->headersDone_) {
            self->headersDone_ = true;
            self->headersComplete();
        }
        return n;
    }
    auto colon = text.find(':');
    if (colon == std::string::npos) return n;
    std::string name = trim(std::string_view(text).substr(0, colon));
    std::string value = trim(std::string_view(text).substr(colon + 1));
    auto it = self->headerFields_.find(name);
    if (it != self->headerFields_.end())
        it->second += ", " + value;
    else
        self->headerFields_.emplace(name, value);
    return n;
}

size_t URLTaskLoader::writeCallback(char* data, size_t size, size_t count, void* p) {
    auto* self = static_cast<URLTaskLoader*>(p);
    size_t n = size * count;
    if (self->awaitingDecision_) return CURL_WRITEFUNC_PAUSE;
    self->lastActivity_ = URLLoadingEngine::now();
    if (self->redirecting_) {
        self->localBody_.insert(self->localBody_.end(), data, data + n);
        return n;
    }
    return self->receiveBody(data, n) ? n : 0;
}

size_t URLTaskLoader::readCallback(char* data, size_t size, size_t count, void* p) {
    auto* self = static_cast<URLTaskLoader*>(p);
    size_t got = self->readBody(data, size * count);
    if (got != CURL_READFUNC_ABORT) self->bodyBytesRead_ += static_cast<int64_t>(got);
    return got;
}

size_t URLTaskLoader::readBody(char* data, size_t n) {
    URLTaskLoader* self = this;
    self->lastActivity_ = URLLoadingEngine::now();
    if (self->uploadData_) {
        size_t left = self->uploadData_->size() - self->uploadOffset_;
        size_t take = std::min(left, n);
        std::memcpy(data, self->uploadData_->data() + self->uploadOffset_, take);
        self->uploadOffset_ += take;
        return take;
    }
    if (self->uploadFile_) {
        size_t got = fread(data, 1, n, self->uploadFile_);
        if (got == 0 && ferror(self->uploadFile_)) return CURL_READFUNC_ABORT;
        return got;
    }
    if (self->uploadStream_) {
        long got = readBodyStream(self->uploadStream_, reinterpret_cast<uint8_t*>(data), n);
        if (got < 0) return CURL_READFUNC_ABORT;
        return static_cast<size_t>(got);
    }
    return 0;
}

int URLTaskLoader::progressCallback(void* p, curl_off_t, curl_off_t, curl_off_t, curl_off_t wireSent) {
    auto* self = static_cast<URLTaskLoader*>(p);
    // Chunked bodies put framing on the wire; only body bytes count.
    int64_t ulNow = std::min<int64_t>(wireSent, self->bodyBytesRead_);
    if (ulNow <= self->reportedSent_) return 0;
    int64_t delta = ulNow - self->reportedSent_;
    self->reportedSent_ = ulNow;
    self->lastActivity_ = URLLoadingEngine::now();
    if (self->expectedToSend_ < 0 || ulNow >= self->expectedToSend_) self->requestEndTime_ = self->lastActivity_;
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

CURLcode URLTaskLoader::sslContextCallback(CURL*, void* sslContext, void* p) {
    SSL_CTX_set_cert_verify_callback(static_cast<SSL_CTX*>(sslContext), &verifyPeerChain, p);
    return CURLE_OK;
}

// --- responses -----------------------------------------------------------------------------

void URLTaskLoader::headersComplete() {
    exchangeResponse_ = NSHTTPURLResponse::create(request_->URL(), statusCode_, httpVersion_, headerFields_);
    if (isRedirectStatus(statusCode_) && headerFields_.count("Location")) {
        redirecting_ = true;
        return;
    }
    if (kind_ == Kind::Download && fileOffset_ > 0 && statusCode_ != 206) {
        // The server sent the whole resource again: start the file over.
        fileOffset_ = 0;
        if (!filePath_.empty()) {
            std::error_code ec;
            fs::remove(filePath_, ec);
            filePath_.clear();
        }
    }
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
        collectBody_ = true;
        constexpr int64_t kLargestReservation = 64 << 20;  // a bound on what a header field can claim
        if (expectedToReceive_ > 0 && !local_) body_.reserve(static_cast<size_t>(std::min(expectedToReceive_, kLargestReservation)));
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
        bool resuming = fileOffset_ > 0;
        if (!openDownloadFile(resuming)) {
            finish(errorWithCode(NSURLErrorCannotCreateFile));
            return;
        }
        auto download = std::static_pointer_cast<NSURLSessionDownloadTask>(task_);
        if (download->resumeData(URLTaskLoaderKey()) && !hasCompletionHandler()) {
            if (auto d = delegateAs<NSURLSessionDownloadDelegate>(NSURLSessionSelector::downloadTaskDidResumeAtOffset)) {
                auto session = session_;
                int64_t offset = fileOffset_;
                int64_t expected = expectedToReceive_ < 0 ? -1 : expectedToReceive_ + fileOffset_;
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
        if (!file_ || fwrite(bytes, 1, length, file_) != length) return false;
        if (!hasCompletionHandler()) {
            if (auto d = delegateAs<NSURLSessionDownloadDelegate>(NSURLSessionSelector::downloadTaskDidWriteData)) {
                auto session = session_;
                auto task = std::static_pointer_cast<NSURLSessionDownloadTask>(task_);
                int64_t written = static_cast<int64_t>(length);
                int64_t total = fileOffset_ + received_;
                int64_t expected = expectedToReceive_ < 0 ? -1 : expectedToReceive_ + fileOffset_;
                deliver([d, session, task, written, total, expected] {
                    d->downloadTaskDidWriteData(session, task, written, total, expected);
                });
            }
        }
        return true;
    }
    if (collectBody_) body_.insert(body_.end(), bytes, bytes + length);
    if (deliverData_) {
        if (auto d = delegateAs<NSURLSessionDataDelegate>(NSURLSessionSelector::dataTaskDidReceiveData)) {
            auto session = session_;
            auto task = std::static_pointer_cast<NSURLSessionDataTask>(task_);
            Data chunk(bytes, bytes + length);
            deliver([d, session, task, chunk = std::move(chunk)] { d->dataTaskDidReceiveData(session, task, chunk); });
        }
    }
    return true;
}

void URLTaskLoader::transferDone(CURLcode result) {
    if (trustQuestion_ != TrustQuestion::None) {
        // The handshake stopped at the server's chain, before any request byte: the exchange
        // starts over on a new connection once the delegate answered.
        if (easy_) {
            curl_easy_cleanup(easy_);
            easy_ = nullptr;
        }
        if (trustQuestion_ == TrustQuestion::Answered) restartAfterTrustAnswer();
        return;
    }
    recordTransaction(result);
    if (easy_) {
        curl_easy_cleanup(easy_);
        easy_ = nullptr;
    }
    if (awaitingDecision_) {
        doneWhileWaiting_ = result;
        return;
    }
    exchangeEnded(result);
}

void URLTaskLoader::exchangeEnded(CURLcode result) {
    if (finished_) return;
    if (trustError_) {
        finish(trustError_);
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
    auto next = request_->mutableCopy();
    next->setURL(target);
    int64_t status = response->statusCode();
    const std::string& method = request_->HTTPMethod();
    if ((status == 303 && method != "HEAD") || ((status == 301 || status == 302) && method == "POST")) {
        next->setHTTPMethod("GET");
        next->setHTTPBody(std::nullopt);
        next->setValue(std::nullopt, "Content-Type");
        next->setValue(std::nullopt, "Content-Length");
        task_->dropBody(URLTaskLoaderKey());
    }
    next->setValue(std::nullopt, "Range");
    NSURLRequestPtr proposed = next;
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

bool URLTaskLoader::openDownloadFile(bool append) {
    if (file_) return true;
    if (append && !filePath_.empty()) {
        file_ = fopen(filePath_.c_str(), "ab");
        return file_ != nullptr;
    }
    std::string dir = NSTemporaryDirectory();
    std::error_code ec;
    fs::create_directories(dir, ec);
    std::string pattern = dir + (dir.empty() || dir.back() != '/' ? "/" : "") + "URLDownload_XXXXXX.tmp";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = mkstemps(name.data(), 4);
    if (fd < 0) return false;
    file_ = fdopen(fd, "wb");
    if (!file_) {
        close(fd);
        return false;
    }
    filePath_ = name.data();
    fileOffset_ = 0;
    return true;
}

// --- completion ----------------------------------------------------------------------------

void URLTaskLoader::finishSuccess() {
    if (kind_ == Kind::Data) {
        storeInCacheThenFinish();
        return;
    }
    finish(nullptr);
}

void URLTaskLoader::storeInCacheThenFinish() {
    auto cache = session_->configuration_->URLCache();
    auto http = std::dynamic_pointer_cast<NSHTTPURLResponse>(response_);
    bool cacheable = cache && http && !local_ && request_ && request_->HTTPMethod() == "GET" &&
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
    auto policy = session_->configuration_->isEphemeral() ? NSURLCacheStorageAllowedInMemoryOnly : NSURLCacheStorageAllowed;
    auto proposed = std::make_shared<NSCachedURLResponse>(response_, body_, Value::Dictionary{}, policy);
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

std::shared_ptr<NSURLSessionTaskMetrics> URLTaskLoader::buildMetrics() const {
    auto metrics = std::make_shared<NSURLSessionTaskMetrics>();
    metrics->transactionMetrics = transactions_;
    metrics->taskInterval.startDate = taskStart_;
    metrics->taskInterval.duration = NSDate::date().timeIntervalSinceDate(taskStart_);
    metrics->redirectCount = redirectCount_;
    return metrics;
}

void URLTaskLoader::finish(NSErrorPtr error) {
    if (finished_.exchange(true)) return;
    auto self = shared_from_this();
    releaseEasy();
    engine_->unwatch(this);
    if (uploadFile_) {
        fclose(uploadFile_);
        uploadFile_ = nullptr;
    }
    if (uploadStream_) closeBodyStream(uploadStream_);
    if (file_) {
        fclose(file_);
        file_ = nullptr;
    }

    // A cancelled download can be continued when the server named a version to resume.
    std::optional<Data> resumeData;
    if (error && kind_ == Kind::Download) {
        std::error_code ec;
        bool keep = resumeDataHandler_ && !validator_.empty() && !filePath_.empty() && fs::exists(filePath_, ec) &&
                    request_ && request_->HTTPMethod() == "GET";
        if (keep) {
            Value info = Value::dict({{"url", request_->URL()->absoluteString()},
                                      {"path", filePath_},
                                      {"offset", fileOffset_ + received_},
                                      {"validator", validator_}});
            resumeData = NSJSONSerialization::dataWithJSONObject(info);
            Value::Dictionary extra;
            extra[Value(NSURLSessionDownloadTaskResumeData)] = Value(*resumeData);
            error = errorWithCode(error->code(), std::move(extra));
        } else if (!filePath_.empty()) {
            fs::remove(filePath_, ec);
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
        auto metrics = buildMetrics();
        auto d = metricsDelegate;
        deliver([d, session, task, metrics] { d->taskDidFinishCollectingMetrics(session, task, metrics); });
    };

    auto response = response_;
    if (kind_ == Kind::Download) {
        auto download = std::static_pointer_cast<NSURLSessionDownloadTask>(task);
        NSURLPtr location = (!error && !filePath_.empty()) ? NSURL::fileURLWithPath(filePath_) : nullptr;
        std::string path = error ? std::string() : filePath_;
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
            deliver([handler, body = std::move(body), response, error] { handler(body, response, error); });
        } else if (auto d = delegateAs<NSURLSessionTaskDelegate>(NSURLSessionSelector::taskDidCompleteWithError)) {
            deliver([d, session, task, error] { d->taskDidCompleteWithError(session, task, error); });
        }
    }
    task->detachSession(URLTaskLoaderKey());
    session->taskFinished(task.get());
}

void URLTaskLoader::tick(double now) {
    if (finished_ || suspended_ || awaitingDecision_) return;
    // Waiting for a trust answer counts as idle: the question times out like a silent server.
    if (now - lastActivity_ > idleTimeout_ || now - resourceStart_ > resourceTimeout_)
        finish(errorWithCode(NSURLErrorTimedOut));
}

// --- server trust --------------------------------------------------------------------------

NSErrorPtr URLTaskLoader::untrustedError(const std::shared_ptr<SecTrust>& trust, NSErrorPtr reason) const {
    Value::Dictionary extra;
    extra[Value(NSURLErrorFailingURLPeerTrustErrorKey)] = Value(trust);
    if (reason) extra[Value(NSUnderlyingErrorKey)] = Value(reason);
    extra[Value(NSLocalizedDescriptionKey)] =
        Value("The certificate for this server is invalid. You might be connecting to a server that is "
              "pretending to be \u201c" + host_ + "\u201d which could put your confidential information at risk.");
    return errorWithCode(NSURLErrorServerCertificateUntrusted, std::move(extra));
}

bool URLTaskLoader::decideServerTrust(std::vector<std::vector<uint8_t>> chain) {
    // The connection made again after the delegate's answer shows the chain it was about.
    if (!trustedChain_.empty() && chain == trustedChain_) {
        trustedChain_.clear();
        return true;
    }
    trustedChain_.clear();
    auto trust = SecTrustCreateForServer(chain, host_);
    if (!trust) return false;
    auto sessionLevel = delegateAs<NSURLSessionDelegate>(NSURLSessionSelector::didReceiveChallenge);
    auto taskLevel = sessionLevel ? nullptr : delegateAs<NSURLSessionTaskDelegate>(NSURLSessionSelector::taskDidReceiveChallenge);
    if (!sessionLevel && !taskLevel) {
        NSErrorPtr reason;
        if (SecTrustEvaluateWithError(trust, &reason)) return true;
        trustError_ = untrustedError(trust, reason);
        return false;
    }
    if (++trustQuestions_ > kMaximumTrustQuestions) {
        trustError_ = untrustedError(trust, nullptr);
        return false;
    }

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

    // The engine thread does not wait for the answer: this handshake stops here and the
    // transfer leaves the multi handle, so the session's other transfers go on. Until the
    // answer comes the engine keeps checking this load's time-outs.
    trustQuestion_ = TrustQuestion::Asked;
    lastActivity_ = URLLoadingEngine::now();
    engine_->watch(shared_from_this());
    return false;
}

void URLTaskLoader::trustAnswered(const std::shared_ptr<SecTrust>& trust, std::vector<std::vector<uint8_t>> chain,
                                  NSURLSessionAuthChallengeDisposition disposition, const NSURLCredentialPtr& credential) {
    if (finished_ || trustQuestion_ != TrustQuestion::Asked) return;
    if (disposition == NSURLSessionAuthChallengeCancelAuthenticationChallenge) {
        finish(errorWithCode(NSURLErrorCancelled));
        return;
    }
    bool trusted = disposition == NSURLSessionAuthChallengeUseCredential && credential && credential->serverTrust();
    if (!trusted) {
        NSErrorPtr reason;
        trusted = SecTrustEvaluateWithError(trust, &reason);
        if (!trusted) {
            finish(untrustedError(trust, reason));
            return;
        }
    }
    trustedChain_ = std::move(chain);
    lastActivity_ = URLLoadingEngine::now();
    // The stopped transfer normally left the multi handle already; else it restarts when it does.
    if (easy_)
        trustQuestion_ = TrustQuestion::Answered;
    else
        restartAfterTrustAnswer();
}

void URLTaskLoader::restartAfterTrustAnswer() {
    trustQuestion_ = TrustQuestion::None;
    engine_->unwatch(this);
    startExchange(request_);
}

// --- metrics -------------------------------------------------------------------------------

void URLTaskLoader::recordTransaction(CURLcode result) {
    if (!easy_) return;
    auto m = std::make_shared<NSURLSessionTaskTransactionMetrics>();
    m->request = request_;
    m->response = exchangeResponse_;
    m->resourceFetchType = NSURLSessionTaskMetricsResourceFetchTypeNetworkLoad;
    double t0 = fetchStart_.timeIntervalSinceReferenceDate();
    auto info = [&](CURLINFO what) {
        curl_off_t v = 0;
        curl_easy_getinfo(easy_, what, &v);
        return static_cast<double>(v) / 1e6;
    };
    double lookup = info(CURLINFO_NAMELOOKUP_TIME_T), connect = info(CURLINFO_CONNECT_TIME_T),
           appConnect = info(CURLINFO_APPCONNECT_TIME_T), pretransfer = info(CURLINFO_PRETRANSFER_TIME_T),
           firstByte = info(CURLINFO_STARTTRANSFER_TIME_T), total = info(CURLINFO_TOTAL_TIME_T);
    long connects = 0, version = 0, osErrno = 0;
    curl_easy_getinfo(easy_, CURLINFO_NUM_CONNECTS, &connects);
    curl_easy_getinfo(easy_, CURLINFO_HTTP_VERSION, &version);
    curl_easy_getinfo(easy_, CURLINFO_OS_ERRNO, &osErrno);
    lastOsErrno_ = osErrno;
    bool secure = request_ && lower(request_->URL()->scheme()) == "https";

    // Each phase starts no earlier than the one before it.
    double last = t0;
    auto at = [&](double offset) {
        last = std::max(last, t0 + offset);
        return NSDate(last);
    };
    m->fetchStartDate = NSDate(t0);
    m->isReusedConnection = connects == 0 && (pretransfer > 0 || exchangeResponse_);
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
        if (requestEndTime_ > 0) end = std::max(end, requestEndTime_ - fetchStartMono_);
        if (firstByte > 0) end = std::min(end, firstByte);
        m->requestEndDate = at(end);
    }
    if (firstByte > 0 && exchangeResponse_) {
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
    curl_easy_getinfo(easy_, CURLINFO_REQUEST_SIZE, &requestSize);
    curl_easy_getinfo(easy_, CURLINFO_HEADER_SIZE, &headerSize);
    curl_off_t uploaded = 0, downloaded = 0;
    curl_easy_getinfo(easy_, CURLINFO_SIZE_UPLOAD_T, &uploaded);
    curl_easy_getinfo(easy_, CURLINFO_SIZE_DOWNLOAD_T, &downloaded);
    m->countOfRequestBodyBytesSent = uploaded;
    m->countOfRequestHeaderBytesSent = std::max<int64_t>(0, requestSize - uploaded);
    m->countOfResponseHeaderBytesReceived = headerSize;
    m->countOfResponseBodyBytesReceived = downloaded;
    char* ip = nullptr;
    long port = 0;
    if (curl_easy_getinfo(easy_, CURLINFO_PRIMARY_IP, &ip) == CURLE_OK && ip && *ip) {
        m->remoteAddress = ip;
        curl_easy_getinfo(easy_, CURLINFO_PRIMARY_PORT, &port);
        m->remotePort = port;
    }
    if (curl_easy_getinfo(easy_, CURLINFO_LOCAL_IP, &ip) == CURLE_OK && ip && *ip) {
        m->localAddress = ip;
        curl_easy_getinfo(easy_, CURLINFO_LOCAL_PORT, &port);
        m->localPort = port;
    }
    (void)result;
    transactions_.push_back(m);
}
