#include <platform_uikit/UITabBar.h>

#include <platform_uikit/UIDevice.h>
#include <platform_uikit/UIScreen.h>
#include <platform_uikit/UIWindow.h>

#include <algorithm>

UITabBar::UITabBar() : UITabBar(CGRectZero) {}

UITabBar::UITabBar(CGRect frame) : UIView(frame), background_(std::make_shared<_UIBarBackground>()) {
    background_->setShadowEdge(_UIBarBackground::Edge::Top);
    refreshBackground();
}

const std::shared_ptr<_UIBarBackground>& UITabBar::barBackground() {
    // Joins on first use, not in the constructor (the bar is not shared yet there).
    if (!background_->superview()) insertSubviewAtIndex(background_, 0);
    return background_;
}

void UITabBar::setItems(std::vector<UITabBarItemPtr> items, bool) {
    for (const auto& old : items_)
        if (std::find(items.begin(), items.end(), old) == items.end()) old->setChangeHandler(nullptr);
    items_ = std::move(items);
    if (auto selected = selectedItem(); selected && std::find(items_.begin(), items_.end(), selected) == items_.end())
        selectedItem_.reset();
    std::weak_ptr<UITabBar> weak = std::static_pointer_cast<UITabBar>(shared_from_this());
    for (const auto& item : items_) {
        if (window() && !isAppearanceProxy()) item->applyAppearance();
        item->setChangeHandler([weak](UITabBarItem& changed) {
            auto bar = weak.lock();
            if (!bar) return;
            for (const auto& button : bar->buttons_)
                if (button->item().get() == &changed) bar->refreshButtons();
        });
    }
    barBackground();
    rebuildButtons();
}

void UITabBar::setSelectedItem(const UITabBarItemPtr& item) {
    const bool onBar = item && std::find(items_.begin(), items_.end(), item) != items_.end();
    selectedItem_ = onBar ? item : nullptr;
    for (const auto& button : buttons_) button->setSelected(button->item() && button->item() == selectedItem());
}

void UITabBar::rebuildButtons() {
    for (const auto& button : buttons_) button->removeFromSuperview();
    buttons_.clear();
    std::weak_ptr<UITabBar> weak = std::static_pointer_cast<UITabBar>(shared_from_this());
    for (std::size_t i = 0; i < items_.size(); ++i) {
        auto button = std::make_shared<UITabBarButton>();
        button->addTarget(nullptr, "_tabBarButtonTapped:",
                          [weak](UIControl& sender, UIEvent*) {
                              if (auto bar = weak.lock()) bar->buttonTapped(static_cast<UITabBarButton&>(sender));
                          },
                          UIControlEventTouchUpInside);
        addSubview(button);
        buttons_.push_back(std::move(button));
    }
    refreshButtons();
    setNeedsLayout();
    layoutSubviews();
}

void UITabBar::refreshButtons() {
    UITabBarButton::Look look{tintColor(), unselectedTint_ ? unselectedTint_ : UIColor::systemGrayColor(),
                              indicatorImage_};
    auto selected = selectedItem();
    for (std::size_t i = 0; i < buttons_.size() && i < items_.size(); ++i) {
        buttons_[i]->UIControl::setSelected(items_[i] == selected);
        buttons_[i]->showItem(items_[i], look);
    }
}

void UITabBar::refreshBackground() {
    _UIBarBackground::Style style;
    style.translucent = translucent_;
    style.barTintColor = barTint_;
    style.backgroundImage = backgroundImage_;
    style.shadowImage = shadowImage_;
    background_->apply(style);
}

void UITabBar::buttonTapped(UITabBarButton& button) {
    auto item = button.item();
    if (!item) return;
    // Keep the bar alive while the delegate may replace it.
    auto self = shared_from_this();
    if (auto delegate = delegate_.lock()) delegate->tabBarDidSelectItem(*this, item);
}

double UITabBar::preferredHeight() const {
    double bottom = 0;
    if (UIKitIsAvailable(11)) {
        if (auto* win = window()) bottom = static_cast<const UIView*>(win)->safeAreaInsets().bottom;
        else bottom = UIScreen::mainScreen()->safeAreaInsets().bottom;
    }
    return kContentHeight + bottom;
}

CGSize UITabBar::sizeThatFits(CGSize size) const { return CGSizeMake(size.width, preferredHeight()); }

void UITabBar::layoutSubviews() {
    const CGRect b = bounds();
    barBackground()->setFrame(b);
    background_->layoutSubviews();
    if (buttons_.empty()) return;
    // Equal widths; the last button takes what rounding leaves.
    const double width = b.size.width / static_cast<double>(buttons_.size());
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        buttons_[i]->setFrame(CGRectMake(width * static_cast<double>(i), 0, width, kContentHeight));
        // Laid out by the layout pass once this bar (or a subclass) has placed it.
        buttons_[i]->setNeedsLayout();
    }
}

void UITabBar::didMoveToWindow() {
    if (!window()) return;
    barBackground();
    applyAppearance();
}

void UITabBar::applyAppearance() {
    applyAppearanceProxies(objcClass(), classObject());
    for (const auto& item : items_) item->applyAppearance();
    refreshButtons();
}

// --- appearance ---

void UITabBar::setTintColor(UIColorPtr color) {
    noteCustomized("tintColor");
    UIView::setTintColor(std::move(color));
    refreshButtons();
}

void UITabBar::setUnselectedItemTintColor(UIColorPtr color) {
    noteCustomized("unselectedItemTintColor");
    unselectedTint_ = std::move(color);
    refreshButtons();
}

void UITabBar::setBarTintColor(UIColorPtr color) {
    noteCustomized("barTintColor");
    barTint_ = std::move(color);
    refreshBackground();
}

void UITabBar::setBackgroundImage(UIImagePtr image) {
    noteCustomized("backgroundImage");
    backgroundImage_ = std::move(image);
    refreshBackground();
}

void UITabBar::setShadowImage(UIImagePtr image) {
    noteCustomized("shadowImage");
    shadowImage_ = std::move(image);
    refreshBackground();
}

void UITabBar::setSelectionIndicatorImage(UIImagePtr image) {
    noteCustomized("selectionIndicatorImage");
    indicatorImage_ = std::move(image);
    refreshButtons();
}

void UITabBar::setTranslucent(bool translucent) {
    noteCustomized("translucent");
    translucent_ = translucent;
    refreshBackground();
}

void UITabBar::setBackgroundColor(UIColorPtr color) {
    noteCustomized("backgroundColor");
    UIView::setBackgroundColor(std::move(color));
}

void UITabBar::copyAppearanceValue(const UIAppearanceCustomizable& proxy, const std::string& key) {
    const auto& from = static_cast<const UITabBar&>(proxy);
    if (key == "backgroundColor") setBackgroundColor(from.backgroundColor());
    else if (key == "tintColor") setTintColor(from.tintColor());
    else if (key == "unselectedItemTintColor") setUnselectedItemTintColor(from.unselectedTint_);
    else if (key == "barTintColor") setBarTintColor(from.barTint_);
    else if (key == "backgroundImage") setBackgroundImage(from.backgroundImage_);
    else if (key == "shadowImage") setShadowImage(from.shadowImage_);
    else if (key == "selectionIndicatorImage") setSelectionIndicatorImage(from.indicatorImage_);
    else if (key == "translucent") setTranslucent(from.translucent_);
}
