#pragma once
// The pull-to-refresh control: shows refreshing between beginRefreshing and
// endRefreshing (observable as "refreshing"); a pull by the user sends
// value-changed to its targets.
//
// Main thread.

#include <platform_uikit/NSAttributedString.h>
#include <platform_uikit/UIControl.h>

class UIRefreshControl : public UIControl {
    NS_CLASS(UIRefreshControl, UIControl)
public:
    UIRefreshControl() : UIControl(CGRectMake(0, 0, 375, 60)) {}

    void beginRefreshing();
    void endRefreshing();
    bool isRefreshing() const { return refreshing_; }
    const NSAttributedStringPtr& attributedTitle() const { return title_; }
    void setAttributedTitle(NSAttributedStringPtr title) { title_ = std::move(title); }
    // What a user's pull does: begin refreshing and tell the targets.
    void simulatePullToRefresh();

    NS_READONLY_PROPERTY(bool, refreshing, "R,N,GisRefreshing", isRefreshing)

private:
    bool refreshing_ = false;
    NSAttributedStringPtr title_;
};
