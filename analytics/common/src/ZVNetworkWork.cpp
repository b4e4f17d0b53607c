#include <analytics_common/ZVNetworkWork.h>

#include <fstream>
#include <mutex>
#include <iterator>

#include <analytics_common/ZVBuildPayload.h>
#include <analytics_common/ZVCollectionHosts.h>
#include <analytics_common/ZVCommonLog.h>
#include <analytics_common/ZVConfigureCache.h>
#include <analytics_common/ZVEnvelope.h>
#include <analytics_common/ZVEnvelopeBuild.h>
#include <analytics_common/ZVFileUtility.h>
#include <analytics_common/ZVHelper.h>
#include <analytics_common/ZVThriftCodec.h>
#include <analytics_common/ZVUtils.h>
#include <analytics_common/ZVWorkDispatch.h>
#include <platform_foundation/NSPathUtilities.h>
#include <platform_net/NSHTTPURLResponse.h>
#include <platform_net/NSURLSession.h>

namespace {

std::vector<std::string> split(const std::string& text, const std::string& by) {
    std::vector<std::string> out;
    std::size_t from = 0;
    for (;;) {
        const auto at = text.find(by, from);
        out.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos) return out;
        from = at + by.size();
    }
}

std::string replaceAll(std::string text, const std::string& what, const std::string& with) {
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

double nowSeconds() { return static_cast<double>(ZVUtils::UTCIntervalMS()) / 1000.0; }

bool nonEmptyString(const std::optional<std::string>& v) { return v && !v->empty(); }

// A 200 "application/thrift" answer counts only when it is a Response the service filled in:
// a truncated or garbage body is no verdict on the file.
bool decodesToResponse(const NSURLRequest::Data& body) {
    ZVTResponse response;
    try {
        ZVThriftCodec::decode(Value::Data(body.begin(), body.end()), response);
    } catch (const std::exception&) {
        return false;
    }
    return response.resp_codeIsSet();
}

}  // namespace

std::optional<std::string> ZVNetworkWork::fieldSegment(const std::string& name) {
    const auto at = name.find('_');
    if (at == std::string::npos) return std::nullopt;
    return name.substr(0, at);
}

bool ZVNetworkWork::isAnalyticsBusiness(const std::string& path) {
    const auto segment = fieldSegment(lastPathComponent(path));
    return segment && segment->find('a') != std::string::npos;
}

bool ZVNetworkWork::isAnalyticsSessionBeginBusiness(const std::string& path) {
    const auto segment = fieldSegment(lastPathComponent(path));
    return segment && segment->find("ta") != std::string::npos;
}

NSMutableURLRequestPtr ZVNetworkWork::setupRequest(const std::string& url, const std::optional<std::string>& segment) {
    std::string contentType = "ut/";
    if (segment) {
        const std::string first = split(*segment, "&&").front();
        for (const std::string& item : split(first, "&=")) contentType += item.substr(0, item.find("=="));
    } else {
        ZVLOG_COMMON(ZVLogFlagWarning, "WARNING, file's name no be format:%@", Value());
    }
    std::string sdk = segment ? replaceAll(replaceAll(replaceAll(*segment, "==", "/"), "&=", " "), "&&", " ")
                              : std::string("(null)");
    sdk += "/iOS/" + ZVUtils::urlEncode(ZVUtils::appDisplayNameString()) + "/" + ZVUtils::deviceModelString() + "/" +
           ZVUtils::osVersionString() + " " + ZVUtils::md5(Value(ZVUtils::appkey()));
    auto target = NSURL::URLWithString(url);
    if (!target) return nullptr;
    auto request = NSMutableURLRequest::requestWithURL(target);
    request->setValue("envelope/json", "Msg-Type");
    request->setValue(contentType, "Content-Type");
    request->setValue(sdk, "X-Zavez-Sdk");
    request->setValue(std::to_string(static_cast<long long>(ZVUtils::UTCIntervalMS())), "X-Zavez-UTC");
    request->setCachePolicy(NSURLRequestReloadIgnoringLocalAndRemoteCacheData);
    return request;
}

bool ZVNetworkWork::postSynchronously(const NSMutableURLRequestPtr& request, const std::string& path,
                                      const dispatch_semaphore_t& semaphore, const Completion& completion) {
    std::ifstream in(path, std::ios::binary);
    if (!request || !in) return false;
    NSURLRequest::Data body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    request->setHTTPMethod("POST");
    request->setHTTPBody(std::move(body));
    // The session times a request out only while it is silent: a server that sends a byte now
    // and then would hold the job (and the queue behind it) for days. The wait ends at the
    // request's own time-out plus a grace; a completion that comes later finds the waiter gone
    // and neither runs (the job may be gone) nor signals (the semaphore is shared by the next
    // request). Once it started, it is waited for: it only records the answer.
    struct Handoff {
        std::mutex mutex;
        bool started = false, abandoned = false, result = false;
    };
    auto handoff = std::make_shared<Handoff>();
    auto task = NSURLSession::sharedSession()->dataTaskWithRequest(
        request, [handoff, semaphore, completion](std::optional<NSURLRequest::Data> data, NSURLResponsePtr response,
                                                  NSErrorPtr error) {
            {
                std::lock_guard lock(handoff->mutex);
                if (handoff->abandoned) return;
                handoff->started = true;
            }
            const bool result = completion(data, response, error);
            {
                std::lock_guard lock(handoff->mutex);
                handoff->result = result;
            }
            dispatch_semaphore_signal(semaphore);
        });
    task->resume();
    const double timeout =
        request->timeoutInterval() > 0 ? request->timeoutInterval() : NSURLRequest::DefaultTimeoutInterval;
    const double bound = timeout + kAnswerGraceSeconds;
    if (dispatch_semaphore_wait(semaphore, dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(bound * NSEC_PER_SEC))) != 0) {
        {
            std::lock_guard lock(handoff->mutex);
            handoff->abandoned = !handoff->started;
        }
        if (handoff->abandoned) {
            task->cancel();
            return false;
        }
        dispatch_semaphore_wait(semaphore, DISPATCH_TIME_FOREVER);
    }
    std::lock_guard lock(handoff->mutex);
    return handoff->result;
}

bool ZVNetworkWork::postDataToServer(const std::string& url, const std::string& path) {
    const auto segment = fieldSegment(lastPathComponent(path));
    const uint64_t start = ZVUtils::UTCIntervalMS();
    return postSynchronously(
        setupRequest(url, segment), path, ZVHelper::sharedInstance()->zvsema(),
        [this, segment, start, path](const std::optional<NSURLRequest::Data>& data, const NSURLResponsePtr& response,
                                     const NSErrorPtr& error) {
            const auto elapsed = static_cast<int32_t>(ZVUtils::UTCIntervalMS() - start);
            if (segment && segment->find("ta") != std::string::npos)
                ZVConfigureCache::setObject(Value(nowSeconds()), "zvSBLastPostInterval");
            else if (segment && segment->find('a') != std::string::npos)
                ZVConfigureCache::setObject(Value(nowSeconds()), "lastPostInterval");
            bool accepted = false;
            const char* counter = "zvFailedRequests";
            const auto http = std::dynamic_pointer_cast<NSHTTPURLResponse>(response);
            const bool serviceAnswer = data && !data->empty() && http &&
                                       http->valueForHTTPHeaderField("Content-Type") == "application/thrift";
            if (serviceAnswer && http->statusCode() != 200) {
                ZVLOG_COMMON(ZVLogFlagError, "common_envelope_error9", Value(http->statusCode()));
            } else if (serviceAnswer && !decodesToResponse(*data)) {
                ZVLOG_COMMON(ZVLogFlagError, "common_envelope_error8", Value(path));
            } else if (serviceAnswer) {
                const bool verified =
                    ZVBuildPayload::sharedInstance()->verifyResponseData(Value::Data(data->begin(), data->end()));
                ZVLOG_COMMON(verified ? ZVLogFlagDebug : ZVLogFlagError,
                             verified ? "common_envelope_debug7" : "common_envelope_error8", Value(path));
                (void)ZVFileUtility::removeFile(path);
                accepted = true;
                if (paths_.remove(path)) ZVWorkDispatch::sendEvent(Value(), E_ZV_C_LOAD_CACHE, nullptr);
                if (verified) counter = "zvSuccessfulRequests";
            } else if (error) {
                ZVLOG_COMMON(ZVLogFlagError, "common_envelope_error10", Value(error->localizedDescription()));
            }
            ZVConfigureCache::incCounterForKey(counter);
            if (elapsed >= 1) ZVConfigureCache::setObject(Value(int64_t(elapsed)), "zvLastRequestSpentMS");
            return accepted;
        });
}

bool ZVNetworkWork::postDataWithFile(const std::string& path) {
    auto hostOr = [](const char* key, const std::string& builtIn) {
        const auto v = ZVEnvelopeBuild::imprintProperty(key);
        return nonEmptyString(v) ? *v : builtIn;
    };
    std::vector<std::string> urls;
    if (lastPathComponent(path).find("z==") != std::string::npos) {
        urls = {"https://" + hostOr("oversea_domain_p", ZVCollectionHosts::primary()) + "/zcfg",
                "https://" + hostOr("oversea_domain_s", ZVCollectionHosts::secondary()) + "/zcfg"};
    } else {
        urls = {"https://" + hostOr("domain_p", ZVCollectionHosts::primary()) + "/unify_logs",
                "https://" + hostOr("domain_s", ZVCollectionHosts::secondary()) + "/unify_logs"};
        const Value swap = ZVConfigureCache::objectWithKey("zvExperimentDOM");
        if (!swap.isNull() && !swap.boolValue()) std::swap(urls[0], urls[1]);
    }
    for (const auto& url : urls)
        if (postDataToServer(url, path)) return true;
    return false;
}

void ZVNetworkWork::main() {
    const std::size_t given = paths_.count();
    paths_.reverse();
    bool emptied = true;
    while (const auto path = paths_.front()) {
        if (!ZVFileUtility::isExistAtPath(*path)) {
            (void)paths_.remove(*path);
            continue;
        }
        const std::string name = lastPathComponent(*path);
        ZVLOG_COMMON(ZVLogFlagDebug, "common_envelope_debug5", Value(name));
        if (!postDataWithFile(*path)) {
            ZVLOG_COMMON(ZVLogFlagError, "common_envelope_error7", Value(name));
            emptied = false;
            break;
        }
        ZVLOG_COMMON(ZVLogFlagDebug, "common_envelope_debug6", Value(name));
    }
    ZVEnvelopeBuild::sharedInstance()->setJobRunning(false);
    if (given > 0 && emptied)
        ZVWorkDispatch::sendEvent(Value::dict({{"zvIdleFrom", "zvNetwork"}}), E_ZV_C_NET_IDLE, nullptr);
}
