#pragma once
// The refresh header the app's lists use: state and time labels, an arrow
// that turns over when the pull is far enough, and an activity indicator
// while refreshing.
//
// Main thread.

#include <ui_widgets/RFRefreshStateHeader.h>

#include <platform_uikit/UIActivityIndicatorView.h>
#include <platform_uikit/UIImageView.h>

class RFRefreshNormalHeader : public RFRefreshStateHeader {
    NS_CLASS(RFRefreshNormalHeader, RFRefreshStateHeader)
public:
    // The arrow's rotation while Pulling (deliberately not exactly minus pi).
    static constexpr double kPullingArrowAngle = 0.000001 - 3.14159265358979323846;

    const std::shared_ptr<UIImageView>& arrowView();
    std::shared_ptr<UIActivityIndicatorView> loadingView();
    UIActivityIndicatorViewStyle activityIndicatorViewStyle() const { return indicatorStyle_; }
    void setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle style);

    void prepare() override;
    void placeSubviews() override;
    void setState(RFRefreshState state) override;

private:
    std::shared_ptr<UIImageView> arrow_;
    std::weak_ptr<UIActivityIndicatorView> loading_;
    UIActivityIndicatorViewStyle indicatorStyle_{};
};
