#include <platform_uikit/UIScrollView.h>

#include <platform_uikit/UIDevice.h>

#include <platform_dispatch/NSRunLoop.h>
#include <platform_dispatch/NSTimer.h>
#include <platform_runtime/ObjCAvailability.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

NS_CLASS_LOAD(UIScrollView) {
    // The adjusted inset and its behaviour arrived with 11.
    for (const char* selector : {"adjustedContentInset", "contentInsetAdjustmentBehavior",
                                 "setContentInsetAdjustmentBehavior:", "adjustedContentInsetDidChange"}) {
        objc_setSelectorAvailability(cls, selector, [] { return UIKitIsAvailable(11); });
        cls.addInstanceSelectors({selector});
    }
}

// The scroll view's own pan: it also tells the view when a finger is down.
class UIScrollViewPanGestureRecognizer : public UIPanGestureRecognizer {
    NS_CLASS(UIScrollViewPanGestureRecognizer, UIPanGestureRecognizer)
public:
    using UIPanGestureRecognizer::UIPanGestureRecognizer;
    void touchesBegan(const UITouchSet& touches, UIEvent* event) override {
        UIPanGestureRecognizer::touchesBegan(touches, event);
        if (auto* scroll = scrollView()) scroll->trackingChanged(true);
    }
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override {
        UIPanGestureRecognizer::touchesEnded(touches, event);
        if (auto* scroll = scrollView()) scroll->trackingChanged(false);
    }
    void touchesCancelled(const UITouchSet& touches, UIEvent* event) override {
        UIPanGestureRecognizer::touchesCancelled(touches, event);
        if (auto* scroll = scrollView()) scroll->trackingChanged(false);
    }

private:
    UIScrollView* scrollView() const { return dynamic_cast<UIScrollView*>(view()); }
};

namespace {

// Ease-out: fast at the release, slow on arrival.
double easeOut(double t) { return 1 - (1 - t) * (1 - t); }

}  // namespace

UIScrollView::UIScrollView() : UIScrollView(CGRectZero) {}

UIScrollView::UIScrollView(CGRect frame) : UIView(frame) {
    setClipsToBounds(true);
    pan_ = std::make_shared<UIScrollViewPanGestureRecognizer>(nullptr, "handlePan:", [](UIGestureRecognizer& r) {
        if (auto* scroll = dynamic_cast<UIScrollView*>(r.view())) scroll->handlePan(static_cast<UIPanGestureRecognizer&>(r));
    });
    addGestureRecognizer(pan_);
}

UIScrollView::~UIScrollView() {
    if (motionTimer_) motionTimer_->invalidate();
}

// --- content geometry ---

void UIScrollView::applyContentOffset(CGPoint offset) {
    CGRect b = bounds();
    if (b.origin == offset) return;
    const CGRect moved = CGRectMake(offset.x, offset.y, b.size.width, b.size.height);
    if (hasObservers()) {
        // The key is made once: the offset changes at every step of a drag.
        static const std::string key("contentOffset");
        willChangeValueForKey(key);
        setBounds(moved);
        didChangeValueForKey(key);
    } else {
        setBounds(moved);
    }
    setNeedsLayout();
    if (auto d = delegate()) d->scrollViewDidScroll(*this);
}

void UIScrollView::setContentOffset(CGPoint offset) {
    stopMotion();
    applyContentOffset(offset);
}

void UIScrollView::setContentOffset(CGPoint offset, bool animated) {
    if (!animated || offset == contentOffset()) return setContentOffset(offset);
    stopMotion();
    startMotion(Motion::Animation, offset);
}

void UIScrollView::setContentSize(CGSize size) {
    if (size == contentSize_) return;
    announce("contentSize", [&] { contentSize_ = size; });
    setNeedsLayout();
}

void UIScrollView::setContentInset(UIEdgeInsets inset) {
    if (inset == contentInset_) return;
    announce("contentInset", [&] { contentInset_ = inset; });
    refreshAdjustedInset(false);
    // Content at rest outside the new range comes back to its nearest edge (a refresh header
    // that ends gives its room back); under a finger or while moving it is left alone.
    if (!tracking_ && !dragging_ && motion_ == Motion::None) {
        CGPoint offset = contentOffset(), inside = clampedOffset(offset);
        if (inside != offset) applyContentOffset(inside);
    }
    setNeedsLayout();
}

void UIScrollView::setContentInsetAdjustmentBehavior(UIScrollViewContentInsetAdjustmentBehavior behavior) {
    if (behavior == adjustment_) return;
    adjustment_ = behavior;
    setNeedsLayout();
}

void UIScrollView::refreshAdjustedInset(bool followEdge) {
    UIEdgeInsets now = adjustedContentInset();
    if (now == lastAdjusted_) return;
    UIEdgeInsets old = std::exchange(lastAdjusted_, now);
    if (followEdge && !tracking_ && !dragging_ && motion_ == Motion::None) {
        CGPoint offset = contentOffset();
        if (offset.y == -old.top) offset.y = -now.top;
        if (offset.x == -old.left) offset.x = -now.left;
        applyContentOffset(offset);
    }
    if (UIKitIsAvailable(11)) adjustedContentInsetDidChange();
}

void UIScrollView::layoutSubviews() {
    UIView::layoutSubviews();
    refreshAdjustedInset(true);
}

void UIScrollView::didMoveToWindow() {
    UIView::didMoveToWindow();
    refreshAdjustedInset(true);
}

void UIScrollView::safeAreaInsetsDidChange() {
    UIView::safeAreaInsetsDidChange();
    refreshAdjustedInset(true);
}

bool UIScrollView::scrollsVertically() const {
    return scrollEnabled_ && (alwaysBounceVertical_ || contentSize_.height > bounds().size.height);
}

bool UIScrollView::scrollsHorizontally() const {
    return scrollEnabled_ && (alwaysBounceHorizontal_ || contentSize_.width > bounds().size.width);
}

UIEdgeInsets UIScrollView::adjustedContentInset() const {
    UIEdgeInsets inset = contentInset_;
    if (!UIKitIsAvailable(11) || adjustment_ == UIScrollViewContentInsetAdjustmentNever) return inset;
    UIEdgeInsets safe = computedSafeAreaInsets();  // what safeAreaInsets gives from 11, without asking again
    bool vertical = adjustment_ == UIScrollViewContentInsetAdjustmentAlways ||
                    adjustment_ == UIScrollViewContentInsetAdjustmentAutomatic || scrollsVertically();
    bool horizontal = adjustment_ == UIScrollViewContentInsetAdjustmentAlways || scrollsHorizontally();
    if (vertical) {
        inset.top += safe.top;
        inset.bottom += safe.bottom;
    }
    if (horizontal) {
        inset.left += safe.left;
        inset.right += safe.right;
    }
    return inset;
}

CGPoint UIScrollView::minimumContentOffset() const {
    UIEdgeInsets in = adjustedContentInset();
    return CGPointMake(-in.left, -in.top);
}

CGPoint UIScrollView::maximumContentOffset() const {
    UIEdgeInsets in = adjustedContentInset();
    CGSize size = bounds().size;
    return CGPointMake(std::max(-in.left, contentSize_.width + in.right - size.width),
                       std::max(-in.top, contentSize_.height + in.bottom - size.height));
}

CGPoint UIScrollView::clampedOffset(CGPoint offset) const {
    CGPoint lo = minimumContentOffset(), hi = maximumContentOffset();
    return CGPointMake(std::clamp(offset.x, lo.x, hi.x), std::clamp(offset.y, lo.y, hi.y));
}

CGPoint UIScrollView::restingOffset(CGPoint from) const {
    if (pagingEnabled_) {
        CGSize page = bounds().size;
        if (page.width > 0) from.x = std::round(from.x / page.width) * page.width;
        if (page.height > 0) from.y = std::round(from.y / page.height) * page.height;
    }
    return clampedOffset(from);
}

void UIScrollView::scrollRectToVisible(CGRect rect, bool animated) {
    CGPoint offset = contentOffset();
    CGSize size = bounds().size;
    UIEdgeInsets in = adjustedContentInset();
    double visibleTop = offset.y + in.top, visibleBottom = offset.y + size.height - in.bottom;
    if (CGRectGetMinY(rect) < visibleTop)
        offset.y = CGRectGetMinY(rect) - in.top;
    else if (CGRectGetMaxY(rect) > visibleBottom)
        offset.y = std::min(CGRectGetMinY(rect) - in.top, CGRectGetMaxY(rect) - size.height + in.bottom);
    double visibleLeft = offset.x + in.left, visibleRight = offset.x + size.width - in.right;
    if (CGRectGetMinX(rect) < visibleLeft)
        offset.x = CGRectGetMinX(rect) - in.left;
    else if (CGRectGetMaxX(rect) > visibleRight)
        offset.x = std::min(CGRectGetMinX(rect) - in.left, CGRectGetMaxX(rect) - size.width + in.right);
    setContentOffset(clampedOffset(offset), animated);
}

void UIScrollView::setScrollEnabled(bool enabled) {
    scrollEnabled_ = enabled;
    pan_->setEnabled(enabled);
}

// --- the finger ---

void UIScrollView::trackingChanged(bool tracking) {
    if (tracking == tracking_) return;
    tracking_ = tracking;
    if (tracking) {
        // A finger coming down holds the content where it is.
        if (motion_ == Motion::Bounce) stopMotion();
    } else if (!dragging_ && motion_ == Motion::None && restingOffset(contentOffset()) != contentOffset()) {
        // Let go without dragging while outside the resting range.
        decelerating_ = true;
        startMotion(Motion::Bounce, restingOffset(contentOffset()));
    }
}

void UIScrollView::handlePan(UIPanGestureRecognizer& pan) {
    switch (pan.state()) {
        case UIGestureRecognizerStateBegan:
            stopMotion();
            dragStart_ = contentOffset();
            // The offset follows the finger from here, not from where the hysteresis started.
            pan.setTranslation(CGPointZero, nullptr);
            dragging_ = true;
            if (auto d = delegate()) d->scrollViewWillBeginDragging(*this);
            break;
        case UIGestureRecognizerStateChanged: {
            if (!dragging_) break;
            CGPoint t = pan.translationInView(nullptr);
            CGPoint offset = dragStart_;
            if (scrollsHorizontally()) offset.x -= t.x;
            if (scrollsVertically()) offset.y -= t.y;
            if (!bounces_) offset = clampedOffset(offset);
            applyContentOffset(offset);
            break;
        }
        case UIGestureRecognizerStateEnded:
        case UIGestureRecognizerStateCancelled: {
            if (!dragging_) break;
            CGPoint target = restingOffset(contentOffset());
            if (auto d = delegate()) d->scrollViewWillEndDragging(*this, pan.velocityInView(this), &target);
            dragging_ = false;
            bool moves = target != contentOffset();
            if (auto d = delegate()) d->scrollViewDidEndDragging(*this, moves);
            if (!moves) break;
            if (auto d = delegate()) d->scrollViewWillBeginDecelerating(*this);
            decelerating_ = true;
            startMotion(Motion::Bounce, target);
            break;
        }
        default:
            break;
    }
}

// --- bounce and animated scrolls ---

void UIScrollView::startMotion(Motion motion, CGPoint target) {
    motion_ = motion;
    motionTarget_ = target;
    motionStep_ = 0;
    std::weak_ptr<UIScrollView> weak = std::static_pointer_cast<UIScrollView>(shared_from_this());
    motionTimer_ = NSTimer::timerWithTimeInterval(kScrollAnimationDuration / kScrollAnimationSteps, true, [weak](auto&) {
        if (auto self = weak.lock()) self->motionStep();
    });
    NSRunLoop::mainRunLoop()->addTimer(motionTimer_, NSRunLoopCommonModes);
}

void UIScrollView::motionStep() {
    if (motion_ == Motion::None) return;
    ++motionStep_;
    // A bounce aims at the resting offset of this moment: insets may change on the way.
    CGPoint target = motion_ == Motion::Bounce ? restingOffset(pagingEnabled_ ? motionTarget_ : contentOffset())
                                               : motionTarget_;
    CGPoint now = contentOffset(), next = target;
    if (motionStep_ < kScrollAnimationSteps) {
        double before = easeOut(double(motionStep_ - 1) / kScrollAnimationSteps);
        double after = easeOut(double(motionStep_) / kScrollAnimationSteps);
        double f = (after - before) / (1 - before);
        next = CGPointMake(now.x + (target.x - now.x) * f, now.y + (target.y - now.y) * f);
    }
    Motion motion = motion_;
    applyContentOffset(next);
    // An explicit offset set from an observer stopped or replaced the motion.
    if (motion_ != motion || motionStep_ < kScrollAnimationSteps) return;
    motionTimer_->invalidate();
    motionTimer_.reset();
    motion_ = Motion::None;
    if (motion == Motion::Bounce) decelerating_ = false;
    if (auto d = delegate()) {
        if (motion == Motion::Bounce)
            d->scrollViewDidEndDecelerating(*this);
        else
            d->scrollViewDidEndScrollingAnimation(*this);
    }
}

void UIScrollView::stopMotion() {
    if (motionTimer_) motionTimer_->invalidate();
    motionTimer_.reset();
    motion_ = Motion::None;
    decelerating_ = false;
}
