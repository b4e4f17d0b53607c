#include <ui_widgets/RFRefreshGeometry.h>
#include <ui_widgets/RFRefreshGifHeader.h>
#include <ui_widgets/RFRefreshLabel.h>

#include "RFRefreshGifLook.h"

#include <algorithm>

const std::shared_ptr<UIImageView>& RFRefreshGifHeader::gifView() {
    if (!gif_) {
        gif_ = std::make_shared<UIImageView>();
        addSubview(gif_);
    }
    return gif_;
}

RFRefreshGifHeader& RFRefreshGifHeader::setImages(const std::vector<UIImagePtr>& images, double duration,
                                                  RFRefreshState state) {
    if (images.empty()) return *this;
    images_[state] = images;
    durations_[state] = duration;
    if (images.front() && images.front()->size().height > rf_h(*this)) rf_setH(*this, images.front()->size().height);
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
    auto it = images_.find(RFRefreshStateIdle);
    if (state_ != RFRefreshStateIdle || it == images_.end() || it->second.empty()) return;
    rf_detail::showFrameForPercent(*gifView(), it->second, percent);
}

void RFRefreshGifHeader::setState(RFRefreshState state) {
    if (state == state_) return;
    RFRefreshStateHeader::setState(state);
    if (state == RFRefreshStatePulling || state == RFRefreshStateRefreshing) {
        auto it = images_.find(state);
        if (it == images_.end() || it->second.empty()) return;
        rf_detail::playImages(*gifView(), it->second, durations_[state]);
    } else if (state == RFRefreshStateIdle) {
        gifView()->stopAnimating();
    }
}
