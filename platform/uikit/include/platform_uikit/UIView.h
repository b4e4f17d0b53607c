#pragma once
// A view: a rectangle in its superview (frame, bounds, center, transform)
// backed by a layer, with appearance (alpha, hidden, opaque, background and
// inherited tint colour, clipping), interaction and hit testing, a subview
// tree with move callbacks, coordinate conversion, layout and display
// requests served at the end of the run-loop turn, autoresizing, the
// responder chain, traits, accessibility, gesture recognizers, and animation
// of its animatable properties.
//
// Main thread. A view holds its subviews and its layer; its superview and
// window are not held.

#include <platform_uikit/CALayer.h>
#include <platform_uikit/CGAffineTransform.h>
#include <platform_uikit/UIColor.h>
#include <platform_uikit/UIResponder.h>
#include <platform_uikit/UITraitCollection.h>

#include <platform_runtime/ObjCDeclare.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class UIView;
class UIWindow;
class UIGestureRecognizer;
class UIEvent;
class CGContext;
class NSLayoutConstraint;
class UILayoutGuide;
namespace uikit_layout {
class LayoutEngine;
struct ViewLayoutState;
struct ViewLayoutStateDeleter {
    void operator()(ViewLayoutState* state) const;
};
}  // namespace uikit_layout
using UIViewPtr = std::shared_ptr<UIView>;

enum UIViewContentMode : int64_t {
    UIViewContentModeScaleToFill = 0,
    UIViewContentModeScaleAspectFit = 1,
    UIViewContentModeScaleAspectFill = 2,
    UIViewContentModeRedraw = 3,
    UIViewContentModeCenter = 4,
    UIViewContentModeTop = 5,
    UIViewContentModeBottom = 6,
    UIViewContentModeLeft = 7,
    UIViewContentModeRight = 8,
};

enum UIViewAutoresizing : uint64_t {
    UIViewAutoresizingNone = 0,
    UIViewAutoresizingFlexibleLeftMargin = 1 << 0,
    UIViewAutoresizingFlexibleWidth = 1 << 1,
    UIViewAutoresizingFlexibleRightMargin = 1 << 2,
    UIViewAutoresizingFlexibleTopMargin = 1 << 3,
    UIViewAutoresizingFlexibleHeight = 1 << 4,
    UIViewAutoresizingFlexibleBottomMargin = 1 << 5,
};

enum UIViewAnimationOptions : uint64_t {
    UIViewAnimationOptionLayoutSubviews = 1 << 0,
    UIViewAnimationOptionAllowUserInteraction = 1 << 1,
    UIViewAnimationOptionBeginFromCurrentState = 1 << 2,
    UIViewAnimationOptionRepeat = 1 << 3,
    UIViewAnimationOptionAutoreverse = 1 << 4,
    UIViewAnimationOptionCurveEaseInOut = 0 << 16,
    UIViewAnimationOptionCurveEaseIn = 1 << 16,
    UIViewAnimationOptionCurveEaseOut = 2 << 16,
    UIViewAnimationOptionCurveLinear = 3 << 16,
};

// Accessibility notifications posted with UIAccessibilityPostNotification.
using UIAccessibilityNotifications = uint32_t;
inline constexpr UIAccessibilityNotifications UIAccessibilityScreenChangedNotification = 1000;
inline constexpr UIAccessibilityNotifications UIAccessibilityLayoutChangedNotification = 1001;
inline constexpr UIAccessibilityNotifications UIAccessibilityAnnouncementNotification = 1008;
struct UIAccessibilityPosted {
    UIAccessibilityNotifications notification;
    Value argument;
};
// Recorded, newest last, the latest 256 kept (main thread); tests read and clear the record.
void UIAccessibilityPostNotification(UIAccessibilityNotifications notification, const Value& argument);
std::vector<UIAccessibilityPosted> UIAccessibilityPostedNotifications();
void UIAccessibilityClearPostedNotifications();

class UIView : public UIResponder, public CALayerDelegate {
    NS_CLASS(UIView, UIResponder)
public:
    UIView();
    explicit UIView(CGRect frame);
    ~UIView() override;
    static UIViewPtr viewWithFrame(CGRect frame) { return std::make_shared<UIView>(frame); }

    const CALayerPtr& layer() const { return layer_; }

    // --- geometry ---
    CGRect frame() const { return layer_->frame(); }
    void setFrame(CGRect frame);
    CGRect bounds() const { return layer_->bounds(); }
    void setBounds(CGRect bounds);
    CGPoint center() const { return layer_->position(); }
    void setCenter(CGPoint center);
    CGAffineTransform transform() const { return layer_->affineTransform(); }
    void setTransform(CGAffineTransform transform);

    // --- appearance ---
    double alpha() const { return layer_->opacity(); }
    void setAlpha(double alpha);
    bool isHidden() const { return layer_->isHidden(); }
    virtual void setHidden(bool hidden);
    bool isOpaque() const { return opaque_; }
    void setOpaque(bool opaque) { opaque_ = opaque; }
    UIColorPtr backgroundColor() const { return layer_->backgroundColor(); }
    virtual void setBackgroundColor(UIColorPtr color);
    // Own tint, else the superview's, else the system blue.
    UIColorPtr tintColor() const;
    void setTintColor(UIColorPtr color);
    // Called on this view and its subviews that inherit, when the tint they see changes.
    virtual void tintColorDidChange() {}
    bool clipsToBounds() const { return layer_->masksToBounds(); }
    void setClipsToBounds(bool clips) { layer_->setMasksToBounds(clips); }
    bool isUserInteractionEnabled() const { return interaction_; }
    void setUserInteractionEnabled(bool enabled) { interaction_ = enabled; }
    bool isMultipleTouchEnabled() const { return multipleTouch_; }
    void setMultipleTouchEnabled(bool enabled) { multipleTouch_ = enabled; }
    int64_t tag() const { return tag_; }
    void setTag(int64_t tag) { tag_ = tag; }
    // This view or the first descendant (depth first) with the tag.
    UIViewPtr viewWithTag(int64_t tag);
    UIViewContentMode contentMode() const { return contentMode_; }
    void setContentMode(UIViewContentMode mode) { contentMode_ = mode; }
    uint64_t autoresizingMask() const { return autoresizingMask_; }
    void setAutoresizingMask(uint64_t mask) { autoresizingMask_ = mask; }
    bool autoresizesSubviews() const { return autoresizesSubviews_; }
    void setAutoresizesSubviews(bool on) { autoresizesSubviews_ = on; }

    // --- hierarchy ---
    UIViewPtr superview() const { return superview_.lock(); }
    const std::vector<UIViewPtr>& subviews() const { return subviews_; }
    UIWindow* window() const;
    void addSubview(const UIViewPtr& view);
    void insertSubviewAtIndex(const UIViewPtr& view, std::size_t index);
    void insertSubviewBelowSubview(const UIViewPtr& view, const UIViewPtr& sibling);
    void insertSubviewAboveSubview(const UIViewPtr& view, const UIViewPtr& sibling);
    void bringSubviewToFront(const UIViewPtr& view);
    void sendSubviewToBack(const UIViewPtr& view);
    void exchangeSubviewAtIndex(std::size_t a, std::size_t b);
    void removeFromSuperview();
    bool isDescendantOfView(const UIView* view) const;
    virtual void willMoveToSuperview(UIView* /*newSuperview*/) {}
    virtual void didMoveToSuperview() {}
    virtual void willMoveToWindow(UIWindow* /*newWindow*/) {}
    virtual void didMoveToWindow() {}
    virtual void didAddSubview(UIView* /*subview*/) {}
    virtual void willRemoveSubview(UIView* /*subview*/) {}

    // --- coordinates (through bounds origins and transforms) ---
    // To `view`'s space; a null view means the window's (screen) space.
    CGPoint convertPointToView(CGPoint point, const UIView* view) const;
    CGPoint convertPointFromView(CGPoint point, const UIView* view) const;
    CGRect convertRectToView(CGRect rect, const UIView* view) const;
    CGRect convertRectFromView(CGRect rect, const UIView* view) const;

    // --- hit testing ---
    // Front to back among subviews (each asked even outside this view's
    // bounds); nothing for hidden, non-interactive or nearly transparent
    // (alpha ≤ 0.01) views; this view when the point is inside and no
    // subview answers.
    virtual UIViewPtr hitTest(CGPoint point, UIEvent* event);
    virtual bool pointInside(CGPoint point, UIEvent* event) const;

    // --- layout and display (served at the end of the run-loop turn for views in windows) ---
    void setNeedsLayout();
    void layoutIfNeeded();
    bool needsLayout() const { return layer_->needsLayout(); }
    virtual void layoutSubviews() {}
    void setNeedsDisplay();
    void setNeedsDisplayInRect(CGRect rect);
    bool needsDisplay() const { return layer_->needsDisplay(); }
    // Views that draw override drawRect and say so with drawsContent.
    virtual void drawRect(CGRect rect);
    virtual bool drawsContent() const { return false; }
    virtual CGSize sizeThatFits(CGSize size) const;
    void sizeToFit();
    virtual CGSize intrinsicContentSize() const { return CGSizeMake(-1, -1); }

    // --- constraint-based layout (the engine lives in src/layout) ---
    // Held in the order added; adding activates, removing deactivates.
    const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints() const;
    void addConstraint(const std::shared_ptr<NSLayoutConstraint>& constraint);
    void addConstraints(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints);
    void removeConstraint(const std::shared_ptr<NSLayoutConstraint>& constraint);
    void removeConstraints(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints);
    // YES (the default): when the view takes part in constraints, required
    // constraints fix its current frame. NO: the engine sets its frame.
    bool translatesAutoresizingMaskIntoConstraints() const;
    void setTranslatesAutoresizingMaskIntoConstraints(bool translates);
    // Per axis (0 horizontal, 1 vertical); 250 and 750 by default.
    float contentHuggingPriorityForAxis(int64_t axis) const;
    void setContentHuggingPriority(float priority, int64_t axis);
    float contentCompressionResistancePriorityForAxis(int64_t axis) const;
    void setContentCompressionResistancePriority(float priority, int64_t axis);
    // Views whose intrinsicContentSize changes call this.
    void invalidateIntrinsicContentSize();
    void setNeedsUpdateConstraints();
    bool needsUpdateConstraints() const;
    // Runs updateConstraints on this view and its subviews that asked for it, deepest first.
    void updateConstraintsIfNeeded();
    // Overrides change their constraints here and call the base.
    virtual void updateConstraints();
    // The safe area as a layout guide (made on first use).
    const std::shared_ptr<UILayoutGuide>& safeAreaLayoutGuide();

    // --- responder chain: the view's controller when it is a controller's root view, else the superview ---
    std::shared_ptr<UIResponder> nextResponder() const override;
    void setViewControllerResponder(std::weak_ptr<UIResponder> controller) { controller_ = std::move(controller); }
    std::shared_ptr<UIResponder> viewControllerResponder() const { return controller_.lock(); }

    // --- traits ---
    // The window's traits (the screen's when not in a window), with this
    // view's or an ancestor's style override applied.
    UITraitCollectionPtr traitCollection() const;
    virtual void traitCollectionDidChange(const UITraitCollection* previous);
    int64_t overrideUserInterfaceStyle() const { return overrideStyle_; }
    void setOverrideUserInterfaceStyle(int64_t style);
    // The window's safe area, clipped to this view, in its own coordinates,
    // grown by what controllers add (setControllerSafeAreaInsets) on the way
    // down; zero before 11 and outside a window.
    UIEdgeInsets safeAreaInsets() const;
    // The same on every OS version (layout guides read it).
    UIEdgeInsets computedSafeAreaInsets() const;
    virtual void safeAreaInsetsDidChange() {}
    // What the view's controller adds to the safe area it inherits (its
    // additional insets and the translucent bars over it); tells this view
    // and its subviews safeAreaInsetsDidChange.
    void setControllerSafeAreaInsets(UIEdgeInsets insets);
    UIEdgeInsets layoutMargins() const { return layoutMargins_; }
    void setLayoutMargins(UIEdgeInsets margins) { layoutMargins_ = margins; }

    // --- accessibility ---
    const std::string& accessibilityIdentifier() const { return accessibilityIdentifier_; }
    void setAccessibilityIdentifier(std::string id) { accessibilityIdentifier_ = std::move(id); }
    const std::string& accessibilityLabel() const { return accessibilityLabel_; }
    void setAccessibilityLabel(std::string label) { accessibilityLabel_ = std::move(label); }
    const std::string& accessibilityHint() const { return accessibilityHint_; }
    void setAccessibilityHint(std::string hint) { accessibilityHint_ = std::move(hint); }
    virtual bool isAccessibilityElement() const { return accessibilityElement_; }
    void setIsAccessibilityElement(bool on) { accessibilityElement_ = on; }
    uint64_t accessibilityTraits() const { return accessibilityTraits_; }
    void setAccessibilityTraits(uint64_t traits) { accessibilityTraits_ = traits; }

    // --- motion effects (kept; nothing moves them here) ---
    void addMotionEffect(std::shared_ptr<NSObject> effect);
    void removeMotionEffect(const std::shared_ptr<NSObject>& effect);
    const std::vector<std::shared_ptr<NSObject>>& motionEffects() const { return motionEffects_; }

    // --- gesture recognizers ---
    void addGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer);
    void removeGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer);
    const std::vector<std::shared_ptr<UIGestureRecognizer>>& gestureRecognizers() const { return recognizers_; }

    // --- animations ---
    // Model values change at once; the layers' presentation follows the
    // animation clock; completion(finished) runs on main after delay +
    // duration, finished NO when the animations were removed first. A
    // duration of 0 runs animations and completion at once.
    static void animateWithDuration(double duration, double delay, uint64_t options, const std::function<void()>& animations,
                                    std::function<void(bool)> completion = nullptr);
    static void animateWithDuration(double duration, const std::function<void()>& animations,
                                    std::function<void(bool)> completion = nullptr) {
        animateWithDuration(duration, 0, 0, animations, std::move(completion));
    }
    static void animateWithSpringDuration(double duration, double delay, double damping, double velocity,
                                          uint64_t options, const std::function<void()>& animations,
                                          std::function<void(bool)> completion = nullptr);
    static void transitionWithView(const UIViewPtr& view, double duration, uint64_t options,
                                   const std::function<void()>& animations, std::function<void(bool)> completion);
    static void performWithoutAnimation(const std::function<void()>& actions);
    static bool areAnimationsEnabled();
    static void setAnimationsEnabled(bool enabled);

    // Key-value observable geometry and appearance.
    NS_PROPERTY_ACCESSORS(CGRect, frame, "N", frame, setFrame)
    NS_PROPERTY_ACCESSORS(CGRect, bounds, "N", bounds, setBounds)
    NS_PROPERTY_ACCESSORS(CGPoint, center, "N", center, setCenter)
    NS_PROPERTY_ACCESSORS(double, alpha, "N", alpha, setAlpha)
    NS_PROPERTY_ACCESSORS(bool, hidden, "N,GisHidden", isHidden, setHidden)
    NS_PROPERTY_ACCESSORS(int64_t, tag, "N", tag, setTag)

    // CALayerDelegate
    void drawLayerInContext(CALayer& layer, CGContext& context) override;
    bool drawsLayerContent(const CALayer&) const override { return drawsContent(); }
    void layoutSublayersOfLayer(CALayer& layer) override;
    void layerWillChangeValue(CALayer& layer, const std::string& keyPath) override;

protected:
    // Called with the window the view moves to (null when leaving one).
    void setWindow(UIWindow* window);
    virtual void windowTraitsDidChange(const UITraitCollection* previous);
    // Resizes the subviews after a bounds size change.
    void resizeSubviewsFromSize(CGSize oldSize);
    void announce(const char* key, const std::function<void()>& change);

private:
    friend class UIWindow;
    void detachSubview(const UIView* view);
    void propagateTintChange();
    void moveToWindow(UIWindow* window);
    void noteNeedsEndOfTurnPass();

    CALayerPtr layer_;
    std::vector<UIViewPtr> subviews_;
    std::weak_ptr<UIView> superview_;
    UIWindow* window_ = nullptr;
    std::weak_ptr<UIResponder> controller_;
    bool opaque_ = true;
    UIColorPtr tintColor_;
    bool interaction_ = true;
    bool multipleTouch_ = false;
    int64_t tag_ = 0;
    UIViewContentMode contentMode_ = UIViewContentModeScaleToFill;
    uint64_t autoresizingMask_ = UIViewAutoresizingNone;
    bool autoresizesSubviews_ = true;
    int64_t overrideStyle_ = 0;
    UIEdgeInsets layoutMargins_{8, 8, 8, 8};
    UIEdgeInsets controllerSafeArea_{};
    std::string accessibilityIdentifier_, accessibilityLabel_, accessibilityHint_;
    bool accessibilityElement_ = false;
    uint64_t accessibilityTraits_ = 0;
    std::vector<std::shared_ptr<NSObject>> motionEffects_;
    std::vector<std::shared_ptr<UIGestureRecognizer>> recognizers_;
    friend class uikit_layout::LayoutEngine;
    std::unique_ptr<uikit_layout::ViewLayoutState, uikit_layout::ViewLayoutStateDeleter> layout_;
    uikit_layout::ViewLayoutState& layoutState() const;
};
