#pragma once
// The refresh header above a scroll view's content: dragging the content
// down past the header and letting go starts a refresh, during which the top
// inset grows by the header's height; `endRefreshing` brings it back and
// stores the date of the refresh under `lastUpdatedTimeKey`. The layer
// variant (`isCollectionViewAnimationBug`) animates the scroll view's bounds
// with keyed layer animations instead.
//
// Main thread (see RFRefreshComponent).

#include <ui_widgets/RFRefreshComponent.h>

#include <platform_uikit/CAAnimation.h>

#include <optional>

class RFRefreshHeader : public RFRefreshComponent, public CAAnimationDelegate {
    NS_CLASS(RFRefreshHeader, RFRefreshComponent)
public:
    static constexpr const char* kRefreshingBoundsKey = "RFRefreshHeaderRefreshingBounds";
    static constexpr const char* kRefreshing2IdleBoundsKey = "RFRefreshHeaderRefreshing2IdleBounds";
    static constexpr const char* kRefreshing2IdleOpacityKey = "RFRefreshHeaderRefreshing2IdleOpacity";

    template <class T = RFRefreshHeader>
    static std::shared_ptr<T> headerWithRefreshingBlock(Block block) {
        auto header = make<T>();
        header->setRefreshingBlock(std::move(block));
        return header;
    }
    template <class T = RFRefreshHeader>
    static std::shared_ptr<T> headerWithRefreshingTarget(const std::shared_ptr<NSObject>& target, std::string action) {
        auto header = make<T>();
        header->setRefreshingTarget(target, std::move(action));
        return header;
    }

    bool isCollectionViewAnimationBug() const { return layerVariant_; }
    void setIsCollectionViewAnimationBug(bool on) { layerVariant_ = on; }
    const std::string& lastUpdatedTimeKey() const { return lastUpdatedTimeKey_; }
    virtual void setLastUpdatedTimeKey(std::string key) { lastUpdatedTimeKey_ = std::move(key); }
    // The date stored under the key, if any.
    std::optional<NSDate> lastUpdatedTime() const;
    double ignoredScrollViewContentInsetTop() const { return ignoredInsetTop_; }
    void setIgnoredScrollViewContentInsetTop(double value);
    double insetTDelta() const { return insetTDelta_; }

    RFRefreshComponent& linkTo(UIScrollView& scrollView) override;

    void prepare() override;
    void placeSubviews() override;
    void scrollViewContentOffsetDidChange(const Value& change) override;
    void setState(RFRefreshState state) override;

    // CAAnimationDelegate
    void animationDidStop(CAAnimation* animation, bool finished) override;

private:
    void resetInset();
    void runRefreshingAction();
    void runEndingAction();
    std::shared_ptr<CAAnimationDelegate> selfAsDelegate();

    bool layerVariant_ = false;
    std::string lastUpdatedTimeKey_;
    double ignoredInsetTop_ = 0;
    double insetTDelta_ = 0;
};
