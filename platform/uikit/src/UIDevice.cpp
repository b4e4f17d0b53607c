#include <platform_uikit/UIDevice.h>

#include <platform_foundation/NSNotificationCenter.h>
#include <platform_foundation/NSProcessInfo.h>

#include <cstdlib>
#include <cstring>

std::shared_ptr<UIDevice> UIDevice::currentDevice() {
    static auto* device = new std::shared_ptr<UIDevice>(std::make_shared<UIDevice>());
    return *device;
}

std::string UIDevice::systemVersion() const {
    auto v = NSProcessInfo::processInfo()->operatingSystemVersion();
    std::string text = std::to_string(v.majorVersion) + "." + std::to_string(v.minorVersion);
    if (v.patchVersion) text += "." + std::to_string(v.patchVersion);
    return text;
}

std::string UIDevice::model() const { return userInterfaceIdiom() == UIUserInterfaceIdiomPad ? "iPad" : "iPhone"; }

UIUserInterfaceIdiom UIDevice::userInterfaceIdiom() const {
    const char* idiom = std::getenv(kIdiomEnvironmentVariable);
    return idiom && std::strcmp(idiom, "pad") == 0 ? UIUserInterfaceIdiomPad : UIUserInterfaceIdiomPhone;
}

void UIDevice::setOrientation(int64_t orientation) {
    if (orientation < UIDeviceOrientationUnknown || orientation > UIDeviceOrientationFaceDown) return;
    if (orientation_.load() == orientation) return;
    willChangeValueForKey("orientation");
    orientation_.store(orientation);
    didChangeValueForKey("orientation");
    NSNotificationCenter::defaultCenter()->postNotificationName(UIDeviceOrientationDidChangeNotification,
                                                               Value(shared_from_this()));
}

void UIDevice::endGeneratingDeviceOrientationNotifications() {
    for (int n = generating_.load(); n > 0 && !generating_.compare_exchange_weak(n, n - 1);) {
    }
}

bool UIKitIsAvailable(int64_t major) {
    static NSProcessInfo* const info = NSProcessInfo::processInfo().get();  // never destroyed
    return info->isOperatingSystemAtLeastVersion({major, 0, 0});
}
