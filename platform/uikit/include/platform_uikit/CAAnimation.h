#pragma once
// Keyed layer animations on the animation clock (CACurrentMediaTime, which
// follows the manual clock in tests): basic (from / to / by), keyframe
// (values with optional key times, linear or discrete) and groups, with
// timing curves, repeats (HUGE_VAL repeats for ever), autoreverse,
// cumulative repeats, fill modes, removal on completion, a delegate told of
// start and stop, and free key-value storage.
//
// Main thread. A layer copies an animation when it is added; the copy keeps
// the delegate.

#include <platform_runtime/ObjCDeclare.h>
#include <platform_runtime/Value.h>

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CAAnimation;
using CAAnimationPtr = std::shared_ptr<CAAnimation>;

// Seconds on the animation clock.
double CACurrentMediaTime();

using CAMediaTimingFunctionName = std::string;
extern const CAMediaTimingFunctionName kCAMediaTimingFunctionLinear;
extern const CAMediaTimingFunctionName kCAMediaTimingFunctionEaseIn;
extern const CAMediaTimingFunctionName kCAMediaTimingFunctionEaseOut;
extern const CAMediaTimingFunctionName kCAMediaTimingFunctionEaseInEaseOut;
extern const CAMediaTimingFunctionName kCAMediaTimingFunctionDefault;

using CAMediaTimingFillMode = std::string;
extern const CAMediaTimingFillMode kCAFillModeRemoved;
extern const CAMediaTimingFillMode kCAFillModeForwards;
extern const CAMediaTimingFillMode kCAFillModeBackwards;
extern const CAMediaTimingFillMode kCAFillModeBoth;

using CAAnimationCalculationMode = std::string;
extern const CAAnimationCalculationMode kCAAnimationLinear;
extern const CAAnimationCalculationMode kCAAnimationDiscrete;

// A cubic Bézier from (0, 0) to (1, 1) mapping elapsed fraction to progress.
class CAMediaTimingFunction : public NSObject {
    NS_CLASS(CAMediaTimingFunction, NSObject)
public:
    CAMediaTimingFunction() = default;
    CAMediaTimingFunction(double c1x, double c1y, double c2x, double c2y) : c_{c1x, c1y, c2x, c2y} {}
    static std::shared_ptr<CAMediaTimingFunction> functionWithName(const CAMediaTimingFunctionName& name);
    static std::shared_ptr<CAMediaTimingFunction> functionWithControlPoints(double c1x, double c1y, double c2x,
                                                                          double c2y);
    double evaluate(double fraction) const;
    std::array<double, 4> controlPoints() const { return c_; }

private:
    std::array<double, 4> c_{0, 0, 1, 1};
};

// What a delegate of an animation hears (optional methods).
class CAAnimationDelegate {
public:
    virtual ~CAAnimationDelegate() = default;
    virtual void animationDidStart(CAAnimation*) {}
    virtual void animationDidStop(CAAnimation*, bool /*finished*/) {}
};

class CAAnimation : public NSObject {
    NS_CLASS(CAAnimation, NSObject)
public:
    static CAAnimationPtr animation() { return std::make_shared<CAAnimation>(); }

    double duration = 0;  // 0 takes the default, 0.25 s
    double beginTime = 0;  // 0: when added; else absolute on the animation clock
    double timeOffset = 0;
    double repeatCount = 0;     // 0 and 1 play once; HUGE_VAL for ever
    double repeatDuration = 0;  // alternative to repeatCount when set
    bool autoreverses = false;
    double speed = 1;
    CAMediaTimingFillMode fillMode = kCAFillModeRemoved;
    bool removedOnCompletion = true;
    std::shared_ptr<CAMediaTimingFunction> timingFunction;
    // Held strongly, as the platform does.
    std::shared_ptr<CAAnimationDelegate> delegate;

    // Free key-value storage: any key can be set and read back.
    Value valueForUndefinedKey(const std::string& key) const override;
    void setValueForUndefinedKey(const Value& value, const std::string& key) override;

    virtual CAAnimationPtr copy() const;
    // Whether this animation (or, for a group, a child) drives `keyPath`.
    virtual bool drivesKeyPath(const std::string&) const { return false; }
    // The key paths it drives.
    virtual std::vector<std::string> animatedKeyPaths() const { return {}; }
    // The animated value of `keyPath` at `localTime` seconds after the
    // animation began; nothing when it does not drive it.
    virtual std::optional<Value> valueAt(const std::string& keyPath, double localTime, const Value& model) const;

    double effectiveDuration() const { return duration > 0 ? duration : 0.25; }
    // The whole active span, repeats and reversals included (HUGE_VAL when endless).
    double activeDuration() const;
    // Maps a time since begin to the progress 0...1 of one cycle and the
    // completed iterations; nothing outside the active span unless filled.
    std::optional<std::pair<double, double>> progressAt(double localTime) const;

protected:
    void copyTimingTo(CAAnimation& other) const;

private:
    std::map<std::string, Value> values_;
};

class CAPropertyAnimation : public CAAnimation {
    NS_CLASS(CAPropertyAnimation, CAAnimation)
public:
    std::string keyPath;
    bool cumulative = false;
    bool additive = false;
    bool drivesKeyPath(const std::string& kp) const override { return kp == keyPath; }
    std::vector<std::string> animatedKeyPaths() const override { return {keyPath}; }
};

class CABasicAnimation : public CAPropertyAnimation {
    NS_CLASS(CABasicAnimation, CAPropertyAnimation)
public:
    static std::shared_ptr<CABasicAnimation> animationWithKeyPath(std::string keyPath);
    Value fromValue, toValue, byValue;
    CAAnimationPtr copy() const override;
    std::optional<Value> valueAt(const std::string& keyPath, double localTime, const Value& model) const override;
};

class CAKeyframeAnimation : public CAPropertyAnimation {
    NS_CLASS(CAKeyframeAnimation, CAPropertyAnimation)
public:
    static std::shared_ptr<CAKeyframeAnimation> animationWithKeyPath(std::string keyPath);
    std::vector<Value> values;
    std::vector<double> keyTimes;  // empty: evenly spaced
    CAAnimationCalculationMode calculationMode = kCAAnimationLinear;
    CAAnimationPtr copy() const override;
    std::optional<Value> valueAt(const std::string& keyPath, double localTime, const Value& model) const override;
};

class CAAnimationGroup : public CAAnimation {
    NS_CLASS(CAAnimationGroup, CAAnimation)
public:
    std::vector<CAAnimationPtr> animations;
    CAAnimationPtr copy() const override;
    bool drivesKeyPath(const std::string& kp) const override;
    std::vector<std::string> animatedKeyPaths() const override;
    std::optional<Value> valueAt(const std::string& keyPath, double localTime, const Value& model) const override;
};

// Interpolates two values of one kind (numbers, points, sizes, rects, colours);
// other kinds switch from `from` to `to` at the end.
Value CAInterpolate(const Value& from, const Value& to, double progress);
// from + (to − from) × times, for the kinds CAInterpolate knows.
Value CAAccumulate(const Value& base, const Value& from, const Value& to, double times);
