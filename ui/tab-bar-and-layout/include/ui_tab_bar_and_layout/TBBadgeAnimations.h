#pragma once
// The badge animations: each factory answers a new animation that fills
// forwards; all but shake and bounce also stay when they complete.
//
// Any thread (the animations are not yet attached to a layer).

#include <platform_uikit/CAAnimation.h>

#include <cstdint>
#include <memory>

// "opacity" 1.0 → 0.1, autoreversing, linear, repeating for ever.
CAAnimationPtr tb_opacityForever_Animation(float duration);
// "opacity" 1.0 → 0.4, autoreversing, ease-in.
CAAnimationPtr tb_opacityTimes_Animation(float repeatCount, float duration);
// "transform.rotation.x|y|z" (direction 0, 1, 2) 0 → degree (radians), cumulative.
CAAnimationPtr tb_rotation(float duration, float degree, uint64_t direction, int32_t repeatCount);
// "transform.scale" from → to, autoreversing.
CAAnimationPtr tb_scaleFrom(double fromScale, double toScale, float duration, float repeatCount);
// "position" through five key frames sideways (shake) or up and down (bounce),
// a quarter of the layer's width / height; a non-layer object gives zeros.
CAAnimationPtr tb_shake_AnimationRepeatTimes(float repeatCount, float duration, const std::shared_ptr<NSObject>& object);
CAAnimationPtr tb_bounce_AnimationRepeatTimes(float repeatCount, float duration, const std::shared_ptr<NSObject>& object);
