#include <platform_uikit/UITouch.h>

#include <platform_uikit/UIView.h>
#include <platform_uikit/UIWindow.h>

CGPoint UITouch::locationInView(const UIView* view) const {
    if (!view || !window_) return location_;
    return view->convertPointFromView(location_, window_);
}

CGPoint UITouch::previousLocationInView(const UIView* view) const {
    if (!view || !window_) return previous_;
    return view->convertPointFromView(previous_, window_);
}

void UITouch::update(UITouchPhase phase, CGPoint windowLocation, double timestamp) {
    phase_ = phase;
    previous_ = phase == UITouchPhaseBegan ? windowLocation : location_;
    location_ = windowLocation;
    timestamp_ = timestamp;
}

UITouchSet UIEvent::touchesForView(const UIView* view) const {
    UITouchSet out;
    for (auto& t : touches_)
        if (auto v = t->view(); v && v->isDescendantOfView(view)) out.insert(t);
    return out;
}
