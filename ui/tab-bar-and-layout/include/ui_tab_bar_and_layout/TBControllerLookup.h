#pragma once
// Which TBTabBarController an object belongs to (a weak reference the
// controller writes into its children, its bar and the centre button, with
// fallbacks through the parent chain and the app's window), plus helpers that
// find the top-most visible controller, dismiss everything presented, and
// force an interface orientation.
//
// Main thread. The stored reference never keeps its controller alive.

#include <platform_runtime/NSObject.h>
#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UINavigationController.h>

#include <cstdint>
#include <functional>
#include <memory>

class TBTabBarController;

void tb_setTabBarController(const NSObject& object, const std::shared_ptr<TBTabBarController>& controller);
// The stored controller; else, for a controller with a parent, the parent's;
// else the app window's root (unwrapped from a navigation controller) when it
// is a TBTabBarController; else none.
std::shared_ptr<TBTabBarController> tb_tabBarController(const NSObject& object);

bool tb_isForceLandscape(const UIApplicationDelegate& delegate);
void tb_setIsForceLandscape(const UIApplicationDelegate& delegate, bool on);
std::shared_ptr<UIApplicationDelegate> tb_sharedAppDelegate();
// Records landscape (3 or 4) on the delegate, lets the delegate re-read its
// orientations, then turns the device through portrait to `orientation`.
void tb_forceUpdateInterfaceOrientation(int64_t orientation);

// From the key window's root through presented controllers, navigation tops
// and selected tabs.
UIViewControllerPtr tb_topmostViewController();
std::shared_ptr<UINavigationController> tb_currentNavigationController();
// Dismisses every presented controller without animation, the innermost
// first; the completion rides on the outermost dismissal (at once when
// nothing is presented).
void tb_dismissAll(std::function<void()> completion);
