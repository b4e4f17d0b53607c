#pragma once
// The image sequences of a gif-style refresh control, one per state, and the
// image view that plays them. A member of the control it serves.
//
// Main thread, as the control.

#include <ui_widgets/RFRefreshConst.h>

#include <platform_uikit/UIImageView.h>

#include <map>
#include <vector>

class RFGifFrames {
public:
    // The image view, made and added to `owner` on first use.
    const std::shared_ptr<UIImageView>& view(UIView& owner);
    // Keeps `images` for `state` (empty images do nothing) and raises `owner`
    // to the first image's height when that is taller.
    void set(UIView& owner, const std::vector<UIImagePtr>& images, double duration, RFRefreshState state);
    // Shows the idle sequence's frame for a pull percentage; nothing without idle images.
    void followPull(UIView& owner, double percent);
    // Plays the sequence of `state`, first unhiding the view when `reveal`;
    // false, and nothing changed, without one.
    bool play(UIView& owner, RFRefreshState state, bool reveal);

private:
    std::shared_ptr<UIImageView> view_;
    std::map<int64_t, std::vector<UIImagePtr>> images_;
    std::map<int64_t, double> durations_;
};
