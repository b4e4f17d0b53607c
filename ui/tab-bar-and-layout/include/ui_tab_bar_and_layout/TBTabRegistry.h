#pragma once
// The tab bar component's shared state: the attribute keys of a tab item, the
// width-change notification's name, the "not found" index, the log line of
// out-of-range queries and the process-wide tab registry (registered centre
// button, its width, the centre child controller, the centre button's index,
// the tab count and the width of one ordinary tab).
//
// Main thread only; the registry has no lock.

#include <platform_uikit/UIButton.h>
#include <platform_uikit/UIViewController.h>

#include <cstdint>
#include <memory>
#include <string>

inline constexpr char TBTabBarItemTitle[] = "TBTabBarItemTitle";
inline constexpr char TBTabBarItemImage[] = "TBTabBarItemImage";
inline constexpr char TBTabBarItemSelectedImage[] = "TBTabBarItemSelectedImage";
inline constexpr char TBTabBarItemImageInsets[] = "TBTabBarItemImageInsets";
inline constexpr char TBTabBarItemTitlePositionAdjustment[] = "TBTabBarItemTitlePositionAdjustment";
inline constexpr char TBTabBarMotionURL[] = "TBTabBarMotionURL";
inline constexpr char TBTabBarMotionSize[] = "TBTabBarMotionSize";
inline constexpr char TBTabBarItemWidthDidChangeNotification[] = "TBTabBarItemWidthDidChangeNotification";

// Name of the component's exceptions and its default context.
inline constexpr char TBTabBarControllerName[] = "TBTabBarController";

// The index that stands for "none" (the largest signed integer).
inline constexpr int64_t TBNotFound = INT64_MAX;

// The largest finite single-precision value (layer depths, hidden titles).
inline constexpr double TBFloatMax = 3.4028234663852886e38;

struct TBTabRegistry {
    std::shared_ptr<UIButton> plusButton;
    double plusButtonWidth = 0;
    UIViewControllerPtr plusChildController;
    uint64_t plusButtonIndex = 0;
    uint64_t tabItemCount = 0;
    double tabItemWidth = 0;
};

// The one registry of the process.
TBTabRegistry& TBRegistry();
// Tests: every field back to its start value.
void TBResetRegistryForTesting();

// Logs an out-of-range query: "🔴类名与方法名：<method>（在第<line>行），描述：<reason>".
void TBLogIndexError(const std::string& method, int64_t line, const std::string& reason);
// A phone of at least 375 × 812 points on system 11 or later (the 83-point bar).
bool TBIsTallPhone();
// The platform's reason for an index outside an array of `count` elements.
std::string TBIndexBeyondBoundsReason(uint64_t index, uint64_t count);
