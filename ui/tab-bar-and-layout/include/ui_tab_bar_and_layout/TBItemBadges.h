#pragma once
// Badges of tab bar items and bar button items, which are not views: each
// operation is forwarded to the view that carries the item's badge (the tab
// image view, or a visible animation view; a bar button item's own view).
// Setting a tab bar item's platform badge value first removes the red point
// and the custom badge (the item class's "setBadgeValue:" is exchanged once
// per process).
//
// Main thread.

#include <ui_tab_bar_and_layout/TBBadge.h>

#include <platform_runtime/ObjCClass.h>
#include <platform_uikit/UIBarButtonItem.h>
#include <platform_uikit/UIControl.h>
#include <platform_uikit/UITabBarItem.h>

#include <optional>
#include <string>

// The item's tab button (its "_view").
std::shared_ptr<UIControl> tb_tabButton(const UITabBarItem& item);
UIViewPtr tb_getActualBadgeSuperView(const UITabBarItem& item);
UIViewPtr tb_getActualBadgeSuperView(const UIBarButtonItem& item);

bool tb_isShowBadge(const UITabBarItem& item);
void tb_showBadge(const UITabBarItem& item);
void tb_showBadgeValue(const UITabBarItem& item, const std::optional<std::string>& value, uint64_t animationType = 0);
void tb_clearBadge(const UITabBarItem& item);
void tb_resumeBadge(const UITabBarItem& item);
bool tb_isPauseBadge(const UITabBarItem& item);

bool tb_isShowBadge(const UIBarButtonItem& item);
void tb_showBadge(const UIBarButtonItem& item);
void tb_showBadgeValue(const UIBarButtonItem& item, const std::optional<std::string>& value,
                       uint64_t animationType = 0);
void tb_clearBadge(const UIBarButtonItem& item);
void tb_resumeBadge(const UIBarButtonItem& item);
bool tb_isPauseBadge(const UIBarButtonItem& item);

// Adds the second method's implementation under the first selector when the
// class only inherits the first, else exchanges the two. Always true.
bool TBSwizzleInstanceMethod(ObjCClass& cls, const std::string& first, const std::string& second);
// The once-per-process exchange of the tab bar item's badge setter (also run at load).
void tb_swizzleSetBadgeValue();
