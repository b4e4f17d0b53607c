#pragma once
// The device the app runs on: system name and version (APP_OS_VERSION),
// model and idiom (APP_IDIOM: "phone" or "pad"), and its orientation, which
// tests and the host set through setOrientation or key-value coding
// ("orientation"); a change is announced with
// UIDeviceOrientationDidChangeNotification on the setting thread.
//
// One shared instance for the process; readable from any thread.

#include <platform_uikit/UITraitCollection.h>

#include <platform_runtime/ObjCDeclare.h>

#include <atomic>
#include <memory>
#include <string>

inline constexpr char UIDeviceOrientationDidChangeNotification[] = "UIDeviceOrientationDidChangeNotification";

enum UIDeviceOrientation : int64_t {
    UIDeviceOrientationUnknown = 0,
    UIDeviceOrientationPortrait = 1,
    UIDeviceOrientationPortraitUpsideDown = 2,
    UIDeviceOrientationLandscapeLeft = 3,
    UIDeviceOrientationLandscapeRight = 4,
    UIDeviceOrientationFaceUp = 5,
    UIDeviceOrientationFaceDown = 6,
};

enum UIDeviceBatteryState : int64_t {
    UIDeviceBatteryStateUnknown = 0,
    UIDeviceBatteryStateUnplugged = 1,
    UIDeviceBatteryStateCharging = 2,
    UIDeviceBatteryStateFull = 3,
};

class NSUUID;

class UIDevice : public NSObject {
    NS_CLASS(UIDevice, NSObject)
public:
    static constexpr const char* kIdiomEnvironmentVariable = "APP_IDIOM";

    static std::shared_ptr<UIDevice> currentDevice();

    std::string systemName() const { return "iOS"; }
    // "13.4", "15.0": the operating-system version the process reports.
    std::string systemVersion() const;
    // "iPhone" or "iPad", after the idiom.
    std::string model() const;
    std::string localizedModel() const { return model(); }
    // From APP_IDIOM at each call ("pad" gives Pad; anything else Phone).
    UIUserInterfaceIdiom userInterfaceIdiom() const;

    int64_t orientation() const { return orientation_.load(); }
    // Values outside 0...6 are ignored.
    void setOrientation(int64_t orientation);
    bool isGeneratingDeviceOrientationNotifications() const { return generating_.load() > 0; }
    void beginGeneratingDeviceOrientationNotifications() { ++generating_; }
    void endGeneratingDeviceOrientationNotifications();

    // The device's name: the machine's host name (UIDeviceIdentity.cpp).
    std::string name() const;
    // One UUID per vendor (the bundle identifier without its last component), kept under the
    // device root so that every app of the vendor and every reinstall reads the same one;
    // nullptr without a bundle identifier.
    std::shared_ptr<NSUUID> identifierForVendor() const;

    // Battery from /sys/class/power_supply (UIDeviceBattery.cpp): level 0...1 and state
    // while monitoring is on; -1 and Unknown while it is off or without a battery.
    bool isBatteryMonitoringEnabled() const;
    void setBatteryMonitoringEnabled(bool enabled);
    float batteryLevel() const;
    UIDeviceBatteryState batteryState() const;
    // Tests: read the power supplies under this folder instead ("" = the system's).
    static void setPowerSupplyRootForTesting(const std::string& root);

    NS_PROPERTY_ACCESSORS(int64_t, orientation, "N", orientation, setOrientation)
    NS_READONLY_PROPERTY(std::string, systemVersion, "R,N", systemVersion)
    NS_READONLY_PROPERTY(std::string, model, "R,N", model)
    // The orientation setter is found by name (code that turns the device looks it up).
    NS_SELECTORS("setOrientation:")

private:
    std::atomic<int64_t> orientation_{UIDeviceOrientationPortrait};
    std::atomic<int> generating_{0};
};

// Whether the operating-system version the process reports is at least
// `major` (the platform's API availability checks).
bool UIKitIsAvailable(int64_t major);
