// The common layer's own work events: assembling reports into envelopes, the zero and
// internal-data envelopes, the cache replay and the start after the zero key was granted.
// Everything here runs on the work queue.
#include <analytics_common/ZVWorkDispatch.h>

#include <analytics_common/ZVCommonLog.h>
#include <analytics_common/ZVConfigureCache.h>
#include <analytics_common/ZVEnvelopeBuild.h>
#include <analytics_common/ZVFileUtility.h>
#include <analytics_common/ZVHelper.h>
#include <analytics_common/ZVUcDB.h>
#include <analytics_common/ZVUtils.h>
#include <platform_foundation/NSPathUtilities.h>
#include <platform_runtime/ObjCRuntime.h>

namespace {

constexpr char kSdkVersion[] = "7.3.5";
constexpr char kInnerVersion[] = "1.2.0";

bool zeroKeyGranted() { return ZVConfigureCache::objectWithKey("zvZeroKey") == Value("YES"); }

bool hasKeys(const Value& v) { return v.isDictionary() && v.count() > 0; }

Value entry(const Value& dict, const char* key) {
    return dict.isDictionary() ? dict.objectForKey(Value(key)) : Value();
}

// The usage-analytics engine, when it is linked: found by name, a component by protocol.
std::shared_ptr<NSObject> engineObject() {
    const auto found = performClassSelector("ZuzOzevoInternal", "sharedInstance");
    return found && found->isObject() ? found->asObject() : nullptr;
}

void buildReport(ZVLogDataProtocol& component) {
    auto builder = ZVEnvelopeBuild::sharedInstance();
    if (!builder->isReadyBuild()) return;
    const Value data = component.setupReportData(builder->maxDataSpace());
    if (!hasKeys(data)) return;
    component.removeCacheData(builder->buildEnvelopeWithExtHeader(entry(data, "header"), entry(data, "content")));
}

void buildNetIdleReport(const std::vector<std::shared_ptr<ZVLogDataProtocol>>& components, const Value& context) {
    auto builder = ZVEnvelopeBuild::sharedInstance();
    if (!builder->isReadyBuild()) {
        ZVLOG_COMMON(ZVLogFlagDebug, "E_ZV_C_NET_IDLE and no ready status.");
        return;
    }
    Value header = Value::mutableDictionary(), content = Value::mutableDictionary();
    std::vector<std::shared_ptr<ZVLogDataProtocol>> contributors;
    int64_t budget = builder->maxDataSpace();
    for (const auto& c : components) {
        if (c->respondsToShoudleSetupReportData() && !c->shoudleSetupReportDataWithContext(context)) continue;
        const Value data = c->setupReportData(budget);
        if (!hasKeys(data)) continue;
        contributors.push_back(c);
        for (const char* part : {"header", "content"}) {
            const Value from = entry(data, part);
            Value& into = part[0] == 'h' ? header : content;
            if (from.isDictionary())
                for (const auto& [k, v] : from.asDictionary()) into.setObject(v, k);
        }
        budget -= static_cast<int64_t>(ZVConfigureCache::JSONFragment(data).value_or("").size());
    }
    if (content.count() > 0 && zeroKeyGranted()) {
        const Value result = builder->buildEnvelopeWithExtHeader(header, content);
        for (const auto& c : contributors) c->removeCacheData(result);
        return;
    }
    ZVLOG_COMMON(ZVLogFlagDebug, "E_ZV_C_NET_IDLE and no data to send.");
}

// Each of these envelopes is attempted at most once per launch.
std::atomic<bool> innerDataTried{false}, zeroEnvelopeTried{false};

void buildInnerData() {
    if (!zeroKeyGranted() || innerDataTried.exchange(true)) return;
    if (ZVConfigureCache::sharedInstance()->eNetStatus() == 0) return;
    const Value files = ZVFileUtility::envelopeFiles();
    for (const Value& f : files.asArray()) {
        const std::string path = f.asStdString();
        const auto at = path.find(".zavez/");
        if (at != std::string::npos && at + 7 < path.size() && path[at + 7] == 'i') return;
    }
    const Value body = ZVEnvelopeBuild::sharedInstance()->buildEnvelopeWithHeader(
        Value::dict({{"i_sdk_v", kInnerVersion}}), ZVEnvelopeBuild::buildInternalData(), "", "i", kSdkVersion);
    if (entry(body, "exception").isNull()) ZVConfigureCache::removeObjectForKey("ZVWValue");
}

void buildZeroEnvelope() {
    if (zeroEnvelopeTried.exchange(true) || zeroKeyGranted()) return;
    const Value files = ZVFileUtility::envelopeFiles();
    for (const Value& f : files.asArray())
        if (lastPathComponent(f.asStdString()).find("z==") != std::string::npos) return;
    (void)ZVEnvelopeBuild::sharedInstance()->buildZeroEnvelopeWithExtHeader(
        Value::dict({{"appkey", ZVUtils::appkey()}, {"app_version", ZVUtils::appShortVersionString()}, {"os", "iOS"}}),
        Value());
}

void startAfterZeroKey() {
    auto settings = ZVConfigureCache::sharedInstance();
    const int32_t status = settings->eNetStatus();
    if (settings->aEnabled() || (status != 1 && status != 2) || !settings->appkey() || settings->appkey()->empty())
        return;
    const auto engine = engineObject();
    if (!engine) return;
    auto builder = ZVEnvelopeBuild::sharedInstance();
    (void)performSelector(engine.get(), "doMakeSessionStartEnvelopeForZero:version:defcon:isProFile:",
                          {Value(), Value(ZVHelper::appVersionString()), Value(builder->defcon()), Value(false)});
    auto component = std::dynamic_pointer_cast<ZVLogDataProtocol>(engine);
    if (!component) return;
    Value data = component->setupReportData(builder->maxDataSpace());
    if (!data.isDictionary() || entry(data, "content").isNull()) return;
    Value result = Value::mutableDictionary();
    if (ZVUcDB::sharedInstance().rowCountInTable(ZVUcDB::kTable) >= 1) {
        Value header = entry(data, "header");
        result = builder->insertToCacheTable(header, entry(data, "content"), "a", "", kSdkVersion);
    }
    component->removeCacheData(result);
}

}  // namespace

void ZVWorkDispatch::runCommonEvent(const ZVDispatchEvent& event, const std::shared_ptr<ZVLogDataProtocol>& component) {
    switch (event.eEventType) {
        case E_ZV_C_BUILD_REPORT:
            if (component) buildReport(*component);
            break;
        case E_ZV_C_NET_IDLE: buildNetIdleReport(components_, event.object); break;
        case E_ZV_C_INNER_DATA: buildInnerData(); break;
        case E_ZV_C_ZERO_ENVELOPE: buildZeroEnvelope(); break;
        case E_ZV_C_LOAD_CACHE: ZVEnvelopeBuild::sharedInstance()->loadCacheData(); break;
        case E_ZV_C_ZERO_KEY_GRANTED: startAfterZeroKey(); break;
        default: break;
    }
}
