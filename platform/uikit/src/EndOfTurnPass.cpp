#include "EndOfTurnPass.h"

#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UIView.h>
#include <platform_uikit/UIWindow.h>

#include <platform_dispatch/NSRunLoop.h>
#include <platform_dispatch/RunLoopObserver.h>

namespace uikit_detail {

namespace {

// After everything else at the end of a turn, as the platform orders its commit.
constexpr int64_t kPassOrder = 2000000;

}  // namespace

void scheduleEndOfTurnPass() {
    static std::shared_ptr<RunLoopObserver> observer = [] {
        auto o = std::make_shared<RunLoopObserver>(kCFRunLoopBeforeWaiting | kCFRunLoopExit, true, kPassOrder,
                                                   [](CFRunLoopActivity) { runEndOfTurnPass(); });
        NSRunLoop::mainRunLoop()->addObserver(o, NSRunLoopCommonModes);
        return o;
    }();
    (void)observer;
}

void runEndOfTurnPass() {
    auto windows = UIApplication::sharedApplication()->windows();
    for (auto& window : windows) window->layoutIfNeeded();
    for (auto& window : windows) displayTreeIfNeeded(*window->layer());
}

void propagateTraitChange(UIView& view, const UITraitCollection& previous) {
    auto now = view.traitCollection();
    if (!now->isEqual(previous)) view.traitCollectionDidChange(&previous);
    for (auto sub : view.subviews()) {
        // What the subview saw before: the parent's previous traits under its own override.
        if (sub->overrideUserInterfaceStyle() == UIUserInterfaceStyleUnspecified) {
            propagateTraitChange(*sub, previous);
            continue;
        }
        auto before = UITraitCollection::withStyle(previous,
                                                   static_cast<UIUserInterfaceStyle>(sub->overrideUserInterfaceStyle()));
        propagateTraitChange(*sub, *before);
    }
}

}  // namespace uikit_detail
