#include <platform_uikit/CAAnimation.h>

#include <platform_uikit/UIColor.h>

#include <platform_dispatch/ManualClock.h>

#include <algorithm>
#include <cmath>

const CAMediaTimingFunctionName kCAMediaTimingFunctionLinear = "linear";
const CAMediaTimingFunctionName kCAMediaTimingFunctionEaseIn = "easeIn";
const CAMediaTimingFunctionName kCAMediaTimingFunctionEaseOut = "easeOut";
const CAMediaTimingFunctionName kCAMediaTimingFunctionEaseInEaseOut = "easeInEaseOut";
const CAMediaTimingFunctionName kCAMediaTimingFunctionDefault = "default";
const CAMediaTimingFillMode kCAFillModeRemoved = "removed";
const CAMediaTimingFillMode kCAFillModeForwards = "forwards";
const CAMediaTimingFillMode kCAFillModeBackwards = "backwards";
const CAMediaTimingFillMode kCAFillModeBoth = "both";
const CAAnimationCalculationMode kCAAnimationLinear = "linear";
const CAAnimationCalculationMode kCAAnimationDiscrete = "discrete";

double CACurrentMediaTime() { return ManualClock::mediaTime(); }

// --- timing functions ---

std::shared_ptr<CAMediaTimingFunction> CAMediaTimingFunction::functionWithName(const CAMediaTimingFunctionName& name) {
    if (name == kCAMediaTimingFunctionEaseIn) return functionWithControlPoints(0.42, 0, 1, 1);
    if (name == kCAMediaTimingFunctionEaseOut) return functionWithControlPoints(0, 0, 0.58, 1);
    if (name == kCAMediaTimingFunctionEaseInEaseOut) return functionWithControlPoints(0.42, 0, 0.58, 1);
    if (name == kCAMediaTimingFunctionDefault) return functionWithControlPoints(0.25, 0.1, 0.25, 1);
    return functionWithControlPoints(0, 0, 1, 1);
}

std::shared_ptr<CAMediaTimingFunction> CAMediaTimingFunction::functionWithControlPoints(double c1x, double c1y,
                                                                                      double c2x, double c2y) {
    return std::make_shared<CAMediaTimingFunction>(c1x, c1y, c2x, c2y);
}

double CAMediaTimingFunction::evaluate(double x) const {
    x = std::clamp(x, 0.0, 1.0);
    auto [x1, y1, x2, y2] = c_;
    if (x1 == y1 && x2 == y2) return x;  // linear
    auto bez = [](double t, double p1, double p2) {
        double u = 1 - t;
        return 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t;
    };
    // Bisection on the x curve (monotonic for control x in 0...1).
    double lo = 0, hi = 1, t = x;
    for (int i = 0; i < 60; ++i) {
        t = (lo + hi) / 2;
        (bez(t, x1, x2) < x ? lo : hi) = t;
    }
    return bez(t, y1, y2);
}

// --- interpolation ---

namespace {

bool isColor(const Value& v) { return v.isObject() && v.objectAs<UIColor>(); }

}  // namespace

Value CAInterpolate(const Value& from, const Value& to, double p) {
    auto mix = [p](double a, double b) { return a + (b - a) * p; };
    if (from.isNumber() && to.isNumber()) return Value(mix(from.doubleValue(), to.doubleValue()));
    if (from.isGeometry() && to.isGeometry() && from.geometryKind() == to.geometryKind()) {
        switch (from.geometryKind()) {
            case Value::GeometryKind::Point: {
                auto a = from.CGPointValue(), b = to.CGPointValue();
                return Value(CGPointMake(mix(a.x, b.x), mix(a.y, b.y)));
            }
            case Value::GeometryKind::Size: {
                auto a = from.CGSizeValue(), b = to.CGSizeValue();
                return Value(CGSizeMake(mix(a.width, b.width), mix(a.height, b.height)));
            }
            case Value::GeometryKind::Rect: {
                auto a = from.CGRectValue(), b = to.CGRectValue();
                return Value(CGRectMake(mix(a.origin.x, b.origin.x), mix(a.origin.y, b.origin.y),
                                        mix(a.size.width, b.size.width), mix(a.size.height, b.size.height)));
            }
            default:
                break;
        }
    }
    if (isColor(from) && isColor(to)) {
        auto a = from.objectAs<UIColor>()->rgba(), b = to.objectAs<UIColor>()->rgba();
        return Value(UIColor::colorWithRed(mix(a[0], b[0]), mix(a[1], b[1]), mix(a[2], b[2]), mix(a[3], b[3])));
    }
    return p < 1 ? from : to;
}

Value CAAccumulate(const Value& base, const Value& from, const Value& to, double times) {
    if (times == 0) return base;
    if (base.isNumber() && from.isNumber() && to.isNumber())
        return Value(base.doubleValue() + (to.doubleValue() - from.doubleValue()) * times);
    if (base.isGeometry() && base.geometryKind() == Value::GeometryKind::Point) {
        auto b = base.CGPointValue(), f = from.CGPointValue(), t = to.CGPointValue();
        return Value(CGPointMake(b.x + (t.x - f.x) * times, b.y + (t.y - f.y) * times));
    }
    return base;
}

// --- CAAnimation ---

Value CAAnimation::valueForUndefinedKey(const std::string& key) const {
    auto it = values_.find(key);
    return it == values_.end() ? Value() : it->second;
}

void CAAnimation::setValueForUndefinedKey(const Value& value, const std::string& key) { values_[key] = value; }

void CAAnimation::copyTimingTo(CAAnimation& other) const {
    other.duration = duration;
    other.beginTime = beginTime;
    other.timeOffset = timeOffset;
    other.repeatCount = repeatCount;
    other.repeatDuration = repeatDuration;
    other.autoreverses = autoreverses;
    other.speed = speed;
    other.fillMode = fillMode;
    other.removedOnCompletion = removedOnCompletion;
    other.timingFunction = timingFunction;
    other.delegate = delegate;
    other.values_ = values_;
}

CAAnimationPtr CAAnimation::copy() const {
    auto a = std::make_shared<CAAnimation>();
    copyTimingTo(*a);
    return a;
}

double CAAnimation::activeDuration() const {
    double cycle = effectiveDuration() * (autoreverses ? 2 : 1);
    double total = cycle;
    if (repeatCount > 0) total = std::isinf(repeatCount) ? HUGE_VAL : cycle * repeatCount;
    else if (repeatDuration > 0) total = repeatDuration;
    double s = speed > 0 ? speed : 1;
    return total / s;
}

std::optional<std::pair<double, double>> CAAnimation::progressAt(double localTime) const {
    double s = speed > 0 ? speed : 1;
    double active = activeDuration();
    double d = effectiveDuration();
    bool fillsBackwards = fillMode == kCAFillModeBackwards || fillMode == kCAFillModeBoth;
    bool fillsForwards = fillMode == kCAFillModeForwards || fillMode == kCAFillModeBoth;
    if (localTime < 0) {
        if (!fillsBackwards) return std::nullopt;
        localTime = 0;
    }
    if (localTime >= active) {
        if (!fillsForwards) return std::nullopt;
        // The final state: the end of the last cycle.
        double t = active * s + timeOffset;
        double cycle = d * (autoreverses ? 2 : 1);
        double iterations = std::floor(t / cycle + 1e-9);
        double inCycle = t - iterations * cycle;
        if (inCycle < 1e-9 && iterations > 0) {
            iterations -= 1;
            inCycle = cycle;
        }
        double local = autoreverses && inCycle > d ? 2 * d - inCycle : inCycle;
        double fraction = std::clamp(local / d, 0.0, 1.0);
        return std::make_pair(timingFunction ? timingFunction->evaluate(fraction) : fraction, iterations);
    }
    double t = localTime * s + timeOffset;
    double cycle = d * (autoreverses ? 2 : 1);
    double iterations = std::floor(t / cycle);
    double inCycle = t - iterations * cycle;
    double local = autoreverses && inCycle > d ? 2 * d - inCycle : inCycle;
    double fraction = std::clamp(local / d, 0.0, 1.0);
    return std::make_pair(timingFunction ? timingFunction->evaluate(fraction) : fraction, iterations);
}

std::optional<Value> CAAnimation::valueAt(const std::string&, double, const Value&) const { return std::nullopt; }

// --- basic ---

std::shared_ptr<CABasicAnimation> CABasicAnimation::animationWithKeyPath(std::string keyPath) {
    auto a = std::make_shared<CABasicAnimation>();
    a->keyPath = std::move(keyPath);
    return a;
}

CAAnimationPtr CABasicAnimation::copy() const {
    auto a = std::make_shared<CABasicAnimation>();
    copyTimingTo(*a);
    a->keyPath = keyPath;
    a->cumulative = cumulative;
    a->additive = additive;
    a->fromValue = fromValue;
    a->toValue = toValue;
    a->byValue = byValue;
    return a;
}

std::optional<Value> CABasicAnimation::valueAt(const std::string& kp, double localTime, const Value& model) const {
    if (kp != keyPath) return std::nullopt;
    auto progress = progressAt(localTime);
    if (!progress) return std::nullopt;
    // Missing ends come from the model value and byValue, as the platform fills them.
    Value from = fromValue, to = toValue;
    if (from.isNull() && to.isNull()) {
        from = model;
        to = byValue.isNull() ? model : CAAccumulate(model, Value(0.0), byValue, 1);
    } else if (from.isNull()) {
        from = byValue.isNull() ? model : CAAccumulate(to, byValue, Value(0.0), 1);
    } else if (to.isNull()) {
        to = byValue.isNull() ? model : CAAccumulate(from, Value(0.0), byValue, 1);
    }
    Value v = CAInterpolate(from, to, progress->first);
    if (cumulative) v = CAAccumulate(v, from, to, progress->second);
    if (additive) v = CAAccumulate(model, Value(0.0), v, 1);
    return v;
}

// --- keyframe ---

std::shared_ptr<CAKeyframeAnimation> CAKeyframeAnimation::animationWithKeyPath(std::string keyPath) {
    auto a = std::make_shared<CAKeyframeAnimation>();
    a->keyPath = std::move(keyPath);
    return a;
}

CAAnimationPtr CAKeyframeAnimation::copy() const {
    auto a = std::make_shared<CAKeyframeAnimation>();
    copyTimingTo(*a);
    a->keyPath = keyPath;
    a->cumulative = cumulative;
    a->additive = additive;
    a->values = values;
    a->keyTimes = keyTimes;
    a->calculationMode = calculationMode;
    return a;
}

std::optional<Value> CAKeyframeAnimation::valueAt(const std::string& kp, double localTime, const Value&) const {
    if (kp != keyPath || values.empty()) return std::nullopt;
    auto progress = progressAt(localTime);
    if (!progress) return std::nullopt;
    double p = progress->first;
    std::size_t n = values.size();
    bool discrete = calculationMode == kCAAnimationDiscrete;
    std::vector<double> times = keyTimes;
    if (times.size() != n) {
        times.clear();
        std::size_t steps = discrete ? n : n - 1;
        for (std::size_t i = 0; i < n; ++i) times.push_back(steps ? double(i) / steps : 0);
    }
    Value v = values.back();
    if (discrete) {
        for (std::size_t i = n; i-- > 0;)
            if (p >= times[i]) {
                v = values[i];
                break;
            }
        if (p < times[0]) v = values[0];
    } else if (n == 1 || p <= times[0]) {
        v = values[0];
    } else {
        for (std::size_t i = 0; i + 1 < n; ++i) {
            if (p <= times[i + 1]) {
                double span = times[i + 1] - times[i];
                v = CAInterpolate(values[i], values[i + 1], span > 0 ? (p - times[i]) / span : 1);
                break;
            }
        }
    }
    if (cumulative) v = CAAccumulate(v, values.front(), values.back(), progress->second);
    return v;
}

// --- group ---

CAAnimationPtr CAAnimationGroup::copy() const {
    auto a = std::make_shared<CAAnimationGroup>();
    copyTimingTo(*a);
    for (auto& child : animations)
        if (child) a->animations.push_back(child->copy());
    return a;
}

bool CAAnimationGroup::drivesKeyPath(const std::string& kp) const {
    for (auto& child : animations)
        if (child && child->drivesKeyPath(kp)) return true;
    return false;
}

std::vector<std::string> CAAnimationGroup::animatedKeyPaths() const {
    std::vector<std::string> out;
    for (auto& child : animations)
        if (child)
            for (auto& kp : child->animatedKeyPaths())
                if (std::find(out.begin(), out.end(), kp) == out.end()) out.push_back(kp);
    return out;
}

std::optional<Value> CAAnimationGroup::valueAt(const std::string& kp, double localTime, const Value& model) const {
    auto progress = progressAt(localTime);
    if (!progress) return std::nullopt;
    // Children run on the group's time line, clipped to the group's duration.
    double d = effectiveDuration();
    double groupTime = localTime >= activeDuration() ? d : std::fmod(std::max(0.0, localTime), d);
    std::optional<Value> result;
    Value current = model;
    for (auto& child : animations) {
        if (!child || !child->drivesKeyPath(kp)) continue;
        if (auto v = child->valueAt(kp, groupTime - child->beginTime, current)) {
            result = v;
            current = *v;
        }
    }
    return result;
}
