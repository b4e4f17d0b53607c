#include <ui_widgets/RFRefreshComponent.h>
#include <ui_widgets/RFRefreshGeometry.h>

#include <platform_dispatch/Dispatch.h>
#include <platform_foundation/NSNotificationCenter.h>
#include <platform_runtime/KeyValueObserving.h>
#include <platform_runtime/ObjCRuntime.h>

RFRefreshComponent::RFRefreshComponent() : UIView(CGRectZero) {}

RFRefreshComponent::~RFRefreshComponent() {
    if (auto observed = observed_.lock()) {
        observed->removeObserver(*this, "contentOffset");
        observed->removeObserver(*this, "contentSize");
    }
    if (pan_) pan_->removeObserver(*this, "state");
}

void RFRefreshComponent::initialise() {
    prepare();
    state_ = RFRefreshStateIdle;
    fast_ = RFRefreshFastAnimationDuration;
    slow_ = RFRefreshSlowAnimationDuration;
}

void RFRefreshComponent::prepare() {
    setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    setBackgroundColor(UIColor::clearColor());
}

void RFRefreshComponent::layoutSubviews() {
    placeSubviews();
    UIView::layoutSubviews();
}

void RFRefreshComponent::willMoveToSuperview(UIView* newSuperview) {
    UIView::willMoveToSuperview(newSuperview);
    auto* scroll = dynamic_cast<UIScrollView*>(newSuperview);
    if (newSuperview && !scroll) return;
    removeObservers();
    if (!scroll) return;
    scrollView_ = std::static_pointer_cast<UIScrollView>(scroll->shared_from_this());
    rf_setW(*this, rf_w(*scroll));
    rf_setX(*this, -rf_insetL(*scroll));
    scroll->setAlwaysBounceVertical(true);
    originalInset_ = rf_inset(*scroll);
    addObservers();
}

void RFRefreshComponent::addObservers() {
    auto scroll = scrollView();
    if (!scroll) return;
    const unsigned options = NSKeyValueObservingOptionNew | NSKeyValueObservingOptionOld;
    scroll->addObserver(*this, "contentOffset", options);
    scroll->addObserver(*this, "contentSize", options);
    observed_ = scroll;
    pan_ = scroll->panGestureRecognizer();
    if (pan_) pan_->addObserver(*this, "state", options);
    if (!languageObserved_) {
        languageObserved_ = true;
        std::weak_ptr<RFRefreshComponent> weak = weakSelf();
        NSNotificationCenter::defaultCenter()->addObserver(
            shared_from_this(),
            [weak](const NSNotification&) {
                if (auto self = weak.lock()) self->i18nDidChange();
            },
            RFRefreshDidChangeLanguageNotification, Value());
    }
}

void RFRefreshComponent::removeObservers() {
    if (auto observed = observed_.lock()) {
        observed->removeObserver(*this, "contentOffset");
        observed->removeObserver(*this, "contentSize");
    }
    observed_.reset();
    if (pan_) pan_->removeObserver(*this, "state");
    pan_.reset();
}

void RFRefreshComponent::observeValueForKeyPath(const std::string& keyPath, NSObject*, const Value& change, void*) {
    if (!isUserInteractionEnabled()) return;
    if (keyPath == "contentSize") scrollViewContentSizeDidChange(change);
    if (isHidden()) return;
    if (keyPath == "contentOffset") scrollViewContentOffsetDidChange(change);
    else if (keyPath == "state") scrollViewPanStateDidChange(change);
}

void RFRefreshComponent::setState(RFRefreshState state) {
    state_ = state;
    std::weak_ptr<RFRefreshComponent> weak = weakSelf();
    dispatch_async(dispatch_get_main_queue(), [weak] {
        if (auto self = weak.lock()) self->setNeedsLayout();
    });
}

void RFRefreshComponent::followPullPastEnd(double offset, double happen, double length, bool dragging) {
    if (offset <= happen) return;
    double percent = (offset - happen) / length;
    if (state_ == RFRefreshStateNoMoreData) {
        setPullingPercent(percent);
        return;
    }
    if (dragging) {
        setPullingPercent(percent);
        double threshold = happen + length;
        if (state_ == RFRefreshStateIdle && offset > threshold)
            setState(RFRefreshStatePulling);
        else if (state_ == RFRefreshStatePulling && offset <= threshold)
            setState(RFRefreshStateIdle);
    } else if (state_ == RFRefreshStatePulling) {
        beginRefreshing();
    } else if (percent < 1) {
        setPullingPercent(percent);
    }
}

void RFRefreshComponent::setPullingPercent(double percent) {
    pullingPercent_ = percent;
    if (isRefreshing()) return;
    if (autoAlpha_) setAlpha(percent);
}

void RFRefreshComponent::setAutomaticallyChangeAlpha(bool on) {
    autoAlpha_ = on;
    if (isRefreshing()) return;
    setAlpha(on ? pullingPercent_ : 1.0);
}

void RFRefreshComponent::beginRefreshing() {
    UIView::animateWithDuration(fast_, [this] { setAlpha(1.0); });
    pullingPercent_ = 1.0;
    if (window()) {
        setState(RFRefreshStateRefreshing);
    } else if (state_ != RFRefreshStateRefreshing) {
        setState(RFRefreshStateWillRefresh);
        setNeedsDisplay();
    }
}

void RFRefreshComponent::beginRefreshingWithCompletionBlock(Block completion) {
    beginCompletion_ = std::move(completion);
    beginRefreshing();
}

void RFRefreshComponent::endRefreshing() {
    std::weak_ptr<RFRefreshComponent> weak = weakSelf();
    dispatch_async(dispatch_get_main_queue(), [weak] {
        if (auto self = weak.lock()) self->setState(RFRefreshStateIdle);
    });
}

void RFRefreshComponent::endRefreshingWithCompletionBlock(Block completion) {
    endCompletion_ = std::move(completion);
    endRefreshing();
}

void RFRefreshComponent::drawRect(CGRect rect) {
    UIView::drawRect(rect);
    if (state_ == RFRefreshStateWillRefresh) setState(RFRefreshStateRefreshing);
}

void RFRefreshComponent::setRefreshingTarget(const std::shared_ptr<NSObject>& target, std::string action) {
    refreshingTarget_ = target;
    refreshingAction_ = std::move(action);
}

void RFRefreshComponent::executeRefreshingCallback() {
    if (refreshingBlock_) refreshingBlock_();
    if (auto target = refreshingTarget_.lock(); target && !refreshingAction_.empty() &&
                                                target->respondsToSelector(refreshingAction_)) {
        if (refreshingAction_.back() == ':')
            performSelector(target.get(), refreshingAction_, {Value(shared_from_this())});
        else
            performSelector(target.get(), refreshingAction_);
    }
    if (beginCompletion_) beginCompletion_();
}

RFRefreshComponent& RFRefreshComponent::setAnimationDisabled() {
    fast_ = 0;
    slow_ = 0;
    return *this;
}

RFRefreshComponent& RFRefreshComponent::autoChangeTransparency(bool on) {
    setAutomaticallyChangeAlpha(on);
    return *this;
}

RFRefreshComponent& RFRefreshComponent::afterBeginningAction(Block block) {
    beginCompletion_ = std::move(block);
    return *this;
}

RFRefreshComponent& RFRefreshComponent::endingAnimationBeginningAction(Block block) {
    endAnimationBegin_ = std::move(block);
    return *this;
}

RFRefreshComponent& RFRefreshComponent::afterEndingAction(Block block) {
    endCompletion_ = std::move(block);
    return *this;
}
