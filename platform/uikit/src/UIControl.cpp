#include <platform_uikit/UIControl.h>

#include <platform_uikit/UITouch.h>

UIControlState UIControl::state() const {
    return (highlighted_ ? UIControlStateHighlighted : 0) | (enabled_ ? 0 : UIControlStateDisabled) |
           (selected_ ? UIControlStateSelected : 0);
}

void UIControl::setEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    if (!enabled) highlighted_ = false;
    stateDidChange();
}

void UIControl::setSelected(bool selected) {
    if (selected_ == selected) return;
    selected_ = selected;
    stateDidChange();
}

void UIControl::setHighlighted(bool highlighted) {
    if (highlighted_ == highlighted) return;
    highlighted_ = highlighted;
    stateDidChange();
}

void UIControl::addTarget(std::shared_ptr<NSObject> target, std::string selector, Action action,
                          UIControlEvents events) {
    if (!events) return;
    for (auto& e : entries_) {
        if (e.hasTarget == static_cast<bool>(target) && e.target.lock() == target && e.selector == selector) {
            e.events |= events;
            if (action) e.action = std::move(action);
            return;
        }
    }
    bool has = static_cast<bool>(target);
    entries_.push_back({target, has, std::move(selector), std::move(action), events});
}

void UIControl::removeTarget(const std::shared_ptr<NSObject>& target, const std::string& selector,
                             UIControlEvents events) {
    for (auto& e : entries_)
        if ((!target || e.target.lock() == target) && (selector.empty() || e.selector == selector)) e.events &= ~events;
    std::erase_if(entries_, [](const Entry& e) { return e.events == 0; });
}

std::set<std::shared_ptr<NSObject>> UIControl::allTargets() const {
    std::set<std::shared_ptr<NSObject>> out;
    for (auto& e : entries_)
        if (auto t = e.target.lock()) out.insert(t);
    return out;
}

UIControlEvents UIControl::allControlEvents() const {
    UIControlEvents all = 0;
    for (auto& e : entries_) all |= e.events;
    return all;
}

std::vector<std::string> UIControl::actionsForTarget(const std::shared_ptr<NSObject>& target,
                                                     UIControlEvents event) const {
    std::vector<std::string> out;
    for (auto& e : entries_)
        if (e.hasTarget == static_cast<bool>(target) && e.target.lock() == target && (e.events & event))
            out.push_back(e.selector);
    return out;
}

void UIControl::sendActionsForControlEvents(UIControlEvents events, UIEvent* event) {
    auto keep = shared_from_this();
    auto entries = entries_;  // an action may change the list
    for (auto& e : entries) {
        if (!(e.events & events)) continue;
        auto target = e.target.lock();
        if (e.hasTarget && !target) continue;
        if (e.action) e.action(*this, event);
    }
}

bool UIControl::touchIsInside(const UITouch& touch) const {
    CGPoint p = touch.locationInView(this);
    CGRect area = CGRectInset(bounds(), -kTouchSlop, -kTouchSlop);
    return CGRectContainsPoint(area, p);
}

UIViewPtr UIControl::hitTest(CGPoint point, UIEvent* event) {
    if (!enabled_) return nullptr;
    return UIView::hitTest(point, event);
}

void UIControl::touchesBegan(const UITouchSet& touches, UIEvent* event) {
    if (touches.empty() || !enabled_) return;
    auto& touch = **touches.begin();
    touchInside_ = true;
    tracking_ = beginTrackingWithTouch(touch, event);
    setHighlighted(true);
    UIControlEvents events = UIControlEventTouchDown;
    if (touch.tapCount() > 1) events |= UIControlEventTouchDownRepeat;
    sendActionsForControlEvents(events, event);
}

void UIControl::touchesMoved(const UITouchSet& touches, UIEvent* event) {
    if (touches.empty() || !enabled_) return;
    auto& touch = **touches.begin();
    bool inside = touchIsInside(touch);
    bool was = touchInside_;
    touchInside_ = inside;
    setHighlighted(inside);
    if (tracking_) tracking_ = continueTrackingWithTouch(touch, event);
    UIControlEvents events = inside ? UIControlEventTouchDragInside : UIControlEventTouchDragOutside;
    if (inside != was) events |= inside ? UIControlEventTouchDragEnter : UIControlEventTouchDragExit;
    sendActionsForControlEvents(events, event);
}

void UIControl::touchesEnded(const UITouchSet& touches, UIEvent* event) {
    if (touches.empty()) return;
    auto& touch = **touches.begin();
    bool inside = touchIsInside(touch);
    touchInside_ = inside;
    tracking_ = false;
    endTrackingWithTouch(&touch, event);
    setHighlighted(false);
    if (!enabled_) return;
    sendActionsForControlEvents(inside ? UIControlEventTouchUpInside | UIControlEventPrimaryActionTriggered
                                       : UIControlEventTouchUpOutside,
                                event);
}

void UIControl::touchesCancelled(const UITouchSet&, UIEvent* event) {
    tracking_ = false;
    touchInside_ = false;
    cancelTrackingWithEvent(event);
    setHighlighted(false);
    sendActionsForControlEvents(UIControlEventTouchCancel, event);
}
