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

namespace {

// `now`: the view's traits, worked out by the caller.
void propagate(UIView& view, const UITraitCollection& previous, UITraitCollectionPtr now) {
    const int64_t override = view.overrideUserInterfaceStyle();
    if (!now->isEqual(previous)) view.traitCollectionDidChange(&previous);
    // The callback may have changed what the view's traits come from.
    if (view.overrideUserInterfaceStyle() != override) now = view.traitCollection();
    for (auto sub : view.subviews()) {
        // What the subview saw before: the parent's previous traits under its own override.
        // Without an override, in the same window, a subview has its parent's traits.
        if (sub->overrideUserInterfaceStyle() == UIUserInterfaceStyleUnspecified) {
            propagate(*sub, previous, sub->window() == view.window() ? now : sub->traitCollection());
            continue;
        }
        auto before = UITraitCollection::withStyle(previous,
                                                   static_cast<UIUserInterfaceStyle>(sub->overrideUserInterfaceStyle()));
        propagate(*sub, *before, sub->traitCollection());
    }
}

}  // namespace

void propagateTraitChange(UIView& view, const UITraitCollection& previous) {
    auto now = view.traitCollection();
    // Equal traits reach every view below equal too (an override applies alike to both, and
    // the subtree shares the view's window): no view would be told, so the walk is skipped.
    // Most insertions keep the traits they had.
    if (now->isEqual(previous)) return;
    propagate(view, previous, std::move(now));
}

}  // namespace uikit_detail
