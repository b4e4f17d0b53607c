#include <ui_widgets/RFGifFrames.h>
#include <ui_widgets/RFRefreshGeometry.h>

#include "RFRefreshGifLook.h"

const std::shared_ptr<UIImageView>& RFGifFrames::view(UIView& owner) {
    if (!view_) {
        view_ = std::make_shared<UIImageView>();
        owner.addSubview(view_);
    }
    return view_;
}

void RFGifFrames::set(UIView& owner, const std::vector<UIImagePtr>& images, double duration, RFRefreshState state) {
    if (images.empty()) return;
    images_[state] = images;
    durations_[state] = duration;
    if (images.front() && images.front()->size().height > rf_h(owner)) rf_setH(owner, images.front()->size().height);
}

void RFGifFrames::followPull(UIView& owner, double percent) {
    auto it = images_.find(RFRefreshStateIdle);
    if (it == images_.end() || it->second.empty()) return;
    rf_detail::showFrameForPercent(*view(owner), it->second, percent);
}

bool RFGifFrames::play(UIView& owner, RFRefreshState state, bool reveal) {
    auto it = images_.find(state);
    if (it == images_.end() || it->second.empty()) return false;
    if (reveal) view(owner)->setHidden(false);
    rf_detail::playImages(*view(owner), it->second, durations_[state]);
    return true;
}
