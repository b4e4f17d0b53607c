#include <platform_uikit/CALayer.h>

#include <platform_uikit/CATransaction.h>
#include <platform_uikit/CGContext.h>

#include "LayerPointConversion.h"
#include "SafeAreaEpoch.h"

#include <platform_dispatch/DispatchQueue.h>
#include <platform_dispatch/NSRunLoop.h>
#include <platform_dispatch/NSTimer.h>
#include <platform_net/UIImage.h>

#include "StartIgnoringAnimationDelegate.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <mutex>
#include <string_view>

namespace {

double part(const std::map<std::string, double>& parts, const std::string& key, double fallback) {
    auto it = parts.find(key);
    return it == parts.end() ? fallback : it->second;
}

// Animations ending at the same instant share one main-run-loop timer (a view animation adds
// several at once, all ending together); they end in the order they were added.
struct Ending {
    const CALayer* layer;
    uint64_t serial;
    std::function<void()> end;
};

struct EndingTogether {
    std::shared_ptr<NSTimer> timer;
    std::vector<Ending> animations;
};

std::mutex endingMutex;
std::map<double, std::shared_ptr<EndingTogether>>& endingAt() {  // by end instant (media time)
    static auto* groups = new std::map<double, std::shared_ptr<EndingTogether>>;
    return *groups;
}

// The timer that ends an animation at `end`, shared with the others ending then.
// `interval` is the time from now to `end`, given as the animation's own length where it begins
// now: `end - now` in media time may round below it, and the animation would end before a plain
// timer of its length.
std::shared_ptr<NSTimer> joinEndTimer(double end, double interval, Ending ending) {
    std::lock_guard lock(endingMutex);
    auto& group = endingAt()[end];
    if (group && group->timer->isValid()) {
        group->animations.push_back(std::move(ending));
        return group->timer;
    }
    group = std::make_shared<EndingTogether>();
    group->animations.push_back(std::move(ending));
    std::weak_ptr<EndingTogether> held = group;
    group->timer = NSTimer::timerWithTimeInterval(std::max(0.0, interval), false, [held, end](auto&) {
        auto fired = held.lock();
        if (!fired) return;
        std::vector<Ending> ending;
        {
            std::lock_guard lock(endingMutex);
            auto it = endingAt().find(end);
            if (it != endingAt().end() && it->second == fired) endingAt().erase(it);
            ending.swap(fired->animations);
        }
        for (auto& e : ending) e.end();
    });
    NSRunLoop::mainRunLoop()->addTimer(group->timer, NSRunLoopCommonModes);
    return group->timer;
}

// An animation stopped before its end leaves its timer; the last one out invalidates it.
void leaveEndTimer(const std::shared_ptr<NSTimer>& timer, const CALayer* layer, uint64_t serial) {
    std::lock_guard lock(endingMutex);
    for (auto it = endingAt().begin(); it != endingAt().end(); ++it) {
        if (it->second->timer != timer) continue;
        auto& animations = it->second->animations;
        animations.erase(std::remove_if(animations.begin(), animations.end(),
                                        [&](const Ending& e) { return e.layer == layer && e.serial == serial; }),
                         animations.end());
        if (animations.empty()) {
            timer->invalidate();
            endingAt().erase(it);
        }
        return;
    }
    // Not in a group any more: it has fired, or is firing now.
}

}  // namespace

// --- geometry ---

void CALayer::willChange(const char* keyPath) {
    if (delegate_) delegate_->layerWillChangeValue(*this, keyPath);
}

void CALayer::setBounds(CGRect bounds) {
    if (bounds == bounds_) return;
    willChange("bounds");
    bool resized = bounds.size != bounds_.size;
    if (resized) uikit_detail::safeAreaGeometryChanged();
    if (bounds.origin != bounds_.origin) uikit_detail::safeAreaBoundsOriginChanged(*this);
    bounds_ = bounds;
    if (resized) {
        needsLayout_ = true;
    }
}

void CALayer::setPosition(CGPoint position) {
    if (position == position_) return;
    willChange("position");
    uikit_detail::safeAreaGeometryChanged();
    position_ = position;
}

void CALayer::setAnchorPoint(CGPoint anchorPoint) {
    willChange("anchorPoint");
    uikit_detail::safeAreaGeometryChanged();
    anchorPoint_ = anchorPoint;
}

void CALayer::setZPosition(double z) {
    willChange("zPosition");
    zPosition_ = z;
}

void CALayer::setTransform(const CATransform3D& transform) {
    if (transform == transform_ && transformParts_.empty()) return;
    willChange("transform");
    uikit_detail::safeAreaGeometryChanged();
    transform_ = transform;
    transformParts_.clear();
}

CGRect CALayer::frame() const {
    // The bounds rectangle relative to the anchor, through the transform, moved to position.
    CGRect local = CGRectMake(-anchorPoint_.x * bounds_.size.width, -anchorPoint_.y * bounds_.size.height,
                              bounds_.size.width, bounds_.size.height);
    CGRect t = CGRectApplyAffineTransform(local, affineTransform());
    return CGRectOffset(t, position_.x, position_.y);
}

void CALayer::setFrame(CGRect frame) {
    if (CATransform3DIsIdentity(transform_)) {
        setPosition(CGPointMake(frame.origin.x + anchorPoint_.x * frame.size.width,
                                frame.origin.y + anchorPoint_.y * frame.size.height));
        setBounds(CGRectMake(bounds_.origin.x, bounds_.origin.y, frame.size.width, frame.size.height));
        return;
    }
    // With a transform only the position follows (the size is undefined, as on the platform).
    CGRect current = this->frame();
    setPosition(CGPointMake(position_.x + frame.origin.x - current.origin.x,
                            position_.y + frame.origin.y - current.origin.y));
}

// --- appearance ---

void CALayer::setCornerRadius(double r) {
    willChange("cornerRadius");
    cornerRadius_ = r;
}

void CALayer::setBorderWidth(double w) {
    willChange("borderWidth");
    borderWidth_ = w;
}

void CALayer::setBorderColor(UIColorPtr c) {
    willChange("borderColor");
    borderColor_ = std::move(c);
}

void CALayer::setBackgroundColor(UIColorPtr c) {
    willChange("backgroundColor");
    backgroundColor_ = std::move(c);
}

void CALayer::setOpacity(double opacity) {
    if (opacity == opacity_) return;
    willChange("opacity");
    opacity_ = opacity;
}

void CALayer::setHidden(bool hidden) { hidden_ = hidden; }

void CALayer::setContents(Value contents) { contents_ = std::move(contents); }

// --- tree ---

void CALayer::removeFromSublayers(const CALayer* layer) {
    uikit_detail::safeAreaGeometryChanged();
    std::erase_if(sublayers_, [&](const CALayerPtr& l) { return l.get() == layer; });
}

void CALayer::addSublayer(const CALayerPtr& layer) { insertSublayerAtIndex(layer, sublayers_.size()); }

void CALayer::insertSublayerAtIndex(const CALayerPtr& layer, std::size_t index) {
    if (!layer || layer.get() == this) return;
    uikit_detail::safeAreaGeometryChanged();
    auto keep = layer;
    if (auto old = layer->superlayer()) old->removeFromSublayers(layer.get());
    index = std::min(index, sublayers_.size());
    sublayers_.insert(sublayers_.begin() + static_cast<std::ptrdiff_t>(index), layer);
    layer->superlayer_ = std::static_pointer_cast<CALayer>(shared_from_this());
    if (layer->needsDisplay_ || layer->subtreeNeedsDisplay_) layer->markSubtreeNeedsDisplay();
}

void CALayer::insertSublayerBelow(const CALayerPtr& layer, const CALayerPtr& sibling) {
    auto it = std::find(sublayers_.begin(), sublayers_.end(), sibling);
    insertSublayerAtIndex(layer, it == sublayers_.end() ? 0 : static_cast<std::size_t>(it - sublayers_.begin()));
}

void CALayer::insertSublayerAbove(const CALayerPtr& layer, const CALayerPtr& sibling) {
    auto it = std::find(sublayers_.begin(), sublayers_.end(), sibling);
    insertSublayerAtIndex(layer, it == sublayers_.end() ? sublayers_.size()
                                                        : static_cast<std::size_t>(it - sublayers_.begin()) + 1);
}

void CALayer::replaceSublayer(const CALayerPtr& old, const CALayerPtr& replacement) {
    auto it = std::find(sublayers_.begin(), sublayers_.end(), old);
    if (it == sublayers_.end() || !replacement) return;
    std::size_t index = static_cast<std::size_t>(it - sublayers_.begin());
    old->removeFromSuperlayer();
    insertSublayerAtIndex(replacement, index);
}

void CALayer::removeFromSuperlayer() {
    auto keep = std::static_pointer_cast<CALayer>(shared_from_this());
    if (auto parent = superlayer()) parent->removeFromSublayers(this);
    superlayer_.reset();
    uikit_detail::safeAreaGeometryChanged();
}

CGPoint CALayer::toSuperlayer(CGPoint p) const {
    uikit_detail::layerPointsToSuperlayer(*this, &p, 1);
    return p;
}

CGPoint CALayer::convertPointToLayer(CGPoint p, const CALayer* layer) const {
    uikit_detail::convertLayerPoints(*this, &p, 1, layer);
    return p;
}

CGPoint CALayer::convertPointFromLayer(CGPoint p, const CALayer* layer) const {
    if (layer) return layer->convertPointToLayer(p, this);
    // From the space of this layer's root.
    const CALayer* root = this;
    for (auto parent = superlayer(); parent; parent = parent->superlayer()) root = parent.get();
    return root->convertPointToLayer(p, this);
}

// --- drawing and layout ---

void CALayer::setNeedsDisplay() {
    // Asked already: the superlayers were told then (or the display walk under way has the
    // layer still to come).
    if (needsDisplay_) return;
    needsDisplay_ = true;
    markSubtreeNeedsDisplay();
}

void CALayer::markSubtreeNeedsDisplay() {
    // A marked layer's superlayers are marked already.
    for (auto parent = superlayer_.lock(); parent && !parent->subtreeNeedsDisplay_; parent = parent->superlayer_.lock())
        parent->subtreeNeedsDisplay_ = true;
}

void uikit_detail::displayTreeIfNeeded(CALayer& layer) {
    layer.displayIfNeeded();
    if (!layer.subtreeNeedsDisplay_) return;
    // Cleared first: a layer below that asks again while this walk runs marks it anew.
    layer.subtreeNeedsDisplay_ = false;
    auto sublayers = layer.sublayers_;  // drawing may change the tree
    for (auto& sub : sublayers) displayTreeIfNeeded(*sub);
}

void CALayer::displayIfNeeded() {
    if (!needsDisplay_) return;
    needsDisplay_ = false;  // also for a display() of a subclass that does not clear it
    display();
}

bool CALayer::drawsContent() const { return delegate_ && delegate_->drawsLayerContent(*this); }

void CALayer::display() {
    needsDisplay_ = false;
    if (!drawsContent()) return;
    CGContext context(bounds_.size, contentsScale_);
    context.translateCTM(-bounds_.origin.x, -bounds_.origin.y);
    drawInContext(context);
    if (context.hasDrawn()) {
        if (auto image = context.makeImage())
            contents_ = Value(UIImage::imageWithCGImage(image, contentsScale_, UIImageOrientationUp));
    }
}

void CALayer::drawInContext(CGContext& context) {
    if (delegate_) delegate_->drawLayerInContext(*this, context);
}

void CALayer::renderInContext(CGContext& context) {
    if (hidden_ || opacity_ <= 0) return;
    context.saveGState();
    context.setAlpha(context.alpha() * opacity_);
    CGRect box = bounds_;
    if (masksToBounds_) context.clipToRect(box);
    if (backgroundColor_) {
        context.setFillColor(backgroundColor_);
        if (cornerRadius_ > 0) {
            context.addRoundedRect(box, cornerRadius_);
            context.fillPath();
        } else {
            context.fillRect(box);
        }
    }
    if (auto image = contents_.objectAs<UIImage>()) context.drawImage(box, image->CGImage());
    if (drawsContent()) drawInContext(context);
    for (auto& sub : sublayers_) {
        context.saveGState();
        CGPoint origin = sub->toSuperlayer(sub->bounds_.origin);
        context.translateCTM(origin.x, origin.y);
        context.concatCTM(CGAffineTransformMake(sub->affineTransform().a, sub->affineTransform().b,
                                                sub->affineTransform().c, sub->affineTransform().d, 0, 0));
        context.translateCTM(-sub->bounds_.origin.x, -sub->bounds_.origin.y);
        sub->renderInContext(context);
        context.restoreGState();
    }
    if (borderWidth_ > 0 && borderColor_) {
        context.setStrokeColor(borderColor_);
        context.setLineWidth(borderWidth_);
        context.strokeRect(CGRectInset(box, borderWidth_ / 2, borderWidth_ / 2));
    }
    context.restoreGState();
}

void CALayer::layoutIfNeeded() {
    if (needsLayout_) layoutSublayers();
    needsLayout_ = false;
    for (auto sub : sublayers_) sub->layoutIfNeeded();
}

void CALayer::layoutSublayers() {
    needsLayout_ = false;
    if (delegate_) delegate_->layoutSublayersOfLayer(*this);
}

// --- animations ---

void CALayer::addAnimation(const CAAnimationPtr& animation, std::string key) {
    if (!animation) return;
    auto& delegate = animation->delegate;
    bool announceStart = delegate && !dynamic_cast<uikit_detail::StartIgnoringAnimationDelegate*>(delegate.get());
    install(animation->copy(), std::move(key), CACurrentMediaTime(), announceStart);
}

bool uikit_detail::hasAnimations(const CALayer& layer) { return !layer.animations_.empty(); }

bool uikit_detail::hasAnimationForKey(const CALayer& layer, const std::string& key) {
    for (auto& r : layer.animations_)
        if (r.key == key) return true;
    return false;
}

void uikit_detail::adoptViewAnimation(CALayer& layer, CAAnimationPtr animation, const std::string& key, double now) {
    if (animation) layer.install(std::move(animation), key, now, false);
}

void CALayer::install(CAAnimationPtr animation, std::string key, double now, bool announceStart) {
    if (key.empty()) key = "animation-" + std::to_string(nextSerial_);
    for (auto it = animations_.begin(); it != animations_.end(); ++it) {
        if (it->key == key) {
            Running old = std::move(*it);
            animations_.erase(it);
            stop(std::move(old), false);
            break;
        }
    }
    Running running;
    running.key = std::move(key);
    running.animation = std::move(animation);
    running.begin = running.animation->beginTime > 0 ? running.animation->beginTime : now;
    running.serial = nextSerial_++;
    running.transaction = CATransaction::currentGroup();
    if (running.transaction) running.transaction->animationStarted();
    const double active = running.animation->activeDuration();
    double end = running.begin + active;
    if (std::isfinite(end)) {
        double interval = running.begin == now ? active : end - now;
        std::weak_ptr<CALayer> weak = std::static_pointer_cast<CALayer>(shared_from_this());
        uint64_t serial = running.serial;
        running.timer = joinEndTimer(end, interval, {this, serial, [weak, serial] {
                                                         if (auto layer = weak.lock()) layer->animationEnded(serial);
                                                     }});
    }
    if (auto& delegate = running.animation->delegate; announceStart && delegate) {
        dispatch_async(dispatch_get_main_queue(),
                       [delegate, anim = running.animation] { delegate->animationDidStart(anim.get()); });
    }
    animations_.push_back(std::move(running));
}

void CALayer::animationEnded(uint64_t serial) {
    auto it = std::find_if(animations_.begin(), animations_.end(), [&](auto& r) { return r.serial == serial; });
    if (it == animations_.end()) return;
    it->finished = true;
    it->timer.reset();
    const bool remove = it->animation->removedOnCompletion;
    Running running = remove ? std::move(*it) : *it;
    if (remove) animations_.erase(it);
    if (auto delegate = running.animation->delegate) delegate->animationDidStop(running.animation.get(), true);
    if (running.transaction) running.transaction->animationStopped();
    if (running.animation->removedOnCompletion && delegate_) delegate_->layerDidRemoveAnimation(*this, running.key);
}

void CALayer::stop(Running running, bool finished) {
    if (running.timer) leaveEndTimer(running.timer, this, running.serial);
    if (auto delegate = running.animation->delegate) delegate->animationDidStop(running.animation.get(), finished);
    if (running.transaction) running.transaction->animationStopped();
    if (delegate_) delegate_->layerDidRemoveAnimation(*this, running.key);
}

CAAnimationPtr CALayer::animationForKey(const std::string& key) const {
    for (auto& r : animations_)
        if (r.key == key) return r.animation;
    return nullptr;
}

std::vector<std::string> CALayer::animationKeys() const {
    std::vector<std::string> keys;
    for (auto& r : animations_) keys.push_back(r.key);
    return keys;
}

void CALayer::removeAnimationForKey(const std::string& key) {
    auto it = std::find_if(animations_.begin(), animations_.end(), [&](auto& r) { return r.key == key; });
    if (it == animations_.end()) return;
    Running running = std::move(*it);
    animations_.erase(it);
    // A finished animation kept by removedOnCompletion NO has already stopped.
    if (!running.finished) stop(std::move(running), false);
}

void CALayer::removeAllAnimations() {
    auto keys = animationKeys();
    for (auto& key : keys) removeAnimationForKey(key);
}

void CALayer::copyPropertiesTo(CALayer& o) const {
    o.bounds_ = bounds_;
    o.position_ = position_;
    o.anchorPoint_ = anchorPoint_;
    o.zPosition_ = zPosition_;
    o.transform_ = transform_;
    o.transformParts_ = transformParts_;
    o.cornerRadius_ = cornerRadius_;
    o.masksToBounds_ = masksToBounds_;
    o.borderWidth_ = borderWidth_;
    o.borderColor_ = borderColor_;
    o.backgroundColor_ = backgroundColor_;
    o.opacity_ = opacity_;
    o.hidden_ = hidden_;
    o.contents_ = contents_;
    o.contentsScale_ = contentsScale_;
    o.mask_ = mask_;
    o.name_ = name_;
}

CALayerPtr CALayer::makeCopy() const {
    auto copy = std::make_shared<CALayer>();
    copyPropertiesTo(*copy);
    return copy;
}

CALayerPtr CALayer::presentationLayer() const {
    auto p = makeCopy();
    double now = CACurrentMediaTime();
    for (auto& r : animations_) {
        for (auto& kp : r.animation->animatedKeyPaths()) {
            if (auto v = r.animation->valueAt(kp, now - r.begin, p->animatableValue(kp))) p->setAnimatableValue(kp, *v);
        }
    }
    return p;
}

namespace {

// The key paths animatableValue answers, looked up once instead of compared one by one.
enum class Animatable {
    Position, PositionX, PositionY, Bounds, BoundsSize, BoundsOrigin, BoundsWidth, BoundsHeight, AnchorPoint,
    Opacity, ZPosition, CornerRadius, BorderWidth, BackgroundColor, BorderColor, Hidden, Contents, Scale, ScaleX,
    ScaleY, ScaleZ, RotationZ, RotationX, RotationY, TranslationX, TranslationY, None
};

struct AnimatableName {
    std::string_view name;
    Animatable key;
};

// A lookup compares lengths (a string_view's equality does first) and memcmps the few of equal length.
constexpr AnimatableName kAnimatableNames[] = {
    {"position", Animatable::Position},
    {"position.x", Animatable::PositionX},
    {"position.y", Animatable::PositionY},
    {"bounds", Animatable::Bounds},
    {"bounds.size", Animatable::BoundsSize},
    {"bounds.origin", Animatable::BoundsOrigin},
    {"bounds.size.width", Animatable::BoundsWidth},
    {"bounds.size.height", Animatable::BoundsHeight},
    {"anchorPoint", Animatable::AnchorPoint},
    {"opacity", Animatable::Opacity},
    {"zPosition", Animatable::ZPosition},
    {"cornerRadius", Animatable::CornerRadius},
    {"borderWidth", Animatable::BorderWidth},
    {"backgroundColor", Animatable::BackgroundColor},
    {"borderColor", Animatable::BorderColor},
    {"hidden", Animatable::Hidden},
    {"contents", Animatable::Contents},
    {"transform.scale", Animatable::Scale},
    {"transform.scale.x", Animatable::ScaleX},
    {"transform.scale.y", Animatable::ScaleY},
    {"transform.scale.z", Animatable::ScaleZ},
    {"transform.rotation", Animatable::RotationZ},
    {"transform.rotation.z", Animatable::RotationZ},
    {"transform.rotation.x", Animatable::RotationX},
    {"transform.rotation.y", Animatable::RotationY},
    {"transform.translation.x", Animatable::TranslationX},
    {"transform.translation.y", Animatable::TranslationY},
};

Animatable animatableKey(std::string_view kp) {
    for (const auto& entry : kAnimatableNames)
        if (entry.name == kp) return entry.key;
    return Animatable::None;
}

}  // namespace

Value CALayer::animatableValue(const std::string& kp) const {
    const auto& t = transform_;
    auto sx = [&] { return std::hypot(t.m11, t.m12, t.m13); };
    auto sy = [&] { return std::hypot(t.m21, t.m22, t.m23); };
    switch (animatableKey(kp)) {
        case Animatable::Position: return Value(position_);
        case Animatable::PositionX: return Value(position_.x);
        case Animatable::PositionY: return Value(position_.y);
        case Animatable::Bounds: return Value(bounds_);
        case Animatable::BoundsSize: return Value(bounds_.size);
        case Animatable::BoundsOrigin: return Value(bounds_.origin);
        case Animatable::BoundsWidth: return Value(bounds_.size.width);
        case Animatable::BoundsHeight: return Value(bounds_.size.height);
        case Animatable::AnchorPoint: return Value(anchorPoint_);
        case Animatable::Opacity: return Value(opacity_);
        case Animatable::ZPosition: return Value(zPosition_);
        case Animatable::CornerRadius: return Value(cornerRadius_);
        case Animatable::BorderWidth: return Value(borderWidth_);
        case Animatable::BackgroundColor: return Value(backgroundColor_);
        case Animatable::BorderColor: return Value(borderColor_);
        case Animatable::Hidden: return Value(hidden_);
        case Animatable::Contents: return contents_;
        case Animatable::Scale: return Value(part(transformParts_, "scale", (sx() + sy()) / 2));
        case Animatable::ScaleX: return Value(part(transformParts_, "scale.x", sx()));
        case Animatable::ScaleY: return Value(part(transformParts_, "scale.y", sy()));
        case Animatable::ScaleZ: return Value(part(transformParts_, "scale.z", std::hypot(t.m31, t.m32, t.m33)));
        case Animatable::RotationZ: return Value(part(transformParts_, "rotation.z", std::atan2(t.m12, t.m11)));
        case Animatable::RotationX: return Value(part(transformParts_, "rotation.x", std::atan2(t.m23, t.m33)));
        case Animatable::RotationY: return Value(part(transformParts_, "rotation.y", std::atan2(-t.m13, t.m33)));
        case Animatable::TranslationX: return Value(t.m41);
        case Animatable::TranslationY: return Value(t.m42);
        case Animatable::None: break;
    }
    return Value();
}

bool CALayer::setAnimatableValue(const std::string& kp, const Value& v) {
    if (kp == "position") setPosition(v.CGPointValue());
    else if (kp == "position.x") setPosition(CGPointMake(v.doubleValue(), position_.y));
    else if (kp == "position.y") setPosition(CGPointMake(position_.x, v.doubleValue()));
    else if (kp == "bounds") setBounds(v.CGRectValue());
    else if (kp == "bounds.size") setBounds(CGRect{bounds_.origin, v.CGSizeValue()});
    else if (kp == "bounds.origin") setBounds(CGRect{v.CGPointValue(), bounds_.size});
    else if (kp == "bounds.size.width") setBounds(CGRectMake(bounds_.origin.x, bounds_.origin.y, v.doubleValue(), bounds_.size.height));
    else if (kp == "bounds.size.height") setBounds(CGRectMake(bounds_.origin.x, bounds_.origin.y, bounds_.size.width, v.doubleValue()));
    else if (kp == "anchorPoint") setAnchorPoint(v.CGPointValue());
    else if (kp == "opacity") setOpacity(v.doubleValue());
    else if (kp == "zPosition") setZPosition(v.doubleValue());
    else if (kp == "cornerRadius") setCornerRadius(v.doubleValue());
    else if (kp == "borderWidth") setBorderWidth(v.doubleValue());
    else if (kp == "backgroundColor") setBackgroundColor(v.objectAs<UIColor>());
    else if (kp == "borderColor") setBorderColor(v.objectAs<UIColor>());
    else if (kp == "hidden") setHidden(v.boolValue());
    else if (kp == "contents") setContents(v);
    else if (kp.rfind("transform.", 0) == 0) {
        uikit_detail::safeAreaGeometryChanged();
        std::string sub = kp.substr(10);
        if (sub == "rotation") sub = "rotation.z";
        if (sub == "translation.x") {
            transform_.m41 = v.doubleValue();
            return true;
        }
        if (sub == "translation.y") {
            transform_.m42 = v.doubleValue();
            return true;
        }
        if (sub != "scale" && sub != "scale.x" && sub != "scale.y" && sub != "scale.z" && sub != "rotation.x" &&
            sub != "rotation.y" && sub != "rotation.z")
            return false;
        double sx = animatableValue("transform.scale.x").doubleValue();
        double sy = animatableValue("transform.scale.y").doubleValue();
        double sz = animatableValue("transform.scale.z").doubleValue();
        double rx = animatableValue("transform.rotation.x").doubleValue();
        double ry = animatableValue("transform.rotation.y").doubleValue();
        double rz = animatableValue("transform.rotation.z").doubleValue();
        double tx = transform_.m41, ty = transform_.m42;
        double x = v.doubleValue();
        if (sub == "scale") sx = sy = sz = x;
        else if (sub == "scale.x") sx = x;
        else if (sub == "scale.y") sy = x;
        else if (sub == "scale.z") sz = x;
        else if (sub == "rotation.x") rx = x;
        else if (sub == "rotation.y") ry = x;
        else rz = x;
        auto m = CATransform3DMakeScale(sx, sy, sz);
        m = CATransform3DConcat(m, CATransform3DMakeRotation(rx, 1, 0, 0));
        m = CATransform3DConcat(m, CATransform3DMakeRotation(ry, 0, 1, 0));
        m = CATransform3DConcat(m, CATransform3DMakeRotation(rz, 0, 0, 1));
        m.m41 = tx;
        m.m42 = ty;
        transform_ = m;
        transformParts_[sub] = x;
        if (sub == "scale") transformParts_["scale.x"] = transformParts_["scale.y"] = x;
    } else {
        return false;
    }
    return true;
}
