#include <analytics_common/ZVConfigureCache.h>

#include <platform_foundation/Base64.h>
#include <platform_foundation/NSJSONSerialization.h>
#include <platform_foundation/NSKeyedArchiver.h>
#include <platform_foundation/NSKeyedUnarchiver.h>
#include <platform_foundation/NSNotification.h>
#include <platform_foundation/NSNotificationCenter.h>
#include <platform_foundation/NSUserDefaults.h>
#include <platform_runtime/NSBlock.h>
#include <platform_runtime/ObjCRuntime.h>
#include <platform_system/SecItem.h>
#include <platform_uikit/UIApplication.h>

#include <analytics_common/ZVCommonLog.h>
#include <analytics_common/ZVFileUtility.h>
#include <analytics_common/ZVReachability.h>
#include <analytics_common/ZVSLNetworkWork.h>
#include <analytics_common/ZVUtils.h>
#include <analytics_common/ZVWorkDispatch.h>
#include "ZVUploadQueues.h"

namespace {

std::mutex memoryCacheMutex;
Value& memoryCache() {
    static Value cache = [] {
        Value d = Value::mutableDictionary();
        return d;
    }();
    return cache;
}

std::shared_ptr<NSUserDefaults> defaults() { return NSUserDefaults::standardUserDefaults(); }

Value keychainQuery(const std::string& itemName) {
    return Value::dict({{kSecClass, kSecClassGenericPassword},
                        {kSecAttrService, itemName},
                        {kSecAttrAccount, itemName}});
}

constexpr uint64_t kInvalidTask = UIBackgroundTaskInvalid;

}  // namespace

ZVConfigureCache::ZVConfigureCache() {
    const Value stored = objectWithKey("appkey");
    if (ZVUtils::notEmptyString(stored)) appkey_ = std::string(stored.asString());
    slnetworkerQueue_ = NSOperationQueue::create();
    slnetworkerQueue_->setMaxConcurrentOperationCount(1);
}

ZVConfigureCache::~ZVConfigureCache() {
    if (observerToken_) NSNotificationCenter::defaultCenter()->removeObserver(observerToken_);
}

std::shared_ptr<ZVConfigureCache> ZVConfigureCache::sharedInstance() {
    static const std::shared_ptr<ZVConfigureCache> instance = [] {
        auto cache = std::make_shared<ZVConfigureCache>();
        ZVUploadQueues::add(cache->slnetworkerQueue());
        cache->start();
        return cache;
    }();
    return instance;
}

void ZVConfigureCache::start() {
    monitorNetwork();
    auto self = std::static_pointer_cast<ZVConfigureCache>(shared_from_this());
    auto center = NSNotificationCenter::defaultCenter();
    const Value application(UIApplication::sharedApplication());
    center->addObserver(self, &ZVConfigureCache::appInactivate, UIApplicationWillResignActiveNotification, application);
    center->addObserver(self, &ZVConfigureCache::appActivate, UIApplicationDidBecomeActiveNotification, application);
}

// --- persistent store -------------------------------------------------------------------

Value ZVConfigureCache::objectWithKey(const std::string& key) { return defaults()->objectForKey(key); }

void ZVConfigureCache::setObject(const Value& value, const std::string& key) {
    if (value.isNull() || !ZVUtils::notEmptyString(Value(key))) return;
    auto d = defaults();
    d->setObject(value, key);
    d->synchronize();
}

void ZVConfigureCache::removeObjectForKey(const std::string& key) {
    if (!ZVUtils::notEmptyString(Value(key))) return;
    auto d = defaults();
    d->removeObjectForKey(key);
    d->synchronize();
}

void ZVConfigureCache::incCounterForKey(const std::string& key) {
    const Value v = objectWithKey(key);
    setObject(Value(v.isNull() ? int64_t(1) : v.integerValue() + 1), key);
}

void ZVConfigureCache::accumulateCount(int32_t amount, const std::string& key) {
    setObject(Value(objectWithKey(key).integerValue() + amount), key);
}

void ZVConfigureCache::resetCounterWithKey(const std::string& key) { setObject(Value(int64_t(0)), key); }

int32_t ZVConfigureCache::counterThenIncWithKey(const std::string& key) {
    const Value v = objectWithKey(key);
    const int32_t current = v.isNull() ? 1 : v.intValue();
    setObject(Value(int64_t(current) + 1), key);
    return current;
}

Value ZVConfigureCache::memoryCacheObjectWithKey(const std::string& key) {
    std::lock_guard lock(memoryCacheMutex);
    return memoryCache().objectForKey(key);
}

void ZVConfigureCache::memoryCacheObject(const Value& value, const std::string& key) {
    if (value.isNull() || !ZVUtils::notEmptyString(Value(key))) return;
    std::lock_guard lock(memoryCacheMutex);
    memoryCache().setObject(value, key);
}

void ZVConfigureCache::keyChainSave(const std::string& value, const std::string& innerKey,
                                    const std::string& itemName) {
    if (!ZVUtils::notEmptyString(Value(value)) || !ZVUtils::notEmptyString(Value(innerKey)) ||
        !ZVUtils::notEmptyString(Value(itemName)))
        return;
    NSErrorPtr error;
    const Value::Data json =
        NSJSONSerialization::dataWithJSONObject(Value::dict({{innerKey, value}}), NSJSONWritingPrettyPrinted, &error);
    if (error || json.empty()) return;
    const std::string base64 = ZVUtils::encodeBase64(json);
    const Value query = keychainQuery(itemName);
    (void)SecItemDelete(query);
    const Value::Data archive = NSKeyedArchiver::archivedDataWithRootObject(Value(base64), false);
    if (archive.empty()) return;
    Value attributes = query;
    attributes.setObject(Value(archive), kSecValueData);
    attributes.setObject(kSecAttrAccessibleAfterFirstUnlock, kSecAttrAccessible);
    if (SecItemAdd(attributes, nullptr) != errSecSuccess)
        ZVLOG_COMMON(ZVLogFlagDebug, "keychain item %@ not saved", Value(itemName));
}

std::optional<std::string> ZVConfigureCache::keyChainLoad(const std::string& innerKey, const std::string& itemName) {
    if (!ZVUtils::notEmptyString(Value(innerKey)) || !ZVUtils::notEmptyString(Value(itemName))) return std::nullopt;
    Value query = keychainQuery(itemName);
    query.setObject(Value(true), kSecReturnData);
    query.setObject(kSecMatchLimitOne, kSecMatchLimit);
    Value data;
    if (SecItemCopyMatching(query, &data) != errSecSuccess || !data.isData()) return std::nullopt;
    NSErrorPtr error;
    const Value text = NSKeyedUnarchiver::unarchiveObjectWithData(data.asData(), &error);
    if (error || !ZVUtils::notEmptyString(text)) return std::nullopt;
    const Value::Data json = ZVUtils::decodeBase64(text.asString());
    const Value object = NSJSONSerialization::JSONObjectWithData(json, 0, &error);
    if (error || !object.isDictionary() || object.count() == 0) return std::nullopt;
    const Value& inner = object.objectForKey(innerKey);
    if (!inner.isString()) return std::nullopt;
    return std::string(inner.asString());
}

std::optional<std::string> ZVConfigureCache::JSONFragment(const Value& object) {
    const Value copy = (object.isArray() || object.isDictionary()) ? object.copy() : object;
    NSErrorPtr error;
    std::string text;
    try {
        text = NSJSONSerialization::stringWithJSONObject(copy, 0, &error);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    if (error || text.empty()) return std::nullopt;
    return text;
}

// --- settings ---------------------------------------------------------------------------

std::optional<std::string> ZVConfigureCache::appkey() const {
    std::lock_guard lock(fieldsMutex_);
    return appkey_;
}
void ZVConfigureCache::setAppkey(std::optional<std::string> v) {
    std::lock_guard lock(fieldsMutex_);
    appkey_ = std::move(v);
}
std::string ZVConfigureCache::channel() const {
    std::lock_guard lock(fieldsMutex_);
    return channel_;
}
void ZVConfigureCache::setChannel(std::string v) {
    std::lock_guard lock(fieldsMutex_);
    channel_ = std::move(v);
}
std::string ZVConfigureCache::wraperType() const {
    std::lock_guard lock(fieldsMutex_);
    return wraperType_;
}
void ZVConfigureCache::setWraperType(std::string v) {
    std::lock_guard lock(fieldsMutex_);
    wraperType_ = std::move(v);
}
std::string ZVConfigureCache::wraperVersion() const {
    std::lock_guard lock(fieldsMutex_);
    return wraperVersion_;
}
void ZVConfigureCache::setWraperVersion(std::string v) {
    std::lock_guard lock(fieldsMutex_);
    wraperVersion_ = std::move(v);
}
std::optional<std::string> ZVConfigureCache::debugkey() const {
    std::lock_guard lock(fieldsMutex_);
    return debugkey_;
}
void ZVConfigureCache::setDebugkey(std::optional<std::string> v) {
    std::lock_guard lock(fieldsMutex_);
    debugkey_ = std::move(v);
}
std::shared_ptr<ZVReachability> ZVConfigureCache::internetReachability() const {
    std::lock_guard lock(fieldsMutex_);
    return internetReachability_;
}

// --- hooks ------------------------------------------------------------------------------

void ZVConfigureCache::monitorNetwork() {
    setENetStatus(ZVUtils::accessStatus());
    auto self = std::static_pointer_cast<ZVConfigureCache>(shared_from_this());
    NSNotificationCenter::defaultCenter()->addObserver(self, &ZVConfigureCache::reachabilityChanged,
                                                       kZVNetworkReachabilityChangedNotification, Value());
    auto reachability = ZVReachability::reachabilityForInternetConnection();
    {
        std::lock_guard lock(fieldsMutex_);
        internetReachability_ = reachability;
    }
    if (reachability) {
        reachability->startNotifier();
        updateReachability(reachability);
    }
}

void ZVConfigureCache::reachabilityChanged(const NSNotification& notification) {
    updateReachability(notification.object().objectAs<ZVReachability>());
}

void ZVConfigureCache::updateReachability(const std::shared_ptr<ZVReachability>& reachability) {
    if (!reachability) return;
    const int32_t status = static_cast<int32_t>(reachability->currentReachabilityStatus());
    (void)reachability->connectionRequired();
    setENetStatus(status);
    if (status == 1 || status == 2) {
        ZVWorkDispatch::sendEvent(Value::dict({{"zvIdleFrom", "zvReachability"}}), E_ZV_C_NET_IDLE, nullptr);
        flushStatelessFile();
    }
    NSNotificationCenter::defaultCenter()->postNotificationName(kZVReachabilityChangedNotificationFromZVCommon,
                                                                Value(int64_t(eNetStatus())));
}

void ZVConfigureCache::flushStatelessFile() {
    std::lock_guard lock(flushMutex_);
    Value files = ZVFileUtility::statelessEnvelopeFile();
    if (files.count() == 0) return;
    auto work = std::make_shared<ZVSLNetworkWork>();
    work->setEnvelopeFilePaths(std::move(files));
    slnetworkerQueue_->addOperation(work);
}

void ZVConfigureCache::appActivate(const NSNotification&) {
    endBackgroundTask();
    if (ZVUtils::accessStatus() != 0) {
        ZVWorkDispatch::sendEvent(Value::dict({{"zvIdleFrom", "zvAppActivate"}}), E_ZV_C_NET_IDLE, nullptr);
        flushStatelessFile();
    }
}

void ZVConfigureCache::appInactivate(const NSNotification&) { beginBackgroundTask(); }

void ZVConfigureCache::beginBackgroundTask() {
    if (backgroundTaskID_.load() != kInvalidTask) return;  // one task at a time
    std::weak_ptr<ZVConfigureCache> weak = std::static_pointer_cast<ZVConfigureCache>(shared_from_this());
    backgroundTaskID_.store(UIApplication::sharedApplication()->beginBackgroundTaskWithExpirationHandler([weak] {
        if (auto self = weak.lock()) self->endBackgroundTask();
    }));
}

void ZVConfigureCache::endBackgroundTask() {
    const uint64_t task = backgroundTaskID_.exchange(kInvalidTask);
    if (task == kInvalidTask) return;
    UIApplication::sharedApplication()->endBackgroundTask(task);
}
