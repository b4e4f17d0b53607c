#include <analytics_common/ZVSLNetworkWork.h>

#include <analytics_common/ZVBuildPayload.h>
#include <analytics_common/ZVCollectionHosts.h>
#include <analytics_common/ZVCommonLog.h>
#include <analytics_common/ZVEnvelopeBuild.h>
#include <analytics_common/ZVFileUtility.h>
#include <analytics_common/ZVHelper.h>
#include <analytics_common/ZVNetworkWork.h>
#include <analytics_common/ZVUtils.h>
#include <platform_foundation/NSPathUtilities.h>
#include <platform_net/NSHTTPURLResponse.h>
#include <platform_net/NSURL.h>

namespace {

std::mutex uploaderMutex;
ZVSLNetworkWork::Uploader& uploader() {
    static ZVSLNetworkWork::Uploader u;
    return u;
}

std::string joined(const std::string& base, const std::string& target) {
    return !target.empty() && target.front() == '/' ? base + target : base + "/" + target;
}

// A full URL is used as it is only when its host is the collection domain or one of its
// subdomains: a target that merely mentions the domain must not send data elsewhere.
bool isCollectionURL(const std::string& target) {
    if (target.find("https://") == std::string::npos) return false;
    const std::string& domain = ZVCollectionHosts::primaryDomain();
    if (domain.empty() || target.find(domain) == std::string::npos) return false;
    const auto url = NSURL::URLWithString(target);
    if (!url) return false;
    const std::string host = url->host();
    return host == domain || (host.size() > domain.size() + 1 && host.ends_with("." + domain));
}

}  // namespace

void ZVSLNetworkWork::setUploader(Uploader u) {
    std::lock_guard lock(uploaderMutex);
    uploader() = std::move(u);
}

std::string ZVSLNetworkWork::targetOfFile(const std::string& path) {
    const auto parts = pathComponents(path);
    std::string encoded;
    if (parts.size() >= 3 && parts[parts.size() - 3] == "stateless") {
        encoded = parts[parts.size() - 2];
    } else {
        const std::string name = lastPathComponent(path);
        encoded = name.substr(0, name.find('_'));
    }
    const std::string decoded = ZVFileUtility::pathFromStatelessName(encoded);
    return decoded;
}

bool ZVSLNetworkWork::postDataWithFile(const std::string& path) {
    const std::string target = targetOfFile(path);
    if (target.empty() || target == "(null)") {
        (void)ZVFileUtility::removeFile(path);
        (void)paths_.remove(path);
        return true;
    }
    if (isCollectionURL(target)) return postDataToServer(target, path);
    if (const auto host = ZVEnvelopeBuild::imprintProperty("sl_domain_p"); host && !host->empty())
        return postDataToServer(joined("https://" + *host, target), path);
    for (const std::string* host : {&ZVCollectionHosts::primary(), &ZVCollectionHosts::secondary()})
        if (postDataToServer(joined("https://" + *host, target), path)) return true;
    return false;
}

bool ZVSLNetworkWork::postDataToServer(const std::string& url, const std::string& path) {
    const std::string name = lastPathComponent(path);
    std::optional<std::string> segment;
    const auto underscore = name.find('_');
    if (path.find("zvstateless") != std::string::npos) {
        if (underscore != std::string::npos) {
            const std::string second = name.substr(underscore + 1, name.find('_', underscore + 1) - underscore - 1);
            segment = second.substr(0, second.find("=="));
        }
    } else {
        segment = name.substr(0, underscore);
    }
    return ZVNetworkWork::postSynchronously(
        ZVNetworkWork::setupRequest(url, segment), path, ZVHelper::sharedInstance()->zvsemasl(),
        [this, path](const std::optional<std::vector<uint8_t>>& data, const NSURLResponsePtr& response,
                     const NSErrorPtr&) {
            const auto http = std::dynamic_pointer_cast<NSHTTPURLResponse>(response);
            if (!http || http->statusCode() != 200) {
                ZVLOG_COMMON(ZVLogFlagError, "common_slenvelope_error9", Value(http ? http->statusCode() : 0));
                return false;
            }
            const Value::Data body = data ? Value::Data(data->begin(), data->end()) : Value::Data();
            if (ZVBuildPayload::sharedInstance()->verifySLResponseData(body))
                ZVLOG_COMMON(ZVLogFlagDebug, "common_slenvelope_debug4");
            else
                ZVLOG_COMMON(ZVLogFlagError, "common_envelope_error9", Value("fail"));
            (void)ZVFileUtility::removeFile(path);
            (void)paths_.remove(path);
            return true;
        });
}

void ZVSLNetworkWork::main() {
    Uploader u;
    {
        std::lock_guard lock(uploaderMutex);
        u = uploader();
    }
    if (u) {
        u(*this);
        return;
    }
    while (const auto path = paths_.front()) {
        if (!ZVFileUtility::isExistAtPath(*path)) {
            (void)paths_.remove(*path);
            continue;
        }
        const std::string name = lastPathComponent(*path);
        ZVLOG_COMMON(ZVLogFlagDebug, "common_slenvelope_debug2", Value(name));
        if (postDataWithFile(*path)) {
            ZVLOG_COMMON(ZVLogFlagDebug, "common_slenvelope_debug3");
        } else {
            ZVLOG_COMMON(ZVLogFlagError, "common_slenvelope_error7", Value(name));
            (void)paths_.remove(*path);
        }
    }
}
