#pragma once
// A delegate of the platform's own animations that has no use for start calls: a layer adding
// an animation with such a delegate does not queue animationDidStart for it. Main thread.

#include <platform_uikit/CAAnimation.h>

namespace uikit_detail {
struct StartIgnoringAnimationDelegate : CAAnimationDelegate {
    void animationDidStart(CAAnimation*) final {}
};
}  // namespace uikit_detail
