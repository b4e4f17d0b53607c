#pragma once
// Advertising-identifier stand-in: the shared manager answers the all-zero identifier (as
// with tracking limited). A runtime class: "sharedManager" (class), "advertisingIdentifier",
// "isAdvertisingTrackingEnabled". Any thread.

#include <atomic>
#include <memory>

#include <platform_foundation/NSUUID.h>
#include <platform_runtime/ObjCDeclare.h>

class ASIdentifierManager : public NSObject {
    NS_CLASS(ASIdentifierManager, NSObject)
public:
    static std::shared_ptr<ASIdentifierManager> sharedManager();
    std::shared_ptr<NSUUID> advertisingIdentifier() const;
    bool isAdvertisingTrackingEnabled() const { return false; }
    // How often the identifier was asked for in this process (tests check who touched it).
    static uint64_t advertisingIdentifierRequestCount();
};
