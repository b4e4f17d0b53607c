#include <ui_tab_bar_and_layout/LCViewExtensions.h>

#include <platform_uikit/UILayoutGuide.h>

#include <platform_runtime/AssociatedObjects.h>

#include <algorithm>

namespace {

// The installed set kept on a view.
class LCInstalledConstraintSet : public NSObject {
    NS_CLASS(LCInstalledConstraintSet, NSObject)
public:
    std::vector<LCViewConstraintPtr> members;
};

char installedKey;

LCInstalledConstraintSet& installedSet(const UIView& view) {
    Value v = objc_getAssociatedObject(view, &installedKey);
    auto set = v.isObject() ? v.objectAs<LCInstalledConstraintSet>() : nullptr;
    if (!set) {
        set = std::make_shared<LCInstalledConstraintSet>();
        objc_setAssociatedObject(view, &installedKey, Value(set), OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    }
    return *set;
}

std::vector<LCConstraintPtr> run(const UIViewPtr& view, const LCMakerBlock& block, bool update, bool remove) {
    if (!view) return {};
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    auto maker = LCConstraintMaker::withView(view);
    maker->setUpdateExisting(update);
    maker->setRemoveExisting(remove);
    if (block) block(*maker);
    return maker->install();
}

LCViewAttributePtr attribute(const UIViewPtr& view, NSLayoutAttribute a) {
    return std::make_shared<LCViewAttribute>(view, a);
}

LCViewAttributePtr guideAttribute(const UIViewControllerPtr& controller, bool top, NSLayoutAttribute a) {
    if (!controller) return nullptr;
    auto guide = top ? controller->topLayoutGuide() : controller->bottomLayoutGuide();
    return std::make_shared<LCViewAttribute>(controller->view(), guide, a);
}

LCViewAttributePtr safeArea(const UIViewPtr& view, NSLayoutAttribute a) {
    if (!view) return nullptr;
    return std::make_shared<LCViewAttribute>(view, view->safeAreaLayoutGuide(), a);
}

}  // namespace

std::vector<LCConstraintPtr> lc_makeConstraints(const UIViewPtr& view, const LCMakerBlock& block) {
    return run(view, block, false, false);
}
std::vector<LCConstraintPtr> lc_updateConstraints(const UIViewPtr& view, const LCMakerBlock& block) {
    return run(view, block, true, false);
}
std::vector<LCConstraintPtr> lc_remakeConstraints(const UIViewPtr& view, const LCMakerBlock& block) {
    return run(view, block, false, true);
}

LCViewAttributePtr lc_left(const UIViewPtr& v) { return attribute(v, NSLayoutAttributeLeft); }
LCViewAttributePtr lc_top(const UIViewPtr& v) { return attribute(v, NSLayoutAttributeTop); }
LCViewAttributePtr lc_right(const UIViewPtr& v) { return attribute(v, NSLayoutAttributeRight); }
LCViewAttributePtr lc_bottom(const UIViewPtr& v) { return attribute(v, NSLayoutAttributeBottom); }
LCViewAttributePtr lc_leading(const UIViewPtr& v) { return attribute(v, NSLayoutAttributeLeading); }
LCViewAttributePtr lc_trailing(const UIViewPtr& v) { return attribute(v, NSLayoutAttributeTrailing); }
LCViewAttributePtr lc_width(const UIViewPtr& v) { return attribute(v, NSLayoutAttributeWidth); }
LCViewAttributePtr lc_height(const UIViewPtr& v) { return attribute(v, NSLayoutAttributeHeight); }
LCViewAttributePtr lc_centerX(const UIViewPtr& v) { return attribute(v, NSLayoutAttributeCenterX); }
LCViewAttributePtr lc_centerY(const UIViewPtr& v) { return attribute(v, NSLayoutAttributeCenterY); }
LCViewAttributePtr lc_baseline(const UIViewPtr& v) { return attribute(v, NSLayoutAttributeBaseline); }
std::function<LCViewAttributePtr(NSLayoutAttribute)> lc_attribute(const UIViewPtr& view) {
    return [view](NSLayoutAttribute a) { return attribute(view, a); };
}

LCViewAttributePtr lc_safeAreaLayoutGuide(const UIViewPtr& v) { return safeArea(v, NSLayoutAttributeBottom); }
LCViewAttributePtr lc_safeAreaLayoutGuideTop(const UIViewPtr& v) { return safeArea(v, NSLayoutAttributeTop); }
LCViewAttributePtr lc_safeAreaLayoutGuideBottom(const UIViewPtr& v) { return safeArea(v, NSLayoutAttributeBottom); }
LCViewAttributePtr lc_safeAreaLayoutGuideLeft(const UIViewPtr& v) { return safeArea(v, NSLayoutAttributeLeft); }
LCViewAttributePtr lc_safeAreaLayoutGuideRight(const UIViewPtr& v) { return safeArea(v, NSLayoutAttributeRight); }

LCViewAttributePtr lc_topLayoutGuide(const UIViewControllerPtr& c) { return guideAttribute(c, true, NSLayoutAttributeBottom); }
LCViewAttributePtr lc_topLayoutGuideTop(const UIViewControllerPtr& c) { return guideAttribute(c, true, NSLayoutAttributeTop); }
LCViewAttributePtr lc_topLayoutGuideBottom(const UIViewControllerPtr& c) {
    return guideAttribute(c, true, NSLayoutAttributeBottom);
}
LCViewAttributePtr lc_bottomLayoutGuide(const UIViewControllerPtr& c) { return guideAttribute(c, false, NSLayoutAttributeTop); }
LCViewAttributePtr lc_bottomLayoutGuideTop(const UIViewControllerPtr& c) {
    return guideAttribute(c, false, NSLayoutAttributeTop);
}
LCViewAttributePtr lc_bottomLayoutGuideBottom(const UIViewControllerPtr& c) {
    return guideAttribute(c, false, NSLayoutAttributeBottom);
}

std::vector<LCViewConstraintPtr> lc_installedConstraints(const UIView& view) { return installedSet(view).members; }

void lc_addInstalledConstraint(const UIView& view, const LCViewConstraintPtr& constraint) {
    auto& members = installedSet(view).members;
    if (std::find(members.begin(), members.end(), constraint) == members.end()) members.push_back(constraint);
}

void lc_removeInstalledConstraint(const UIView& view, const LCViewConstraint* constraint) {
    std::erase_if(installedSet(view).members, [&](const LCViewConstraintPtr& c) { return c.get() == constraint; });
}

Value lc_key(const NSObject& view) { return objc_getAssociatedObject(view, "lc_key"); }

void setLc_key(const NSObject& view, const Value& key) {
    objc_setAssociatedObject(view, "lc_key", key, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

UIViewPtr lc_closestCommonSuperview(const UIViewPtr& view, const UIViewPtr& other) {
    for (auto s = other; s; s = s->superview())
        for (auto r = view; r; r = r->superview())
            if (r == s) return s;
    return nullptr;
}
