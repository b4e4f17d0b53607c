#include <ui_widgets/RFRefreshGeometry.h>
#include <ui_widgets/RFRefreshHeader.h>
#include <ui_widgets/RFRefreshSlots.h>

#include <platform_foundation/NSUserDefaults.h>
#include <platform_uikit/UIDevice.h>

#include <algorithm>

std::optional<NSDate> RFRefreshHeader::lastUpdatedTime() const {
    Value stored = NSUserDefaults::standardUserDefaults()->objectForKey(lastUpdatedTimeKey_);
    if (!stored.isDate()) return std::nullopt;
    return stored.asDate();
}

void RFRefreshHeader::setIgnoredScrollViewContentInsetTop(double value) {
    ignoredInsetTop_ = value;
    rf_setY(*this, -rf_h(*this) - ignoredInsetTop_);
}

RFRefreshComponent& RFRefreshHeader::linkTo(UIScrollView& scrollView) {
    rf_setHeader(scrollView, std::static_pointer_cast<RFRefreshHeader>(shared_from_this()));
    return *this;
}

void RFRefreshHeader::prepare() {
    RFRefreshComponent::prepare();
    lastUpdatedTimeKey_ = RFRefreshHeaderLastUpdatedTimeKey;
    rf_setH(*this, RFRefreshHeaderHeight);
}

void RFRefreshHeader::placeSubviews() {
    RFRefreshComponent::placeSubviews();
    rf_setY(*this, -rf_h(*this) - ignoredInsetTop_);
}

void RFRefreshHeader::scrollViewContentOffsetDidChange(const Value& change) {
    RFRefreshComponent::scrollViewContentOffsetDidChange(change);
    auto scroll = scrollView();
    if (!scroll) return;
    if (state_ == RFRefreshStateRefreshing) {
        resetInset();
        return;
    }
    setScrollViewOriginalInset(rf_inset(*scroll));
    double offsetY = rf_offsetY(*scroll);
    double happenOffsetY = -scrollViewOriginalInset().top;
    if (offsetY > happenOffsetY) return;
    double height = rf_h(*this);
    double percent = (happenOffsetY - offsetY) / height;
    double threshold = happenOffsetY - height;
    if (scroll->isDragging()) {
        setPullingPercent(percent);
        if (state_ == RFRefreshStateIdle && offsetY < threshold)
            setState(RFRefreshStatePulling);
        else if (state_ == RFRefreshStatePulling && offsetY >= threshold)
            setState(RFRefreshStateIdle);
    } else if (state_ == RFRefreshStatePulling) {
        beginRefreshing();
    } else if (percent < 1) {
        setPullingPercent(percent);
    }
}

void RFRefreshHeader::resetInset() {
    auto scroll = scrollView();
    if (!scroll) return;
    if (!UIKitIsAvailable(11) && !window()) return;
    double baseTop = scrollViewOriginalInset().top;
    double insetT = std::max(-rf_offsetY(*scroll), baseTop);
    insetT = std::min(insetT, rf_h(*this) + baseTop);
    insetTDelta_ = baseTop - insetT;
    if (rf_insetT(*scroll) != insetT) rf_setInsetT(*scroll, insetT);
}

void RFRefreshHeader::setState(RFRefreshState state) {
    RFRefreshState old = state_;
    if (state == old) return;
    RFRefreshComponent::setState(state);
    if (state == RFRefreshStateRefreshing)
        runRefreshingAction();
    else if (state == RFRefreshStateIdle && old == RFRefreshStateRefreshing)
        runEndingAction();
}

std::shared_ptr<CAAnimationDelegate> RFRefreshHeader::selfAsDelegate() {
    return std::shared_ptr<CAAnimationDelegate>(shared_from_this(), static_cast<CAAnimationDelegate*>(this));
}

namespace {
bool panCancelled(const UIScrollView& scroll) {
    auto pan = scroll.panGestureRecognizer();
    return pan && pan->state() == UIGestureRecognizerStateCancelled;
}

std::shared_ptr<CABasicAnimation> boundsAnimation(const char* identity, double duration) {
    auto animation = CABasicAnimation::animationWithKeyPath("bounds");
    animation->duration = duration;
    animation->removedOnCompletion = false;
    animation->fillMode = kCAFillModeBoth;
    animation->timingFunction = CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionEaseInEaseOut);
    animation->setValue(Value(identity), "identity");
    return animation;
}
}  // namespace

void RFRefreshHeader::runRefreshingAction() {
    auto scroll = scrollView();
    if (!scroll) return;
    std::weak_ptr<RFRefreshComponent> weak = weakSelf();
    double top = scrollViewOriginalInset().top + rf_h(*this);
    if (!layerVariant_) {
        std::weak_ptr<UIScrollView> weakScroll = scroll;
        UIView::animateWithDuration(
            fastAnimationDuration(),
            [weakScroll, top] {
                auto s = weakScroll.lock();
                if (!s || panCancelled(*s)) return;
                rf_setInsetT(*s, top);
                CGPoint offset = s->contentOffset();
                s->setContentOffset(CGPointMake(offset.x, -top));
            },
            [weak](bool) {
                if (auto self = weak.lock()) self->executeRefreshingCallback();
            });
        return;
    }
    if (panCancelled(*scroll)) {
        executeRefreshingCallback();
        return;
    }
    scroll->setUserInteractionEnabled(false);
    auto animation = boundsAnimation(kRefreshingBoundsKey, fastAnimationDuration());
    CGRect from = scroll->bounds(), to = from;
    to.origin.y = -top;
    animation->fromValue = Value(from);
    animation->toValue = Value(to);
    animation->delegate = selfAsDelegate();
    scroll->layer()->addAnimation(animation, kRefreshingBoundsKey);
}

void RFRefreshHeader::runEndingAction() {
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setObject(Value(NSDate::date()), lastUpdatedTimeKey_);
    (void)defaults->synchronize();
    auto scroll = scrollView();
    if (!scroll) return;
    std::weak_ptr<RFRefreshComponent> weak = weakSelf();
    if (!layerVariant_) {
        std::weak_ptr<UIScrollView> weakScroll = scroll;
        double delta = insetTDelta_;
        UIView::animateWithDuration(
            slowAnimationDuration(),
            [weak, weakScroll, delta] {
                auto self = weak.lock();
                if (auto s = weakScroll.lock()) rf_setInsetT(*s, rf_insetT(*s) + delta);
                if (!self) return;
                if (self->endRefreshingAnimationBeginAction()) self->endRefreshingAnimationBeginAction()();
                if (self->automaticallyChangeAlpha()) self->setAlpha(0.0);
            },
            [weak](bool) {
                auto self = weak.lock();
                if (!self) return;
                self->setPullingPercent(0.0);
                if (self->endRefreshingCompletionBlock()) self->endRefreshingCompletionBlock()();
            });
        return;
    }
    double previousAlpha = alpha();
    rf_setInsetT(*scroll, rf_insetT(*scroll) + insetTDelta_);
    scroll->setUserInteractionEnabled(false);
    auto animation = boundsAnimation(kRefreshing2IdleBoundsKey, slowAnimationDuration());
    CGRect from = scroll->bounds();
    from.origin.y += insetTDelta_;
    animation->fromValue = Value(from);
    animation->delegate = selfAsDelegate();
    scroll->layer()->addAnimation(animation, kRefreshing2IdleBoundsKey);
    if (endRefreshingAnimationBeginAction()) endRefreshingAnimationBeginAction()();
    if (automaticallyChangeAlpha()) {
        auto fade = CABasicAnimation::animationWithKeyPath("opacity");
        fade->fromValue = Value(previousAlpha);
        fade->toValue = Value(0.0);
        fade->duration = slowAnimationDuration();
        fade->timingFunction = CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionEaseInEaseOut);
        layer()->addAnimation(fade, kRefreshing2IdleOpacityKey);
        setAlpha(0.0);
    }
}

void RFRefreshHeader::animationDidStop(CAAnimation* animation, bool) {
    auto scroll = scrollView();
    std::string identity = animation ? animation->valueForKey("identity").stringValue() : std::string();
    if (identity == kRefreshing2IdleBoundsKey) {
        setPullingPercent(0.0);
        if (scroll) scroll->setUserInteractionEnabled(true);
        if (endRefreshingCompletionBlock()) endRefreshingCompletionBlock()();
    } else if (identity == kRefreshingBoundsKey) {
        if (state_ != RFRefreshStateIdle && scroll) {
            double top = scrollViewOriginalInset().top + rf_h(*this);
            rf_setInsetT(*scroll, top);
            rf_setOffsetY(*scroll, -top);
        }
        if (scroll) scroll->setUserInteractionEnabled(true);
        executeRefreshingCallback();
    }
    if (scroll) {
        if (scroll->layer()->animationForKey(kRefreshingBoundsKey)) scroll->layer()->removeAnimationForKey(kRefreshingBoundsKey);
        if (scroll->layer()->animationForKey(kRefreshing2IdleBoundsKey))
            scroll->layer()->removeAnimationForKey(kRefreshing2IdleBoundsKey);
    }
}
