#include <ui_tab_bar_and_layout/TBControlExtension.h>

#include <ui_tab_bar_and_layout/TBBadge.h>
#include <ui_tab_bar_and_layout/TBControllerLookup.h>
#include <ui_tab_bar_and_layout/TBTabBarController.h>
#include <ui_tab_bar_and_layout/TBTabSubviews.h>
#include <ui_tab_bar_and_layout/TBViewControllerExtension.h>

#include <platform_foundation/NSLog.h>
#include <platform_runtime/AssociatedObjects.h>
#include <platform_runtime/NSException.h>
#include <platform_uikit/CALayer.h>
#include <platform_uikit/NSLayoutConstraint.h>
#include <platform_uikit/UIColor.h>
#include <platform_uikit/UIImageView.h>

namespace {

// Named keys, each built once: layout reads and writes the indices of every button at every pass.
const AssociationKey kShouldNotSelect("tb_shouldNotSelect");
const AssociationKey kVisibleIndex("tb_tabBarItemVisibleIndex");
const AssociationKey kChildIndex("tb_tabBarChildViewControllerIndex");
const AssociationKey kPointView("tb_tabBadgePointView");
const AssociationKey kPointOffset("tb_tabBadgePointViewOffset");

Value get(const UIControl& c, const AssociationKey& key) { return objc_getAssociatedObject(c, key); }
void put(const UIControl& c, const AssociationKey& key, const Value& v) {
    objc_setAssociatedObject(c, key, v, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

// Layout writes the same indices at every pass: an unchanged one is left as stored.
void putIndex(const UIControl& c, const AssociationKey& key, int64_t index) {
    Value old = get(c, key);
    if (old.isNumber() && old.integerValue() == index) return;
    put(c, key, Value(index));
}

bool isTabOrPlus(const UIControl& control) { return tb_isTabButton(control) || tb_isPlusButton(control); }

UIViewPtr self(UIControl& control) { return std::static_pointer_cast<UIView>(control.shared_from_this()); }

std::shared_ptr<NSLayoutConstraint> equal(const UIViewPtr& a, NSLayoutAttribute aa, const UIViewPtr& b,
                                          NSLayoutAttribute ba, double constant) {
    return NSLayoutConstraint::constraintWithItem(a, aa, NSLayoutRelationEqual, b, ba, 1, constant);
}

}  // namespace

bool tb_isChildViewControllerPlusButton(const UIControl& control) {
    const auto& child = TBRegistry().plusChildController;
    return tb_isPlusButton(control) && child && tb_plusViewControllerEverAdded(*child);
}

bool tb_shouldNotSelect(const UIControl& control) { return get(control, kShouldNotSelect).boolValue(); }
void tb_setShouldNotSelect(const UIControl& control, bool on) { put(control, kShouldNotSelect, Value(on)); }

int64_t tb_tabBarItemVisibleIndex(const UIControl& control) {
    return isTabOrPlus(control) ? get(control, kVisibleIndex).integerValue() : TBNotFound;
}
void tb_setTabBarItemVisibleIndex(const UIControl& control, int64_t index) { putIndex(control, kVisibleIndex, index); }

int64_t tb_tabBarChildViewControllerIndex(const UIControl& control) {
    return isTabOrPlus(control) ? get(control, kChildIndex).integerValue() : TBNotFound;
}
void tb_setTabBarChildViewControllerIndex(const UIControl& control, int64_t index) {
    putIndex(control, kChildIndex, index);
}

bool tb_isSelected(const UIControl& control) {
    auto owner = tb_tabBarController(control);
    if (!owner) return false;
    bool selected = owner->selectedIndex() == tb_tabBarChildViewControllerIndex(control) && control.isSelected();
    if (selected) {
        auto bar = owner->tbTabBar();
        if (bar && bar->tb_hasPlusChildViewController()) {
            const auto& child = TBRegistry().plusChildController;
            return child && tb_plusViewControllerEverAdded(*child);
        }
    }
    return selected;
}

void tb_showTabBadgePoint(UIControl& control) { tb_setShowTabBadgePointIfNeeded(control, true); }
void tb_removeTabBadgePoint(UIControl& control) { tb_setShowTabBadgePointIfNeeded(control, false); }
bool tb_isShowTabBadgePoint(UIControl& control) { return !tb_tabBadgePointView(control)->isHidden(); }

void tb_setShowTabBadgePointIfNeeded(UIControl& control, bool show) {
    try {
        tb_setShowTabBadgePoint(control, show);
    } catch (const NSException&) {
        NSLog("TBPlusChildViewController do not support set TabBarItem red point");
    }
}

void tb_setShowTabBadgePoint(UIControl& control, bool show) {
    UIViewPtr point = tb_tabBadgePointView(control);
    if (show && !point->superview()) {
        UIViewPtr host = self(control);
        UIViewPtr image = tb_tabImageView(host);
        control.addSubview(point);
        control.bringSubviewToFront(point);
        point->layer()->setZPosition(TBFloatMax);
        if (image) {
            const UIOffset offset = tb_tabBadgePointViewOffset(control);
            control.addConstraint(equal(point, NSLayoutAttributeCenterX, image, NSLayoutAttributeRight, offset.horizontal));
            control.addConstraint(equal(point, NSLayoutAttributeCenterY, image, NSLayoutAttributeTop, offset.vertical));
        }
    }
    point->setHidden(!show);
    if (auto badge = tb_tabBadgeView(self(control))) badge->setHidden(show);
}

void tb_setTabBadgePointView(UIControl& control, const UIViewPtr& view) {
    if (auto old = get(control, kPointView).objectAs<UIView>()) old->removeFromSuperview();
    if (view) {
        view->removeFromSuperview();
        view->setHidden(true);
    }
    put(control, kPointView, Value(view));
}

UIViewPtr tb_tabBadgePointView(UIControl& control) {
    if (auto point = get(control, kPointView).objectAs<UIView>()) return point;
    auto point = tb_defaultTabBadgePointView();
    put(control, kPointView, Value(point));
    return point;
}

UIViewPtr tb_defaultTabBadgePointView() { return tb_tabBadgePointViewWithClolor(UIColor::redColor(), 4.5); }

void tb_setTabBadgePointViewOffset(UIControl& control, UIOffset offset) { put(control, kPointOffset, Value(offset)); }
UIOffset tb_tabBadgePointViewOffset(const UIControl& control) { return get(control, kPointOffset).UIOffsetValue(); }

UIViewPtr tb_motionAnimationView(const UIControl& control) {
    for (const auto& sub : control.subviews())
        if (tb_isMotionAnimationView(*sub)) return sub;
    return nullptr;
}

void tb_replaceTabImageViewWithNewView(UIControl& control, const UIViewPtr& view, bool show) {
    tb_replaceTabImageViewWithNewView(control, view, UIOffset{}, show, [](bool, UIControl&, UIViewPtr) {});
}
void tb_replaceTabButtonWithNewView(UIControl& control, const UIViewPtr& view, bool show) {
    tb_replaceTabButtonWithNewView(control, view, UIOffset{}, show, [](bool, UIControl&, UIViewPtr) {});
}
void tb_replaceTabImageViewWithNewView(UIControl& control, const UIViewPtr& view, UIOffset offset, bool show,
                                       const TBReplaceCompletion& completion) {
    tb_replaceTabImageViewOrTabButton(control, false, view, offset, show, completion);
}
void tb_replaceTabButtonWithNewView(UIControl& control, const UIViewPtr& view, UIOffset offset, bool show,
                                    const TBReplaceCompletion& completion) {
    tb_replaceTabImageViewOrTabButton(control, true, view, offset, show, completion);
}

void tb_replaceTabImageViewOrTabButton(UIControl& control, bool wholeButton, const UIViewPtr& view, UIOffset offset,
                                       bool show, const TBReplaceCompletion& completion) {
    UIViewPtr host = self(control);
    UIViewPtr imageView = tb_tabImageView(host);
    UIViewPtr target = wholeButton ? host : imageView;
    if (!target) return;
    auto done = [&](bool replaced, UIViewPtr v) {
        if (completion) completion(replaced, control, std::move(v));
    };
    if (view) {
        CGRect f = view->frame();
        const CGSize bounds = control.frame().size;
        if (f.size.width == 0 || f.size.height == 0 || f.size.width > bounds.width || f.size.height > bounds.height) {
            auto image = std::dynamic_pointer_cast<UIImageView>(imageView);
            f.size = image && image->image() ? image->image()->size() : CGSizeZero;
            view->setFrame(f);
        }
    }
    const bool hadSuperview = view && view->superview();
    if (view && view->superview() && view->superview() != host) view->removeFromSuperview();
    if (hadSuperview && view->superview() == host && show) {
        done(true, view);
        return;
    }
    const bool hide = view && show;
    if (imageView) imageView->setHidden(hide);
    if (wholeButton)
        if (auto label = tb_tabLabel(host)) label->setHidden(hide);
    if (!hide || (view && view->superview())) {
        if (view && view->superview()) {
            view->removeFromSuperview();
            done(false, nullptr);
        }
        return;
    }
    control.addSubview(view);
    control.bringSubviewToFront(view);
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    const CGSize size = view->frame().size;
    NSLayoutConstraint::activateConstraints(
        {equal(view, NSLayoutAttributeCenterX, imageView ? imageView : target, NSLayoutAttributeCenterX,
               offset.horizontal),
         equal(view, NSLayoutAttributeCenterY, target, NSLayoutAttributeCenterY, offset.vertical),
         NSLayoutConstraint::constraintWithItem(view, NSLayoutAttributeWidth, NSLayoutRelationEqual, nullptr,
                                                NSLayoutAttributeNotAnAttribute, 1, size.width),
         NSLayoutConstraint::constraintWithItem(view, NSLayoutAttributeHeight, NSLayoutRelationEqual, nullptr,
                                                NSLayoutAttributeNotAnAttribute, 1, size.height)});
    done(true, view);
}
