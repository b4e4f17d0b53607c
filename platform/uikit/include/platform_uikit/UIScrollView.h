#pragma once
// A view that shows a part of a larger content: the content offset is its
// bounds origin, the content size and inset say where the content may rest,
// and the adjusted inset (11+) adds the safe area (bars included) on the
// scrolling axis. A finger drags the content through the view's pan
// recognizer 1:1, also beyond the edges; released, the content bounces back
// to the nearest offset it may rest at (the nearest page when paging) over
// 0.3 s in 60 Hz steps, each step observable as a "contentOffset" change and
// aiming at a target worked out again from the insets of that moment. There
// is no fling. Setting the offset explicitly stops a running bounce.
//
// Main thread. The delegate is not held; the view holds its pan recognizer.

#include <platform_uikit/UIGestureRecognizer.h>
#include <platform_uikit/UIView.h>

#include <memory>

class UIScrollView;
class NSTimer;

// Optional calls a scroll view makes to its delegate.
class UIScrollViewDelegate {
public:
    virtual ~UIScrollViewDelegate() = default;
    virtual void scrollViewDidScroll(UIScrollView&) {}
    virtual void scrollViewWillBeginDragging(UIScrollView&) {}
    // `targetContentOffset` is where the content will come to rest; the delegate may move it.
    virtual void scrollViewWillEndDragging(UIScrollView&, CGPoint /*velocity*/, CGPoint* /*targetContentOffset*/) {}
    virtual void scrollViewDidEndDragging(UIScrollView&, bool /*willDecelerate*/) {}
    virtual void scrollViewWillBeginDecelerating(UIScrollView&) {}
    virtual void scrollViewDidEndDecelerating(UIScrollView&) {}
    virtual void scrollViewDidEndScrollingAnimation(UIScrollView&) {}
};

enum UIScrollViewContentInsetAdjustmentBehavior : int64_t {
    // Vertical edges always, horizontal ones when the content scrolls sideways.
    UIScrollViewContentInsetAdjustmentAutomatic = 0,
    UIScrollViewContentInsetAdjustmentScrollableAxes = 1,
    UIScrollViewContentInsetAdjustmentNever = 2,
    UIScrollViewContentInsetAdjustmentAlways = 3,
};

class UIScrollView : public UIView {
    NS_CLASS(UIScrollView, UIView)
public:
    // The return to a resting offset after a release, and animated offset changes.
    static constexpr double kScrollAnimationDuration = 0.3;
    static constexpr int kScrollAnimationSteps = 18;  // 60 Hz over 0.3 s

    UIScrollView();
    explicit UIScrollView(CGRect frame);
    ~UIScrollView() override;

    // --- content geometry ---
    CGPoint contentOffset() const { return bounds().origin; }
    // Moves at once and stops a bounce or an animated scroll.
    void setContentOffset(CGPoint offset);
    // Animated: over 0.3 s in 60 Hz steps, then scrollViewDidEndScrollingAnimation.
    void setContentOffset(CGPoint offset, bool animated);
    CGSize contentSize() const { return contentSize_; }
    void setContentSize(CGSize size);
    UIEdgeInsets contentInset() const { return contentInset_; }
    void setContentInset(UIEdgeInsets inset);
    // The content inset plus what the system adds for the safe area (11+;
    // before, the content inset).
    UIEdgeInsets adjustedContentInset() const;
    // Called (11+) when the adjusted inset changed. A change of the safe area
    // (or of what the behaviour adjusts) keeps content that rested at its top
    // or leading edge at the new edge; a content-inset change moves nothing.
    virtual void adjustedContentInsetDidChange() {}
    UIScrollViewContentInsetAdjustmentBehavior contentInsetAdjustmentBehavior() const { return adjustment_; }
    void setContentInsetAdjustmentBehavior(UIScrollViewContentInsetAdjustmentBehavior behavior);
    // The range of offsets the content rests in (minimum ≤ maximum on each axis).
    CGPoint minimumContentOffset() const;
    CGPoint maximumContentOffset() const;
    // Scrolls the least distance that shows `rect` (content coordinates).
    void scrollRectToVisible(CGRect rect, bool animated);

    // --- behaviour ---
    std::shared_ptr<UIScrollViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<UIScrollViewDelegate> delegate) { delegate_ = std::move(delegate); }
    const std::shared_ptr<UIPanGestureRecognizer>& panGestureRecognizer() const { return pan_; }
    bool isScrollEnabled() const { return scrollEnabled_; }
    void setScrollEnabled(bool enabled);
    // Without bounces a drag stops at the edges.
    bool bounces() const { return bounces_; }
    void setBounces(bool on) { bounces_ = on; }
    bool alwaysBounceVertical() const { return alwaysBounceVertical_; }
    void setAlwaysBounceVertical(bool on) { alwaysBounceVertical_ = on; }
    bool alwaysBounceHorizontal() const { return alwaysBounceHorizontal_; }
    void setAlwaysBounceHorizontal(bool on) { alwaysBounceHorizontal_ = on; }
    // A release comes to rest on the nearest multiple of the view's size.
    bool isPagingEnabled() const { return pagingEnabled_; }
    void setPagingEnabled(bool on) { pagingEnabled_ = on; }
    bool showsVerticalScrollIndicator() const { return showsVertical_; }
    void setShowsVerticalScrollIndicator(bool on) { showsVertical_ = on; }
    bool showsHorizontalScrollIndicator() const { return showsHorizontal_; }
    void setShowsHorizontalScrollIndicator(bool on) { showsHorizontal_ = on; }

    // --- what the finger is doing ---
    // A finger is down on the content.
    bool isTracking() const { return tracking_; }
    // The content follows a finger (from the pan's start to the release).
    bool isDragging() const { return dragging_; }
    // The content returns to a resting offset after a release.
    bool isDecelerating() const { return decelerating_; }

    // Whether a drag moves the content on each axis.
    bool scrollsVertically() const;
    bool scrollsHorizontally() const;

    void layoutSubviews() override;
    void didMoveToWindow() override;
    void safeAreaInsetsDidChange() override;

    // Key-value coding sets the offset as setContentOffset(offset) does.
    void setContentOffsetByKey(CGPoint offset) { setContentOffset(offset); }
    NS_PROPERTY_ACCESSORS(CGPoint, contentOffset, "N", contentOffset, setContentOffsetByKey)
    NS_PROPERTY_ACCESSORS(CGSize, contentSize, "N", contentSize, setContentSize)
    NS_PROPERTY_ACCESSORS(UIEdgeInsets, contentInset, "N", contentInset, setContentInset)
    NS_READONLY_PROPERTY(UIEdgeInsets, adjustedContentInset, "R,N", adjustedContentInset)
    NS_PROPERTY_ACCESSORS(bool, scrollEnabled, "N,GisScrollEnabled", isScrollEnabled, setScrollEnabled)
    NS_PROPERTY_ACCESSORS(bool, bounces, "N", bounces, setBounces)
    NS_PROPERTY_ACCESSORS(bool, alwaysBounceVertical, "N", alwaysBounceVertical, setAlwaysBounceVertical)
    NS_PROPERTY_ACCESSORS(bool, alwaysBounceHorizontal, "N", alwaysBounceHorizontal, setAlwaysBounceHorizontal)
    NS_PROPERTY_ACCESSORS(bool, pagingEnabled, "N,GisPagingEnabled", isPagingEnabled, setPagingEnabled)
    NS_READONLY_PROPERTY(bool, tracking, "R,N,GisTracking", isTracking)
    NS_READONLY_PROPERTY(bool, dragging, "R,N,GisDragging", isDragging)
    NS_READONLY_PROPERTY(bool, decelerating, "R,N,GisDecelerating", isDecelerating)

protected:
    // Every offset change ends here: tells observers and the delegate and asks for layout.
    void applyContentOffset(CGPoint offset);

private:
    friend class UIScrollViewPanGestureRecognizer;
    enum class Motion { None, Bounce, Animation };
    void handlePan(UIPanGestureRecognizer& pan);
    void trackingChanged(bool tracking);
    CGPoint clampedOffset(CGPoint offset) const;
    CGPoint restingOffset(CGPoint from) const;
    void startMotion(Motion motion, CGPoint target);
    void motionStep();
    void stopMotion();
    void refreshAdjustedInset(bool followEdge);

    CGSize contentSize_{};
    UIEdgeInsets contentInset_{};
    UIEdgeInsets lastAdjusted_{};
    UIScrollViewContentInsetAdjustmentBehavior adjustment_ = UIScrollViewContentInsetAdjustmentAutomatic;
    std::weak_ptr<UIScrollViewDelegate> delegate_;
    std::shared_ptr<UIPanGestureRecognizer> pan_;
    bool scrollEnabled_ = true, bounces_ = true, alwaysBounceVertical_ = false, alwaysBounceHorizontal_ = false;
    bool pagingEnabled_ = false, showsVertical_ = true, showsHorizontal_ = true;
    bool tracking_ = false, dragging_ = false, decelerating_ = false;
    CGPoint dragStart_{};
    Motion motion_ = Motion::None;
    CGPoint motionTarget_{};
    int motionStep_ = 0;
    std::shared_ptr<NSTimer> motionTimer_;
};
