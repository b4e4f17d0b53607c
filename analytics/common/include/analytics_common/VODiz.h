#pragma once
// The device-identity facade. Started with the application key once the server granted the
// zero key; its identity value (32 lowercase hex digits, made at the first start and kept in
// the keychain item "VODiz") is "" before. A runtime class, found by name by the layer.
// Any thread.

#include <functional>
#include <string>

#include <platform_runtime/ObjCDeclare.h>

class VODiz : public NSObject {
    NS_CLASS(VODiz, NSObject)
public:
    static void initWithAppKey(const std::string& appKey, std::function<void()> completion);
    static std::string getZID();
    static std::string getSDKVersion() { return "1.0.0"; }
    static std::string getResetToken() { return ""; }
    static std::string getZData() { return ""; }
    static std::string getATStr() { return ""; }
};
