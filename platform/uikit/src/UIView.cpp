#include <platform_uikit/UIView.h>

#include <platform_uikit/CGContext.h>
#include <platform_uikit/UIDevice.h>
#include <platform_uikit/UIGestureRecognizer.h>
#include <platform_uikit/UIGraphics.h>
#include <platform_uikit/UIScreen.h>
#include <platform_uikit/UIWindow.h>

#include "EndOfTurnPass.h"
#include "LayerPointConversion.h"
#include "SafeAreaEpoch.h"
#include "ScrollInsetsForBars.h"
#include "layout/LayoutEngine.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <set>

namespace {

// A deque: the record only grows between clears, and growing it moves nothing.
std::deque<UIAccessibilityPosted>& postedAccessibility() {
    static std::deque<UIAccessibilityPosted> posted;
    return posted;
}

}  // namespace

void UIAccessibilityPostNotification(UIAccessibilityNotifications notification, const Value& argument) {
    // Bounded: an app posts for as long as it runs, and an argument may be a view to keep alive.
    constexpr std::size_t kKept = 256;
    auto& posted = postedAccessibility();
    if (posted.size() >= kKept) posted.pop_front();
    posted.push_back({notification, argument});
}

std::vector<UIAccessibilityPosted> UIAccessibilityPostedNotifications() {
    return {postedAccessibility().begin(), postedAccessibility().end()};
}
void UIAccessibilityClearPostedNotifications() { postedAccessibility().clear(); }

UIView::UIView() : UIView(CGRectZero) {}

UIView::UIView(CGRect frame) : layer_(std::make_shared<CALayer>()) {
    layer_->setFrame(frame);
    layer_->setContentsScale(UIScreen::mainScreen()->scale());
    layer_->setDelegate(this);
}

UIView::~UIView() {
    layer_->setDelegate(nullptr);
    uikit_detail::safeAreaGeometryChanged();
    // Subviews that outlive this view lose it quietly: no callbacks run from a destructor.
    std::function<void(UIView&)> forget = [&](UIView& v) {
        if (v.window_ == static_cast<const void*>(&v)) return;
        v.window_ = nullptr;
        for (auto& sub : v.subviews_) forget(*sub);
    };
    for (auto& sub : subviews_) {
        sub->superview_.reset();
        if (window_) forget(*sub);
    }
}

void UIView::announce(const char* key, const std::function<void()>& change) {
    if (!hasObservers()) return change();
    std::string k(key);
    willChangeValueForKey(k);
    change();
    didChangeValueForKey(k);
}

// --- geometry ---

void UIView::setFrame(CGRect frame) {
    CGSize oldSize = bounds().size;
    announce("frame", [&] { layer_->setFrame(frame); });
    if (bounds().size != oldSize) {
        resizeSubviewsFromSize(oldSize);
        setNeedsLayout();
    }
}

void UIView::setBounds(CGRect bounds) {
    CGSize oldSize = this->bounds().size;
    announce("bounds", [&] { layer_->setBounds(bounds); });
    if (bounds.size != oldSize) {
        resizeSubviewsFromSize(oldSize);
        setNeedsLayout();
    }
}

void UIView::setCenter(CGPoint center) {
    announce("center", [&] { layer_->setPosition(center); });
}

void UIView::setTransform(CGAffineTransform transform) { layer_->setAffineTransform(transform); }

void UIView::resizeSubviewsFromSize(CGSize oldSize) {
    if (!autoresizesSubviews_) return;
    CGSize newSize = bounds().size;
    double dw = newSize.width - oldSize.width, dh = newSize.height - oldSize.height;
    if (dw == 0 && dh == 0) return;
    // The change is shared among the flexible parts in proportion to their sizes.
    auto share = [](double delta, double a, bool fa, double b, bool fb, double c, bool fc, double& da, double& db,
                    double& dc) {
        da = db = dc = 0;
        double total = (fa ? a : 0) + (fb ? b : 0) + (fc ? c : 0);
        int count = fa + fb + fc;
        if (count == 0) return;
        if (total <= 0) {
            if (fa) da = delta / count;
            if (fb) db = delta / count;
            if (fc) dc = delta / count;
            return;
        }
        if (fa) da = delta * a / total;
        if (fb) db = delta * b / total;
        if (fc) dc = delta * c / total;
    };
    for (auto& sub : subviews_) {
        uint64_t m = sub->autoresizingMask_;
        if (m == UIViewAutoresizingNone) continue;
        CGRect f = sub->frame();
        double left = f.origin.x, width = f.size.width, right = oldSize.width - CGRectGetMaxX(f);
        double top = f.origin.y, height = f.size.height, bottom = oldSize.height - CGRectGetMaxY(f);
        double dl, dwid, dr, dt, dhei, db;
        share(dw, left, m & UIViewAutoresizingFlexibleLeftMargin, width, m & UIViewAutoresizingFlexibleWidth, right,
              m & UIViewAutoresizingFlexibleRightMargin, dl, dwid, dr);
        share(dh, top, m & UIViewAutoresizingFlexibleTopMargin, height, m & UIViewAutoresizingFlexibleHeight, bottom,
              m & UIViewAutoresizingFlexibleBottomMargin, dt, dhei, db);
        sub->setFrame(CGRectMake(left + dl, top + dt, width + dwid, height + dhei));
    }
}

// --- appearance ---

void UIView::setAlpha(double alpha) {
    announce("alpha", [&] { layer_->setOpacity(alpha); });
}

void UIView::setHidden(bool hidden) {
    if (hidden == isHidden()) return;
    announce("hidden", [&] { layer_->setHidden(hidden); });
}

void UIView::setBackgroundColor(UIColorPtr color) {
    announce("backgroundColor", [&] { layer_->setBackgroundColor(std::move(color)); });
}

UIColorPtr UIView::tintColor() const {
    for (const UIView* v = this; v; v = v->superview_.lock().get())
        if (v->tintColor_) return v->tintColor_;
    return UIColor::systemBlueColor();
}

void UIView::setTintColor(UIColorPtr color) {
    tintColor_ = std::move(color);
    propagateTintChange();
}

void UIView::propagateTintChange() {
    tintColorDidChange();
    for (auto& sub : subviews_)
        if (!sub->tintColor_) sub->propagateTintChange();
}

UIViewPtr UIView::viewWithTag(int64_t tag) {
    if (tag_ == tag) return std::static_pointer_cast<UIView>(shared_from_this());
    for (auto& sub : subviews_)
        if (auto found = sub->viewWithTag(tag)) return found;
    return nullptr;
}

// --- hierarchy ---

UIWindow* UIView::window() const { return window_; }

void UIView::detachSubview(const UIView* view) {
    std::erase_if(subviews_, [&](const UIViewPtr& v) { return v.get() == view; });
}

void UIView::insertSubviewAtIndex(const UIViewPtr& view, std::size_t index) {
    if (!view || view.get() == this || isDescendantOfView(view.get())) return;
    auto keep = view;
    auto old = view->superview();
    if (old.get() == this) {
        // Re-ordering among siblings.
        auto it = std::find(subviews_.begin(), subviews_.end(), view);
        std::size_t from = static_cast<std::size_t>(it - subviews_.begin());
        subviews_.erase(it);
        if (index > from) --index;
    } else {
        view->willMoveToSuperview(this);
        if (old) {
            old->willRemoveSubview(view.get());
            old->detachSubview(view.get());
        }
    }
    index = std::min(index, subviews_.size());
    subviews_.insert(subviews_.begin() + static_cast<std::ptrdiff_t>(index), view);
    if (index + 1 < subviews_.size())
        layer_->insertSublayerBelow(view->layer_, subviews_[index + 1]->layer_);
    else
        layer_->addSublayer(view->layer_);
    if (old.get() == this) return;
    view->superview_ = std::static_pointer_cast<UIView>(shared_from_this());
    uikit_detail::safeAreaGeometryChanged();
    auto previousTraits = view->traitCollection();
    if (view->window_ != window_) view->moveToWindow(window_);
    view->didMoveToSuperview();
    didAddSubview(view.get());
    if (!view->tintColor_) view->propagateTintChange();
    uikit_detail::propagateTraitChange(*view, *previousTraits);
    if (window_) view->setNeedsLayout();
}

void UIView::addSubview(const UIViewPtr& view) { insertSubviewAtIndex(view, subviews_.size()); }

void UIView::insertSubviewBelowSubview(const UIViewPtr& view, const UIViewPtr& sibling) {
    auto it = std::find(subviews_.begin(), subviews_.end(), sibling);
    insertSubviewAtIndex(view, it == subviews_.end() ? subviews_.size() : static_cast<std::size_t>(it - subviews_.begin()));
}

void UIView::insertSubviewAboveSubview(const UIViewPtr& view, const UIViewPtr& sibling) {
    auto it = std::find(subviews_.begin(), subviews_.end(), sibling);
    insertSubviewAtIndex(view, it == subviews_.end() ? subviews_.size()
                                                     : static_cast<std::size_t>(it - subviews_.begin()) + 1);
}

void UIView::bringSubviewToFront(const UIViewPtr& view) {
    if (view && view->superview().get() == this) insertSubviewAtIndex(view, subviews_.size());
}

void UIView::sendSubviewToBack(const UIViewPtr& view) {
    if (view && view->superview().get() == this) insertSubviewAtIndex(view, 0);
}

void UIView::exchangeSubviewAtIndex(std::size_t a, std::size_t b) {
    if (a >= subviews_.size() || b >= subviews_.size() || a == b) return;
    std::swap(subviews_[a], subviews_[b]);
    for (auto& sub : subviews_) layer_->addSublayer(sub->layer_);  // re-stack in the new order
}

void UIView::removeFromSuperview() {
    auto parent = superview();
    if (!parent) return;
    auto keep = std::static_pointer_cast<UIView>(shared_from_this());
    parent->willRemoveSubview(this);
    uikit_layout::LayoutEngine::viewWillLeaveSuperview(*this, *parent);
    willMoveToSuperview(nullptr);
    parent->detachSubview(this);
    layer_->removeFromSuperlayer();
    superview_.reset();
    uikit_detail::safeAreaGeometryChanged();
    if (window_) moveToWindow(nullptr);
    didMoveToSuperview();
}

bool UIView::isDescendantOfView(const UIView* view) const {
    for (const UIView* v = this; v; v = v->superview_.lock().get())
        if (v == view) return true;
    return false;
}

void UIView::moveToWindow(UIWindow* window) {
    if (window_ == window) return;
    willMoveToWindow(window);
    for (auto& sub : subviews_) sub->moveToWindow(window);
    window_ = window;
    uikit_detail::safeAreaGeometryChanged();
    didMoveToWindow();
}

void UIView::setWindow(UIWindow* window) {
    window_ = window;
    uikit_detail::safeAreaGeometryChanged();
}

// --- coordinates ---

CGPoint UIView::convertPointToView(CGPoint point, const UIView* view) const {
    return layer_->convertPointToLayer(point, view ? view->layer_.get() : nullptr);
}

CGPoint UIView::convertPointFromView(CGPoint point, const UIView* view) const {
    if (view) return view->convertPointToView(point, this);
    // From the space of this view's root (its window).
    const UIView* root = this;
    while (auto parent = root->superview_.lock()) root = parent.get();
    return root->convertPointToView(point, this);
}

CGRect UIView::convertRectToView(CGRect rect, const UIView* view) const {
    CGPoint corners[4] = {{CGRectGetMinX(rect), CGRectGetMinY(rect)},
                          {CGRectGetMaxX(rect), CGRectGetMinY(rect)},
                          {CGRectGetMinX(rect), CGRectGetMaxY(rect)},
                          {CGRectGetMaxX(rect), CGRectGetMaxY(rect)}};
    uikit_detail::convertLayerPoints(*layer_, corners, 4, view ? view->layer_.get() : nullptr);
    return CGRectBoundingPoints({corners[0], corners[1], corners[2], corners[3]});
}

CGRect UIView::convertRectFromView(CGRect rect, const UIView* view) const {
    if (view) return view->convertRectToView(rect, this);
    const UIView* root = this;
    while (auto parent = root->superview_.lock()) root = parent.get();
    return root->convertRectToView(rect, this);
}

// --- hit testing ---

UIViewPtr UIView::hitTest(CGPoint point, UIEvent* event) {
    if (isHidden() || !interaction_ || alpha() <= 0.01) return nullptr;
    bool inside = pointInside(point, event);
    if (!inside && clipsToBounds()) return nullptr;
    for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it) {
        auto sub = *it;
        if (auto hit = sub->hitTest(sub->convertPointFromView(point, this), event)) return hit;
    }
    return inside ? std::static_pointer_cast<UIView>(shared_from_this()) : nullptr;
}

bool UIView::pointInside(CGPoint point, UIEvent*) const { return CGRectContainsPoint(bounds(), point); }

// --- layout and display ---

void UIView::noteNeedsEndOfTurnPass() { uikit_detail::scheduleEndOfTurnPass(); }

void UIView::setNeedsLayout() {
    layer_->setNeedsLayout();
    noteNeedsEndOfTurnPass();
}

void UIView::layoutIfNeeded() {
    // Up to the outermost ancestor that needs layout, then top down.
    uikit_layout::LayoutEngine::prepareLayout(*this);
    layer_->layoutIfNeeded();
}

void UIView::layoutSublayersOfLayer(CALayer&) {
    // A controller's root view lets its controller in around the pass.
    auto controller = std::dynamic_pointer_cast<UIViewController>(controller_.lock());
    if (controller && controller->viewIfLoaded().get() != this) controller.reset();
    if (controller) {
        uikit_detail::adjustScrollViewInsetsForBars(*controller);
        controller->viewWillLayoutSubviews();
    }
    uikit_layout::LayoutEngine::applyFramesToSubviews(*this);
    layoutSubviews();
    if (controller) controller->viewDidLayoutSubviews();
}

void UIView::setNeedsDisplay() {
    layer_->setNeedsDisplay();
    noteNeedsEndOfTurnPass();
}

void UIView::setNeedsDisplayInRect(CGRect) { setNeedsDisplay(); }

void UIView::drawRect(CGRect) {}

void UIView::drawLayerInContext(CALayer&, CGContext& context) {
    UITraitCollection::Scope traits(traitCollection());
    UIGraphicsPushContext(&context);
    drawRect(bounds());
    UIGraphicsPopContext();
}

CGSize UIView::sizeThatFits(CGSize) const { return bounds().size; }

void UIView::sizeToFit() {
    CGSize size = sizeThatFits(bounds().size);
    CGRect f = frame();
    setFrame(CGRectMake(f.origin.x, f.origin.y, size.width, size.height));
}

// --- responder chain ---

std::shared_ptr<UIResponder> UIView::nextResponder() const {
    if (auto controller = controller_.lock()) return controller;
    return superview();
}

// --- traits ---

UITraitCollectionPtr UIView::traitCollection() const {
    UITraitCollectionPtr base = window_ && window_ != static_cast<const void*>(this)
                                    ? static_cast<const UIView*>(window_)->traitCollection()
                                    : UIScreen::mainScreen()->traitCollection();
    for (const UIView* v = this; v; v = v->superview_.lock().get()) {
        if (v->overrideStyle_ != UIUserInterfaceStyleUnspecified)
            return UITraitCollection::withStyle(*base, static_cast<UIUserInterfaceStyle>(v->overrideStyle_));
        if (v == static_cast<const void*>(window_)) break;
    }
    return base;
}

void UIView::traitCollectionDidChange(const UITraitCollection*) { setNeedsDisplay(); }

void UIView::windowTraitsDidChange(const UITraitCollection* previous) {
    if (previous) uikit_detail::propagateTraitChange(*this, *previous);
}

void UIView::setOverrideUserInterfaceStyle(int64_t style) {
    auto previous = traitCollection();
    overrideStyle_ = style;
    uikit_detail::propagateTraitChange(*this, *previous);
}

// --- motion effects and gesture recognizers ---

void UIView::addMotionEffect(std::shared_ptr<NSObject> effect) {
    if (effect) motionEffects_.push_back(std::move(effect));
}

void UIView::removeMotionEffect(const std::shared_ptr<NSObject>& effect) { std::erase(motionEffects_, effect); }

void UIView::addGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer) {
    if (!recognizer) return;
    if (auto old = recognizer->view(); old && old != this) old->removeGestureRecognizer(recognizer);
    if (std::find(recognizers_.begin(), recognizers_.end(), recognizer) == recognizers_.end())
        recognizers_.push_back(recognizer);
    recognizer->attachToView(this);
}

void UIView::removeGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer) {
    auto it = std::find(recognizers_.begin(), recognizers_.end(), recognizer);
    if (it == recognizers_.end()) return;
    recognizers_.erase(it);
    recognizer->attachToView(nullptr);
}
