#include <platform_system/ASIdentifierManager.h>

namespace {
std::atomic<uint64_t> requests{0};
}

std::shared_ptr<ASIdentifierManager> ASIdentifierManager::sharedManager() {
    static const auto manager = std::make_shared<ASIdentifierManager>();
    return manager;
}

std::shared_ptr<NSUUID> ASIdentifierManager::advertisingIdentifier() const {
    requests.fetch_add(1, std::memory_order_relaxed);
    return std::make_shared<NSUUID>(uuid_bytes_t{});
}

uint64_t ASIdentifierManager::advertisingIdentifierRequestCount() { return requests.load(std::memory_order_relaxed); }

NS_CLASS_LOAD(ASIdentifierManager) {
    cls.addClassOperation("sharedManager", [](ObjCClass&, const Value::Array&) {
        return Value(ASIdentifierManager::sharedManager());
    });
    cls.addInstanceOperation("advertisingIdentifier", [](NSObject& self, const Value::Array&) {
        return Value(static_cast<ASIdentifierManager&>(self).advertisingIdentifier());
    });
    cls.addInstanceOperation("isAdvertisingTrackingEnabled", [](NSObject&, const Value::Array&) {
        return Value(false);
    });
}
