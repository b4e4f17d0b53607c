#include <platform_system/SKStoreReviewController.h>

#include <platform_foundation/NSProcessInfo.h>
#include <platform_runtime/ObjCAvailability.h>

#include <atomic>

namespace {
std::atomic<uint64_t> requests{0};
}

void SKStoreReviewController::requestReview() { requests.fetch_add(1); }
uint64_t SKStoreReviewController::requestCount() { return requests.load(); }
void SKStoreReviewController::resetRequestCountForTesting() { requests.store(0); }

bool SKStoreReviewController::isAvailable() {
    return NSProcessInfo::processInfo()->isOperatingSystemAtLeastVersion({10, 3, 0});
}

NS_CLASS_LOAD(SKStoreReviewController) {
    cls.addClassOperation("requestReview", [](ObjCClass&, const Value::Array&) {
        SKStoreReviewController::requestReview();
        return Value();
    });
    objc_setClassAvailability(cls, [] { return SKStoreReviewController::isAvailable(); });
}
