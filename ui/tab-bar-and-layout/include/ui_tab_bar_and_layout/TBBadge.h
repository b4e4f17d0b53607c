#pragma once
// The badge engine: any view can carry a badge, a small label pinned to its
// top-right corner showing a red dot, the word "new", a number (capped with a
// "+") or a short text, optionally animated. Its attributes live on the host
// view; the label is made on first need and hidden, never removed, by clearing.
//
// Tab bar items, bar button items and view controllers forward the same
// operations to the view that carries their badge (TBItemBadges.h,
// TBViewControllerExtension.h).
//
// Main thread.

#include <platform_uikit/UIFont.h>
#include <platform_uikit/UILabel.h>
#include <platform_uikit/UIView.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

enum TBBadgeAnimationType : uint64_t {
    TBBadgeAnimationTypeNone = 0,
    TBBadgeAnimationTypeScale = 1,
    TBBadgeAnimationTypeShake = 2,
    TBBadgeAnimationTypeBounce = 3,
    TBBadgeAnimationTypeBreathe = 4,
};

// The label's style, kept in its tag.
inline constexpr int64_t TBBadgeStyleRedDot = 1;
inline constexpr int64_t TBBadgeStyleText = 4;

bool tb_isShowBadge(UIView& view);
// A red dot.
void tb_showBadge(UIView& view);
void tb_showBadgeValue(UIView& view, const std::optional<std::string>& value, uint64_t animationType = 0);
void tb_clearBadge(UIView& view);
void tb_resumeBadge(UIView& view);
bool tb_isPauseBadge(UIView& view);

std::shared_ptr<UILabel> tb_badge(UIView& view);
void tb_setBadge(UIView& view, std::shared_ptr<UILabel> label);
UIFontPtr tb_badgeFont(UIView& view);
void tb_setBadgeFont(UIView& view, UIFontPtr font);
UIColorPtr tb_badgeBackgroundColor(UIView& view);
void tb_setBadgeBackgroundColor(UIView& view, UIColorPtr color);
UIColorPtr tb_badgeTextColor(UIView& view);
void tb_setBadgeTextColor(UIView& view, UIColorPtr color);
// Read back at single precision; a record of other than four entries reads as zero.
CGRect tb_badgeFrame(UIView& view);
void tb_setBadgeFrame(UIView& view, CGRect frame);
CGPoint tb_badgeCenterOffset(UIView& view);
void tb_setBadgeCenterOffset(UIView& view, CGPoint offset);
uint64_t tb_badgeAnimationType(UIView& view);
void tb_setBadgeAnimationType(UIView& view, uint64_t type);
int64_t tb_badgeMaximumBadgeNumber(UIView& view);
void tb_setBadgeMaximumBadgeNumber(UIView& view, int64_t maximum);
float tb_badgeRadius(UIView& view);
void tb_setBadgeRadius(UIView& view, float radius);
float tb_badgeMargin(UIView& view);
void tb_setBadgeMargin(UIView& view, float margin);
float tb_badgeCornerRadius(UIView& view);
void tb_setBadgeCornerRadius(UIView& view, float radius);

// A stand-alone hidden round dot of the colour, 2 × radius wide and high by
// its own constraints.
UIViewPtr tb_tabBadgePointViewWithClolor(UIColorPtr color, double radius);
