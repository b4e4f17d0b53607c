#include <ui_widgets/RFRefreshAutoStateFooter.h>
#include <ui_widgets/RFRefreshGeometry.h>
#include <ui_widgets/RFRefreshLabel.h>
#include <ui_widgets/RFRefreshResources.h>

#include "RFRefreshArrowLook.h"
#include "RFRefreshGifLook.h"

#include <platform_uikit/UIGestureRecognizer.h>

const std::shared_ptr<UILabel>& RFRefreshAutoStateFooter::stateLabel() {
    if (!stateLabel_) {
        stateLabel_ = rf_label();
        addSubview(stateLabel_);
    }
    return stateLabel_;
}

RFRefreshAutoStateFooter& RFRefreshAutoStateFooter::setTitle(const std::optional<std::string>& title,
                                                             RFRefreshState state) {
    if (!title) return *this;
    titles_[state] = *title;
    stateLabel()->setText(titleForState(state_).value_or(""));
    return *this;
}

std::optional<std::string> RFRefreshAutoStateFooter::titleForState(RFRefreshState state) const {
    auto it = titles_.find(state);
    if (it == titles_.end()) return std::nullopt;
    return it->second;
}

void RFRefreshAutoStateFooter::stateLabelClick() {
    if (state_ == RFRefreshStateIdle) beginRefreshingWithoutValidation();
}

void RFRefreshAutoStateFooter::loadTitles() {
    setTitle(rf_localizedStringForKey(RFRefreshAutoFooterIdleText), RFRefreshStateIdle);
    setTitle(rf_localizedStringForKey(RFRefreshAutoFooterRefreshingText), RFRefreshStateRefreshing);
    setTitle(rf_localizedStringForKey(RFRefreshAutoFooterNoMoreDataText), RFRefreshStateNoMoreData);
}

void RFRefreshAutoStateFooter::prepare() {
    RFRefreshAutoFooter::prepare();
    labelLeftInset_ = RFRefreshLabelLeftInset;
    loadTitles();
    auto label = stateLabel();
    label->setUserInteractionEnabled(true);
    std::weak_ptr<RFRefreshComponent> weak = weakSelf();
    auto tap = std::make_shared<UITapGestureRecognizer>(nullptr, "stateLabelClick", [weak](UIGestureRecognizer&) {
        if (auto self = std::static_pointer_cast<RFRefreshAutoStateFooter>(weak.lock())) self->stateLabelClick();
    });
    label->addGestureRecognizer(tap);
}

void RFRefreshAutoStateFooter::i18nDidChange() {
    loadTitles();
    RFRefreshAutoFooter::i18nDidChange();
}

void RFRefreshAutoStateFooter::placeSubviews() {
    RFRefreshAutoFooter::placeSubviews();
    if (!rf_hasConstraints(*stateLabel())) stateLabel()->setFrame(bounds());
}

void RFRefreshAutoStateFooter::setState(RFRefreshState state) {
    if (state == state_) return;
    RFRefreshAutoFooter::setState(state);
    if (refreshingTitleHidden_ && state == RFRefreshStateRefreshing)
        stateLabel()->setText("");
    else
        stateLabel()->setText(titleForState(state).value_or(""));
}

// --- normal ---

std::shared_ptr<UIActivityIndicatorView> RFRefreshAutoNormalFooter::loadingView() {
    return rf_detail::indicatorIn(*this, loading_, indicatorStyle_);
}

void RFRefreshAutoNormalFooter::setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle style) {
    indicatorStyle_ = style;
    if (auto loading = loading_.lock()) loading->removeFromSuperview();
    loading_.reset();
    setNeedsLayout();
}

void RFRefreshAutoNormalFooter::prepare() {
    RFRefreshAutoStateFooter::prepare();
    indicatorStyle_ = rf_detail::defaultIndicatorStyle();
}

void RFRefreshAutoNormalFooter::placeSubviews() {
    RFRefreshAutoStateFooter::placeSubviews();
    double centerX = rf_w(*this) * 0.5;
    if (!refreshingTitleHidden()) centerX -= rf_textWidth(*stateLabel()) * 0.5 + labelLeftInset_;
    if (!rf_hasConstraints(*loadingView())) loadingView()->setCenter(CGPointMake(centerX, rf_h(*this) * 0.5));
}

void RFRefreshAutoNormalFooter::setState(RFRefreshState state) {
    if (state == state_) return;
    RFRefreshAutoStateFooter::setState(state);
    if (state == RFRefreshStateIdle || state == RFRefreshStateNoMoreData)
        loadingView()->stopAnimating();
    else if (state == RFRefreshStateRefreshing)
        loadingView()->startAnimating();
}

// --- gif ---

const std::shared_ptr<UIImageView>& RFRefreshAutoGifFooter::gifView() { return frames_.view(*this); }

RFRefreshAutoGifFooter& RFRefreshAutoGifFooter::setImages(const std::vector<UIImagePtr>& images, double duration,
                                                          RFRefreshState state) {
    frames_.set(*this, images, duration, state);
    return *this;
}

RFRefreshAutoGifFooter& RFRefreshAutoGifFooter::setImages(const std::vector<UIImagePtr>& images, RFRefreshState state) {
    return setImages(images, double(images.size()) * 0.1, state);
}

void RFRefreshAutoGifFooter::prepare() {
    RFRefreshAutoStateFooter::prepare();
    labelLeftInset_ = 20;
}

void RFRefreshAutoGifFooter::placeSubviews() {
    RFRefreshAutoStateFooter::placeSubviews();
    auto& gif = gifView();
    if (rf_hasConstraints(*gif)) return;
    gif->setFrame(bounds());
    if (refreshingTitleHidden()) {
        gif->setContentMode(UIViewContentModeCenter);
    } else {
        gif->setContentMode(UIViewContentModeRight);
        rf_setW(*gif, rf_w(*this) * 0.5 - labelLeftInset_ - rf_textWidth(*stateLabel()) * 0.5);
    }
}

void RFRefreshAutoGifFooter::setState(RFRefreshState state) {
    if (state == state_) return;
    RFRefreshAutoStateFooter::setState(state);
    if (state == RFRefreshStateRefreshing) {
        frames_.play(*this, state, /*reveal=*/true);
    } else if (state == RFRefreshStateIdle || state == RFRefreshStateNoMoreData) {
        gifView()->stopAnimating();
        gifView()->setHidden(true);
    }
}
