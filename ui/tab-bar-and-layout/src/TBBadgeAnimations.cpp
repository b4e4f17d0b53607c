#include <ui_tab_bar_and_layout/TBBadgeAnimations.h>

#include <platform_uikit/CALayer.h>

#include <cfloat>

namespace {

std::shared_ptr<CABasicAnimation> basic(const char* keyPath, Value from, Value to) {
    auto a = CABasicAnimation::animationWithKeyPath(keyPath);
    a->fromValue = std::move(from);
    a->toValue = std::move(to);
    a->fillMode = kCAFillModeForwards;
    a->removedOnCompletion = false;
    return a;
}

CAAnimationPtr keyFrames(float repeatCount, float duration, const std::shared_ptr<NSObject>& object, bool sideways) {
    CGPoint p{};
    CGSize s{};
    if (auto layer = std::dynamic_pointer_cast<CALayer>(object)) {
        p = layer->position();
        s = layer->bounds().size;
    }
    auto a = CAKeyframeAnimation::animationWithKeyPath("position");
    const double dx = sideways ? s.width / 4 : 0, dy = sideways ? 0 : s.height / 4;
    a->values = {Value(CGPointMake(p.x, p.y)), Value(CGPointMake(p.x - dx, p.y - dy)), Value(CGPointMake(p.x, p.y)),
                 Value(CGPointMake(p.x + dx, p.y + dy)), Value(CGPointMake(p.x, p.y))};
    a->repeatCount = repeatCount;
    a->duration = duration;
    a->fillMode = kCAFillModeForwards;
    return a;
}

}  // namespace

CAAnimationPtr tb_opacityForever_Animation(float duration) {
    auto a = basic("opacity", Value(1.0), Value(0.1));
    a->autoreverses = true;
    a->duration = duration;
    a->repeatCount = FLT_MAX;
    a->timingFunction = CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionLinear);
    return a;
}

CAAnimationPtr tb_opacityTimes_Animation(float repeatCount, float duration) {
    auto a = basic("opacity", Value(1.0), Value(0.4));
    a->autoreverses = true;
    a->repeatCount = repeatCount;
    a->duration = duration;
    a->timingFunction = CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionEaseIn);
    return a;
}

CAAnimationPtr tb_rotation(float duration, float degree, uint64_t direction, int32_t repeatCount) {
    static const char* paths[] = {"transform.rotation.x", "transform.rotation.y", "transform.rotation.z"};
    auto a = basic(paths[direction < 3 ? direction : 2], Value(0.0), Value(static_cast<double>(degree)));
    a->cumulative = true;
    a->duration = duration;
    a->repeatCount = static_cast<float>(repeatCount);
    return a;
}

CAAnimationPtr tb_scaleFrom(double fromScale, double toScale, float duration, float repeatCount) {
    auto a = basic("transform.scale", Value(fromScale), Value(toScale));
    a->autoreverses = true;
    a->duration = duration;
    a->repeatCount = repeatCount;
    return a;
}

CAAnimationPtr tb_shake_AnimationRepeatTimes(float repeatCount, float duration, const std::shared_ptr<NSObject>& object) {
    return keyFrames(repeatCount, duration, object, true);
}

CAAnimationPtr tb_bounce_AnimationRepeatTimes(float repeatCount, float duration, const std::shared_ptr<NSObject>& object) {
    return keyFrames(repeatCount, duration, object, false);
}
