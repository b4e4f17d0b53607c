#include <platform_uikit/UIRefreshControl.h>

void UIRefreshControl::beginRefreshing() {
    if (refreshing_) return;
    announce("refreshing", [&] { refreshing_ = true; });
}

void UIRefreshControl::endRefreshing() {
    if (!refreshing_) return;
    announce("refreshing", [&] { refreshing_ = false; });
}

void UIRefreshControl::simulatePullToRefresh() {
    if (refreshing_ || !isEnabled()) return;
    beginRefreshing();
    sendActionsForControlEvents(UIControlEventValueChanged);
}
