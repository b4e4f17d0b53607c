#pragma once
// A spinner: spins (a for-ever rotation on its layer) between startAnimating
// and stopAnimating, and hides when stopped unless told otherwise. Styles:
// white large 0, white 1, gray 2, medium 100, large 101.
//
// Main thread.

#include <platform_uikit/UIView.h>

enum UIActivityIndicatorViewStyle : int64_t {
    UIActivityIndicatorViewStyleWhiteLarge = 0,
    UIActivityIndicatorViewStyleWhite = 1,
    UIActivityIndicatorViewStyleGray = 2,
    UIActivityIndicatorViewStyleMedium = 100,
    UIActivityIndicatorViewStyleLarge = 101,
};

class UIActivityIndicatorView : public UIView {
    NS_CLASS(UIActivityIndicatorView, UIView)
public:
    UIActivityIndicatorView();
    explicit UIActivityIndicatorView(UIActivityIndicatorViewStyle style);
    explicit UIActivityIndicatorView(CGRect frame);

    UIActivityIndicatorViewStyle activityIndicatorViewStyle() const { return style_; }
    // Unknown styles are taken as white.
    void setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle style);
    void startAnimating();
    void stopAnimating();
    bool isAnimating() const { return animating_; }
    bool hidesWhenStopped() const { return hidesWhenStopped_; }
    void setHidesWhenStopped(bool hides);
    UIColorPtr color() const;
    void setColor(UIColorPtr color) { color_ = std::move(color); }

    // 37 × 37 for the large styles, 20 × 20 otherwise.
    CGSize intrinsicContentSize() const override;
    CGSize sizeThatFits(CGSize) const override { return intrinsicContentSize(); }

    NS_READONLY_PROPERTY(bool, animating, "R,N,GisAnimating", isAnimating)

private:
    UIActivityIndicatorViewStyle style_ = UIActivityIndicatorViewStyleWhite;
    bool animating_ = false;
    bool hidesWhenStopped_ = true;
    UIColorPtr color_;
};
