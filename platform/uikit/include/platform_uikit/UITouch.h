#pragma once
// A finger on the screen (its phase, place, tap count and the view it
// started in) and the event that carries the touches of one moment.
//
// Main thread.

#include <platform_uikit/UIResponder.h>

#include <platform_runtime/Geometry.h>
#include <platform_runtime/ObjCDeclare.h>

#include <memory>
#include <vector>

class UIView;
class UIWindow;
class UIGestureRecognizer;

enum UITouchPhase : int64_t {
    UITouchPhaseBegan = 0,
    UITouchPhaseMoved = 1,
    UITouchPhaseStationary = 2,
    UITouchPhaseEnded = 3,
    UITouchPhaseCancelled = 4,
};

class UITouch : public NSObject {
    NS_CLASS(UITouch, NSObject)
public:
    UITouchPhase phase() const { return phase_; }
    double timestamp() const { return timestamp_; }
    int64_t tapCount() const { return tapCount_; }
    std::shared_ptr<UIView> view() const { return view_.lock(); }
    UIWindow* window() const { return window_; }
    // In `view`'s coordinates (the window's for null).
    CGPoint locationInView(const UIView* view) const;
    CGPoint previousLocationInView(const UIView* view) const;
    const std::vector<std::weak_ptr<UIGestureRecognizer>>& gestureRecognizers() const { return recognizers_; }

    // Set by the event delivery.
    void update(UITouchPhase phase, CGPoint windowLocation, double timestamp);
    void setView(const std::shared_ptr<UIView>& view, UIWindow* window) {
        view_ = view;
        window_ = window;
    }
    void setTapCount(int64_t count) { tapCount_ = count; }
    void setGestureRecognizers(std::vector<std::weak_ptr<UIGestureRecognizer>> r) { recognizers_ = std::move(r); }

private:
    UITouchPhase phase_ = UITouchPhaseBegan;
    double timestamp_ = 0;
    int64_t tapCount_ = 1;
    std::weak_ptr<UIView> view_;
    UIWindow* window_ = nullptr;
    CGPoint location_, previous_;
    std::vector<std::weak_ptr<UIGestureRecognizer>> recognizers_;
};

enum UIEventType : int64_t { UIEventTypeTouches = 0, UIEventTypeMotion = 1, UIEventTypeRemoteControl = 2 };

class UIEvent : public NSObject {
    NS_CLASS(UIEvent, NSObject)
public:
    UIEventType type() const { return UIEventTypeTouches; }
    double timestamp() const { return timestamp_; }
    UITouchSet allTouches() const { return touches_; }
    UITouchSet touchesForView(const UIView* view) const;

    void setTouches(UITouchSet touches, double timestamp) {
        touches_ = std::move(touches);
        timestamp_ = timestamp;
    }

private:
    UITouchSet touches_;
    double timestamp_ = 0;
};
