#pragma once
// The favourite store: the favourite device's identifier and its last counted number of signed
// firmware builds, kept as keyed archives of strings in the app-group defaults suite
// "group.com.velkor.quorin" so other members of the group can read them.
//
// The shared instance is made once, safely from any thread, and lives for the process; the app
// calls the store from the main thread. Every write is synchronized before it returns.

#include <memory>
#include <optional>
#include <string>

#include <platform_foundation/NSUserDefaults.h>
#include <platform_runtime/ObjCDeclare.h>
#include <platform_runtime/Value.h>

class ECUserDefaultsUtil : public NSObject {
    NS_CLASS(ECUserDefaultsUtil, NSObject)

public:
    using Ptr = std::shared_ptr<ECUserDefaultsUtil>;

    static constexpr const char* kSuiteName = "group.com.velkor.quorin";
    static constexpr const char* kFavModelKey = "ECKeyFavModel";
    static constexpr const char* kValidCountKey = "ECKeyValidCount";

    ECUserDefaultsUtil() = default;
    static Ptr initWithUserDefaults(std::shared_ptr<NSUserDefaults> userDefaults);

    // The shared instance over the app-group suite, made on the first call.
    static Ptr groupUserDefaults();

    // The favourite identifier ("" once cleared) and its signed count as decimal text ("" once
    // cleared). The readers answer nullopt when there is no entry, and also (logged once per
    // key, entry left in place) when the entry is not a keyed archive of a string.
    static void setFavModel(const std::string& model);
    static std::optional<std::string> favModelStr();
    static void removeFavModel();
    static void setValidCount(const std::string& count);
    static std::optional<std::string> lastValidCount();
    static void removeValidCount();

    const std::shared_ptr<NSUserDefaults>& userDefaults() const { return userDefaults_; }
    void setUserDefaults(std::shared_ptr<NSUserDefaults> userDefaults) { userDefaults_ = std::move(userDefaults); }

    // Raw values, synchronized after each change.
    void setObject(const Value& object, const std::string& key);
    void removeObjectForKey(const std::string& key);
    Value objectForKey(const std::string& key) const;
    // Values stored as keyed archives: Null when there is no entry, when it is not data or not
    // a keyed archive.
    void setItem(const Value& item, const std::string& key);
    Value itemForKey(const std::string& key) const;
    // The archived string under the key (see favModelStr).
    std::optional<std::string> stringItemForKey(const std::string& key) const;

private:
    std::shared_ptr<NSUserDefaults> userDefaults_;
};
