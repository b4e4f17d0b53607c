#pragma once
// Automatic footers with a tappable state label (a tap while Idle starts a
// refresh), and their two looks: an activity indicator (normal) or an image
// sequence (gif) while refreshing.
//
// Main thread.

#include <ui_widgets/RFRefreshAutoFooter.h>

#include <platform_uikit/UIActivityIndicatorView.h>
#include <platform_uikit/UIImageView.h>
#include <ui_widgets/RFGifFrames.h>
#include <platform_uikit/UILabel.h>

#include <map>
#include <optional>
#include <vector>

class RFRefreshAutoStateFooter : public RFRefreshAutoFooter {
    NS_CLASS(RFRefreshAutoStateFooter, RFRefreshAutoFooter)
public:
    const std::shared_ptr<UILabel>& stateLabel();
    bool refreshingTitleHidden() const { return refreshingTitleHidden_; }
    void setRefreshingTitleHidden(bool on) { refreshingTitleHidden_ = on; }
    double labelLeftInset() const { return labelLeftInset_; }
    void setLabelLeftInset(double inset) { labelLeftInset_ = inset; }
    RFRefreshAutoStateFooter& setTitle(const std::optional<std::string>& title, RFRefreshState state);
    std::optional<std::string> titleForState(RFRefreshState state) const;
    // The label's tap: in Idle, begins a refresh without the drag allowance test.
    void stateLabelClick();

    void prepare() override;
    void placeSubviews() override;
    void setState(RFRefreshState state) override;
    void i18nDidChange() override;

protected:
    double labelLeftInset_ = RFRefreshLabelLeftInset;

private:
    void loadTitles();
    std::shared_ptr<UILabel> stateLabel_;
    bool refreshingTitleHidden_ = false;
    std::map<int64_t, std::string> titles_;
};

class RFRefreshAutoNormalFooter : public RFRefreshAutoStateFooter {
    NS_CLASS(RFRefreshAutoNormalFooter, RFRefreshAutoStateFooter)
public:
    std::shared_ptr<UIActivityIndicatorView> loadingView();
    UIActivityIndicatorViewStyle activityIndicatorViewStyle() const { return indicatorStyle_; }
    void setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle style);

    void prepare() override;
    void placeSubviews() override;
    void setState(RFRefreshState state) override;

private:
    std::weak_ptr<UIActivityIndicatorView> loading_;
    UIActivityIndicatorViewStyle indicatorStyle_{};
};

class RFRefreshAutoGifFooter : public RFRefreshAutoStateFooter {
    NS_CLASS(RFRefreshAutoGifFooter, RFRefreshAutoStateFooter)
public:
    const std::shared_ptr<UIImageView>& gifView();
    RFRefreshAutoGifFooter& setImages(const std::vector<UIImagePtr>& images, double duration, RFRefreshState state);
    RFRefreshAutoGifFooter& setImages(const std::vector<UIImagePtr>& images, RFRefreshState state);

    void prepare() override;
    void placeSubviews() override;
    void setState(RFRefreshState state) override;

private:
    RFGifFrames frames_;
};
