#pragma once
// Classification of views by class and class name, and the lookup of a tab
// bar's private subviews (its buttons, their image views, labels and badges,
// the bar background with its hairline, the blur view). The private class
// names are recognised by parts of their names.
//
// Main thread.

#include <platform_uikit/UIView.h>

#include <string>
#include <vector>

bool tb_classStringHasPrefix(const UIView& view, const std::string& prefix);
bool tb_classStringHasSuffix(const UIView& view, const std::string& suffix);
// The class name begins with the tab bar's private-class prefix.
bool tb_isTabBarClass(const UIView& view);
// An instance of a strict subclass of `cls` whose name is a tab bar class.
bool tb_isKindOfClass(const UIView& view, const ObjCClass& cls);
bool tb_isTabButton(const UIView& view);
bool tb_isTabImageView(const UIView& view);
bool tb_isTabLabel(const UIView& view);
bool tb_isTabBadgeView(const UIView& view);
bool tb_isTabBackgroundView(const UIView& view);
// Exactly the platform's visual-effect view class.
bool tb_isTabEffectView(const UIView& view);
bool tb_isTabEffectContentView(const UIView& view);
// An instance of the class named "MOTAnimationView" when such a class is loaded.
bool tb_isMotionAnimationView(const UIView& view);
// An instance of the registered centre button's class; NO with none registered.
bool tb_isPlusButton(const UIView& view);
// Hidden, alpha at most 0.01, zero width or height, or no superview.
bool tb_isInvisiable(const UIView& view);
bool tb_canNotResponseEvent(const UIView& view);

// The view, then each subview followed at once by its own descendants.
std::vector<UIViewPtr> tb_allSubviews(const UIViewPtr& view);
UIViewPtr tb_tabImageView(const UIViewPtr& view);
UIViewPtr tb_tabBadgeView(const UIViewPtr& view);
UIViewPtr tb_tabLabel(const UIViewPtr& view);
UIViewPtr tb_tabEffectView(const UIViewPtr& view);
UIViewPtr tb_tabBackgroundView(const UIViewPtr& view);
UIViewPtr tb_tabBadgeBackgroundView(const UIViewPtr& view);
// The bar's hairline (bounds height at most 1): a direct subview before 10,
// else a subview of the background view.
UIViewPtr tb_tabShadowImageView(const UIViewPtr& view);
UIViewPtr tb_tabBadgeBackgroundSeparator(const UIViewPtr& view);
