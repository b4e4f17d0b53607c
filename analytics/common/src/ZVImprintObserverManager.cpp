#include <analytics_common/ZVImprintObserverManager.h>

#include <algorithm>

std::shared_ptr<ZVImprintObserverManager> ZVImprintObserverManager::sharedInstance() {
    static const auto instance = std::make_shared<ZVImprintObserverManager>();
    return instance;
}

bool ZVImprintObserverManager::registerImprintKey(const std::string* key, const Observer& observer) {
    if (!key || !observer) return false;
    std::lock_guard lock(mutex_);
    auto& list = obDic_[*key];
    if (!existObserver(observer, &list)) list.push_back(observer);
    return true;
}

bool ZVImprintObserverManager::unregisterImprintKey(const std::string* key, const Observer& observer) {
    if (!key || !observer) return false;
    std::lock_guard lock(mutex_);
    auto it = obDic_.find(*key);
    if (it != obDic_.end()) {
        std::erase(it->second, observer);
        if (it->second.empty()) obDic_.erase(it);
    }
    return true;
}

void ZVImprintObserverManager::processImprintKey(const std::string& key, const Value& newValue,
                                                 const Value& oldValue) {
    std::lock_guard lock(mutex_);
    auto it = obDic_.find(key);
    if (it == obDic_.end()) return;
    const std::vector<Observer> observers = it->second;  // a callback may change the list
    for (const auto& o : observers)
        if (o->respondsToImprintObserve()) o->imprintObserveValueForImprintKey(key, newValue, oldValue);
}

bool ZVImprintObserverManager::existImprintObserver() {
    std::lock_guard lock(mutex_);
    return !obDic_.empty();
}

bool ZVImprintObserverManager::existObserver(const Observer& observer, const std::vector<Observer>* list) {
    if (!observer || !list) return false;
    return std::find(list->begin(), list->end(), observer) != list->end();
}
