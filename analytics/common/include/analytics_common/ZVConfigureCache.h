#pragma once
// The analytics layer's settings holder and its door to persistent storage.
//
// The singleton carries the run-time settings (atomic accessors, any thread) and follows
// network reachability and the app's active/inactive transitions: on each it asks the work
// dispatcher to send pending data and starts the upload of stateless envelopes; on
// resign-active it opens a background task. Its class operations are the layer's key-value
// store (standard user defaults), counters, a small in-memory cache, keychain items and the
// JSON text writer. Notifications arrive on the main thread.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <platform_dispatch/NSOperationQueue.h>
#include <platform_runtime/ObjCDeclare.h>

class NSNotification;
class ZVReachability;

inline constexpr char kZVReachabilityChangedNotificationFromZVCommon[] =
    "kZVReachabilityChangedNotificationFromZVCommon";

class ZVConfigureCache : public NSObject {
    NS_CLASS(ZVConfigureCache, NSObject)
public:
    ZVConfigureCache();
    ~ZVConfigureCache() override;
    static std::shared_ptr<ZVConfigureCache> sharedInstance();

    // --- persistent store (standard user defaults) ---
    static Value objectWithKey(const std::string& key);
    // Only for a non-nil value and a key with characters besides white space.
    static void setObject(const Value& value, const std::string& key);
    static void removeObjectForKey(const std::string& key);
    static void incCounterForKey(const std::string& key);
    static void accumulateCount(int32_t amount, const std::string& key);
    static void resetCounterWithKey(const std::string& key);
    // The current value (1 when absent); stores it plus 1.
    static int32_t counterThenIncWithKey(const std::string& key);
    static Value memoryCacheObjectWithKey(const std::string& key);
    static void memoryCacheObject(const Value& value, const std::string& key);
    // Keychain item `itemName` holds the archived Base64 text of the JSON {innerKey: value}.
    static void keyChainSave(const std::string& value, const std::string& innerKey, const std::string& itemName);
    static std::optional<std::string> keyChainLoad(const std::string& innerKey, const std::string& itemName);
    // Compact JSON text of an object; nothing when it cannot be serialised.
    static std::optional<std::string> JSONFragment(const Value& object);

    // --- settings ---
    bool encryptEnabled() const { return encryptEnabled_.load(); }
    void setEncryptEnabled(bool v) { encryptEnabled_.store(v); }
    bool isNotHook() const { return isNotHook_.load(); }
    void setIsNotHook(bool v) { isNotHook_.store(v); }
    // YES means analytics is disabled.
    bool aEnabled() const { return aEnabled_.load(); }
    void setAEnabled(bool v) { aEnabled_.store(v); }
    int32_t eNetStatus() const { return eNetStatus_.load(); }
    void setENetStatus(int32_t v) { eNetStatus_.store(v); }
    std::optional<std::string> appkey() const;
    void setAppkey(std::optional<std::string> v);
    std::string channel() const;
    void setChannel(std::string v);
    std::string wraperType() const;
    void setWraperType(std::string v);
    std::string wraperVersion() const;
    void setWraperVersion(std::string v);
    std::optional<std::string> debugkey() const;
    void setDebugkey(std::optional<std::string> v);
    uint64_t backgroundTaskID() const { return backgroundTaskID_.load(); }
    const std::shared_ptr<NSOperationQueue>& slnetworkerQueue() const { return slnetworkerQueue_; }
    std::shared_ptr<ZVReachability> internetReachability() const;

    // --- hooks ---
    void monitorNetwork();
    void reachabilityChanged(const NSNotification& notification);
    void updateReachability(const std::shared_ptr<ZVReachability>& reachability);
    void flushStatelessFile();
    void appActivate(const NSNotification& notification);
    void appInactivate(const NSNotification& notification);
    void beginBackgroundTask();
    void endBackgroundTask();

private:
    void start();
    std::atomic<bool> encryptEnabled_{false}, isNotHook_{false}, aEnabled_{false};
    std::atomic<int32_t> eNetStatus_{0};
    std::atomic<uint64_t> backgroundTaskID_{0};
    mutable std::mutex fieldsMutex_;  // the string fields
    std::optional<std::string> appkey_, debugkey_;
    std::string channel_ = "App Store", wraperType_ = "native", wraperVersion_;
    std::shared_ptr<NSOperationQueue> slnetworkerQueue_;
    std::shared_ptr<ZVReachability> internetReachability_;
    std::mutex flushMutex_;
    std::shared_ptr<NSObject> observerToken_;
};
