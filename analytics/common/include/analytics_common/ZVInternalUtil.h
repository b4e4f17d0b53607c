#pragma once
// Small device and system probes of the internal-data record and the identity tracking:
// disk, memory, boot time, text size, the hashed device name, paths, the debugger flag and
// the display name; a tap recorder; reflective gyroscope calls. One shared instance.
// Class operations keep no state; any thread.

#include <cstdint>
#include <mutex>
#include <string>

#include <platform_runtime/ObjCDeclare.h>

struct ZVCMRotationRate {
    double x = 0, y = 0, z = 0;
};

class ZVInternalUtil : public NSObject {
    NS_CLASS(ZVInternalUtil, NSObject)
public:
    static std::shared_ptr<ZVInternalUtil> sharedInstance();
    // Every allocation or copy is the one shared instance.
    static std::shared_ptr<ZVInternalUtil> allocWithZone() { return sharedInstance(); }
    std::shared_ptr<ZVInternalUtil> copyWithZone() { return sharedInstance(); }

    static Value Value1();  // disk {"t", "f", "ts"}
    static uint64_t getTotalDiskSize();
    static uint64_t getFreeDiskSize();
    static Value Value2();  // system facts, 11 keys
    static int32_t getSysFontSize();
    static std::string Value7();  // MD5 text of the device name
    static Value Value3() { return Value(); }
    static Value getwinfo() { return Value(); }
    static Value getwinfoValue() { return Value(); }
    static Value getWifiInfo() { return Value(); }
    static std::string getWifiBSSID() { return ""; }
    static std::string getWifiSSID() { return ""; }
    static std::optional<std::string> formatIPV4Address(const void* inAddr);
    static std::optional<std::string> formatIPV6Address(const void* in6Addr);
    static Value Value4();  // memory {"t", "f", "ts"}
    static uint64_t getTotalMemeorySize();
    static uint64_t getFreeMemeorySize();
    static Value Value8() { return Value::mutableDictionary(); }

    void appActivate();
    void handlenetworknotification() {}
    void networkchange() {}
    void connectGestureRecognized();
    static bool isGAvailable(NSObject* object);
    static void stopGyroUpdates(NSObject* object);
    static void setObj(NSObject* object, double updateInterval);
    static ZVCMRotationRate getrotationRateWithObj(NSObject* object);

    Value muttaparray() const;
    std::shared_ptr<NSObject> testTapRecognizer() const;

private:
    mutable std::mutex mutex_;
    Value muttaparray_ = Value::mutableArray();
    std::shared_ptr<NSObject> testTapRecognizer_;
};
