#pragma once
// Gesture recognizers: watch the touches that reach their view (and its
// subviews) before the views do, move through their states (observable as
// "state"), and send their actions on Began / Changed / Ended / Cancelled.
// Tap, pan and screen-edge pan are here.
//
// Main thread. A view holds its recognizers; a recognizer's view and targets
// are not held.

#include <platform_uikit/UITouch.h>

#include <platform_runtime/Geometry.h>
#include <platform_runtime/ObjCDeclare.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class UIView;
class UIGestureRecognizer;

enum UIGestureRecognizerState : int64_t {
    UIGestureRecognizerStatePossible = 0,
    UIGestureRecognizerStateBegan = 1,
    UIGestureRecognizerStateChanged = 2,
    UIGestureRecognizerStateEnded = 3,
    UIGestureRecognizerStateRecognized = 3,
    UIGestureRecognizerStateCancelled = 4,
    UIGestureRecognizerStateFailed = 5,
};

enum UIRectEdge : uint64_t {
    UIRectEdgeNone = 0,
    UIRectEdgeTop = 1 << 0,
    UIRectEdgeLeft = 1 << 1,
    UIRectEdgeBottom = 1 << 2,
    UIRectEdgeRight = 1 << 3,
    UIRectEdgeAll = 0xF,
};

// Optional questions a recognizer asks its delegate.
class UIGestureRecognizerDelegate {
public:
    virtual ~UIGestureRecognizerDelegate() = default;
    virtual bool gestureRecognizerShouldBegin(UIGestureRecognizer&) { return true; }
    virtual bool gestureRecognizerShouldReceiveTouch(UIGestureRecognizer&, UITouch&) { return true; }
    virtual bool gestureRecognizerShouldRecognizeSimultaneously(UIGestureRecognizer&, UIGestureRecognizer&) {
        return false;
    }
};

class UIGestureRecognizer : public NSObject {
    NS_CLASS(UIGestureRecognizer, NSObject)
public:
    using Action = std::function<void(UIGestureRecognizer&)>;

    UIGestureRecognizer() = default;
    // Target/action: `action` runs while `target` lives (a null target always).
    UIGestureRecognizer(std::shared_ptr<NSObject> target, std::string selector, Action action);
    void addTarget(std::shared_ptr<NSObject> target, std::string selector, Action action);
    void removeTarget(const std::shared_ptr<NSObject>& target, const std::string& selector);

    UIGestureRecognizerState state() const { return state_; }
    // Moves the state; actions go out for Began, Changed, Ended and Cancelled.
    // Beginning (or recognizing) first asks the delegate.
    void setState(UIGestureRecognizerState state);
    bool isEnabled() const { return enabled_; }
    // Disabling cancels a gesture under way.
    void setEnabled(bool enabled);
    std::shared_ptr<UIGestureRecognizerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<UIGestureRecognizerDelegate> delegate) { delegate_ = std::move(delegate); }
    UIView* view() const { return view_; }
    bool cancelsTouchesInView() const { return cancelsTouchesInView_; }
    void setCancelsTouchesInView(bool on) { cancelsTouchesInView_ = on; }
    // This recognizer waits for `other` to fail before it recognizes.
    void requireGestureRecognizerToFail(const std::shared_ptr<UIGestureRecognizer>& other) { mustFail_ = other; }
    std::shared_ptr<UIGestureRecognizer> requiredToFail() const { return mustFail_.lock(); }

    // The touches' centroid in `view`'s coordinates.
    CGPoint locationInView(const UIView* view) const;
    std::size_t numberOfTouches() const { return touches_.size(); }

    // Touch input, before the view gets it.
    virtual void touchesBegan(const UITouchSet& touches, UIEvent* event);
    virtual void touchesMoved(const UITouchSet& touches, UIEvent* event);
    virtual void touchesEnded(const UITouchSet& touches, UIEvent* event);
    virtual void touchesCancelled(const UITouchSet& touches, UIEvent* event);
    // Back to Possible after a sequence ends.
    virtual void reset();

    // Used by UIView::addGestureRecognizer.
    void attachToView(UIView* view) { view_ = view; }

protected:
    const UITouchSet& trackedTouches() const { return touches_; }

private:
    int64_t stateValue() const { return state_; }
    void setStateValue(int64_t s) { setState(static_cast<UIGestureRecognizerState>(s)); }
    void sendActions();
    struct Target {
        std::weak_ptr<NSObject> target;
        bool hasTarget;
        std::string selector;
        Action action;
    };
    UIGestureRecognizerState state_ = UIGestureRecognizerStatePossible;
    bool enabled_ = true;
    std::weak_ptr<UIGestureRecognizerDelegate> delegate_;
    UIView* view_ = nullptr;
    bool cancelsTouchesInView_ = true;
    std::weak_ptr<UIGestureRecognizer> mustFail_;
    std::vector<Target> targets_;
    UITouchSet touches_;

public:
    NS_PROPERTY_ACCESSORS(int64_t, state, "N", stateValue, setStateValue)
    NS_PROPERTY_ACCESSORS(bool, enabled, "N,GisEnabled", isEnabled, setEnabled)
};

class UITapGestureRecognizer : public UIGestureRecognizer {
    NS_CLASS(UITapGestureRecognizer, UIGestureRecognizer)
public:
    using UIGestureRecognizer::UIGestureRecognizer;
    // A touch that moves further than this is no tap.
    static constexpr double kAllowableMovement = 10;
    int64_t numberOfTapsRequired = 1;
    int64_t numberOfTouchesRequired = 1;
    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;

private:
    CGPoint start_;
};

class UIPanGestureRecognizer : public UIGestureRecognizer {
    NS_CLASS(UIPanGestureRecognizer, UIGestureRecognizer)
public:
    using UIGestureRecognizer::UIGestureRecognizer;
    // Movement that makes a pan begin.
    static constexpr double kHysteresis = 10;
    int64_t minimumNumberOfTouches = 1;
    int64_t maximumNumberOfTouches = INT64_MAX;
    // Since the touch went down, in `view`'s coordinate scale (the window's for null).
    CGPoint translationInView(const UIView* view) const;
    void setTranslation(CGPoint translation, const UIView* view);
    // Points per second over the last move.
    CGPoint velocityInView(const UIView* view) const;

    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void touchesCancelled(const UITouchSet& touches, UIEvent* event) override;

protected:
    // Whether a pan may begin from this first touch (edge pans look at its place).
    virtual bool acceptsStart(CGPoint /*windowPoint*/) const { return true; }

private:
    CGPoint start_, last_, previous_;
    double lastTime_ = 0, previousTime_ = 0;
};

class UIScreenEdgePanGestureRecognizer : public UIPanGestureRecognizer {
    NS_CLASS(UIScreenEdgePanGestureRecognizer, UIPanGestureRecognizer)
public:
    using UIPanGestureRecognizer::UIPanGestureRecognizer;
    // How close to the edge the touch must start.
    static constexpr double kEdgeWidth = 20;
    uint64_t edges = UIRectEdgeNone;

protected:
    bool acceptsStart(CGPoint windowPoint) const override;
};
