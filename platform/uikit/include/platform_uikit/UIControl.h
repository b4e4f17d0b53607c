#pragma once
// A control: a view with a state (highlighted 1, disabled 2, selected 4;
// normal 0), touch tracking that turns a touch sequence into control events,
// and target–action pairs per event.
//
// Main thread. Targets are not held.

#include <platform_uikit/UIView.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

using UIControlState = uint64_t;
inline constexpr UIControlState UIControlStateNormal = 0;
inline constexpr UIControlState UIControlStateHighlighted = 1 << 0;
inline constexpr UIControlState UIControlStateDisabled = 1 << 1;
inline constexpr UIControlState UIControlStateSelected = 1 << 2;

using UIControlEvents = uint64_t;
inline constexpr UIControlEvents UIControlEventTouchDown = 1 << 0;
inline constexpr UIControlEvents UIControlEventTouchDownRepeat = 1 << 1;
inline constexpr UIControlEvents UIControlEventTouchDragInside = 1 << 2;
inline constexpr UIControlEvents UIControlEventTouchDragOutside = 1 << 3;
inline constexpr UIControlEvents UIControlEventTouchDragEnter = 1 << 4;
inline constexpr UIControlEvents UIControlEventTouchDragExit = 1 << 5;
inline constexpr UIControlEvents UIControlEventTouchUpInside = 1 << 6;
inline constexpr UIControlEvents UIControlEventTouchUpOutside = 1 << 7;
inline constexpr UIControlEvents UIControlEventTouchCancel = 1 << 8;
inline constexpr UIControlEvents UIControlEventValueChanged = 1 << 12;
inline constexpr UIControlEvents UIControlEventPrimaryActionTriggered = 1 << 13;
inline constexpr UIControlEvents UIControlEventEditingDidBegin = 1 << 16;
inline constexpr UIControlEvents UIControlEventEditingChanged = 1 << 17;
inline constexpr UIControlEvents UIControlEventEditingDidEnd = 1 << 18;
inline constexpr UIControlEvents UIControlEventAllTouchEvents = 0x00000FFF;
inline constexpr UIControlEvents UIControlEventAllEvents = 0xFFFFFFFF;

class UIControl : public UIView {
    NS_CLASS(UIControl, UIView)
public:
    using Action = std::function<void(UIControl& sender, UIEvent* event)>;
    // How far outside its bounds a tracked touch still counts as inside.
    static constexpr double kTouchSlop = 70;

    using UIView::UIView;

    UIControlState state() const;
    bool isEnabled() const { return enabled_; }
    virtual void setEnabled(bool enabled);
    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected);
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted);
    bool isTracking() const { return tracking_; }
    bool isTouchInside() const { return touchInside_; }

    // A null target's action always runs; otherwise only while the target lives.
    void addTarget(std::shared_ptr<NSObject> target, std::string selector, Action action, UIControlEvents events);
    // Null target: every target; empty selector: every action.
    void removeTarget(const std::shared_ptr<NSObject>& target, const std::string& selector, UIControlEvents events);
    std::set<std::shared_ptr<NSObject>> allTargets() const;
    UIControlEvents allControlEvents() const;
    // Selectors registered for the target and exactly that event.
    std::vector<std::string> actionsForTarget(const std::shared_ptr<NSObject>& target, UIControlEvents event) const;
    void sendActionsForControlEvents(UIControlEvents events, UIEvent* event = nullptr);

    virtual bool beginTrackingWithTouch(UITouch& /*touch*/, UIEvent* /*event*/) { return true; }
    virtual bool continueTrackingWithTouch(UITouch& /*touch*/, UIEvent* /*event*/) { return true; }
    virtual void endTrackingWithTouch(UITouch* /*touch*/, UIEvent* /*event*/) {}
    virtual void cancelTrackingWithEvent(UIEvent* /*event*/) {}

    UIViewPtr hitTest(CGPoint point, UIEvent* event) override;
    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void touchesCancelled(const UITouchSet& touches, UIEvent* event) override;

protected:
    // Called after the state changed (views redraw for the new state).
    virtual void stateDidChange() {}

private:
    struct Entry {
        std::weak_ptr<NSObject> target;
        bool hasTarget;
        std::string selector;
        Action action;
        UIControlEvents events;
    };
    bool touchIsInside(const UITouch& touch) const;
    bool enabled_ = true, selected_ = false, highlighted_ = false;
    bool tracking_ = false, touchInside_ = false;
    std::vector<Entry> entries_;
};
