#include <platform_uikit/UIGestureRecognizer.h>

#include <platform_uikit/CAAnimation.h>
#include <platform_uikit/UIView.h>
#include <platform_uikit/UIWindow.h>

#include <cmath>
#include <string>

namespace {
// The observed keys, made once: a pan's state changes at every step of a drag.
const std::string& stateKey() {
    static const std::string key("state");
    return key;
}
const std::string& enabledKey() {
    static const std::string key("enabled");
    return key;
}
}  // namespace

UIGestureRecognizer::UIGestureRecognizer(std::shared_ptr<NSObject> target, std::string selector, Action action) {
    addTarget(std::move(target), std::move(selector), std::move(action));
}

void UIGestureRecognizer::addTarget(std::shared_ptr<NSObject> target, std::string selector, Action action) {
    bool has = static_cast<bool>(target);
    targets_.push_back({target, has, std::move(selector), std::move(action)});
}

void UIGestureRecognizer::removeTarget(const std::shared_ptr<NSObject>& target, const std::string& selector) {
    std::erase_if(targets_, [&](const Target& t) {
        return (!target || t.target.lock() == target) && (selector.empty() || t.selector == selector);
    });
}

void UIGestureRecognizer::sendActions() {
    auto targets = targets_;  // an action may change the list
    for (auto& t : targets) {
        std::shared_ptr<NSObject> keep = t.target.lock();
        if (t.hasTarget && !keep) continue;
        if (t.action) t.action(*this);
    }
}

void UIGestureRecognizer::setState(UIGestureRecognizerState state) {
    if ((state == UIGestureRecognizerStateBegan || state == UIGestureRecognizerStateEnded) &&
        state_ == UIGestureRecognizerStatePossible) {
        auto required = requiredToFail();
        bool blocked = required && required->state() != UIGestureRecognizerStateFailed &&
                       required->state() != UIGestureRecognizerStatePossible;
        auto d = delegate();
        if (blocked || (d && !d->gestureRecognizerShouldBegin(*this))) state = UIGestureRecognizerStateFailed;
    }
    if (state == state_ && state != UIGestureRecognizerStateChanged) return;
    if (hasObservers()) willChangeValueForKey(stateKey());
    state_ = state;
    if (hasObservers()) didChangeValueForKey(stateKey());
    if (state == UIGestureRecognizerStateBegan || state == UIGestureRecognizerStateChanged ||
        state == UIGestureRecognizerStateEnded || state == UIGestureRecognizerStateCancelled)
        sendActions();
}

void UIGestureRecognizer::setEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    if (hasObservers()) willChangeValueForKey(enabledKey());
    enabled_ = enabled;
    if (hasObservers()) didChangeValueForKey(enabledKey());
    if (!enabled && (state_ == UIGestureRecognizerStateBegan || state_ == UIGestureRecognizerStateChanged))
        setState(UIGestureRecognizerStateCancelled);
    if (!enabled) reset();
}

CGPoint UIGestureRecognizer::locationInView(const UIView* view) const {
    if (touches_.empty()) return CGPointZero;
    double x = 0, y = 0;
    for (auto& t : touches_) {
        auto p = t->locationInView(view);
        x += p.x;
        y += p.y;
    }
    return CGPointMake(x / touches_.size(), y / touches_.size());
}

void UIGestureRecognizer::touchesBegan(const UITouchSet& touches, UIEvent*) { touches_.insert(touches.begin(), touches.end()); }
void UIGestureRecognizer::touchesMoved(const UITouchSet&, UIEvent*) {}
void UIGestureRecognizer::touchesEnded(const UITouchSet&, UIEvent*) {}
void UIGestureRecognizer::touchesCancelled(const UITouchSet&, UIEvent*) {
    if (state_ == UIGestureRecognizerStateBegan || state_ == UIGestureRecognizerStateChanged)
        setState(UIGestureRecognizerStateCancelled);
    else if (state_ == UIGestureRecognizerStatePossible)
        setState(UIGestureRecognizerStateFailed);
}

void UIGestureRecognizer::reset() {
    touches_.clear();
    if (state_ != UIGestureRecognizerStatePossible) {
        if (hasObservers()) willChangeValueForKey(stateKey());
        state_ = UIGestureRecognizerStatePossible;
        if (hasObservers()) didChangeValueForKey(stateKey());
    }
}

// --- tap ---

void UITapGestureRecognizer::touchesBegan(const UITouchSet& touches, UIEvent* event) {
    UIGestureRecognizer::touchesBegan(touches, event);
    if (static_cast<int64_t>(trackedTouches().size()) > numberOfTouchesRequired) setState(UIGestureRecognizerStateFailed);
    start_ = locationInView(nullptr);
}

void UITapGestureRecognizer::touchesMoved(const UITouchSet&, UIEvent*) {
    CGPoint p = locationInView(nullptr);
    if (std::hypot(p.x - start_.x, p.y - start_.y) > kAllowableMovement) setState(UIGestureRecognizerStateFailed);
}

void UITapGestureRecognizer::touchesEnded(const UITouchSet& touches, UIEvent*) {
    if (state() != UIGestureRecognizerStatePossible) return;
    int64_t taps = touches.empty() ? 1 : (*touches.begin())->tapCount();
    if (static_cast<int64_t>(trackedTouches().size()) == numberOfTouchesRequired && taps >= numberOfTapsRequired)
        setState(UIGestureRecognizerStateEnded);
}

// --- pan ---

CGPoint UIPanGestureRecognizer::translationInView(const UIView* view) const {
    CGPoint a = start_, b = last_;
    if (view && view->window()) {
        a = view->convertPointFromView(a, view->window());
        b = view->convertPointFromView(b, view->window());
    }
    return CGPointMake(b.x - a.x, b.y - a.y);
}

void UIPanGestureRecognizer::setTranslation(CGPoint translation, const UIView* view) {
    CGPoint now = last_;
    if (view && view->window()) now = view->convertPointFromView(last_, view->window());
    CGPoint start = CGPointMake(now.x - translation.x, now.y - translation.y);
    start_ = view && view->window() ? view->convertPointToView(start, view->window()) : start;
}

CGPoint UIPanGestureRecognizer::velocityInView(const UIView*) const {
    double dt = lastTime_ - previousTime_;
    if (dt <= 0) return CGPointZero;
    return CGPointMake((last_.x - previous_.x) / dt, (last_.y - previous_.y) / dt);
}

void UIPanGestureRecognizer::touchesBegan(const UITouchSet& touches, UIEvent* event) {
    bool first = trackedTouches().empty();
    UIGestureRecognizer::touchesBegan(touches, event);
    if (!first) return;
    start_ = last_ = previous_ = locationInView(nullptr);
    lastTime_ = previousTime_ = CACurrentMediaTime();
    if (!acceptsStart(start_)) setState(UIGestureRecognizerStateFailed);
}

void UIPanGestureRecognizer::touchesMoved(const UITouchSet&, UIEvent*) {
    if (state() == UIGestureRecognizerStateFailed || state() == UIGestureRecognizerStateCancelled) return;
    previous_ = last_;
    previousTime_ = lastTime_;
    last_ = locationInView(nullptr);
    lastTime_ = CACurrentMediaTime();
    if (state() == UIGestureRecognizerStatePossible) {
        auto n = static_cast<int64_t>(trackedTouches().size());
        if (n < minimumNumberOfTouches || n > maximumNumberOfTouches) return;
        if (std::hypot(last_.x - start_.x, last_.y - start_.y) >= kHysteresis) setState(UIGestureRecognizerStateBegan);
    } else {
        setState(UIGestureRecognizerStateChanged);
    }
}

void UIPanGestureRecognizer::touchesEnded(const UITouchSet&, UIEvent*) {
    if (state() == UIGestureRecognizerStateBegan || state() == UIGestureRecognizerStateChanged)
        setState(UIGestureRecognizerStateEnded);
    else if (state() == UIGestureRecognizerStatePossible)
        setState(UIGestureRecognizerStateFailed);
}

void UIPanGestureRecognizer::touchesCancelled(const UITouchSet& touches, UIEvent* event) {
    UIGestureRecognizer::touchesCancelled(touches, event);
}

bool UIScreenEdgePanGestureRecognizer::acceptsStart(CGPoint p) const {
    UIView* v = view();
    UIWindow* w = v ? v->window() : nullptr;
    CGSize size = w ? w->bounds().size : CGSizeZero;
    return ((edges & UIRectEdgeLeft) && p.x <= kEdgeWidth) || ((edges & UIRectEdgeRight) && p.x >= size.width - kEdgeWidth) ||
           ((edges & UIRectEdgeTop) && p.y <= kEdgeWidth) || ((edges & UIRectEdgeBottom) && p.y >= size.height - kEdgeWidth);
}
