// View animations: changes made inside an animation block become layer
// animations from the value shown before to the new model value.

#include <platform_uikit/UIView.h>
#include <platform_uikit/UIViewAnimationActivity.h>

#include <platform_uikit/CATransaction.h>

#include <platform_dispatch/DispatchQueue.h>
#include <platform_dispatch/NSRunLoop.h>
#include <platform_dispatch/NSTimer.h>

#include "StartIgnoringAnimationDelegate.h"

#include <array>
#include <cmath>
#include <string_view>
#include <vector>

namespace {

// The three parts a transform animates through.
constexpr const char* kTransformParts[] = {"transform.scale.x", "transform.scale.y", "transform.rotation.z"};

const std::array<std::string, 3>& transformPartPaths() {
    static const std::array<std::string, 3> paths{kTransformParts[0], kTransformParts[1], kTransformParts[2]};
    return paths;
}

struct Change {
    std::weak_ptr<CALayer> layer;
    const CALayer* address = nullptr;  // finds the layer's earlier change without locking every record
    std::string keyPath;
    Value from;                       // for a transform, the three parts in kTransformParts' order
    std::array<Value, 3> transformFrom;
};

struct Block {
    bool enabled = true;
    uint64_t options = 0;
    std::vector<Change> changes;
};

std::vector<Block>& blocks() {
    static std::vector<Block> stack;
    return stack;
}

bool animationsEnabled = true;

std::size_t timedCompletions = 0;

// Counts a block's completion timer until it fired or went away unfired.
struct TimedCompletion {
    bool open = true;
    TimedCompletion() { ++timedCompletions; }
    ~TimedCompletion() { end(); }
    TimedCompletion(const TimedCompletion&) = delete;
    TimedCompletion& operator=(const TimedCompletion&) = delete;
    void end() {
        if (open) --timedCompletions;
        open = false;
    }
};

// Waits for the animations of one block and reports once.
struct Completion : uikit_detail::StartIgnoringAnimationDelegate {
    int pending = 0;
    bool finished = true;
    std::function<void(bool)> completion;
    void animationDidStop(CAAnimation*, bool ok) override {
        finished = finished && ok;
        if (--pending == 0 && completion) {
            auto done = std::move(completion);
            bool all = finished;
            dispatch_async(dispatch_get_main_queue(), [done, all] { done(all); });
        }
    }
};

std::shared_ptr<CAMediaTimingFunction> curveFor(uint64_t options) {
    switch ((options >> 16) & 0xF) {
        case 1:
            return CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionEaseIn);
        case 2:
            return CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionEaseOut);
        case 3:
            return CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionLinear);
        default:
            return CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionEaseInEaseOut);
    }
}

// Layer key paths a view's animatable properties land on.
bool animatable(std::string_view keyPath) {
    static constexpr std::string_view kPaths[] = {"position",        "bounds",       "opacity",     "transform",
                                                  "backgroundColor", "cornerRadius", "borderWidth", "borderColor",
                                                  "anchorPoint",     "zPosition"};
    for (auto path : kPaths)
        if (path == keyPath) return true;
    return false;
}

}  // namespace

void UIView::layerWillChangeValue(CALayer& layer, const std::string& keyPath) {
    if (blocks().empty() || !blocks().back().enabled || !animationsEnabled || !animatable(keyPath)) return;
    auto& block = blocks().back();
    for (auto& c : block.changes)  // the first "from" counts (a record of a layer gone since is not this one)
        if (c.address == &layer && c.keyPath == keyPath && !c.layer.expired()) return;
    // The value shown now; a copy of the layer only when something on it is animating.
    CALayerPtr shown = uikit_detail::hasAnimations(layer) ? layer.presentationLayer() : nullptr;
    const CALayer& source = shown ? *shown : layer;
    Change change{std::static_pointer_cast<CALayer>(layer.shared_from_this()), &layer, keyPath, Value(), {}};
    if (keyPath != "transform")
        change.from = source.animatableValue(keyPath);
    else
        for (std::size_t i = 0; i < 3; ++i) change.transformFrom[i] = source.animatableValue(transformPartPaths()[i]);
    if (block.changes.empty()) block.changes.reserve(16);  // a block seldom changes more
    block.changes.push_back(std::move(change));
}

void UIView::animateWithDuration(double duration, double delay, uint64_t options,
                                 const std::function<void()>& animations, std::function<void(bool)> completion) {
    if (duration <= 0 || !animationsEnabled) {
        if (animations) animations();
        if (completion) completion(true);
        return;
    }
    blocks().push_back(Block{true, options, {}});
    if (animations) animations();
    Block block = std::move(blocks().back());
    blocks().pop_back();

    auto done = std::make_shared<Completion>();
    done->completion = std::move(completion);
    const double now = CACurrentMediaTime();

    // What changed, by layer and key path, with both ends.
    struct Step {
        CALayerPtr layer;
        const std::string* keyPath;
        Value from, to;
        bool unchanged;  // equal ends and nothing running on the key that the animation would replace
    };
    std::vector<Step> steps;
    steps.reserve(block.changes.size() + 2);
    auto consider = [&](const CALayerPtr& layer, const std::string& keyPath, Value from) {
        Value to = layer->animatableValue(keyPath);
        bool unchanged = from == to && !uikit_detail::hasAnimationForKey(*layer, keyPath);
        steps.push_back(Step{layer, &keyPath, std::move(from), std::move(to), unchanged});
    };
    for (auto& change : block.changes) {
        auto layer = change.layer.lock();
        if (!layer) continue;
        if (change.keyPath == "transform") {
            // Transforms animate through their scale and rotation parts.
            for (std::size_t i = 0; i < 3; ++i)
                consider(layer, transformPartPaths()[i], std::move(change.transformFrom[i]));
            continue;
        }
        consider(layer, change.keyPath, std::move(change.from));
    }
    // A change whose ends are equal and whose layer animates something else in this block would
    // only add an animation that shows nothing, ending with the layer's other ones: it is left out.
    // Alone on its layer it stays, so that the completion still waits for it.
    auto changesLayer = [&](const CALayer* layer) {
        for (auto& s : steps)
            if (!s.unchanged && s.layer.get() == layer) return true;
        return false;
    };
    std::size_t kept = 0;
    for (auto& s : steps) {
        if (s.unchanged && changesLayer(s.layer.get())) s.layer.reset();
        else ++kept;
    }
    if (kept == 0) {
        // Nothing animatable changed: the completion still waits for the block's time.
        if (done->completion) {
            auto counted = std::make_shared<TimedCompletion>();
            auto timer = NSTimer::timerWithTimeInterval(delay + duration, false, [done, counted](auto&) {
                if (auto c = std::move(done->completion)) c(true);
                counted->end();
            });
            NSRunLoop::mainRunLoop()->addTimer(timer, NSRunLoopCommonModes);
        }
        return;
    }
    done->pending = static_cast<int>(kept);
    const auto curve = curveFor(options);  // one per block: a timing function does not change
    for (auto& s : steps) {
        if (!s.layer) continue;
        auto a = CABasicAnimation::animationWithKeyPath(*s.keyPath);
        a->fromValue = std::move(s.from);
        a->toValue = std::move(s.to);
        a->duration = duration;
        a->timingFunction = curve;
        if (delay > 0) {
            a->beginTime = now + delay;
            a->fillMode = kCAFillModeBackwards;
        }
        if (options & UIViewAnimationOptionRepeat) a->repeatCount = HUGE_VAL;
        a->autoreverses = options & UIViewAnimationOptionAutoreverse;
        a->delegate = done;
        // Made here for this layer alone: added without a copy, under its key path.
        uikit_detail::adoptViewAnimation(*s.layer, std::move(a), *s.keyPath, now);
    }
}

void UIView::animateWithSpringDuration(double duration, double delay, double, double, uint64_t options,
                                       const std::function<void()>& animations, std::function<void(bool)> completion) {
    animateWithDuration(duration, delay, options, animations, std::move(completion));
}

void UIView::transitionWithView(const UIViewPtr&, double duration, uint64_t options,
                                const std::function<void()>& animations, std::function<void(bool)> completion) {
    animateWithDuration(duration, 0, options, animations, std::move(completion));
}

void UIView::performWithoutAnimation(const std::function<void()>& actions) {
    blocks().push_back(Block{false, 0, {}});
    if (actions) actions();
    blocks().pop_back();
}

std::size_t UIViewAnimationTimedCompletionCount() { return timedCompletions; }

bool UIView::areAnimationsEnabled() { return animationsEnabled; }
void UIView::setAnimationsEnabled(bool enabled) { animationsEnabled = enabled; }
