#pragma once
// Before 11, a controller's scroll view under translucent bars gets their heights added to its
// content inset (top and bottom), so its first row starts below the navigation bar and its
// last one ends above the tab bar; from 11 the scroll view's adjusted inset does this instead.
//
// Main thread. Called around a layout of the controller's view and when the bars' overlay
// changes. The scroll view is the controller's view, else its first subview.

class UIViewController;

namespace uikit_detail {
void adjustScrollViewInsetsForBars(UIViewController& controller);
}
