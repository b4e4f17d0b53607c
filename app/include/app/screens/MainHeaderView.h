#pragma once
// The strip above the device list naming the device the app runs on, made from the nib
// "MainHeaderView", which connects its two labels.
//
// Main thread.

#include <platform_uikit/UILabel.h>
#include <platform_uikit/UIView.h>

#include <memory>

class MainHeaderView : public UIView {
    NS_CLASS(MainHeaderView, UIView)
    NS_PROPERTY(std::shared_ptr<UILabel>, CpuFrqInfoLabel, setCpuFrqInfoLabel, "&,N")
    NS_PROPERTY(std::shared_ptr<UILabel>, CpuFrqTitleLabel, setCpuFrqTitleLabel, "&,N")
public:
    using UIView::UIView;
    // The last top-level object of the main bundle's nib "MainHeaderView" with `frame`;
    // nullptr when the nib gives no header view.
    static std::shared_ptr<MainHeaderView> initWithFrame(CGRect frame);
};
