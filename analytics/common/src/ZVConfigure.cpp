#include <analytics_common/ZVConfigure.h>

#include <mutex>

#include <analytics_common/VODiz.h>
#include <analytics_common/ZVCommonLog.h>
#include <analytics_common/ZVConfigManager.h>
#include <analytics_common/ZVConfigureCache.h>
#include <analytics_common/ZVEnvelopeBuild.h>
#include <analytics_common/ZVHelper.h>
#include <analytics_common/ZVUtils.h>
#include <analytics_common/ZVWorkDispatch.h>
#include <platform_runtime/ObjCRuntime.h>

#include "ZVUploadQueues.h"

namespace {

constexpr char kSdkVersion[] = "7.3.5";
constexpr char kInnerVersion[] = "1.2.0";
constexpr char kComponentName[] = "ZAvezCommon";

bool classExists(const char* name) { return NSClassFromString(name) != nullptr; }

// A class operation called by name only when the class answers it.
std::optional<Value> callClass(const char* className, const char* selector, const Value::Array& args = {}) {
    ObjCClass* cls = NSClassFromString(className);
    if (!cls || !cls->respondsToSelector(selector)) return std::nullopt;
    return performClassSelector(cls, selector, args);
}

void storeVersion(const char* key, const std::optional<Value>& version) {
    if (version && ZVUtils::notEmptyString(*version))
        ZVHelper::sharedInstance()->setModuleVersion(key, version->asStdString());
}

int32_t imprintInt(const char* key) {
    const auto v = ZVEnvelopeBuild::imprintProperty(key);
    return v && !v->empty() ? Value(*v).intValue() : 0;
}

void applyDebugKey() {
    const Value key = ZVConfigureCache::objectWithKey("zvdk");
    const Value agingValue = ZVConfigureCache::objectWithKey("zvsendaging");
    const Value aging = agingValue.isNull() ? Value() : Value(agingValue.stringValue());
    if (!ZVUtils::notEmptyString(key) || !ZVUtils::notEmptyString(aging)) return;
    const Value storedAt = ZVConfigureCache::objectWithKey("zvEndTime");
    if (storedAt.isNull()) return;
    const auto now = static_cast<int64_t>(ZVUtils::UTCIntervalMS());
    if (now - storedAt.integerValue() >= aging.integerValue()) {
        for (const char* k : {"zvdk", "zvsendaging", "zvEndTime"}) ZVConfigureCache::removeObjectForKey(k);
    } else {
        ZVConfigureCache::sharedInstance()->setDebugkey(key.asStdString());
    }
}

void startUp(const std::string& key, const Value& channel) {
    auto settings = ZVConfigureCache::sharedInstance();
    auto helper = ZVHelper::sharedInstance();
    applyDebugKey();
    helper->setModuleVersion("i_ver", kInnerVersion);
    ZVLOG_COMMON(ZVLogFlagDebug, "common_init_debug1", Value(kSdkVersion));

    if (classExists("VUVuvev")) {
        (void)callClass("VUVuvev", "initVUVuvev:channel:", {Value(key), channel});
        ZVUtils::appendComponentFlag("c");
        storeVersion("c_ver", callClass("VUVuvev", "getVersion"));
    }
    if (classExists("VODiz")) {
        if (ZVConfigureCache::objectWithKey("zvZeroKey") == Value("YES")) ZVUtils::VODizInit();
        ZVUtils::appendComponentFlag("z");
        storeVersion("z_ver", callClass("VODiz", "getSDKVersion"));
    }

    const Value stored = ZVConfigureCache::objectWithKey("appkey");
    if (!ZVUtils::notEmptyString(stored)) {
        ZVConfigureCache::setObject(Value(key), "appkey");
    } else if (stored.asString() != key) {
        ZVLOG_COMMON(ZVLogFlagWarning, "common_init_warn1");
        ZVConfigureCache::setObject(Value(key), "appkey");
    }
    settings->setAppkey(key);
    if (ZVUtils::notEmptyString(channel))
        settings->setChannel(channel.asStdString());
    else
        ZVLOG_COMMON(ZVLogFlagWarning, "common_init_warn2");
    ZVLOG_COMMON(ZVLogFlagInfo, "common_init_info1");

    const bool zeroKey = ZVConfigureCache::objectWithKey("zvZeroKey") == Value("YES");
    ZVWorkDispatch::sendEvent(Value(), E_ZV_C_ZERO_ENVELOPE, nullptr);

    if (!settings->aEnabled() && classExists("ZuzOzevo")) {
        ZVUtils::appendComponentFlag("a");
        helper->setModuleVersion("a_ver", kSdkVersion);
    }
    // Optional companion modules: none of them is part of this program, so each lookup
    // finds nothing; the rows stay so that a linked module would be announced.
    struct Row {
        const char *name, *flag, *versionKey, *versionSelector;
    };
    static constexpr Row rows[] = {
        {"VOZevazu", "v", "v_ver", "libVersion"},     {"ZVSocialManager", "s", nullptr, nullptr},
        {"VAvevada", "p", nullptr, nullptr},          {"ZVErrorCatch", "e", nullptr, nullptr},
        {"ZEVad", "u", nullptr, nullptr},             {"ZuzOzevoLink", "l", "l_ver", "sdkVersion"},
        {"ZVRemoteConfig", "t", "t_ver", "sdkVersion"}, {"ZVCommonHandler", "n", "n_ver", "getVersion"},
        {"ZVSMS", "m", "m_ver", "getVersion"},        {"ZuzOzevoGameAnalytics", "g", "g_ver", nullptr},
    };
    for (const Row& row : rows) {
        if (!classExists(row.name)) continue;
        ZVUtils::appendComponentFlag(row.flag);
        if (row.versionSelector) storeVersion(row.versionKey, callClass(row.name, row.versionSelector));
        else if (row.versionKey) helper->setModuleVersion(row.versionKey, std::string(kSdkVersion) + "+G");
    }
    ZVUtils::appendComponentFlag("o");
    ZVUtils::appendComponentFlag("i");
    if (classExists("ZVABTestManager")) ZVUtils::appendComponentFlag("x");

    if (!settings->aEnabled()) (void)callClass("ZuzOzevoSession", "startAnalyticsWithAppkey:", {Value(key)});

    (void)callClass("VOZevazu", "startWithAppkey:", {Value(key)});
    if (const auto social = callClass("ZVSocialManager", "defaultManager"); social && social->isObject())
        (void)performSelector(social->asObject().get(), "setZvSocialAppkey:", {Value(key)});
    (void)callClass("VAvevada", "startWithAppkey:", {Value(key)});
    if (classExists("ZVABTestManager")) {
        if (classExists("ZVAutoEventBindingManager")) ZVLOG_COMMON(ZVLogFlagWarning, "common_init_warn3");
        (void)callClass("ZVABTestManager", "initWithAppkey:", {Value(key)});
    }
    if (zeroKey) ZVWorkDispatch::sendEvent(Value(), E_ZV_C_INNER_DATA, nullptr);
}

}  // namespace

void ZVConfigure::initWithAppkey(const Value& appKey, const Value& channel) {
    if (ZVUtils::isEmptyString(appKey)) {
        ZVLOG_COMMON(ZVLogFlagError, "common_init_error1");
        return;
    }
    ZVConfigManager::shareInstance()->updateServerConfig();
    if (const auto engine = performClassSelector("ZuzOzevoInternal", "sharedInstance"); engine && engine->isObject()) {
        (void)performSelector(engine->asObject().get(), "setIsNothook:", {Value(imprintInt("hk"))});
        (void)performSelector(engine->asObject().get(), "setBackstate:", {Value(imprintInt("backstate"))});
    }
    static std::once_flag once;
    std::call_once(once, [&] { startUp(appKey.asStdString(), channel); });
}

void ZVConfigure::setLogEnabled(bool enabled) {
    (void)ZVCommonLogRegisterComponent(ZVCommonLogComponentCommon, kComponentName, kSdkVersion);
    (void)ZVCommonLogSetComponentLevel(ZVCommonLogComponentCommon, enabled ? ~0 : 0);
    (void)callClass("VUVuvev", "enableDebugLog:", {Value(enabled)});
    ZVHelper::sharedInstance()->setLogEnabled(enabled);
    if (const auto social = callClass("ZVSocialManager", "defaultManager"); social && social->isObject())
        (void)performSelector(social->asObject().get(), "openLog:", {Value(enabled)});
    if (!ZVConfigureCache::sharedInstance()->aEnabled()) (void)callClass("ZuzOzevo", "setLogEnabled:", {Value(enabled)});
    (void)callClass("VAvevada", "setLogEnabled:", {Value(enabled)});
    (void)callClass("ZVABTestManager", "enableLogging:", {Value(enabled)});
}

void ZVConfigure::setEncryptEnabled(bool enabled) { ZVConfigureCache::sharedInstance()->setEncryptEnabled(enabled); }

void ZVConfigure::setAnalyticsEnabled(bool enabled) { ZVConfigureCache::sharedInstance()->setAEnabled(!enabled); }

bool ZVConfigure::setWraperType(const std::string& type, const std::string& version) {
    static const char* const accepted[] = {"native", "Cocos2d-x", "Cocos2d-x_lua", "Unity",  "react-native",
                                           "phonegap", "weex",    "hybrid",        "flutter"};
    bool known = false;
    for (const char* a : accepted) known = known || type == a;
    if (!known) return false;
    auto settings = ZVConfigureCache::sharedInstance();
    if (!version.empty()) settings->setWraperVersion(version);
    settings->setWraperType(type);
    return true;
}

std::optional<std::string> ZVConfigure::zvidString() { return ZVEnvelopeBuild::imprintProperty("zvid"); }

std::string ZVConfigure::deviceIDForIntegration() { return ZVUtils::sharedUDIDString(); }

std::string ZVConfigure::getZavezZID() { return ZVUtils::getZid(); }

void ZVConfigure::endZVBackgroundTask() { ZVConfigureCache::sharedInstance()->endBackgroundTask(); }

bool ZVConfigure::waitForUploads(dispatch_time_t deadline) { return ZVUploadQueues::waitUntilDrained(deadline); }

namespace {
Value optionalText(const std::optional<std::string>& v) { return v ? Value(*v) : Value(); }
Value arg(const Value::Array& args, std::size_t i) { return i < args.size() ? args[i] : Value(); }
}  // namespace

NS_CLASS_LOAD(ZVConfigure) {
    (void)ZVCommonLogRegisterComponent(ZVCommonLogComponentCommon, kComponentName, kSdkVersion);
    ZVCommonLogSetEnabled(false);
    cls.addClassOperation("initWithAppkey:channel:", [](ObjCClass&, const Value::Array& a) {
        ZVConfigure::initWithAppkey(arg(a, 0), arg(a, 1));
        return Value();
    });
    cls.addClassOperation("setLogEnabled:", [](ObjCClass&, const Value::Array& a) {
        ZVConfigure::setLogEnabled(arg(a, 0).boolValue());
        return Value();
    });
    cls.addClassOperation("setEncryptEnabled:", [](ObjCClass&, const Value::Array& a) {
        ZVConfigure::setEncryptEnabled(arg(a, 0).boolValue());
        return Value();
    });
    cls.addClassOperation("setAnalyticsEnabled:", [](ObjCClass&, const Value::Array& a) {
        ZVConfigure::setAnalyticsEnabled(arg(a, 0).boolValue());
        return Value();
    });
    cls.addClassOperation("setWraperType:wrapperVersion:", [](ObjCClass&, const Value::Array& a) {
        return Value(ZVConfigure::setWraperType(arg(a, 0).stringValue(), arg(a, 1).stringValue()));
    });
    cls.addClassOperation("zvidString", [](ObjCClass&, const Value::Array&) { return optionalText(ZVConfigure::zvidString()); });
    cls.addClassOperation("deviceIDForIntegration",
                          [](ObjCClass&, const Value::Array&) { return Value(ZVConfigure::deviceIDForIntegration()); });
    cls.addClassOperation("getZavezZID", [](ObjCClass&, const Value::Array&) { return Value(ZVConfigure::getZavezZID()); });
    cls.addClassOperation("endZVBackgroundTask", [](ObjCClass&, const Value::Array&) {
        ZVConfigure::endZVBackgroundTask();
        return Value();
    });
    cls.addClassOperation("waitForUploadsUntil:", [](ObjCClass&, const Value::Array& a) {
        return Value(ZVConfigure::waitForUploads(static_cast<dispatch_time_t>(arg(a, 0).integerValue())));
    });
}
