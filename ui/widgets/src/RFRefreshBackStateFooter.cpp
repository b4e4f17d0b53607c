#include <ui_widgets/RFRefreshBackFooter.h>
#include <ui_widgets/RFRefreshGeometry.h>
#include <ui_widgets/RFRefreshLabel.h>
#include <ui_widgets/RFRefreshResources.h>

#include "RFRefreshArrowLook.h"
#include "RFRefreshGifLook.h"

const std::shared_ptr<UILabel>& RFRefreshBackStateFooter::stateLabel() {
    if (!stateLabel_) {
        stateLabel_ = rf_label();
        addSubview(stateLabel_);
    }
    return stateLabel_;
}

RFRefreshBackStateFooter& RFRefreshBackStateFooter::setTitle(const std::optional<std::string>& title,
                                                             RFRefreshState state) {
    if (!title) return *this;
    titles_[state] = *title;
    stateLabel()->setText(titleForState(state_).value_or(""));
    return *this;
}

std::optional<std::string> RFRefreshBackStateFooter::titleForState(RFRefreshState state) const {
    auto it = titles_.find(state);
    if (it == titles_.end()) return std::nullopt;
    return it->second;
}

void RFRefreshBackStateFooter::loadTitles() {
    setTitle(rf_localizedStringForKey(RFRefreshBackFooterIdleText), RFRefreshStateIdle);
    setTitle(rf_localizedStringForKey(RFRefreshBackFooterPullingText), RFRefreshStatePulling);
    setTitle(rf_localizedStringForKey(RFRefreshBackFooterRefreshingText), RFRefreshStateRefreshing);
    setTitle(rf_localizedStringForKey(RFRefreshBackFooterNoMoreDataText), RFRefreshStateNoMoreData);
}

void RFRefreshBackStateFooter::prepare() {
    RFRefreshBackFooter::prepare();
    labelLeftInset_ = RFRefreshLabelLeftInset;
    loadTitles();
}

void RFRefreshBackStateFooter::i18nDidChange() {
    loadTitles();
    RFRefreshBackFooter::i18nDidChange();
}

void RFRefreshBackStateFooter::placeSubviews() {
    RFRefreshBackFooter::placeSubviews();
    if (!rf_hasConstraints(*stateLabel())) stateLabel()->setFrame(bounds());
}

void RFRefreshBackStateFooter::setState(RFRefreshState state) {
    if (state == state_) return;
    RFRefreshBackFooter::setState(state);
    stateLabel()->setText(titleForState(state).value_or(""));
}

// --- normal ---

const std::shared_ptr<UIImageView>& RFRefreshBackNormalFooter::arrowView() {
    if (!arrow_) {
        arrow_ = std::make_shared<UIImageView>(rf_arrowImage());
        addSubview(arrow_);
    }
    return arrow_;
}

std::shared_ptr<UIActivityIndicatorView> RFRefreshBackNormalFooter::loadingView() {
    return rf_detail::indicatorIn(*this, loading_, indicatorStyle_);
}

void RFRefreshBackNormalFooter::setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle style) {
    indicatorStyle_ = style;
    if (auto loading = loading_.lock()) loading->removeFromSuperview();
    loading_.reset();
    setNeedsLayout();
}

void RFRefreshBackNormalFooter::prepare() {
    RFRefreshBackStateFooter::prepare();
    indicatorStyle_ = rf_detail::defaultIndicatorStyle();
}

void RFRefreshBackNormalFooter::placeSubviews() {
    RFRefreshBackStateFooter::placeSubviews();
    double centerX = rf_w(*this) * 0.5;
    if (!stateLabel()->isHidden()) centerX -= labelLeftInset_ + rf_textWidth(*stateLabel()) * 0.5;
    CGPoint center = CGPointMake(centerX, rf_h(*this) * 0.5);
    auto& arrow = arrowView();
    if (!rf_hasConstraints(*arrow)) {
        if (arrow->image()) rf_setSize(*arrow, arrow->image()->size());
        arrow->setCenter(center);
    }
    if (!rf_hasConstraints(*loadingView())) loadingView()->setCenter(center);
    arrow->setTintColor(stateLabel()->textColor());
}

void RFRefreshBackNormalFooter::setState(RFRefreshState state) {
    RFRefreshState old = state_;
    if (state == old) return;
    RFRefreshBackStateFooter::setState(state);
    auto arrow = arrowView();
    auto loading = loadingView();
    if (state == RFRefreshStateIdle) {
        if (old == RFRefreshStateRefreshing) {
            arrow->setTransform(CGAffineTransformMakeRotation(kIdleArrowAngle));
            std::weak_ptr<RFRefreshComponent> weak = weakSelf();
            rf_detail::fadeIndicatorAfterRefresh(loading, arrow, slowAnimationDuration(), [weak] {
                auto self = weak.lock();
                return self && self->state() == RFRefreshStateIdle;
            });
        } else {
            arrow->setHidden(false);
            loading->stopAnimating();
            UIView::animateWithDuration(fastAnimationDuration(),
                                        [arrow] { arrow->setTransform(CGAffineTransformMakeRotation(kIdleArrowAngle)); });
        }
    } else if (state == RFRefreshStatePulling) {
        arrow->setHidden(false);
        loading->stopAnimating();
        UIView::animateWithDuration(fastAnimationDuration(), [arrow] { arrow->setTransform(CGAffineTransformIdentity); });
    } else if (state == RFRefreshStateRefreshing) {
        arrow->setHidden(true);
        loading->startAnimating();
    } else if (state == RFRefreshStateNoMoreData) {
        arrow->setHidden(true);
        loading->stopAnimating();
    }
}

// --- gif ---

const std::shared_ptr<UIImageView>& RFRefreshBackGifFooter::gifView() { return frames_.view(*this); }

RFRefreshBackGifFooter& RFRefreshBackGifFooter::setImages(const std::vector<UIImagePtr>& images, double duration,
                                                          RFRefreshState state) {
    frames_.set(*this, images, duration, state);
    return *this;
}

RFRefreshBackGifFooter& RFRefreshBackGifFooter::setImages(const std::vector<UIImagePtr>& images, RFRefreshState state) {
    return setImages(images, double(images.size()) * 0.1, state);
}

void RFRefreshBackGifFooter::prepare() {
    RFRefreshBackStateFooter::prepare();
    labelLeftInset_ = 20;
}

void RFRefreshBackGifFooter::placeSubviews() {
    RFRefreshBackStateFooter::placeSubviews();
    auto& gif = gifView();
    if (rf_hasConstraints(*gif)) return;
    gif->setFrame(bounds());
    if (stateLabel()->isHidden()) {
        gif->setContentMode(UIViewContentModeCenter);
    } else {
        gif->setContentMode(UIViewContentModeRight);
        rf_setW(*gif, rf_w(*this) * 0.5 - labelLeftInset_ - rf_textWidth(*stateLabel()) * 0.5);
    }
}

void RFRefreshBackGifFooter::setPullingPercent(double percent) {
    RFRefreshBackStateFooter::setPullingPercent(percent);
    if (state_ == RFRefreshStateIdle) frames_.followPull(*this, percent);
}

void RFRefreshBackGifFooter::setState(RFRefreshState state) {
    if (state == state_) return;
    RFRefreshBackStateFooter::setState(state);
    if (state == RFRefreshStatePulling || state == RFRefreshStateRefreshing) {
        frames_.play(*this, state, /*reveal=*/true);
    } else if (state == RFRefreshStateIdle) {
        gifView()->setHidden(false);
    } else if (state == RFRefreshStateNoMoreData) {
        gifView()->setHidden(true);
    }
}
