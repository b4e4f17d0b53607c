#pragma once
// Subscriptions to single imprint keys: when a merged imprint changes a key, every observer
// of that key is told the new and old value, in registration order. Observers are held
// strongly, at most once per key. Every operation runs under the registry's lock, and
// observers are called while it is held.

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <platform_runtime/ObjCDeclare.h>

class ZVImprintObserverProtocol {
public:
    virtual ~ZVImprintObserverProtocol() = default;
    // Optional: observers that do not implement it answer false and are skipped.
    virtual bool respondsToImprintObserve() const { return true; }
    virtual void imprintObserveValueForImprintKey(const std::string& key, const Value& newValue,
                                                  const Value& oldValue) = 0;
};

class ZVImprintObserverManager : public NSObject {
    NS_CLASS(ZVImprintObserverManager, NSObject)
public:
    using Observer = std::shared_ptr<ZVImprintObserverProtocol>;
    static std::shared_ptr<ZVImprintObserverManager> sharedInstance();
    bool registerImprintKey(const std::string* key, const Observer& observer);
    bool unregisterImprintKey(const std::string* key, const Observer& observer);
    void processImprintKey(const std::string& key, const Value& newValue, const Value& oldValue);
    bool existImprintObserver();
    static bool existObserver(const Observer& observer, const std::vector<Observer>* list);

private:
    std::recursive_mutex mutex_;
    std::map<std::string, std::vector<Observer>> obDic_;
};
