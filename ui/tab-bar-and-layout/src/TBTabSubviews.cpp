#include <ui_tab_bar_and_layout/TBTabSubviews.h>

#include <ui_tab_bar_and_layout/TBTabRegistry.h>

#include <platform_foundation/NSStringFormat.h>
#include <platform_runtime/ObjCRuntime.h>
#include <platform_uikit/UIControl.h>
#include <platform_uikit/UIDevice.h>
#include <platform_uikit/UIImageView.h>
#include <platform_uikit/UILabel.h>
#include <platform_uikit/UIVisualEffectView.h>

namespace {

// The name parts, assembled from shorter pieces so no private name appears whole.
const std::string& tabBarPrefix() {
    static const std::string s = NSStringWithFormat("%@%@", Value("UITab"), Value("Bar"));
    return s;
}
const std::string& selectionIndicatorSuffix() {
    static const std::string s = NSStringWithFormat("%@%@%@", Value("Selection"), Value("Indicator"), Value("View"));
    return s;
}
const std::string& badgePrefix() {
    static const std::string s = NSStringWithFormat("_%@%@", Value("UI"), Value("Badge"));
    return s;
}
const std::string& backgroundPrefix() {
    static const std::string s = NSStringWithFormat("_%@%@", Value("UI"), Value("Bar"));
    return s;
}
const std::string& backgroundSuffix() {
    static const std::string s = NSStringWithFormat("%@%@", Value("Back"), Value("ground"));
    return s;
}
const std::string& effectContentPrefix() {
    static const std::string s = NSStringWithFormat("_%@%@", Value("UIVisual"), Value("Effect"));
    return s;
}
const std::string& effectContentSuffix() {
    static const std::string s = NSStringWithFormat("%@%@", Value("Content"), Value("View"));
    return s;
}

bool strictSubclassOf(const UIView& view, const ObjCClass& cls) {
    return view.isKindOfClass(&cls) && !view.isMemberOfClass(&cls);
}

template <class Test>
UIViewPtr firstInTree(const UIViewPtr& view, Test test) {
    if (!view) return nullptr;
    for (const auto& v : tb_allSubviews(view))
        if (test(*v)) return v;
    return nullptr;
}

template <class Test>
UIViewPtr firstChild(const UIViewPtr& view, Test test) {
    if (!view) return nullptr;
    for (const auto& v : view->subviews())
        if (test(*v)) return v;
    return nullptr;
}

void collect(const UIViewPtr& view, std::vector<UIViewPtr>& out) {
    out.push_back(view);
    for (const auto& sub : view->subviews()) collect(sub, out);
}

}  // namespace

// The registered class's name, without copying it (layout passes ask often).
bool tb_classStringHasPrefix(const UIView& view, const std::string& prefix) {
    const std::string& name = view.objcClass().name();
    return name.size() >= prefix.size() && name.compare(0, prefix.size(), prefix) == 0;
}

bool tb_classStringHasSuffix(const UIView& view, const std::string& suffix) {
    const std::string& name = view.objcClass().name();
    return name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool tb_isTabBarClass(const UIView& view) { return tb_classStringHasPrefix(view, tabBarPrefix()); }

bool tb_isKindOfClass(const UIView& view, const ObjCClass& cls) {
    return strictSubclassOf(view, cls) && tb_isTabBarClass(view);
}

bool tb_isTabButton(const UIView& view) { return tb_isKindOfClass(view, UIControl::classObject()); }

bool tb_isTabImageView(const UIView& view) {
    return tb_isKindOfClass(view, UIImageView::classObject()) && !tb_classStringHasSuffix(view, selectionIndicatorSuffix());
}

bool tb_isTabLabel(const UIView& view) { return tb_isKindOfClass(view, UILabel::classObject()); }

bool tb_isTabBadgeView(const UIView& view) {
    return strictSubclassOf(view, UIView::classObject()) && tb_classStringHasPrefix(view, badgePrefix());
}

bool tb_isTabBackgroundView(const UIView& view) {
    return strictSubclassOf(view, UIView::classObject()) && tb_classStringHasPrefix(view, backgroundPrefix()) &&
           tb_classStringHasSuffix(view, backgroundSuffix());
}

bool tb_isTabEffectView(const UIView& view) { return view.isMemberOfClass(&UIVisualEffectView::classObject()); }

bool tb_isTabEffectContentView(const UIView& view) {
    return strictSubclassOf(view, UIView::classObject()) && tb_classStringHasPrefix(view, effectContentPrefix()) &&
           tb_classStringHasSuffix(view, effectContentSuffix());
}

bool tb_isMotionAnimationView(const UIView& view) {
    ObjCClass* motion = NSClassFromString("MOTAnimationView");
    return motion && strictSubclassOf(view, UIView::classObject()) && view.isKindOfClass(motion);
}

bool tb_isPlusButton(const UIView& view) {
    const auto& button = TBRegistry().plusButton;
    return button && view.isKindOfClass(&button->objcClass());
}

bool tb_isInvisiable(const UIView& view) {
    const CGRect f = view.frame();
    return view.isHidden() || static_cast<float>(view.alpha()) <= 0.01f || f.size.width == 0 ||
           f.size.height == 0 || !view.superview();
}

bool tb_canNotResponseEvent(const UIView& view) { return tb_isInvisiable(view) || !view.isUserInteractionEnabled(); }

std::vector<UIViewPtr> tb_allSubviews(const UIViewPtr& view) {
    std::vector<UIViewPtr> out;
    if (view) collect(view, out);
    return out;
}

UIViewPtr tb_tabImageView(const UIViewPtr& view) { return firstInTree(view, tb_isTabImageView); }
UIViewPtr tb_tabBadgeView(const UIViewPtr& view) { return firstInTree(view, tb_isTabBadgeView); }
UIViewPtr tb_tabLabel(const UIViewPtr& view) { return firstInTree(view, tb_isTabLabel); }
UIViewPtr tb_tabEffectView(const UIViewPtr& view) { return firstChild(view, tb_isTabEffectView); }
UIViewPtr tb_tabBackgroundView(const UIViewPtr& view) { return firstChild(view, tb_isTabBackgroundView); }
UIViewPtr tb_tabBadgeBackgroundView(const UIViewPtr& view) { return tb_tabBackgroundView(view); }

UIViewPtr tb_tabShadowImageView(const UIViewPtr& view) {
    auto thin = [](const UIView& v) { return v.bounds().size.height <= 1.0; };
    if (!UIKitIsAvailable(10)) return firstChild(view, thin);
    return firstChild(tb_tabBackgroundView(view), thin);
}

UIViewPtr tb_tabBadgeBackgroundSeparator(const UIViewPtr& view) { return tb_tabShadowImageView(view); }
