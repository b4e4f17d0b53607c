#pragma once
// Puts touches into the application as a finger would: a touch goes down on
// the view the window's hit test finds, its gesture recognizers (those of
// the view and its ancestors) see it first, then the view, unless a
// recognizer that cancels touches has recognized. Used by tests and by the
// host that turns keys into taps.
//
// Main thread. Points are in the window's coordinates; a null window means
// the key window.

#include <platform_uikit/UITouch.h>

#include <platform_runtime/Geometry.h>

#include <memory>

class UIWindow;

class UITouchInjection {
public:
    // Down, then (for a tap) up at the same place. A tap within 0.35 s and
    // 20 points of the previous one counts as its next tap (tapCount).
    static std::shared_ptr<UITouch> touchDown(CGPoint point, UIWindow* window = nullptr);
    static void touchMove(const std::shared_ptr<UITouch>& touch, CGPoint point);
    static void touchUp(const std::shared_ptr<UITouch>& touch, CGPoint point);
    static void touchCancel(const std::shared_ptr<UITouch>& touch);
    static void tap(CGPoint point, UIWindow* window = nullptr);
    // Down at `from`, `steps` moves evenly to `to`, up there.
    static void drag(CGPoint from, CGPoint to, int steps, UIWindow* window = nullptr);
};
