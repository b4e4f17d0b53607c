#include <ui_widgets/RFRefreshGeometry.h>
#include <ui_widgets/RFRefreshLabel.h>
#include <ui_widgets/RFRefreshResources.h>
#include <ui_widgets/RFRefreshSlots.h>
#include <ui_widgets/RFRefreshTrailer.h>

#include <algorithm>
#include <cmath>

double RFRefreshTrailer::widthForContentBreakView() const {
    auto scroll = scrollView();
    if (!scroll) return 0;
    UIEdgeInsets base = scrollViewOriginalInset();
    return rf_contentW(*scroll) - (scroll->frame().size.width - base.right - base.left);
}

double RFRefreshTrailer::happenOffsetX() const {
    double deltaW = widthForContentBreakView();
    double left = scrollViewOriginalInset().left;
    return deltaW > 0 ? deltaW - left : -left;
}

RFRefreshComponent& RFRefreshTrailer::linkTo(UIScrollView& scrollView) {
    rf_setTrailer(scrollView, std::static_pointer_cast<RFRefreshTrailer>(shared_from_this()));
    return *this;
}

void RFRefreshTrailer::willMoveToSuperview(UIView* newSuperview) {
    RFRefreshComponent::willMoveToSuperview(newSuperview);
    auto scroll = scrollView();
    if (!newSuperview || scroll.get() != newSuperview) return;
    scroll->setAlwaysBounceHorizontal(true);
    scroll->setAlwaysBounceVertical(false);
}

void RFRefreshTrailer::placeSubviews() {
    RFRefreshComponent::placeSubviews();
    auto scroll = scrollView();
    if (scroll) rf_setH(*this, rf_h(*scroll));
    rf_setW(*this, RFRefreshTrailWidth);
}

void RFRefreshTrailer::scrollViewContentSizeDidChange(const Value& change) {
    RFRefreshComponent::scrollViewContentSizeDidChange(change);
    auto scroll = scrollView();
    if (!scroll) return;
    UIEdgeInsets base = scrollViewOriginalInset();
    double contentWidth = rf_contentW(*scroll) + ignoredInsetRight_;
    double scrollWidth = rf_w(*scroll) - base.left - base.right + ignoredInsetRight_;
    rf_setX(*this, std::max(contentWidth, scrollWidth));
}

void RFRefreshTrailer::scrollViewContentOffsetDidChange(const Value& change) {
    RFRefreshComponent::scrollViewContentOffsetDidChange(change);
    auto scroll = scrollView();
    if (!scroll || state_ == RFRefreshStateRefreshing) return;
    setScrollViewOriginalInset(rf_inset(*scroll));
    followPullPastEnd(rf_offsetX(*scroll), happenOffsetX(), rf_w(*this), scroll->isDragging());
}

void RFRefreshTrailer::setState(RFRefreshState state) {
    RFRefreshState old = state_;
    if (state == old) return;
    RFRefreshComponent::setState(state);
    auto scroll = scrollView();
    if (!scroll) return;
    std::weak_ptr<RFRefreshComponent> weak = weakSelf();
    std::weak_ptr<UIScrollView> weakScroll = scroll;
    if (state == RFRefreshStateRefreshing) {
        lastRefreshCount_ = rf_totalDataCount(*scroll);
        double width = rf_w(*this);
        UIView::animateWithDuration(
            fastAnimationDuration(),
            [this, weakScroll, width] {
                auto s = weakScroll.lock();
                if (!s) return;
                double right = width + scrollViewOriginalInset().right;
                double deltaW = widthForContentBreakView();
                if (deltaW < 0) right -= deltaW;
                lastRightDelta_ = right - rf_insetR(*s);
                rf_setInsetR(*s, right);
                UIView::performWithoutAnimation([&] { rf_setOffsetX(*s, happenOffsetX() + width); });
            },
            [weak](bool) {
                if (auto self = weak.lock()) self->executeRefreshingCallback();
            });
    } else if ((state == RFRefreshStateIdle || state == RFRefreshStateNoMoreData) &&
               old == RFRefreshStateRefreshing) {
        double delta = lastRightDelta_;
        UIView::animateWithDuration(
            slowAnimationDuration(),
            [weak, weakScroll, delta] {
                auto self = weak.lock();
                if (self && self->endRefreshingAnimationBeginAction()) self->endRefreshingAnimationBeginAction()();
                if (auto s = weakScroll.lock()) rf_setInsetR(*s, rf_insetR(*s) - delta);
                if (self && self->automaticallyChangeAlpha()) self->setAlpha(0.0);
            },
            [weak](bool) {
                auto self = weak.lock();
                if (!self) return;
                self->setPullingPercent(0.0);
                if (self->endRefreshingCompletionBlock()) self->endRefreshingCompletionBlock()();
            });
        if (widthForContentBreakView() > 0 && rf_totalDataCount(*scroll) != lastRefreshCount_)
            rf_setOffsetX(*scroll, rf_offsetX(*scroll));
    }
}

// --- state trailer ---

const std::shared_ptr<UILabel>& RFRefreshStateTrailer::stateLabel() {
    if (!stateLabel_) {
        stateLabel_ = rf_label();
        stateLabel_->setNumberOfLines(0);
        addSubview(stateLabel_);
    }
    return stateLabel_;
}

RFRefreshStateTrailer& RFRefreshStateTrailer::setTitle(const std::optional<std::string>& title, RFRefreshState state) {
    if (!title) return *this;
    titles_[state] = *title;
    stateLabel()->setText(titleForState(state_).value_or(""));
    return *this;
}

std::optional<std::string> RFRefreshStateTrailer::titleForState(RFRefreshState state) const {
    auto it = titles_.find(state);
    if (it == titles_.end()) return std::nullopt;
    return it->second;
}

void RFRefreshStateTrailer::loadTitles() {
    setTitle(rf_localizedStringForKey(RFRefreshTrailerIdleText), RFRefreshStateIdle);
    setTitle(rf_localizedStringForKey(RFRefreshTrailerPullingText), RFRefreshStatePulling);
    setTitle(rf_localizedStringForKey(RFRefreshTrailerPullingText), RFRefreshStateRefreshing);
}

void RFRefreshStateTrailer::prepare() {
    RFRefreshTrailer::prepare();
    loadTitles();
}

void RFRefreshStateTrailer::i18nDidChange() {
    loadTitles();
    RFRefreshTrailer::i18nDidChange();
}

void RFRefreshStateTrailer::setState(RFRefreshState state) {
    if (state == state_) return;
    RFRefreshTrailer::setState(state);
    stateLabel()->setText(titleForState(state).value_or(""));
}

void RFRefreshStateTrailer::placeSubviews() {
    RFRefreshTrailer::placeSubviews();
    auto& label = stateLabel();
    if (label->isHidden() || rf_hasConstraints(*label)) return;
    double width = std::ceil(label->font()->pointSize());
    label->setFrame(CGRectMake(0, 0, width, rf_h(*this)));
    label->setCenter(CGPointMake(rf_w(*this) * 0.5, rf_h(*this) * 0.5));
}

// --- normal trailer ---

const std::shared_ptr<UIImageView>& RFRefreshNormalTrailer::arrowView() {
    if (!arrow_) {
        arrow_ = std::make_shared<UIImageView>(rf_trailArrowImage());
        addSubview(arrow_);
    }
    return arrow_;
}

void RFRefreshNormalTrailer::placeSubviews() {
    RFRefreshStateTrailer::placeSubviews();
    auto& arrow = arrowView();
    CGSize imageSize = arrow->image() ? arrow->image()->size() : CGSizeZero;
    auto& label = stateLabel();
    double height = rf_h(*this), width = rf_w(*this);
    if (!rf_hasConstraints(*arrow)) {
        rf_setSize(*arrow, imageSize);
        if (label->isHidden())
            arrow->setCenter(CGPointMake(width * 0.5, height * 0.5));
        else
            arrow->setCenter(CGPointMake(imageSize.width * 0.5 + 5, height * 0.5));
    }
    arrow->setTintColor(label->textColor());
    if (!label->isHidden() && !rf_hasConstraints(*label)) {
        if (arrow->isHidden())
            label->setCenter(CGPointMake(width * 0.5, height * 0.5));
        else
            label->setCenter(CGPointMake((width + imageSize.width) * 0.5, height * 0.5));
    }
}

void RFRefreshNormalTrailer::setState(RFRefreshState state) {
    RFRefreshState old = state_;
    if (state == old) return;
    RFRefreshStateTrailer::setState(state);
    auto arrow = arrowView();
    constexpr double pi = 3.14159265358979323846;
    if (state == RFRefreshStateIdle) {
        if (old == RFRefreshStateRefreshing) {
            std::weak_ptr<UIImageView> weakArrow = arrow;
            UIView::animateWithDuration(
                fastAnimationDuration(), [arrow] { arrow->setTransform(CGAffineTransformMakeRotation(pi)); },
                [weakArrow](bool) {
                    if (auto a = weakArrow.lock()) a->setTransform(CGAffineTransformIdentity);
                });
        } else {
            UIView::animateWithDuration(fastAnimationDuration(), [arrow] { arrow->setTransform(CGAffineTransformIdentity); });
        }
    } else if (state == RFRefreshStatePulling) {
        UIView::animateWithDuration(fastAnimationDuration(), [arrow] { arrow->setTransform(CGAffineTransformMakeRotation(pi)); });
    }
}
