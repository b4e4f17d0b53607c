#include <ui_tab_bar_and_layout/TBTabBar.h>

#include <ui_tab_bar_and_layout/TBControlExtension.h>
#include <ui_tab_bar_and_layout/TBControllerLookup.h>
#include <ui_tab_bar_and_layout/TBSystemColors.h>
#include <ui_tab_bar_and_layout/TBTabBarController.h>
#include <ui_tab_bar_and_layout/TBTabRegistry.h>
#include <ui_tab_bar_and_layout/TBTabSubviews.h>
#include <ui_tab_bar_and_layout/TBViewControllerExtension.h>

#include <platform_foundation/NSNotificationCenter.h>
#include <platform_runtime/NSException.h>
#include <platform_runtime/ObjCRuntime.h>
#include <platform_uikit/UIDevice.h>
#include <platform_uikit/UILabel.h>
#include <platform_uikit/UIScreen.h>

#include <algorithm>

namespace {

std::optional<Value> askPlusClass(const UIButton& button, const char* selector, const Value::Array& args = {}) {
    ObjCClass& cls = button.objcClass();
    if (!cls.respondsToSelector(selector)) return std::nullopt;
    return performClassSelector(&cls, selector, args);
}

}  // namespace

TBTabBar::TBTabBar() : TBTabBar(CGRectZero) {}

TBTabBar::TBTabBar(CGRect frame) : UITabBar(frame), itemWidth_(TBRegistry().tabItemWidth) {}

void TBTabBar::setTabBarItemWidth(double width) {
    if (width == itemWidth_) return;
    willChangeValueForKey("tabBarItemWidth");
    itemWidth_ = width;
    didChangeValueForKey("tabBarItemWidth");
    widthDidChange();
}

void TBTabBar::widthDidChange() {
    NSNotificationCenter::defaultCenter()->postNotificationName(TBTabBarItemWidthDidChangeNotification,
                                                                 shared_from_this());
    if (TBIsTallPhone()) layoutIfNeeded();
}

void TBTabBar::setTabImageViewDefaultOffset(double offset) {
    if (offset == 0) return;
    willChangeValueForKey("tabImageViewDefaultOffset");
    imageOffset_ = offset;
    didChangeValueForKey("tabImageViewDefaultOffset");
}

void TBTabBar::setContext(std::string context) {
    context_ = std::move(context);
    setPlusButton(TBRegistry().plusButton);
}

std::string TBTabBar::plusButtonTabBarContext() const {
    if (plusButton_)
        if (auto answer = askPlusClass(*plusButton_, "tabBarContext"); answer && !answer->stringValue().empty())
            return answer->stringValue();
    return TBTabBarControllerName;
}

void TBTabBar::setPlusButton(const std::shared_ptr<UIButton>& button) {
    if (!button) return;
    plusButton_ = button;
    if (addPlusButton_ || context_.empty() || plusButtonTabBarContext() != context_ || button->superview()) return;
    addSubview(button);
    addPlusButton_ = true;
    if (auto owner = tb_tabBarController(*this)) tb_setTabBarController(*button, owner);
}

std::shared_ptr<UIButton> TBTabBar::plusButton() const {
    if (!TBRegistry().plusButton || !plusButton_ || context_.empty() || plusButtonTabBarContext() != context_ ||
        plusButton_->superview().get() != this)
        return nullptr;
    return plusButton_;
}

CGSize TBTabBar::sizeThatFits(CGSize size) const {
    CGSize fits = UITabBar::sizeThatFits(size);
    if (auto owner = tb_tabBarController(*this); owner && owner->tabBarHeight() > 0) fits.height = owner->tabBarHeight();
    return fits;
}

double TBTabBar::multiplierOfTabBarHeight(double height) const {
    if (plusButton_) {
        if (auto m = askPlusClass(*plusButton_, "multiplierOfTabBarHeight:", {Value(height)})) return m->doubleValue();
        if (auto m = askPlusClass(*plusButton_, "multiplerInCenterY")) return m->doubleValue();
    }
    const double d = (plusButton_ ? plusButton_->frame().size.height : 0) - height;
    if (d < 0) return 0.5;
    return (height * 0.5 - d * 0.5) / height;
}

double TBTabBar::constantOfPlusButtonCenterYOffsetForTabBarHeight(double height) const {
    if (plusButton_)
        if (auto c = askPlusClass(*plusButton_, "constantOfPlusButtonCenterYOffsetForTabBarHeight:", {Value(height)}))
            return c->doubleValue();
    return 0;
}

uint64_t TBTabBar::plusButtonIndex() {
    auto& registry = TBRegistry();
    uint64_t index;
    if (auto answer = plusButton_ ? askPlusClass(*plusButton_, "indexOfPlusButtonInTabBar") : std::nullopt) {
        index = answer->unsignedIntegerValue();
    } else {
        if (registry.tabItemCount % 2 != 0)
            NSException::raise(TBTabBarControllerName,
                               "If the count of TBTabbarControllers is odd,you must realizse `+indexOfPlusButtonInTabBar` "
                               "in your custom plusButton class.【Chinese】如果TBTabbarControllers的个数是奇数，你必须在你自定义"
                               "的plusButton中实现`+indexOfPlusButtonInTabBar`，来指定plusButton的位置");
        index = registry.tabItemCount / 2;
    }
    if (plusButton_)
        changeXForChildView(*plusButton_, registry.tabItemWidth * static_cast<double>(index),
                            plusButton_->frame().size.width, static_cast<int64_t>(index));
    registry.plusButtonIndex = index;
    return index;
}

void TBTabBar::changeXForChildView(UIView& view, double x, double width, int64_t index) {
    CGRect f = view.frame();
    f.origin.x = x;
    f.size.width = width;
    view.setFrame(f);
    if (auto* control = dynamic_cast<UIControl*>(&view)) tb_setTabBarItemVisibleIndex(*control, index);
}

void TBTabBar::setupTabImageViewDefaultOffset(const UIViewPtr& tabButton) {
    if (!tabButton || imageOffset_ > 0) return;
    tabButton->layoutIfNeeded();
    // The button's content (labels and images) may sit in an effect view's content view.
    const auto content = tb_allSubviews(tabButton);
    // A tab with a title keeps its image where it is: nothing to measure.
    for (const auto& sub : content)
        if (sub != tabButton && tb_isTabLabel(*sub)) return;
    const double c = tabButton->center().y;
    bool apply = true;
    double offset = 0;
    for (const auto& sub : content) {
        if (sub == tabButton || !tb_isTabImageView(*sub)) continue;
        const CGRect f = sub->convertRectToView(sub->bounds(), tabButton->superview().get());
        offset = (c - (f.origin.y + f.size.height / 2)) * 0.5;
        if (offset == 0) apply = false;
    }
    if (apply) setTabImageViewDefaultOffset(offset);
}

void TBTabBar::presetUnselectedItemTintColor() {
    if (!UIKitIsAvailable(13) || unselectedItemTintColor()) return;
    UIColorPtr colour = tb_systemGrayColor();
    for (const auto& button : tabBarButtons_) {
        if (button->isSelected() || !tb_tabEffectView(button)) continue;
        auto label = std::dynamic_pointer_cast<UILabel>(tb_tabLabel(button));
        if (!label) continue;
        colour = label->textColor();
    }
    setUnselectedItemTintColor(colour);
}

bool TBTabBar::tb_hasPlusChildViewController() const {
    const auto& child = TBRegistry().plusChildController;
    if (!child || context_.empty()) return false;
    auto context = tb_context(*child);
    if (!context || context->empty() || *context != context_) return false;
    auto owner = tb_tabBarController(*this);
    if (!owner) return false;
    const auto& list = owner->viewControllers();
    return std::find(list.begin(), list.end(), child) != list.end() && tb_plusViewControllerEverAdded(*child);
}

std::vector<UIViewPtr> TBTabBar::tb_sortedSubviews() const {
    // Each button's x is read once, not at every comparison.
    std::vector<std::pair<double, UIViewPtr>> keyed;
    for (const auto& sub : subviews())
        if (tb_isTabButton(*sub)) keyed.emplace_back(sub->frame().origin.x, sub);
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<UIViewPtr> out;
    out.reserve(keyed.size());
    for (auto& [x, view] : keyed) out.push_back(std::move(view));
    return out;
}

std::vector<std::shared_ptr<UIControl>> TBTabBar::tb_tabBarButtonFromTabBarSubviews(
    const std::vector<UIViewPtr>& views) const {
    std::vector<std::shared_ptr<UIControl>> out;
    out.reserve(views.size());
    for (const auto& v : views)
        if (tb_isTabButton(*v))
            if (auto control = std::dynamic_pointer_cast<UIControl>(v)) out.push_back(control);
    for (std::size_t i = 0; i < out.size(); ++i) tb_setTabBarChildViewControllerIndex(*out[i], static_cast<int64_t>(i));
    if (tb_hasPlusChildViewController()) {
        const uint64_t p = TBRegistry().plusButtonIndex;
        if (p < out.size()) {
            out[p]->setUserInteractionEnabled(false);
            out[p]->setHidden(true);
        }
    }
    return out;
}

std::vector<std::shared_ptr<UIControl>> TBTabBar::tb_originalTabBarButtons() const {
    return tb_tabBarButtonFromTabBarSubviews(tb_sortedSubviews());
}

std::vector<std::shared_ptr<UIControl>> TBTabBar::tb_visibleControls() const {
    std::vector<std::shared_ptr<UIControl>> all = tb_originalTabBarButtons();
    if (const auto& plus = TBRegistry().plusButton; plus && std::find(all.begin(), all.end(), plus) == all.end())
        all.push_back(plus);
    std::vector<std::shared_ptr<UIControl>> out;
    for (const auto& c : all)
        if (!tb_canNotResponseEvent(*c) && c->frame().size.width >= 10 && (tb_isTabButton(*c) || tb_isPlusButton(*c)))
            out.push_back(c);
    std::stable_sort(out.begin(), out.end(), [](const auto& a, const auto& b) {
        return a->frame().origin.x < b->frame().origin.x;
    });
    return out;
}

std::vector<std::shared_ptr<UIControl>> TBTabBar::tb_subTabBarButtons() const {
    const auto& child = TBRegistry().plusChildController;
    const bool everAdded = child && tb_plusViewControllerEverAdded(*child);
    std::vector<std::shared_ptr<UIControl>> out;
    for (const auto& c : tb_visibleControls())
        if (everAdded || !tb_isPlusButton(*c)) out.push_back(c);
    return out;
}

std::vector<std::shared_ptr<UIControl>> TBTabBar::tb_subTabBarButtonsWithoutPlusButton() const {
    std::vector<std::shared_ptr<UIControl>> out;
    for (const auto& c : tb_visibleControls())
        if (!tb_isPlusButton(*c)) out.push_back(c);
    return out;
}

std::shared_ptr<UIControl> TBTabBar::tb_visibleControlWithIndex(uint64_t index) const {
    auto controls = tb_visibleControls();
    if (index >= controls.size()) {
        TBLogIndexError("-[TBTabBar(TBTabBarControllerExtention) tb_visibleControlWithIndex:]", 156,
                        TBIndexBeyondBoundsReason(index, controls.size()));
        return nullptr;
    }
    return controls[index];
}

std::shared_ptr<UIControl> TBTabBar::tb_tabBarButtonWithTabIndex(uint64_t index) const {
    auto candidate = tb_visibleControlWithIndex(index);
    const auto& child = TBRegistry().plusChildController;
    auto owner = tb_tabBarController(*this);
    bool childInList = false;
    if (owner && child) {
        const auto& list = owner->viewControllers();
        childInList = std::find(list.begin(), list.end(), child) != list.end();
    }
    if (childInList && tb_plusViewControllerEverAdded(*child)) return candidate;
    auto plain = tb_subTabBarButtonsWithoutPlusButton();
    if (index >= plain.size()) {
        TBLogIndexError("-[TBTabBar(TBTabBarControllerExtention) tb_tabBarButtonWithTabIndex:]", 145,
                        TBIndexBeyondBoundsReason(index, plain.size()));
        return candidate;
    }
    return plain[index];
}

void TBTabBar::layoutSubviews() {
    UITabBar::layoutSubviews();
    tabBarButtons_ = tb_originalTabBarButtons();
    if (tabBarButtons_.empty()) return;
    presetUnselectedItemTintColor();
    if (addPlusButton_) placeButtons();
    // Read once the buttons have their final frames: each lays out once in this pass.
    setupTabImageViewDefaultOffset(tabBarButtons_.front());
}

void TBTabBar::placeButtons() {
    const double w = bounds().size.width, h = bounds().size.height;
    auto& registry = TBRegistry();
    if (plusButton_ && plusButton_->superview().get() == this) {
        registry.tabItemWidth =
            registry.tabItemCount ? (w - registry.plusButtonWidth) / static_cast<double>(registry.tabItemCount) : 0;
        plusButton_->setCenter(CGPointMake(w * 0.5, h * multiplierOfTabBarHeight(h) +
                                                        constantOfPlusButtonCenterYOffsetForTabBarHeight(h)));
        const uint64_t p = plusButtonIndex();
        const double iw = registry.tabItemWidth, pw = registry.plusButtonWidth;
        const bool hasChild = tb_hasPlusChildViewController();
        // Child indices were written when the buttons were collected, in this order.
        for (std::size_t i = 0; i < tabBarButtons_.size(); ++i) {
            double x, width = iw;
            int64_t visible;
            if (hasChild) {
                x = i <= p ? iw * static_cast<double>(i) : iw * static_cast<double>(i - 1) + pw;
                if (i == p) width = pw;
                visible = static_cast<int64_t>(i);
            } else if (i < p) {
                x = iw * static_cast<double>(i);
                visible = static_cast<int64_t>(i);
            } else {
                x = iw * static_cast<double>(i) + pw;
                visible = static_cast<int64_t>(i) + 1;
            }
            changeXForChildView(*tabBarButtons_[i], x, width, visible);
        }
        bringSubviewToFront(plusButton_);
    } else {
        registry.tabItemWidth = registry.tabItemCount ? w / static_cast<double>(registry.tabItemCount) : 0;
        for (std::size_t i = 0; i < tabBarButtons_.size(); ++i)
            changeXForChildView(*tabBarButtons_[i], registry.tabItemWidth * static_cast<double>(i),
                                registry.tabItemWidth, static_cast<int64_t>(i));
    }
}

UIViewPtr TBTabBar::hitTest(CGPoint point, UIEvent* event) {
    if (tb_canNotResponseEvent(*this)) return UITabBar::hitTest(point, event);
    if (clipsToBounds() && !CGRectContainsPoint(bounds(), point)) return UITabBar::hitTest(point, event);
    if (auto plus = plusButton(); plus && CGRectContainsPoint(plus->frame(), point)) return plus;
    const auto controls = tabBarButtons_.empty() ? tb_visibleControls() : tabBarButtons_;
    for (const auto& c : controls)
        if (CGRectContainsPoint(c->frame(), point) && !c->isHidden()) return c;
    if (auto hit = UITabBar::hitTest(point, event)) return hit;
    const auto& subs = subviews();
    for (auto it = subs.rbegin(); it != subs.rend(); ++it)
        if (auto hit = (*it)->hitTest((*it)->convertPointFromView(point, this), event)) return hit;
    return UITabBar::hitTest(point, event);
}
