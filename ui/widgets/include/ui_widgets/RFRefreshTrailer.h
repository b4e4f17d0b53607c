#pragma once
// The trailer: a 60-point control at the right end of a horizontally
// scrolling view that comes into view when the user drags beyond the last
// column; letting go with it fully in view starts a refresh, during which the
// right inset grows to keep it in view. The state trailer shows a vertical
// title (one character per line); the normal one adds an arrow.
//
// Main thread.

#include <ui_widgets/RFRefreshComponent.h>

#include <platform_uikit/UIImageView.h>
#include <platform_uikit/UILabel.h>

#include <map>
#include <optional>

class RFRefreshTrailer : public RFRefreshComponent {
    NS_CLASS(RFRefreshTrailer, RFRefreshComponent)
public:
    template <class T = RFRefreshTrailer>
    static std::shared_ptr<T> trailerWithRefreshingBlock(Block block) {
        auto trailer = make<T>();
        trailer->setRefreshingBlock(std::move(block));
        return trailer;
    }
    template <class T = RFRefreshTrailer>
    static std::shared_ptr<T> trailerWithRefreshingTarget(const std::shared_ptr<NSObject>& target, std::string action) {
        auto trailer = make<T>();
        trailer->setRefreshingTarget(target, std::move(action));
        return trailer;
    }

    double ignoredScrollViewContentInsetRight() const { return ignoredInsetRight_; }
    void setIgnoredScrollViewContentInsetRight(double value) { ignoredInsetRight_ = value; }
    int64_t lastRefreshCount() const { return lastRefreshCount_; }
    double lastRightDelta() const { return lastRightDelta_; }
    double widthForContentBreakView() const;
    double happenOffsetX() const;

    RFRefreshComponent& linkTo(UIScrollView& scrollView) override;
    void willMoveToSuperview(UIView* newSuperview) override;
    void placeSubviews() override;
    void scrollViewContentSizeDidChange(const Value& change) override;
    void scrollViewContentOffsetDidChange(const Value& change) override;
    void setState(RFRefreshState state) override;

private:
    double ignoredInsetRight_ = 0;
    int64_t lastRefreshCount_ = 0;
    double lastRightDelta_ = 0;
};

class RFRefreshStateTrailer : public RFRefreshTrailer {
    NS_CLASS(RFRefreshStateTrailer, RFRefreshTrailer)
public:
    const std::shared_ptr<UILabel>& stateLabel();
    RFRefreshStateTrailer& setTitle(const std::optional<std::string>& title, RFRefreshState state);
    std::optional<std::string> titleForState(RFRefreshState state) const;

    void prepare() override;
    void placeSubviews() override;
    void setState(RFRefreshState state) override;
    void i18nDidChange() override;

private:
    void loadTitles();
    std::shared_ptr<UILabel> stateLabel_;
    std::map<int64_t, std::string> titles_;
};

class RFRefreshNormalTrailer : public RFRefreshStateTrailer {
    NS_CLASS(RFRefreshNormalTrailer, RFRefreshStateTrailer)
public:
    const std::shared_ptr<UIImageView>& arrowView();

    void placeSubviews() override;
    void setState(RFRefreshState state) override;

private:
    std::shared_ptr<UIImageView> arrow_;
};
