#pragma once
// A refresh header that shows an image sequence per state: the idle images
// follow the pull, the pulling and refreshing images animate.
//
// Main thread.

#include <ui_widgets/RFRefreshStateHeader.h>

#include <platform_uikit/UIImageView.h>
#include <ui_widgets/RFGifFrames.h>

#include <map>
#include <vector>

class RFRefreshGifHeader : public RFRefreshStateHeader {
    NS_CLASS(RFRefreshGifHeader, RFRefreshStateHeader)
public:
    const std::shared_ptr<UIImageView>& gifView();
    // Empty images do nothing; raises the header to the first image's height when taller.
    RFRefreshGifHeader& setImages(const std::vector<UIImagePtr>& images, double duration, RFRefreshState state);
    // Duration: 0.1 s per image.
    RFRefreshGifHeader& setImages(const std::vector<UIImagePtr>& images, RFRefreshState state);

    void prepare() override;
    void placeSubviews() override;
    void setPullingPercent(double percent) override;
    void setState(RFRefreshState state) override;

private:
    RFGifFrames frames_;
};
