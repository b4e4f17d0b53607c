#include <ui_tab_bar_and_layout/TBTabBarController.h>

#include <ui_tab_bar_and_layout/TBControlExtension.h>
#include <ui_tab_bar_and_layout/TBControllerLookup.h>
#include <ui_tab_bar_and_layout/TBItemBadges.h>
#include <ui_tab_bar_and_layout/TBPlusButton.h>
#include <ui_tab_bar_and_layout/TBSystemColors.h>
#include <ui_tab_bar_and_layout/TBTabSubviews.h>
#include <ui_tab_bar_and_layout/TBViewControllerExtension.h>

#include <platform_dispatch/Dispatch.h>
#include <platform_runtime/NSException.h>
#include <platform_uikit/UIDevice.h>
#include <platform_uikit/UIImageNamed.h>
#include <platform_uikit/UILabel.h>
#include <platform_uikit/UIScreen.h>
#include <platform_uikit/UIWindow.h>

#include <algorithm>

namespace {

constexpr char kOffsetKey[] = "tabImageViewDefaultOffset";

// The array's controllers, or nothing when it is not an array of controllers.
std::optional<std::vector<UIViewControllerPtr>> controllersOf(const Value& value) {
    if (!value.isArray()) return std::nullopt;
    std::vector<UIViewControllerPtr> out;
    for (const auto& v : value.asArray()) {
        auto c = v.objectAs<UIViewController>();
        if (!c) return std::nullopt;
        out.push_back(std::move(c));
    }
    return out;
}

}  // namespace

TBTabBarController::TBTabBarController() { tb_swizzleSetBadgeValue(); }

TBTabBarController::~TBTabBarController() {
    auto& registry = TBRegistry();
    auto bar = tbTabBar();
    if (registry.plusButton && bar && registry.plusButton->superview() == bar) {
        registry.plusButton->setSelected(false);
        registry.plusButton->removeFromSuperview();
    }
    if (registry.plusChildController && isPlusViewControllerAdded(viewControllers()) && hasPlusChildViewController() &&
        tb_plusViewControllerEverAdded(*registry.plusChildController))
        tb_setPlusViewControllerEverAdded(*registry.plusChildController, false);
    if (observingOffset_)
        if (auto observed = observedBar_.lock()) {
            try {
                observed->removeObserver(*this, kOffsetKey);
            } catch (...) {
            }
        }
}

std::shared_ptr<TBTabBarController> TBTabBarController::self() {
    return std::static_pointer_cast<TBTabBarController>(shared_from_this());
}

std::shared_ptr<TBTabBarController> TBTabBarController::tabBarControllerWithViewControllers(
    const Value& viewControllers, Value::Array tabBarItemsAttributes, UIEdgeInsets imageInsets,
    UIOffset titlePositionAdjustment, std::optional<std::string> context) {
    auto controller = std::make_shared<TBTabBarController>();
    controller->imageInsets_ = imageInsets;
    controller->titleOffset_ = titlePositionAdjustment;
    controller->attributes_ = std::move(tabBarItemsAttributes);
    controller->setContext(context);
    controller->setViewControllers(viewControllers);
    return controller;
}

void TBTabBarController::setContext(const std::optional<std::string>& context) {
    context_ = context && !context->empty() ? *context : std::string(TBTabBarControllerName);
    if (auto bar = tbTabBar()) bar->setContext(context_);
}

void TBTabBarController::setTintColor(UIColorPtr color) { tabBar()->setTintColor(std::move(color)); }

void TBTabBarController::setViewDidLayoutSubViewsBlockInvokeOnce(bool, LayoutBlock block) {
    layoutBlock_ = std::move(block);
    invokeOnce_ = true;
}

UIImagePtr TBTabBarController::tabItemPlaceholderImage() {
    if (!placeholder_) placeholder_ = tb_imageWithColor(UIColor::whiteColor(), CGSizeMake(22, 22));
    return placeholder_;
}

void TBTabBarController::setViewControllers(const std::vector<UIViewControllerPtr>& controllers) {
    Value::Array array;
    for (const auto& c : controllers) array.push_back(Value(c));
    setViewControllers(Value(std::move(array)));
}

void TBTabBarController::setViewControllers(const Value& value) {
    auto& registry = TBRegistry();
    // 1. The current children leave (and a centre child that is not among them).
    const std::vector<UIViewControllerPtr> current = viewControllers();
    if (!current.empty()) {
        for (const auto& c : current)
            if (auto v = c->viewIfLoaded()) v->removeFromSuperview();
        UITabBarController::setViewControllers({});
        if (hasPlusChildViewController() && !isPlusViewControllerAdded(current)) {
            const auto& child = registry.plusChildController;
            child->willMoveToParentViewController(nullptr);
            if (auto v = child->viewIfLoaded()) v->removeFromSuperview();
            child->removeFromParentViewController();
        }
    }
    // 2. Anything but an array of controllers clears the tabs.
    auto given = controllersOf(value);
    if (!given) {
        for (const auto& c : current) tb_setTabBarController(*tb_getViewControllerInsteadOfNavigationController(c), nullptr);
        return;
    }
    // 3. One attribute dictionary per child.
    if (!attributes_ || attributes_->size() != given->size())
        NSException::raise(TBTabBarControllerName,
                           "The count of TBTabBarControllers is not equal to the count of tabBarItemsAttributes.【Chinese】"
                           "设置_tabBarItemsAttributes属性时，请确保元素个数与控制器的个数相同，并在方法`-setViewControllers:`之前设置");
    // 4. The centre child joins once.
    const bool addedBefore = isPlusViewControllerAdded(current);
    const bool everAdded = registry.plusChildController && tb_plusViewControllerEverAdded(*registry.plusChildController);
    const bool hasChild = hasPlusChildViewController();
    std::vector<UIViewControllerPtr> stored = *given;
    if (!addedBefore && !everAdded && hasChild) {
        const auto at = std::min<std::size_t>(registry.plusButtonIndex, stored.size());
        stored.insert(stored.begin() + static_cast<std::ptrdiff_t>(at), registry.plusChildController);
        tb_setPlusViewControllerEverAdded(*registry.plusChildController, true);
        if (registry.plusButton)
            tb_setTabBarChildViewControllerIndex(*registry.plusButton, static_cast<int64_t>(registry.plusButtonIndex));
    } else if (registry.plusButton) {
        tb_setTabBarChildViewControllerIndex(*registry.plusButton, TBNotFound);
    }
    // 5. The registry's counts.
    registry.tabItemCount = given->size();
    registry.tabItemWidth = registry.tabItemCount
                                ? (UIScreen::mainScreen()->bounds().size.width - registry.plusButtonWidth) /
                                      static_cast<double>(registry.tabItemCount)
                                : 0;
    // 6. One tab item per child.
    motionURLs_.clear();
    motionSizes_.clear();
    std::size_t index = 0;
    for (const auto& child : stored) {
        if (child == registry.plusChildController && hasChild && !addedBefore && !everAdded) {
            addOneChildViewController(child, std::string(), Value(), Value(), UIOffset{}, UIEdgeInsets{}, Value(),
                                      Value());
            tb_setTabBarController(*tb_getViewControllerInsteadOfNavigationController(child), self());
            continue;  // the next ordinary child reads the attributes this one skipped
        }
        const Value& attributes = index < attributes_->size() ? (*attributes_)[index] : Value();
        Value title = attributes.objectForKey(Value(TBTabBarItemTitle));
        std::optional<std::string> titleText;
        if (title.isString()) titleText = title.asStdString();
        else if (UIKitIsAvailable(13)) titleText = std::string();
        addOneChildViewController(child, titleText, attributes.objectForKey(Value(TBTabBarItemImage)),
                                  attributes.objectForKey(Value(TBTabBarItemSelectedImage)),
                                  attributes.objectForKey(Value(TBTabBarItemTitlePositionAdjustment)).UIOffsetValue(),
                                  attributes.objectForKey(Value(TBTabBarItemImageInsets)).UIEdgeInsetsValue(),
                                  attributes.objectForKey(Value(TBTabBarMotionURL)),
                                  attributes.objectForKey(Value(TBTabBarMotionSize)));
        tb_setTabBarController(*tb_getViewControllerInsteadOfNavigationController(child), self());
        ++index;
    }
    // 7. The children join the platform's list (items, bar buttons, selection).
    UITabBarController::setViewControllers(stored);
}

void TBTabBarController::addOneChildViewController(const UIViewControllerPtr& child,
                                                   const std::optional<std::string>& title,
                                                   const Value& normalImageInfo, const Value& selectedImageInfo,
                                                   UIOffset offset, UIEdgeInsets insets, const Value& motionURL,
                                                   const Value& motionSize) {
    const auto& item = child->tabBarItem();
    item->setTitle(title);
    UIImagePtr normal = normalImageInfo.isNull() ? tabItemPlaceholderImage() : getImageFromImageInfo(normalImageInfo);
    item->setImage(normal);
    item->setSelectedImage(selectedImageInfo.isNull() ? tabItemPlaceholderImage()
                                                      : getImageFromImageInfo(selectedImageInfo));
    if (isNOTEmptyForImageInsets(insets)) item->setImageInsets(insets);
    else if (shouldCustomizeImageInsets()) item->setImageInsets(imageInsets_);
    if (isNOTEmptyForTitlePositionAdjustment(offset)) item->setTitlePositionAdjustment(offset);
    else if (shouldCustomizeTitlePositionAdjustment()) item->setTitlePositionAdjustment(titleOffset_);
    if (!motionURL.isNull()) {
        motionURLs_.push_back(motionURL);
        CGSize size = motionSize.CGSizeValue();
        if (!isNOTEmptyForSize(size)) {
            size = normal && isNOTEmptyForSize(normal->size()) ? normal->size() : CGSizeMake(22, 22);
        }
        motionSizes_.push_back(size);
    }
}

UIImagePtr TBTabBarController::getImageFromImageInfo(const Value& info) {
    if (info.isString()) {
        auto image = UIImageNamed(info.asString());
        return image ? image->imageWithRenderingMode(UIImageRenderingModeAlwaysOriginal) : nullptr;
    }
    return info.objectAs<UIImage>();
}

bool TBTabBarController::hasPlusChildViewController() const {
    const auto& child = TBRegistry().plusChildController;
    if (!child || context_.empty()) return false;
    auto context = tb_context(*child);
    return context && !context->empty() && *context == context_;
}

bool TBTabBarController::isPlusViewControllerAdded(const std::vector<UIViewControllerPtr>& controllers) const {
    const auto& child = TBRegistry().plusChildController;
    if (!child) return false;
    return std::any_of(controllers.begin(), controllers.end(),
                       [&](const UIViewControllerPtr& c) { return c == child || isEqualViewController(c, child); });
}

bool TBTabBarController::isEqualViewController(const UIViewControllerPtr& a, const UIViewControllerPtr& b) {
    if (a == b) return true;
    return a && b && tb_getViewControllerInsteadOfNavigationController(a) == tb_getViewControllerInsteadOfNavigationController(b);
}

bool TBTabBarController::shouldCustomizeImageInsets() const { return isNOTEmptyForImageInsets(imageInsets_); }
bool TBTabBarController::shouldCustomizeTitlePositionAdjustment() const {
    return isNOTEmptyForTitlePositionAdjustment(titleOffset_);
}
bool TBTabBarController::isNOTEmptyForImageInsets(UIEdgeInsets i) {
    return i.top != 0 || i.left != 0 || i.bottom != 0 || i.right != 0;
}
bool TBTabBarController::isNOTEmptyForTitlePositionAdjustment(UIOffset o) { return o.horizontal != 0 || o.vertical != 0; }
bool TBTabBarController::isNOTEmptyForSize(CGSize s) { return s.width != 0 || s.height != 0; }

std::shared_ptr<UIApplicationDelegate> TBTabBarController::appDelegate() {
    return UIApplication::sharedApplication()->delegate();
}

std::shared_ptr<UIWindow> TBTabBarController::rootWindow() {
    auto delegate = appDelegate();
    return delegate ? delegate->window() : nullptr;
}

std::shared_ptr<TBTabBarController> TBTabBarController::rootViewController() {
    auto window = rootWindow();
    if (!window) return nullptr;
    return std::dynamic_pointer_cast<TBTabBarController>(
        tb_getViewControllerInsteadOfNavigationController(window->rootViewController()));
}

bool TBTabBarController::havePlusButton() { return static_cast<bool>(TBRegistry().plusButton); }

uint64_t TBTabBarController::allItemsInTabBarCount() {
    return TBRegistry().tabItemCount + (havePlusButton() ? 1 : 0);
}

UIInterfaceOrientationMask TBTabBarController::supportedInterfaceOrientations() const {
    auto selected = selectedViewController();
    if (auto navigation = std::dynamic_pointer_cast<UINavigationController>(selected))
        if (auto top = navigation->topViewController()) return top->supportedInterfaceOrientations();
    return selected ? selected->supportedInterfaceOrientations() : UITabBarController::supportedInterfaceOrientations();
}

// --- selection ---

void TBTabBarController::setSelectedIndex(int64_t index) {
    UITabBarController::setSelectedIndex(index);
    updateSelectionStatusIfNeededForTabBarController(nullptr, true);
    if (index < 0) return;
    if (auto bar = tbTabBar())
        if (auto control = bar->tb_tabBarButtonWithTabIndex(static_cast<uint64_t>(index))) didSelectControl(control);
}

void TBTabBarController::updateSelectionStatusIfNeededForTabBarController(const UIViewControllerPtr& controller,
                                                                          bool shouldSelect) {
    if (controller)
        if (auto button = tb_tabButton(*controller->tabBarItem())) tb_setShouldNotSelect(*button, !shouldSelect);
    if (!shouldSelect) return;
    const auto& registry = TBRegistry();
    const bool centre = isEqualViewController(controller ? controller : selectedViewController(),
                                              registry.plusChildController);
    if (registry.plusButton) registry.plusButton->setSelected(centre);
    if (centre)
        if (auto bar = tbTabBar()) bar->tb_stopAnimationOfAllMotionView();
}

bool TBTabBarController::tabBarControllerShouldSelectViewController(const UIViewControllerPtr& controller) {
    updateSelectionStatusIfNeededForTabBarController(controller, true);
    return true;
}

void TBTabBarController::tabBarDidSelectItem(UITabBar& bar, const UITabBarItemPtr& item) {
    const auto& list = viewControllers();
    auto it = std::find_if(list.begin(), list.end(), [&](const UIViewControllerPtr& c) { return c->tabBarItem() == item; });
    if (it != list.end()) tabBarControllerShouldSelectViewController(*it);
    UITabBarController::tabBarDidSelectItem(bar, item);
}

void TBTabBarController::didSelectControl(const std::shared_ptr<UIControl>& control) {
    bool skip = false;
    try {
        skip = control && (tb_shouldNotSelect(*control) || control->isHidden());
    } catch (const NSException& e) {
        TBLogIndexError("-[TBTabBarController didSelectControl:]", 654, e.reason());
    }
    if (skip) return;
    if (control) {
        const bool wasSelected = tb_isSelected(*control);
        if (auto bar = tbTabBar())
            for (const auto& c : bar->tb_visibleControls()) c->setSelected(false);
        control->setSelected(true);
        if (!tb_isChildViewControllerPlusButton(*control) && !wasSelected && isMotionEnabled())
            addMotionImageWithControl(control, true);
    }
    auto delegate = tbDelegate();
    if (delegate && delegate->respondsToDidSelectControl()) {
        std::shared_ptr<UIControl> told = control;
        if (!told)
            if (auto selected = selectedViewController()) told = tb_tabButton(*selected->tabBarItem());
        delegate->tabBarControllerDidSelectControl(*this, told);
    }
}

void TBTabBarController::addMotionImageWithControl(const std::shared_ptr<UIControl>& control, bool animation,
                                                   bool defaultSelected) {
    auto bar = tbTabBar();
    if (!bar || !control || tb_isPlusButton(*control)) return;
    auto buttons = bar->tb_subTabBarButtonsWithoutPlusButton();
    auto it = std::find(buttons.begin(), buttons.end(), control);
    if (it == buttons.end()) return;
    const auto i = static_cast<std::size_t>(it - buttons.begin());
    if (i >= motionURLs_.size()) return;
    tb_addMotionImageWithMotionURL(*control, motionURLs_[i], motionSizes_[i]);
    if (animation) bar->tb_animationMotionImageWithSelectedControl(control, motionURLs_[i], motionSizes_[i], defaultSelected);
}

void TBTabBarController::hideTabBarShadowImageView() {
    auto bar = tabBar();
    bar->layoutIfNeeded();
    if (auto hairline = tb_tabShadowImageView(bar)) {
        hairline->setHidden(true);
        hairline->setAlpha(0);
    }
}

// --- platform ---

void TBTabBarController::viewDidLoad() {
    UITabBarController::viewDidLoad();
    if (TBIsTallPhone()) tabBarHeight_ = 83;
    setUpTabBar();
    if (auto bar = tbTabBar(); bar && !observingOffset_) {
        bar->addObserver(*this, kOffsetKey, NSKeyValueObservingOptionNew);
        observedBar_ = bar;
        observingOffset_ = true;
    }
}

void TBTabBarController::setUpTabBar() {
    auto bar = std::make_shared<TBTabBar>();
    tb_setTabBarController(*bar, self());
    setTabBar(bar);
    if (!context_.empty()) bar->setContext(context_);
}

void TBTabBarController::observeValueForKeyPath(const std::string& keyPath, NSObject* object, const Value& change,
                                                void* context) {
    if (keyPath == kOffsetKey) {
        offsetTabBarTabImageViewToFit(change.objectForKey(Value("new")).floatValue());
        return;
    }
    UITabBarController::observeValueForKeyPath(keyPath, object, change, context);
}

void TBTabBarController::offsetTabBarTabImageViewToFit(double offset) {
    if (shouldCustomizeImageInsets()) return;
    for (const auto& item : tabBar()->items()) {
        item->setImageInsets(UIEdgeInsetsMake(offset, 0, -offset, 0));
        if (!shouldCustomizeTitlePositionAdjustment()) item->setTitlePositionAdjustment(UIOffset{0, TBFloatMax});
    }
}

void TBTabBarController::viewWillLayoutSubviews() {
    UITabBarController::viewWillLayoutSubviews();
    if (tabBarHeight_ <= 0) return;
    const UIViewPtr& view = viewIfLoaded();
    if (!view) return;
    auto bar = tabBar();
    CGRect f = bar->frame();
    f.size.height = tabBarHeight_;
    f.origin.y = view->bounds().size.height - tabBarHeight_;
    bar->setFrame(f);
}

void TBTabBarController::viewDidLayoutSubviews() {
    UITabBarController::viewDidLayoutSubviews();
    auto bar = tbTabBar();
    if (bar) {
        bar->layoutIfNeeded();
        const auto controls = bar->tb_visibleControls();
        std::weak_ptr<TBTabBarController> weak = self();
        for (std::size_t i = 0; i < controls.size(); ++i) {
            const auto& control = controls[i];
            if (tb_isChildViewControllerPlusButton(*control)) continue;
            if (auto label = std::dynamic_pointer_cast<UILabel>(tb_tabLabel(control)))
                label->setTextAlignment(NSTextAlignmentCenter);
            if (control->actionsForTarget(self(), UIControlEventTouchUpInside).empty())
                control->addTarget(
                    self(), "didSelectControl:",
                    [weak](UIControl& sender, UIEvent*) {
                        if (auto me = weak.lock())
                            me->didSelectControl(std::static_pointer_cast<UIControl>(sender.shared_from_this()));
                    },
                    UIControlEventTouchUpInside);
            if (selectedIndex() == static_cast<int64_t>(i) && !control->isKindOfClass(&TBPlusButton::classObject()))
                control->setSelected(true);
        }
    }
    if (!motionViewAdded_) {
        auto buttons = bar ? bar->tb_subTabBarButtonsWithoutPlusButton() : std::vector<std::shared_ptr<UIControl>>{};
        if (isMotionEnabled() && buttons.size() == motionURLs_.size()) {
            std::weak_ptr<TBTabBarController> weak = self();
            dispatch_async(dispatch_get_main_queue(), [weak, buttons] {
                auto me = weak.lock();
                if (!me) return;
                for (std::size_t i = 0; i < buttons.size(); ++i) {
                    const bool selected = me->selectedIndex() == static_cast<int64_t>(i);
                    me->addMotionImageWithControl(buttons[i], selected, selected);
                }
                me->motionViewAdded_ = true;
            });
        } else {
            motionViewAdded_ = true;
        }
    }
    if (invokeOnce_) {
        if (!invokedOnce_) {
            invokedOnce_ = true;
            if (layoutBlock_) layoutBlock_(*this);
        }
    } else if (layoutBlock_) {
        layoutBlock_(*this);
    }
}
