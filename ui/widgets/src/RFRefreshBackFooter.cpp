#include <ui_widgets/RFRefreshBackFooter.h>
#include <ui_widgets/RFRefreshGeometry.h>

#include <platform_runtime/KeyValueObserving.h>

#include <algorithm>

double RFRefreshBackFooter::heightForContentBreakView() const {
    auto scroll = scrollView();
    if (!scroll) return 0;
    UIEdgeInsets base = scrollViewOriginalInset();
    return rf_contentH(*scroll) - (scroll->frame().size.height - base.bottom - base.top);
}

double RFRefreshBackFooter::happenOffsetY() const {
    double deltaH = heightForContentBreakView();
    double top = scrollViewOriginalInset().top;
    return deltaH > 0 ? deltaH - top : -top;
}

void RFRefreshBackFooter::willMoveToSuperview(UIView* newSuperview) {
    RFRefreshFooter::willMoveToSuperview(newSuperview);
    if (newSuperview && scrollView().get() == newSuperview) scrollViewContentSizeDidChange(Value());
}

void RFRefreshBackFooter::scrollViewContentSizeDidChange(const Value& change) {
    RFRefreshFooter::scrollViewContentSizeDidChange(change);
    auto scroll = scrollView();
    if (!scroll) return;
    Value next = change.isDictionary() ? change.objectForKey(Value(NSKeyValueChangeNewKey)) : Value();
    double contentHeight = next.isGeometry() ? next.CGSizeValue().height : 0;
    if (contentHeight == 0) contentHeight = rf_contentH(*scroll);
    contentHeight += ignoredScrollViewContentInsetBottom();
    UIEdgeInsets base = scrollViewOriginalInset();
    double scrollHeight = rf_h(*scroll) - base.top - base.bottom + ignoredScrollViewContentInsetBottom();
    double y = std::max(contentHeight, scrollHeight);
    if (rf_y(*this) != y) rf_setY(*this, y);
}

void RFRefreshBackFooter::scrollViewContentOffsetDidChange(const Value& change) {
    RFRefreshFooter::scrollViewContentOffsetDidChange(change);
    auto scroll = scrollView();
    if (!scroll || state_ == RFRefreshStateRefreshing) return;
    setScrollViewOriginalInset(rf_inset(*scroll));
    followPullPastEnd(rf_offsetY(*scroll), happenOffsetY(), rf_h(*this), scroll->isDragging());
}

void RFRefreshBackFooter::setState(RFRefreshState state) {
    RFRefreshState old = state_;
    if (state == old) return;
    RFRefreshFooter::setState(state);
    auto scroll = scrollView();
    if (!scroll) return;
    std::weak_ptr<RFRefreshComponent> weak = weakSelf();
    std::weak_ptr<UIScrollView> weakScroll = scroll;
    if (state == RFRefreshStateRefreshing) {
        lastRefreshCount_ = rf_totalDataCount(*scroll);
        double height = rf_h(*this);
        UIView::animateWithDuration(
            fastAnimationDuration(),
            [this, weakScroll, height] {
                auto s = weakScroll.lock();
                if (!s) return;
                double bottom = height + scrollViewOriginalInset().bottom;
                double deltaH = heightForContentBreakView();
                if (deltaH < 0) bottom -= deltaH;
                lastBottomDelta_ = bottom - rf_insetB(*s);
                rf_setInsetB(*s, bottom);
                rf_setOffsetY(*s, happenOffsetY() + height);
            },
            [weak](bool) {
                if (auto self = weak.lock()) self->executeRefreshingCallback();
            });
    } else if ((state == RFRefreshStateIdle || state == RFRefreshStateNoMoreData) &&
               old == RFRefreshStateRefreshing) {
        double delta = lastBottomDelta_;
        UIView::animateWithDuration(
            slowAnimationDuration(),
            [weak, weakScroll, delta] {
                auto self = weak.lock();
                if (self && self->endRefreshingAnimationBeginAction()) self->endRefreshingAnimationBeginAction()();
                if (auto s = weakScroll.lock()) rf_setInsetB(*s, rf_insetB(*s) - delta);
                if (self && self->automaticallyChangeAlpha()) self->setAlpha(0.0);
            },
            [weak](bool) {
                auto self = weak.lock();
                if (!self) return;
                self->setPullingPercent(0.0);
                if (self->endRefreshingCompletionBlock()) self->endRefreshingCompletionBlock()();
            });
        // New rows: write the offset back once so the content settles where it is.
        if (heightForContentBreakView() > 0 && rf_totalDataCount(*scroll) != lastRefreshCount_)
            rf_setOffsetY(*scroll, rf_offsetY(*scroll));
    }
}
