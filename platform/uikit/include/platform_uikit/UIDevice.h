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

    NS_PROPERTY_ACCESSORS(int64_t, orientation, "N", orientation, setOrientation)
    NS_READONLY_PROPERTY(std::string, systemVersion, "R,N", systemVersion)
    NS_READONLY_PROPERTY(std::string, model, "R,N", model)

private:
    std::atomic<int64_t> orientation_{UIDeviceOrientationPortrait};
    std::atomic<int> generating_{0};
};

// Whether the operating-system version the process reports is at least
// `major` (the platform's API availability checks).
bool UIKitIsAvailable(int64_t major);
