#include <ui_tab_bar_and_layout/TBTabRegistry.h>

#include <platform_foundation/NSLog.h>
#include <platform_uikit/UIDevice.h>
#include <platform_uikit/UIScreen.h>

#include <algorithm>

TBTabRegistry& TBRegistry() {
    static TBTabRegistry registry;
    return registry;
}

void TBResetRegistryForTesting() { TBRegistry() = TBTabRegistry{}; }

void TBLogIndexError(const std::string& method, int64_t line, const std::string& reason) {
    NSLog("🔴类名与方法名：%@（在第%@行），描述：%@", Value(method), Value(line), Value(reason));
}

std::string TBIndexBeyondBoundsReason(uint64_t index, uint64_t count) {
    std::string head = "*** -[NSArray objectAtIndex:]: index " + std::to_string(index) + " beyond bounds ";
    if (count == 0) return head + "for empty NSArray";
    return head + "[0 .. " + std::to_string(count - 1) + "]";
}

bool TBIsTallPhone() {
    if (!UIKitIsAvailable(11)) return false;
    auto idiom = UIDevice::currentDevice()->userInterfaceIdiom();
    if (idiom != UIUserInterfaceIdiomPhone && idiom != UIUserInterfaceIdiomUnspecified) return false;
    const CGSize s = UIScreen::mainScreen()->bounds().size;
    return std::min(s.width, s.height) >= 375 && std::max(s.width, s.height) >= 812;
}
