#pragma once
// Back footers: out of sight below the content (or below the visible area
// when the content is short) until the user drags beyond the end; letting go
// with the footer fully in view starts a refresh, during which the bottom
// inset grows to keep it in view. The state footer shows one title per
// state; the normal one an arrow and an indicator; the gif one image sequences.
//
// Main thread.

#include <ui_widgets/RFRefreshFooter.h>

#include <platform_uikit/UIActivityIndicatorView.h>
#include <platform_uikit/UIImageView.h>
#include <ui_widgets/RFGifFrames.h>
#include <platform_uikit/UILabel.h>

#include <map>
#include <optional>
#include <vector>

class RFRefreshBackFooter : public RFRefreshFooter {
    NS_CLASS(RFRefreshBackFooter, RFRefreshFooter)
public:
    // How far the content reaches beyond the visible area (negative when shorter).
    double heightForContentBreakView() const;
    // The offset y at which the footer starts to show.
    double happenOffsetY() const;
    int64_t lastRefreshCount() const { return lastRefreshCount_; }
    double lastBottomDelta() const { return lastBottomDelta_; }

    void willMoveToSuperview(UIView* newSuperview) override;
    void scrollViewContentSizeDidChange(const Value& change) override;
    void scrollViewContentOffsetDidChange(const Value& change) override;
    void setState(RFRefreshState state) override;

private:
    int64_t lastRefreshCount_ = 0;
    double lastBottomDelta_ = 0;
};

class RFRefreshBackStateFooter : public RFRefreshBackFooter {
    NS_CLASS(RFRefreshBackStateFooter, RFRefreshBackFooter)
public:
    const std::shared_ptr<UILabel>& stateLabel();
    double labelLeftInset() const { return labelLeftInset_; }
    void setLabelLeftInset(double inset) { labelLeftInset_ = inset; }
    RFRefreshBackStateFooter& setTitle(const std::optional<std::string>& title, RFRefreshState state);
    std::optional<std::string> titleForState(RFRefreshState state) const;

    void prepare() override;
    void placeSubviews() override;
    void setState(RFRefreshState state) override;
    void i18nDidChange() override;

protected:
    double labelLeftInset_ = RFRefreshLabelLeftInset;

private:
    void loadTitles();
    std::shared_ptr<UILabel> stateLabel_;
    std::map<int64_t, std::string> titles_;
};

class RFRefreshBackNormalFooter : public RFRefreshBackStateFooter {
    NS_CLASS(RFRefreshBackNormalFooter, RFRefreshBackStateFooter)
public:
    static constexpr double kIdleArrowAngle = 0.000001 - 3.14159265358979323846;

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

class RFRefreshBackGifFooter : public RFRefreshBackStateFooter {
    NS_CLASS(RFRefreshBackGifFooter, RFRefreshBackStateFooter)
public:
    const std::shared_ptr<UIImageView>& gifView();
    RFRefreshBackGifFooter& setImages(const std::vector<UIImagePtr>& images, double duration, RFRefreshState state);
    RFRefreshBackGifFooter& setImages(const std::vector<UIImagePtr>& images, RFRefreshState state);

    void prepare() override;
    void placeSubviews() override;
    void setPullingPercent(double percent) override;
    void setState(RFRefreshState state) override;

private:
    RFGifFrames frames_;
};
