#include <app/store/ECUserDefaultsUtil.h>

#include <mutex>
#include <set>

#include <platform_dispatch/DispatchOnce.h>
#include <platform_foundation/NSKeyedArchiver.h>
#include <platform_foundation/NSKeyedUnarchiver.h>
#include <platform_foundation/NSLog.h>

namespace {

// A damaged entry is reported the first time it is read, not at every read.
void logUnreadableOnce(const std::string& key, const std::string& why) {
    static std::mutex mutex;
    static std::set<std::string> logged;
    {
        std::lock_guard lock(mutex);
        if (!logged.insert(key).second) return;
    }
    NSLog("Favourite store: the entry \"%@\" is %@; it is read as absent and left in place.", key, why);
}

}  // namespace

ECUserDefaultsUtil::Ptr ECUserDefaultsUtil::initWithUserDefaults(std::shared_ptr<NSUserDefaults> userDefaults) {
    auto util = std::make_shared<ECUserDefaultsUtil>();
    util->setUserDefaults(std::move(userDefaults));
    return util;
}

ECUserDefaultsUtil::Ptr ECUserDefaultsUtil::groupUserDefaults() {
    static Ptr shared;
    static dispatch_once_t once = 0;
    dispatch_once(&once, [] { shared = initWithUserDefaults(NSUserDefaults::initWithSuiteName(kSuiteName)); });
    return shared;
}

void ECUserDefaultsUtil::setFavModel(const std::string& model) { groupUserDefaults()->setItem(Value(model), kFavModelKey); }
std::optional<std::string> ECUserDefaultsUtil::favModelStr() { return groupUserDefaults()->stringItemForKey(kFavModelKey); }
void ECUserDefaultsUtil::removeFavModel() { groupUserDefaults()->removeObjectForKey(kFavModelKey); }
void ECUserDefaultsUtil::setValidCount(const std::string& count) {
    groupUserDefaults()->setItem(Value(count), kValidCountKey);
}
std::optional<std::string> ECUserDefaultsUtil::lastValidCount() {
    return groupUserDefaults()->stringItemForKey(kValidCountKey);
}
void ECUserDefaultsUtil::removeValidCount() { groupUserDefaults()->removeObjectForKey(kValidCountKey); }

void ECUserDefaultsUtil::setObject(const Value& object, const std::string& key) {
    if (!userDefaults_) return;
    userDefaults_->setObject(object, key);
    userDefaults_->synchronize();
}

void ECUserDefaultsUtil::removeObjectForKey(const std::string& key) {
    if (!userDefaults_) return;
    userDefaults_->removeObjectForKey(key);
    userDefaults_->synchronize();
}

Value ECUserDefaultsUtil::objectForKey(const std::string& key) const {
    return userDefaults_ ? userDefaults_->objectForKey(key) : Value();
}

void ECUserDefaultsUtil::setItem(const Value& item, const std::string& key) {
    setObject(Value(NSKeyedArchiver::archivedDataWithRootObject(item, false)), key);
}

Value ECUserDefaultsUtil::itemForKey(const std::string& key) const {
    Value raw = objectForKey(key);
    if (!raw.isData()) return Value();
    NSErrorPtr error;
    Value item = NSKeyedUnarchiver::unarchiveObjectWithData(raw.asData(), &error);
    return error ? Value() : item;
}

std::optional<std::string> ECUserDefaultsUtil::stringItemForKey(const std::string& key) const {
    Value raw = objectForKey(key);
    if (raw.isNull()) return std::nullopt;
    if (!raw.isData()) {
        logUnreadableOnce(key, "not data");
        return std::nullopt;
    }
    NSErrorPtr error;
    Value item = NSKeyedUnarchiver::unarchiveObjectWithData(raw.asData(), &error);
    if (error) {
        logUnreadableOnce(key, "not a keyed archive");
        return std::nullopt;
    }
    if (!item.isString()) {
        logUnreadableOnce(key, "an archive of something other than a string");
        return std::nullopt;
    }
    return item.stringValue();
}
