#pragma once
// What every tab control (a tab button or the centre button) carries: its
// indices among the visible controls and among the controller's children, a
// do-not-select flag, the selected-state test the controller relies on, a
// red point beside the tab image, and the replacement of the tab image (or
// the whole button) by a custom view. Kept on the control.
//
// Main thread.

#include <platform_uikit/UIControl.h>

#include <cstdint>
#include <functional>
#include <memory>

bool tb_isChildViewControllerPlusButton(const UIControl& control);
bool tb_shouldNotSelect(const UIControl& control);
void tb_setShouldNotSelect(const UIControl& control, bool on);
// TBNotFound for a control that is neither a tab button nor a centre button.
int64_t tb_tabBarItemVisibleIndex(const UIControl& control);
void tb_setTabBarItemVisibleIndex(const UIControl& control, int64_t index);
int64_t tb_tabBarChildViewControllerIndex(const UIControl& control);
void tb_setTabBarChildViewControllerIndex(const UIControl& control, int64_t index);
bool tb_isSelected(const UIControl& control);

void tb_showTabBadgePoint(UIControl& control);
void tb_removeTabBadgePoint(UIControl& control);
bool tb_isShowTabBadgePoint(UIControl& control);
// Catches what tb_setShowTabBadgePoint raises and logs it.
void tb_setShowTabBadgePointIfNeeded(UIControl& control, bool show);
void tb_setShowTabBadgePoint(UIControl& control, bool show);
void tb_setTabBadgePointView(UIControl& control, const UIViewPtr& view);
// Made on first read: a red point of radius 4.5.
UIViewPtr tb_tabBadgePointView(UIControl& control);
UIViewPtr tb_defaultTabBadgePointView();
void tb_setTabBadgePointViewOffset(UIControl& control, UIOffset offset);
UIOffset tb_tabBadgePointViewOffset(const UIControl& control);
UIViewPtr tb_motionAnimationView(const UIControl& control);

// (replaced, the control, the new view or none)
using TBReplaceCompletion = std::function<void(bool, UIControl&, UIViewPtr)>;
void tb_replaceTabImageViewWithNewView(UIControl& control, const UIViewPtr& view, bool show);
void tb_replaceTabButtonWithNewView(UIControl& control, const UIViewPtr& view, bool show);
void tb_replaceTabImageViewWithNewView(UIControl& control, const UIViewPtr& view, UIOffset offset, bool show,
                                       const TBReplaceCompletion& completion);
void tb_replaceTabButtonWithNewView(UIControl& control, const UIViewPtr& view, UIOffset offset, bool show,
                                    const TBReplaceCompletion& completion);
void tb_replaceTabImageViewOrTabButton(UIControl& control, bool wholeButton, const UIViewPtr& view, UIOffset offset,
                                       bool show, const TBReplaceCompletion& completion);
// Empty body: no animation is drawn.
inline void tb_addMotionImageWithMotionURL(UIControl&, const Value&, CGSize) {}
