#include <analytics_common/ZVBuildPayload.h>

#include <chrono>

#include <thrift/Thrift.h>

#include <analytics_common/VODiz.h>
#include <analytics_common/ZVCommonLog.h>
#include <analytics_common/ZVConfigureCache.h>
#include <analytics_common/ZVEnvelopeBuild.h>
#include <analytics_common/ZVHelper.h>
#include <analytics_common/ZVInternalUtil.h>
#include <analytics_common/ZVThriftCodec.h>
#include <analytics_common/ZVUtils.h>
#include <platform_runtime/ObjCRuntime.h>
#include <platform_system/CommonDigest.h>

namespace {

constexpr const char* kStored = "zvIDTracking";
constexpr const char* kAllZero = "00000000-0000-0000-0000-000000000000";

int64_t nowMS() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

bool zeroKey() { return ZVConfigureCache::objectWithKey("zvZeroKey") == Value("YES"); }

std::string versionKey(const std::string& domain) { return "zv" + domain + "VersionNum"; }

void logException(const std::exception& e) {
    ZVLOG_COMMON(ZVLogFlagDebug, "Exception occurred: %@, %@", Value(e.what()), Value());
}

}  // namespace

std::shared_ptr<ZVBuildPayload> ZVBuildPayload::sharedInstance() {
    static const std::shared_ptr<ZVBuildPayload> instance = [] {
        auto payload = std::make_shared<ZVBuildPayload>();
        payload->buildIdTracking();
        return payload;
    }();
    return instance;
}

const std::vector<std::string>& ZVBuildPayload::trackedDomains() {
    static const std::vector<std::string> domains{"mc", "idfa", "idfv", "oid", "zdid", "uop", "hostname", "kid"};
    return domains;
}

std::string ZVBuildPayload::currentIdentity(const std::string& domain) {
    if (domain == "mc") return ZVUtils::deviceMacAddressString();
    if (domain == "idfa") return ZVUtils::zvfa();
    if (domain == "idfv") {
        std::string v = ZVUtils::idfv();
        return v == kAllZero ? std::string() : v;
    }
    if (domain == "oid") return ZVUtils::sharedUDIDString();
    if (domain == "zdid") return ZVUtils::zdid();
    if (domain == "uop") {
        const Value v = ZVConfigureCache::objectWithKey("zv_uop_mac");
        return v.isString() ? std::string(v.asString()) : std::string();
    }
    if (domain == "hostname") return ZVInternalUtil::Value7();
    if (domain == "kid") return saveZVKid();
    return "";
}

std::shared_ptr<ZVTIdTracking> ZVBuildPayload::generateIdTracking() const {
    auto record = std::make_shared<ZVTIdTracking>();
    Value snapshots = Value::mutableDictionary();
    Value journals = Value::mutableArray();
    const int64_t now = nowMS();
    for (const auto& domain : trackedDomains()) {
        const std::string identity = currentIdentity(domain);
        if (identity.empty()) continue;
        snapshots.setObject(Value(ZVTIdSnapshot::initWithIdentity(identity, now, 1)), domain);
        auto entry = std::make_shared<ZVTIdJournal>();
        entry->setDomain(domain);
        entry->setNew_id(identity);
        entry->setTs(now);
        journals.addObject(Value(entry));
    }
    record->setSnapshots(std::move(snapshots));
    record->setJournals(std::move(journals));
    record->setChecksum("checksum");
    return record;
}

void ZVBuildPayload::store(const ZVTIdTracking& record) const {
    try {
        ZVConfigureCache::setObject(Value(ZVThriftCodec::encode(record)), kStored);
    } catch (const apache::thrift::TException& e) {
        logException(e);
    }
}

void ZVBuildPayload::buildIdTracking() {
    if (!zeroKey()) return;
    std::lock_guard lock(mutex_);
    const Value stored = ZVConfigureCache::objectWithKey(kStored);
    if (!stored.isData()) {
        idTracking_ = generateIdTracking();
        store(*idTracking_);
        return;
    }
    auto record = std::make_shared<ZVTIdTracking>();
    try {
        ZVThriftCodec::decode(stored.asData(), *record);
    } catch (const apache::thrift::TException& e) {
        logException(e);  // the part read is refreshed below
    }
    record->setJournals(Value::mutableArray());
    Value snapshots = record->snapshots().isDictionary() ? record->snapshots().mutableCopy() : Value::mutableDictionary();
    snapshots.removeObjectForKey("zvtt0");
    Value journals = Value::mutableArray();
    const int64_t now = nowMS();
    for (const auto& domain : trackedDomains()) {
        const Value counter = ZVConfigureCache::objectWithKey(versionKey(domain));
        int64_t n = counter.integerValue();
        if (n == 0) n = 1;
        if (n > 19) continue;
        const std::string identity = currentIdentity(domain);
        if (identity.empty()) {
            snapshots.removeObjectForKey(domain);
            continue;
        }
        auto snapshot = snapshots.objectForKey(domain).objectAs<ZVTIdSnapshot>();
        if (!snapshot) {
            snapshots.setObject(Value(ZVTIdSnapshot::initWithIdentity(identity, now, static_cast<int32_t>(n))), domain);
            auto entry = std::make_shared<ZVTIdJournal>();
            entry->setDomain(domain);
            entry->setNew_id(identity);
            entry->setTs(now);
            journals.addObject(Value(entry));
        } else if (!(snapshot->identity() == Value(identity))) {
            journals.addObject(Value(ZVTIdJournal::initWithDomain(domain, snapshot->identity(), identity, now)));
            snapshot->setIdentity(identity);
            snapshot->setVersion(snapshot->version() + 1);
            snapshot->setTs(now);
            ZVConfigureCache::setObject(Value(n + 1), versionKey(domain));
        }
    }
    record->setSnapshots(std::move(snapshots));
    record->setJournals(std::move(journals));
    record->setChecksum("checksum");
    idTracking_ = record;
    store(*record);
}

void ZVBuildPayload::saveIdTracking() {
    std::lock_guard lock(mutex_);
    if (!idTracking_ || idTracking_->snapshots().count() == 0) return;
    if (idTracking_->journals().count() > 0) idTracking_->setJournals(Value::mutableArray());
    store(*idTracking_);
}

std::shared_ptr<ZVTIdTracking> ZVBuildPayload::idTracking() const {
    std::lock_guard lock(mutex_);
    return idTracking_;
}

std::string ZVBuildPayload::saveZVKid() {
    static const std::string item = ZVUtils::md5(Value("kZVId"));
    std::string kid = ZVConfigureCache::keyChainLoad("kZVIdKey", item).value_or("");
    if (kid.empty()) {
        const std::string udid = ZVUtils::sharedUDIDString();
        if (!udid.empty()) {
            kid = CCMD5Hex(udid, HexCase::Lower);
            ZVConfigureCache::keyChainSave(kid, "kZVIdKey", item);
        }
    }
    return kid;
}

void ZVBuildPayload::buildBaseheader(Value& header) {
    header.removeAllObjects();
    if (!zeroKey()) return;
    auto cache = ZVConfigureCache::sharedInstance();
    auto helper = ZVHelper::sharedInstance();
    Value h = Value::mutableDictionary();
    auto put = [&h](const char* key, Value v) {
        if (!v.isNull()) h.setObject(v, key);
    };
    auto putText = [&h](const char* key, const std::string& v) {
        if (!v.empty()) h.setObject(Value(v), key);
    };
    put("appkey", Value(ZVUtils::appkey()));
    put("package_name", Value(ZVUtils::appPackageNameString()));
    put("sdk_type", Value("IOS"));
    put("com_ver", Value("7.3.5"));
    int32_t backstate = 0;
    if (auto engine = performClassSelector("ZuzOzevoInternal", "sharedInstance"))
        if (auto state = performSelector(engine->asObject().get(), "backstate")) backstate = state->intValue();
    put("backstate", Value(backstate));
    if (Value tags = helper->moduleTag(); tags.count() > 0) put("module_tag", tags);
    putText("channel", cache->channel());
    putText("dk", cache->debugkey().value_or(""));
    put("device_id", Value(ZVUtils::sharedUDIDString()));
    put("device_model", Value(ZVUtils::deviceModelString()));
    put("os", Value(ZVUtils::osString()));
    put("os_version", Value(ZVUtils::osVersionString()));
    put("is_jailbroken", Value(ZVUtils::isDeviceJailBreak() ? "YES" : "NO"));
    put("resolution", Value(ZVUtils::resolutionString()));
    put("mc", Value(ZVUtils::deviceMacAddressString()));
    put("app_version", Value(ZVUtils::appShortVersionString()));
    put("app_b_v", Value(ZVUtils::appBundleVersionString()));
    putText("devicetoken", ZVUtils::deviceToken());
    const std::string access = ZVUtils::accessString();
    put("access", Value(access == "WiFi" ? "wifi" : access == "CellNetwork" ? "2G/3G" : "unknown"));
    put("access_subtype", Value(ZVUtils::accessSubType()));
    put("timezone", Value(ZVUtils::timezone()));
    put("language", Value(ZVUtils::languageString()));
    put("country", Value(ZVUtils::countryString()));
    put("carrier", Value(ZVUtils::carrierString()));
    put("display_name", Value(ZVUtils::realAppDisplayNameString()));
    const std::string mcc = ZVUtils::mccString(), mnc = ZVUtils::mncString();
    if (!mcc.empty() && !mnc.empty()) put("mccmnc", Value(mcc + mnc));
    putText("zvid", ZVEnvelopeBuild::imprintProperty("zvid").value_or(""));
    putText("kid", saveZVKid());
    if (auto rec = ZVUtils::reflectClass("ZEVad", "getZEVadVersion", {})) put("zrec_ver", *rec);
    put("successful_requests", ZVConfigureCache::objectWithKey("zvSuccessfulRequests"));
    put("failed_requests", ZVConfigureCache::objectWithKey("zvFailedRequests"));
    put("req_time", ZVConfigureCache::objectWithKey("zvLastRequestSpentMS"));
    if (const Value ids = ZVConfigureCache::objectWithKey(kStored); ids.isData())
        put("id_tracking", Value(ZVUtils::encodeBase64(ids.asData())));
    if (const Value imprint = ZVConfigureCache::objectWithKey("zvImprint"); imprint.isData()) {
        try {
            auto decoded = std::make_shared<ZVTImprint>();
            ZVThriftCodec::decode(imprint.asData(), *decoded);
            if (validateImprintChecksum(decoded)) put("imprint", Value(ZVUtils::encodeBase64(imprint.asData())));
        } catch (const apache::thrift::TException& e) {
            logException(e);
        }
    }
    putText("module", ZVUtils::componentFlags());
    if (Value versions = helper->moduleVer(); versions.count() > 0) put("module_ver", versions);
    put("wrapper_type", Value(cache->wraperType()));
    put("wrapper_version", Value(cache->wraperVersion()));
    put("com_type", Value(0));
    if (NSClassFromString("VODiz")) {
        putText("zid", ZVUtils::getZid());
        if (auto v = ZVUtils::reflectClass("VODiz", "getSDKVersion", {}); v && ZVUtils::notEmptyString(*v))
            put("zid_sdk_version", *v);
    }
    if (auto flag = ZVUtils::reflectClass("VUVuvev", "RUZORFlag", {}); flag && ZVUtils::notEmptyString(*flag))
        put("_$apmflag", *flag);
    if (h.count() > 0)
        for (const auto& [k, v] : h.asDictionary()) header.setObject(v, k);
}
