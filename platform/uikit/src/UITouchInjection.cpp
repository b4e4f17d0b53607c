#include <platform_uikit/UITouchInjection.h>

#include <platform_uikit/CAAnimation.h>
#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UIGestureRecognizer.h>
#include <platform_uikit/UIView.h>
#include <platform_uikit/UIWindow.h>

#include <cmath>
#include <map>

namespace {

constexpr double kMultiTapInterval = 0.35;
constexpr double kMultiTapDistance = 20;

struct Sequence {
    std::shared_ptr<UIView> view;
    std::vector<std::shared_ptr<UIGestureRecognizer>> recognizers;
    bool viewCancelled = false;
    std::shared_ptr<UIEvent> event = std::make_shared<UIEvent>();
};

std::map<const UITouch*, Sequence>& sequences() {
    static std::map<const UITouch*, Sequence> live;
    return live;
}

struct LastTap {
    double time = -1e9;
    CGPoint point;
    int64_t count = 0;
} lastTap;

bool isActive(UIGestureRecognizerState s) {
    return s == UIGestureRecognizerStatePossible || s == UIGestureRecognizerStateBegan ||
           s == UIGestureRecognizerStateChanged;
}

bool hasRecognized(UIGestureRecognizerState s) {
    return s == UIGestureRecognizerStateBegan || s == UIGestureRecognizerStateChanged ||
           s == UIGestureRecognizerStateEnded;
}

// One recognizer recognizing makes the others fail unless a delegate lets both run.
void excludeOthers(Sequence& seq) {
    for (auto& winner : seq.recognizers) {
        if (!hasRecognized(winner->state())) continue;
        for (auto& other : seq.recognizers) {
            if (other == winner || other->state() != UIGestureRecognizerStatePossible) continue;
            auto dw = winner->delegate(), dother = other->delegate();
            bool together = (dw && dw->gestureRecognizerShouldRecognizeSimultaneously(*winner, *other)) ||
                            (dother && dother->gestureRecognizerShouldRecognizeSimultaneously(*other, *winner));
            if (!together) other->setState(UIGestureRecognizerStateFailed);
        }
    }
}

void deliver(const std::shared_ptr<UITouch>& touch, UITouchPhase phase) {
    auto it = sequences().find(touch.get());
    if (it == sequences().end()) return;
    Sequence& seq = it->second;
    UITouchSet touches{touch};
    seq.event->setTouches(touches, touch->timestamp());
    UIEvent* event = seq.event.get();
    for (auto& r : seq.recognizers) {
        if (!r->isEnabled() || !isActive(r->state())) continue;
        switch (phase) {
            case UITouchPhaseBegan: r->touchesBegan(touches, event); break;
            case UITouchPhaseMoved: r->touchesMoved(touches, event); break;
            case UITouchPhaseEnded: r->touchesEnded(touches, event); break;
            default: r->touchesCancelled(touches, event); break;
        }
    }
    excludeOthers(seq);
    bool cancelView = false;
    for (auto& r : seq.recognizers)
        if (hasRecognized(r->state()) && r->cancelsTouchesInView()) cancelView = true;
    if (seq.view && !seq.viewCancelled) {
        if (cancelView && phase != UITouchPhaseBegan) {
            seq.viewCancelled = true;
            seq.view->touchesCancelled(touches, event);
        } else if (!cancelView || phase == UITouchPhaseBegan) {
            switch (phase) {
                case UITouchPhaseBegan: seq.view->touchesBegan(touches, event); break;
                case UITouchPhaseMoved: seq.view->touchesMoved(touches, event); break;
                case UITouchPhaseEnded: seq.view->touchesEnded(touches, event); break;
                default: seq.view->touchesCancelled(touches, event); break;
            }
        }
    }
    if (phase == UITouchPhaseEnded || phase == UITouchPhaseCancelled) {
        auto recognizers = std::move(seq.recognizers);
        sequences().erase(it);
        for (auto& r : recognizers) {
            if (r->state() == UIGestureRecognizerStatePossible) r->setState(UIGestureRecognizerStateFailed);
            r->reset();
        }
    }
}

}  // namespace

std::shared_ptr<UITouch> UITouchInjection::touchDown(CGPoint point, UIWindow* window) {
    std::shared_ptr<UIWindow> keep;
    if (!window) {
        keep = UIApplication::sharedApplication()->keyWindow();
        window = keep.get();
    }
    auto touch = std::make_shared<UITouch>();
    double now = CACurrentMediaTime();
    bool repeat = now >= lastTap.time && now - lastTap.time <= kMultiTapInterval &&
                  std::hypot(point.x - lastTap.point.x, point.y - lastTap.point.y) <= kMultiTapDistance;
    touch->setTapCount(repeat ? lastTap.count + 1 : 1);
    touch->update(UITouchPhaseBegan, point, now);
    if (!window) return touch;
    Sequence seq;
    seq.view = window->hitTest(point, nullptr);
    touch->setView(seq.view, window);
    std::vector<std::weak_ptr<UIGestureRecognizer>> weak;
    for (UIView* v = seq.view.get(); v; v = v->superview().get()) {
        for (auto& r : v->gestureRecognizers()) {
            if (!r->isEnabled()) continue;
            auto d = r->delegate();
            if (d && !d->gestureRecognizerShouldReceiveTouch(*r, *touch)) continue;
            seq.recognizers.push_back(r);
            weak.push_back(r);
        }
    }
    touch->setGestureRecognizers(std::move(weak));
    sequences()[touch.get()] = std::move(seq);
    deliver(touch, UITouchPhaseBegan);
    return touch;
}

void UITouchInjection::touchMove(const std::shared_ptr<UITouch>& touch, CGPoint point) {
    if (!touch) return;
    touch->update(UITouchPhaseMoved, point, CACurrentMediaTime());
    deliver(touch, UITouchPhaseMoved);
}

void UITouchInjection::touchUp(const std::shared_ptr<UITouch>& touch, CGPoint point) {
    if (!touch) return;
    touch->update(UITouchPhaseEnded, point, CACurrentMediaTime());
    lastTap = {touch->timestamp(), point, touch->tapCount()};
    deliver(touch, UITouchPhaseEnded);
}

void UITouchInjection::touchCancel(const std::shared_ptr<UITouch>& touch) {
    if (!touch) return;
    touch->update(UITouchPhaseCancelled, touch->locationInView(nullptr), CACurrentMediaTime());
    deliver(touch, UITouchPhaseCancelled);
}

void UITouchInjection::tap(CGPoint point, UIWindow* window) {
    auto touch = touchDown(point, window);
    touchUp(touch, point);
}

void UITouchInjection::drag(CGPoint from, CGPoint to, int steps, UIWindow* window) {
    auto touch = touchDown(from, window);
    steps = std::max(1, steps);
    for (int i = 1; i <= steps; ++i)
        touchMove(touch, CGPointMake(from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps));
    touchUp(touch, to);
}
