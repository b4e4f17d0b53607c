#pragma once
// What every view controller gains from the tab bar component: navigation-bar
// settings applied at its appearance steps, control of the navigation
// controller's pop gesture, the lookup of its tab (content controller, tab
// index, tab button), popping back to another tab and pushing there, a red
// dot on its tab button and every badge operation forwarded to its tab item.
//
// Main thread; the completion and decision closures run later on the main queue.

#include <ui_tab_bar_and_layout/TBTabRegistry.h>

#include <platform_uikit/UIControl.h>
#include <platform_uikit/UINavigationController.h>
#include <platform_uikit/UITabBarItem.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// --- per-controller settings ---
bool tb_disablePopGestureRecognizer(const UIViewController& controller);
void tb_setDisablePopGestureRecognizer(const UIViewController& controller, bool on);
bool tb_hideNavigationBarSeparator(const UIViewController& controller);
void tb_setHideNavigationBarSeparator(const UIViewController& controller, bool on);
bool tb_navigationBarHidden(const UIViewController& controller);
void tb_setNavigationBarHidden(const UIViewController& controller, bool on);
std::optional<std::string> tb_context(const UIViewController& controller);
void tb_setContext(const UIViewController& controller, std::optional<std::string> context);
bool tb_plusViewControllerEverAdded(const UIViewController& controller);
void tb_setPlusViewControllerEverAdded(const UIViewController& controller, bool on);

// --- appearance hooks ---
void tb_viewWillAppearNavigationSetting(UIViewController& controller, bool animated);
void tb_viewDidAppearNavigationSetting(UIViewController& controller, bool animated);
void tb_viewWillDisappearNavigationSetting(UIViewController& controller, bool animated);
void tb_viewDidDisappearNavigationSetting(UIViewController& controller, bool animated);
void tb_deallocNavigationSetting(UIViewController& controller);
void tb_hideNavigationBarSeparatorIfNeeded(UIViewController& controller);
void tb_setNavigationBarHiddenIfNeeded(UIViewController& controller, bool animated);
void tb_setNavigationBarVisibleIfNeeded(UIViewController& controller, bool animated);
bool tb_shouldNavigationBarVisible(UIViewController& controller);
void tb_disableInteractivePopGestureRecognizer(UIViewController& controller);
void tb_enableInteractivePopGestureRecognizer(UIViewController& controller);
void tb_resetInteractivePopGestureRecognizer(UIViewController& controller);

// --- tab lookup ---
// A navigation controller with a stack: its root; else the controller itself.
UIViewControllerPtr tb_getViewControllerInsteadOfNavigationController(const UIViewControllerPtr& controller);
bool tb_isPlusChildViewController(const UIViewController& controller);
bool tb_isEmbedInTabBarController(const UIViewControllerPtr& controller);
// TBNotFound when not a tab's controller.
int64_t tb_tabIndex(const UIViewControllerPtr& controller);
std::shared_ptr<UIControl> tb_tabButton(const UIViewControllerPtr& controller);
int64_t tb_indexForClassType(const ObjCClass& cls, const std::vector<UIViewControllerPtr>& controllers);

// --- tab navigation ---
UIViewControllerPtr tb_popSelectTabBarChildViewControllerAtIndex(const UIViewControllerPtr& controller, int64_t index,
                                                                  bool animated = false);
void tb_popSelectTabBarChildViewControllerAtIndex(const UIViewControllerPtr& controller, int64_t index,
                                                  std::function<void(UIViewControllerPtr)> completion);
UIViewControllerPtr tb_popSelectTabBarChildViewControllerForClassType(const UIViewControllerPtr& controller,
                                                                      const ObjCClass& cls);
void tb_popSelectTabBarChildViewControllerForClassType(const UIViewControllerPtr& controller, const ObjCClass& cls,
                                                       std::function<void(UIViewControllerPtr)> completion);
void checkTabBarChildControllerValidityAtIndex(const UIViewControllerPtr& controller, int64_t index);
// The other controllers of the navigation stack of the given controller's class; none with fewer than two.
std::optional<std::vector<UIViewControllerPtr>> tb_getOtherSameClassTypeViewControllersInCurrentNavigationControllerStack(
    const UIViewControllerPtr& self, const UIViewControllerPtr& controller);
// (pop, controller to pop to, pop and select a tab, tab index)
using TBPushOrPopDecision = std::function<void(bool, UIViewControllerPtr, bool, int64_t)>;
using TBPushOrPopCallback =
    std::function<void(std::optional<std::vector<UIViewControllerPtr>>, TBPushOrPopDecision)>;
void tb_pushOrPopToViewController(const UIViewControllerPtr& self, const UIViewControllerPtr& controller,
                                  bool animated, TBPushOrPopCallback callback);
void tb_pushViewController(const UIViewControllerPtr& self, const UIViewControllerPtr& controller, bool animated);
void tb_handleNavigationBackAction(const UIViewControllerPtr& self);
void tb_handleNavigationBackActionWithAnimated(const UIViewControllerPtr& self, bool animated);

// --- tab badge point (nothing for the centre child) ---
void tb_showTabBadgePoint(const UIViewControllerPtr& controller);
void tb_removeTabBadgePoint(const UIViewControllerPtr& controller);
bool tb_isShowTabBadgePoint(const UIViewControllerPtr& controller);
void tb_setTabBadgePointView(const UIViewControllerPtr& controller, const UIViewPtr& view);
UIViewPtr tb_tabBadgePointView(const UIViewControllerPtr& controller);
void tb_setTabBadgePointViewOffset(const UIViewControllerPtr& controller, UIOffset offset);
UIOffset tb_tabBadgePointViewOffset(const UIViewControllerPtr& controller);

// --- badges: the content controller's tab item (or its navigation controller's) ---
UITabBarItemPtr tb_getActualBadgeSuperView(const UIViewControllerPtr& controller);
