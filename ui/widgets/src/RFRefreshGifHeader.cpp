#include <ui_widgets/RFRefreshGeometry.h>
#include <ui_widgets/RFRefreshGifHeader.h>
#include <ui_widgets/RFRefreshLabel.h>

#include "RFRefreshGifLook.h"

#include <algorithm>

const std::shared_ptr<UIImageView>& RFRefreshGifHeader::gifView() { return frames_.view(*this); }

RFRefreshGifHeader& RFRefreshGifHeader::setImages(const std::vector<UIImagePtr>& images, double duration,
                                                  RFRefreshState state) {
    frames_.set(*this, images, duration, state);
    return *this;
}

RFRefreshGifHeader& RFRefreshGifHeader::setImages(const std::vector<UIImagePtr>& images, RFRefreshState state) {
    return setImages(images, double(images.size()) * 0.1, state);
}

void RFRefreshGifHeader::prepare() {
    RFRefreshStateHeader::prepare();
    labelLeftInset_ = 20;
}

void RFRefreshGifHeader::placeSubviews() {
    RFRefreshStateHeader::placeSubviews();
    auto& gif = gifView();
    if (rf_hasConstraints(*gif)) return;
    gif->setFrame(bounds());
    if (stateLabel()->isHidden() && lastUpdatedTimeLabel()->isHidden()) {
        gif->setContentMode(UIViewContentModeCenter);
    } else {
        gif->setContentMode(UIViewContentModeRight);
        double stateWidth = rf_textWidth(*stateLabel());
        double timeWidth = lastUpdatedTimeLabel()->isHidden() ? 0 : rf_textWidth(*lastUpdatedTimeLabel());
        rf_setW(*gif, rf_w(*this) * 0.5 - std::max(stateWidth, timeWidth) * 0.5 - labelLeftInset_);
    }
}

void RFRefreshGifHeader::setPullingPercent(double percent) {
    RFRefreshStateHeader::setPullingPercent(percent);
    if (state_ == RFRefreshStateIdle) frames_.followPull(*this, percent);
}

void RFRefreshGifHeader::setState(RFRefreshState state) {
    if (state == state_) return;
    RFRefreshStateHeader::setState(state);
    if (state == RFRefreshStatePulling || state == RFRefreshStateRefreshing) {
        frames_.play(*this, state, /*reveal=*/false);
    } else if (state == RFRefreshStateIdle) {
        gifView()->stopAnimating();
    }
}
