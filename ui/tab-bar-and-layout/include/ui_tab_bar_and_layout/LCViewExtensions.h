#pragma once
// The builder's view and controller extensions: running a layout closure
// through a maker, view attributes as targets, the installed set and key
// kept on a view, and the closest common superview.
//
// Main thread.

#include <ui_tab_bar_and_layout/LCConstraintMaker.h>

#include <platform_uikit/UIViewController.h>

#include <functional>
#include <vector>

using LCMakerBlock = std::function<void(LCConstraintMaker&)>;

// Switches the view's frame translation off, runs the closure with a maker
// for the view and installs what it described; answers the top-level constraints.
std::vector<LCConstraintPtr> lc_makeConstraints(const UIViewPtr& view, const LCMakerBlock& block);
// The same, updating the constants of equal installed constraints instead of adding.
std::vector<LCConstraintPtr> lc_updateConstraints(const UIViewPtr& view, const LCMakerBlock& block);
// The same, after uninstalling everything in the view's installed set.
std::vector<LCConstraintPtr> lc_remakeConstraints(const UIViewPtr& view, const LCMakerBlock& block);

LCViewAttributePtr lc_left(const UIViewPtr& view);
LCViewAttributePtr lc_top(const UIViewPtr& view);
LCViewAttributePtr lc_right(const UIViewPtr& view);
LCViewAttributePtr lc_bottom(const UIViewPtr& view);
LCViewAttributePtr lc_leading(const UIViewPtr& view);
LCViewAttributePtr lc_trailing(const UIViewPtr& view);
LCViewAttributePtr lc_width(const UIViewPtr& view);
LCViewAttributePtr lc_height(const UIViewPtr& view);
LCViewAttributePtr lc_centerX(const UIViewPtr& view);
LCViewAttributePtr lc_centerY(const UIViewPtr& view);
LCViewAttributePtr lc_baseline(const UIViewPtr& view);
std::function<LCViewAttributePtr(NSLayoutAttribute)> lc_attribute(const UIViewPtr& view);
// The safe-area guide (bottom), and its edges.
LCViewAttributePtr lc_safeAreaLayoutGuide(const UIViewPtr& view);
LCViewAttributePtr lc_safeAreaLayoutGuideTop(const UIViewPtr& view);
LCViewAttributePtr lc_safeAreaLayoutGuideBottom(const UIViewPtr& view);
LCViewAttributePtr lc_safeAreaLayoutGuideLeft(const UIViewPtr& view);
LCViewAttributePtr lc_safeAreaLayoutGuideRight(const UIViewPtr& view);
// The controller's layout guides; the view of each attribute is the controller's view.
LCViewAttributePtr lc_topLayoutGuide(const UIViewControllerPtr& controller);
LCViewAttributePtr lc_topLayoutGuideTop(const UIViewControllerPtr& controller);
LCViewAttributePtr lc_topLayoutGuideBottom(const UIViewControllerPtr& controller);
LCViewAttributePtr lc_bottomLayoutGuide(const UIViewControllerPtr& controller);
LCViewAttributePtr lc_bottomLayoutGuideTop(const UIViewControllerPtr& controller);
LCViewAttributePtr lc_bottomLayoutGuideBottom(const UIViewControllerPtr& controller);

// The builder constraints installed with this view as first view (owned by the view).
std::vector<LCViewConstraintPtr> lc_installedConstraints(const UIView& view);
void lc_addInstalledConstraint(const UIView& view, const LCViewConstraintPtr& constraint);
void lc_removeInstalledConstraint(const UIView& view, const LCViewConstraint* constraint);
// A debugging key kept on the view.
Value lc_key(const NSObject& view);
void setLc_key(const NSObject& view, const Value& key);
// For each view s up from `other`, the first found on `view`'s chain; null without one.
UIViewPtr lc_closestCommonSuperview(const UIViewPtr& view, const UIViewPtr& other);
