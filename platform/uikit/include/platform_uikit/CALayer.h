#pragma once
// A layer: geometry (bounds, position, anchor point, z position, 3-D
// transform), appearance (corner radius, border, background, opacity,
// masking, contents), a tree of sublayers, drawing through drawInContext,
// layout requests, and keyed animations whose effect the presentation layer
// shows at the current animation time while the model keeps its values.
//
// Main thread. A layer holds its sublayers; the superlayer and the delegate
// (the view that owns the layer) are not held.

#include <platform_uikit/CAAnimation.h>
#include <platform_uikit/CGAffineTransform.h>
#include <platform_uikit/UIColor.h>

#include <platform_runtime/ObjCDeclare.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CGContext;
class CALayer;
class NSTimer;
using CALayerPtr = std::shared_ptr<CALayer>;

namespace uikit_detail {
struct TransactionGroup;
// Adds a view animation made for the layer and held by no one else without the copy
// addAnimation makes, begun at `now` (the current media time) unless it has a begin time; its
// delegate has no use for a start call. Otherwise as addAnimation.
void adoptViewAnimation(CALayer& layer, CAAnimationPtr animation, const std::string& key, double now);
// Displays every layer of the tree that needs it, descending only where something does.
void displayTreeIfNeeded(CALayer& root);
// Whether any animation is on the layer; whether one is under `key`.
bool hasAnimations(const CALayer& layer);
bool hasAnimationForKey(const CALayer& layer, const std::string& key);
}

// What a layer asks of its owner (a view).
class CALayerDelegate {
public:
    virtual ~CALayerDelegate() = default;
    virtual void drawLayerInContext(CALayer&, CGContext&) {}
    // Whether drawLayerInContext draws anything (so display needs a context).
    virtual bool drawsLayerContent(const CALayer&) const { return false; }
    virtual void layoutSublayersOfLayer(CALayer&) {}
    // Before a model value changes (view animations record it here).
    virtual void layerWillChangeValue(CALayer&, const std::string& /*keyPath*/) {}
    virtual void layerDidRemoveAnimation(CALayer&, const std::string& /*key*/) {}
};

class CALayer : public NSObject {
    NS_CLASS(CALayer, NSObject)
public:
    CALayer() = default;
    static CALayerPtr layer() { return std::make_shared<CALayer>(); }

    // --- geometry ---
    CGRect bounds() const { return bounds_; }
    void setBounds(CGRect bounds);
    CGPoint position() const { return position_; }
    void setPosition(CGPoint position);
    CGPoint anchorPoint() const { return anchorPoint_; }
    void setAnchorPoint(CGPoint anchorPoint);
    double zPosition() const { return zPosition_; }
    void setZPosition(double z);
    const CATransform3D& transform() const { return transform_; }
    void setTransform(const CATransform3D& transform);
    CGAffineTransform affineTransform() const { return CATransform3DGetAffineTransform(transform_); }
    void setAffineTransform(const CGAffineTransform& t) { setTransform(CATransform3DMakeAffineTransform(t)); }
    // The bounds through the transform around the anchor, placed at position.
    CGRect frame() const;
    void setFrame(CGRect frame);

    // --- appearance ---
    double cornerRadius() const { return cornerRadius_; }
    void setCornerRadius(double r);
    bool masksToBounds() const { return masksToBounds_; }
    void setMasksToBounds(bool masks) { masksToBounds_ = masks; }
    double borderWidth() const { return borderWidth_; }
    void setBorderWidth(double w);
    const UIColorPtr& borderColor() const { return borderColor_; }
    void setBorderColor(UIColorPtr c);
    const UIColorPtr& backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(UIColorPtr c);
    double opacity() const { return opacity_; }
    void setOpacity(double opacity);
    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden);
    // An image (UIImage or CGImage holder) or Null.
    const Value& contents() const { return contents_; }
    void setContents(Value contents);
    double contentsScale() const { return contentsScale_; }
    void setContentsScale(double scale) { contentsScale_ = scale > 0 ? scale : 1; }
    const CALayerPtr& mask() const { return mask_; }
    void setMask(CALayerPtr mask) { mask_ = std::move(mask); }
    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }

    // --- tree ---
    const std::vector<CALayerPtr>& sublayers() const { return sublayers_; }
    CALayerPtr superlayer() const { return superlayer_.lock(); }
    void addSublayer(const CALayerPtr& layer);
    void insertSublayerAtIndex(const CALayerPtr& layer, std::size_t index);
    void insertSublayerBelow(const CALayerPtr& layer, const CALayerPtr& sibling);
    void insertSublayerAbove(const CALayerPtr& layer, const CALayerPtr& sibling);
    void replaceSublayer(const CALayerPtr& old, const CALayerPtr& replacement);
    void removeFromSuperlayer();
    CGPoint convertPointToLayer(CGPoint p, const CALayer* layer) const;
    CGPoint convertPointFromLayer(CGPoint p, const CALayer* layer) const;

    CALayerDelegate* delegate() const { return delegate_; }
    void setDelegate(CALayerDelegate* delegate) { delegate_ = delegate; }

    // --- drawing and layout ---
    void setNeedsDisplay();
    bool needsDisplay() const { return needsDisplay_; }
    void displayIfNeeded();
    // Draws into a fresh context of the bounds at contentsScale and keeps the
    // result as contents when anything was drawn.
    virtual void display();
    // By default the delegate draws.
    virtual void drawInContext(CGContext& context);
    // Whether drawInContext draws (by default: the delegate does).
    virtual bool drawsContent() const;
    // Renders this layer and its sublayers into `context` (backgrounds,
    // borders, contents, drawn content), in the context's current space.
    void renderInContext(CGContext& context);
    void setNeedsLayout() { needsLayout_ = true; }
    bool needsLayout() const { return needsLayout_; }
    void layoutIfNeeded();
    virtual void layoutSublayers();

    // --- animations ---
    // Adds a copy under `key` (a generated key when empty), replacing (and
    // stopping, finished NO) one with the same key: changing the animation given
    // afterwards changes nothing running.
    void addAnimation(const CAAnimationPtr& animation, std::string key);
    CAAnimationPtr animationForKey(const std::string& key) const;
    std::vector<std::string> animationKeys() const;
    void removeAnimationForKey(const std::string& key);
    void removeAllAnimations();
    // A copy of this layer showing the animated values at the current animation time.
    CALayerPtr presentationLayer() const;
    // Values by animatable key path ("opacity", "position.x", "bounds.size",
    // "transform.scale", "transform.rotation.z", ...); Null for others.
    virtual Value animatableValue(const std::string& keyPath) const;
    // False for a key path the layer does not have.
    virtual bool setAnimatableValue(const std::string& keyPath, const Value& value);

protected:
    // Announces a model change to the delegate (view animations record it).
    void willChange(const char* keyPath);
    // Copies the layer's own properties (not sublayers, not animations).
    virtual CALayerPtr makeCopy() const;
    void copyPropertiesTo(CALayer& other) const;

private:
    friend void uikit_detail::adoptViewAnimation(CALayer&, CAAnimationPtr, const std::string&, double);
    friend void uikit_detail::displayTreeIfNeeded(CALayer&);
    friend bool uikit_detail::hasAnimations(const CALayer&);
    friend bool uikit_detail::hasAnimationForKey(const CALayer&, const std::string&);
    struct Running {
        std::string key;
        CAAnimationPtr animation;
        double begin = 0;
        std::shared_ptr<NSTimer> timer;
        std::shared_ptr<uikit_detail::TransactionGroup> transaction;
        uint64_t serial = 0;
        bool finished = false;  // ran to its end; kept by removedOnCompletion NO
    };
    // Adds the animation under `key`, begun at `now` unless it has a begin time; `announceStart`
    // queues the delegate's start call.
    void install(CAAnimationPtr animation, std::string key, double now, bool announceStart);
    void stop(Running running, bool finished);
    void animationEnded(uint64_t serial);
    void removeFromSublayers(const CALayer* layer);
    // Layer-to-superlayer mapping of a point.
    CGPoint toSuperlayer(CGPoint p) const;
    // Tells the superlayers that something below them needs display.
    void markSubtreeNeedsDisplay();

    CGRect bounds_;
    CGPoint position_;
    CGPoint anchorPoint_{0.5, 0.5};
    double zPosition_ = 0;
    CATransform3D transform_;
    std::map<std::string, double> transformParts_;  // animated transform components (presentation)
    double cornerRadius_ = 0;
    bool masksToBounds_ = false;
    double borderWidth_ = 0;
    UIColorPtr borderColor_;
    UIColorPtr backgroundColor_;
    double opacity_ = 1;
    bool hidden_ = false;
    Value contents_;
    double contentsScale_ = 1;
    CALayerPtr mask_;
    std::string name_;
    std::vector<CALayerPtr> sublayers_;
    std::weak_ptr<CALayer> superlayer_;
    CALayerDelegate* delegate_ = nullptr;
    bool needsDisplay_ = false;
    bool subtreeNeedsDisplay_ = false;  // a layer below needs display (set up to the root)
    bool needsLayout_ = false;
    std::vector<Running> animations_;
    uint64_t nextSerial_ = 1;
};
