#include <ui_widgets/RFRefreshAutoFooter.h>
#include <ui_widgets/RFRefreshGeometry.h>

#include <platform_runtime/KeyValueObserving.h>

void RFRefreshAutoFooter::beginRefreshing() {
    if (triggerByDrag_ && leftTriggerTimes_ <= 0 && !unlimitedTrigger()) return;
    RFRefreshFooter::beginRefreshing();
}

void RFRefreshAutoFooter::prepare() {
    RFRefreshFooter::prepare();
    triggerPercent_ = 1.0;
    automaticallyRefresh_ = true;
    setAutoTriggerTimes(1);
}

void RFRefreshAutoFooter::willMoveToSuperview(UIView* newSuperview) {
    RFRefreshFooter::willMoveToSuperview(newSuperview);
    if (newSuperview) {
        auto scroll = scrollView();
        if (!scroll || scroll.get() != newSuperview) return;
        if (!isHidden()) rf_setInsetB(*scroll, rf_insetB(*scroll) + rf_h(*this));
        rf_setY(*this, rf_contentH(*scroll));
    } else if (auto scroll = scrollView(); scroll && !isHidden()) {
        rf_setInsetB(*scroll, rf_insetB(*scroll) - rf_h(*this));
    }
}

void RFRefreshAutoFooter::setHidden(bool hidden) {
    bool was = isHidden();
    RFRefreshFooter::setHidden(hidden);
    auto scroll = scrollView();
    if (!scroll || was == hidden) return;
    if (hidden) {
        setState(RFRefreshStateIdle);
        rf_setInsetB(*scroll, rf_insetB(*scroll) - rf_h(*this));
    } else {
        rf_setInsetB(*scroll, rf_insetB(*scroll) + rf_h(*this));
        rf_setY(*this, rf_contentH(*scroll));
    }
}

void RFRefreshAutoFooter::scrollViewContentSizeDidChange(const Value& change) {
    RFRefreshFooter::scrollViewContentSizeDidChange(change);
    auto scroll = scrollView();
    if (!scroll) return;
    Value next = change.isDictionary() ? change.objectForKey(Value(NSKeyValueChangeNewKey)) : Value();
    double height = next.isGeometry() ? next.CGSizeValue().height : 0;
    if (height == 0) height = rf_contentH(*scroll);
    double y = height + ignoredScrollViewContentInsetBottom();
    if (rf_y(*this) != y) rf_setY(*this, y);
}

void RFRefreshAutoFooter::scrollViewContentOffsetDidChange(const Value& change) {
    RFRefreshFooter::scrollViewContentOffsetDidChange(change);
    auto scroll = scrollView();
    if (!scroll || state_ != RFRefreshStateIdle || !automaticallyRefresh_ || rf_y(*this) == 0) return;
    UIEdgeInsets inset = rf_inset(*scroll);
    double contentH = rf_contentH(*scroll), viewH = rf_h(*scroll), footerH = rf_h(*this);
    if (inset.top + contentH <= viewH) return;
    double offsetY = rf_offsetY(*scroll);
    if (offsetY < contentH - viewH + footerH * triggerPercent_ + inset.bottom - footerH) return;
    Value oldValue = change.objectForKey(Value(NSKeyValueChangeOldKey));
    Value newValue = change.objectForKey(Value(NSKeyValueChangeNewKey));
    if (!(newValue.CGPointValue().y > oldValue.CGPointValue().y)) return;
    if (scroll->isDragging()) triggerByDrag_ = true;
    beginRefreshing();
}

void RFRefreshAutoFooter::scrollViewPanStateDidChange(const Value& change) {
    RFRefreshFooter::scrollViewPanStateDidChange(change);
    auto scroll = scrollView();
    if (!scroll || state_ != RFRefreshStateIdle) return;
    int64_t panState = pan() ? int64_t(pan()->state()) : 0;
    if (panState == UIGestureRecognizerStateBegan) {
        resetTriggerTimes();
    } else if (panState == UIGestureRecognizerStateEnded) {
        UIEdgeInsets inset = rf_inset(*scroll);
        double contentH = rf_contentH(*scroll), viewH = rf_h(*scroll), offsetY = rf_offsetY(*scroll);
        bool reached = inset.top + contentH <= viewH ? offsetY >= -inset.top
                                                     : offsetY >= contentH + inset.bottom - viewH;
        if (reached) {
            triggerByDrag_ = true;
            beginRefreshing();
        }
    }
}

void RFRefreshAutoFooter::setState(RFRefreshState state) {
    RFRefreshState old = state_;
    if (state == old) return;
    RFRefreshFooter::setState(state);
    if (state == RFRefreshStateRefreshing) {
        executeRefreshingCallback();
    } else if (state == RFRefreshStateIdle || state == RFRefreshStateNoMoreData) {
        if (triggerByDrag_) {
            if (!unlimitedTrigger()) --leftTriggerTimes_;
            triggerByDrag_ = false;
        }
        if (old != RFRefreshStateRefreshing) return;
        auto scroll = scrollView();
        if (scroll && scroll->isPagingEnabled()) {
            CGPoint offset = scroll->contentOffset();
            offset.y -= rf_insetB(*scroll);
            std::weak_ptr<RFRefreshComponent> weak = weakSelf();
            std::weak_ptr<UIScrollView> weakScroll = scroll;
            UIView::animateWithDuration(
                slowAnimationDuration(),
                [weak, weakScroll, offset] {
                    if (auto s = weakScroll.lock()) s->setContentOffset(offset);
                    auto self = weak.lock();
                    if (self && self->endRefreshingAnimationBeginAction()) self->endRefreshingAnimationBeginAction()();
                },
                [weak](bool) {
                    auto self = weak.lock();
                    if (self && self->endRefreshingCompletionBlock()) self->endRefreshingCompletionBlock()();
                });
        } else if (endRefreshingCompletionBlock()) {
            endRefreshingCompletionBlock()();
        }
    }
}
