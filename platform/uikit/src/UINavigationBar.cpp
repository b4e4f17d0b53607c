#include <platform_uikit/UINavigationBar.h>

#include <platform_uikit/NSAttributedString.h>
#include <platform_uikit/UIDevice.h>
#include <platform_uikit/UIFont.h>

#include <algorithm>
#include <cmath>

namespace {
constexpr double kItemSpacing = 8;
constexpr char kDefaultBackTitle[] = "Back";
}  // namespace

UINavigationBar::UINavigationBar() : UINavigationBar(CGRectZero) {}

UINavigationBar::UINavigationBar(CGRect frame)
    : UIView(frame),
      background_(std::make_shared<_UIBarBackground>()),
      content_(std::make_shared<_UINavigationBarContentView>()),
      title_(std::make_shared<UILabel>()) {
    background_->setShadowEdge(_UIBarBackground::Edge::Bottom);
    title_->setTextAlignment(NSTextAlignmentCenter);
    refresh();
}

const std::shared_ptr<_UIBarBackground>& UINavigationBar::barBackground() {
    // Subviews join on first use, not in the constructor (the bar is not shared yet there).
    if (!background_->superview()) {
        insertSubviewAtIndex(background_, 0);
        addSubview(content_);
        refresh();
    }
    return background_;
}

std::shared_ptr<_UIButtonBarButton> UINavigationBar::backButton() const {
    return back_ && back_->superview() ? back_ : nullptr;
}

void UINavigationBar::setItems(std::vector<UINavigationItemPtr> items, bool) {
    std::erase(items, nullptr);
    for (const auto& old : items_)
        if (std::find(items.begin(), items.end(), old) == items.end()) old->setChangeHandler(nullptr);
    items_ = std::move(items);
    itemsChanged();
}

void UINavigationBar::pushNavigationItem(const UINavigationItemPtr& item, bool) {
    if (!item) return;
    items_.push_back(item);
    itemsChanged();
}

UINavigationItemPtr UINavigationBar::popNavigationItemAnimated(bool) {
    if (items_.empty()) return nullptr;
    auto top = items_.back();
    items_.pop_back();
    top->setChangeHandler(nullptr);
    itemsChanged();
    return top;
}

void UINavigationBar::itemsChanged() {
    if (!isAppearanceProxy()) {
        std::weak_ptr<UINavigationBar> weak = std::static_pointer_cast<UINavigationBar>(shared_from_this());
        for (const auto& item : items_)
            item->setChangeHandler([weak](UINavigationItem&) {
                if (auto bar = weak.lock()) bar->refresh();
            });
        barBackground();
    }
    refresh();
}

std::vector<UIViewPtr> UINavigationBar::leftViews() const {
    std::vector<UIViewPtr> views;
    if (auto top = topItem())
        for (const auto& item : top->leftBarButtonItems())
            views.push_back(item->customView() ? item->customView() : item->barButton());
    return views;
}

std::vector<UIViewPtr> UINavigationBar::rightViews() const {
    std::vector<UIViewPtr> views;
    if (auto top = topItem())
        for (const auto& item : top->rightBarButtonItems())
            views.push_back(item->customView() ? item->customView() : item->barButton());
    return views;
}

std::shared_ptr<UINavigationBarAppearance> UINavigationBar::effectiveAppearance() const {
    if (!UIKitIsAvailable(13)) return nullptr;
    if (auto top = topItem(); top && top->standardAppearance()) return top->standardAppearance();
    return standard_;
}

bool UINavigationBar::isTranslucent() const {
    if (auto appearance = effectiveAppearance()) return appearance->isTranslucent();
    return translucent_.value_or(true);
}

void UINavigationBar::refresh() {
    // The background and hairline.
    _UIBarBackground::Style style;
    if (auto appearance = effectiveAppearance()) {
        style.translucent = appearance->isTranslucent();
        style.backgroundColor = appearance->backgroundColor();
        style.backgroundImage = appearance->backgroundImage();
        style.shadowImage = appearance->shadowImage();
        style.shadowColor = appearance->shadowColor();
    } else {
        style.translucent = translucent_.value_or(true);
        style.barTintColor = barTint_ ? barTint_ : (barStyle_ == UIBarStyleBlack ? UIColor::blackColor() : nullptr);
        style.backgroundImage = backgroundImage_;
        style.shadowImage = shadowImage_;
    }
    background_->apply(style);
    if (!content_->superview()) return;  // not shared yet: nothing to show

    for (const auto& view : shown_) view->removeFromSuperview();
    shown_.clear();
    auto top = topItem();
    auto back = backItem();

    // The back button.
    const bool showBack = top && back && !top->hidesBackButton() &&
                          (top->leftBarButtonItems().empty() || top->leftItemsSupplementBackButton());
    if (showBack) {
        if (!back_) {
            back_ = std::make_shared<_UIButtonBarButton>();
            std::weak_ptr<UINavigationBar> weak = std::static_pointer_cast<UINavigationBar>(shared_from_this());
            back_->addTarget(nullptr, "_backTapped:",
                             [weak](UIControl&, UIEvent*) {
                                 auto bar = weak.lock();
                                 if (bar && bar->backAction_) bar->backAction_();
                             },
                             UIControlEventTouchUpInside);
        }
        std::string title = kDefaultBackTitle;
        if (back->backBarButtonItem() && back->backBarButtonItem()->title()) title = *back->backBarButtonItem()->title();
        else if (back->title()) title = *back->title();
        back_->setTitle(title, UIControlStateNormal);
        back_->setTitleColor(tintColor(), UIControlStateNormal);
        back_->titleLabel()->setFont(UIFont::systemFontOfSize(kTitleFontSize));
        back_->sizeToFit();
        content_->addSubview(back_);
        shown_.push_back(back_);
    }
    if (top)
        for (const auto* list : {&top->leftBarButtonItems(), &top->rightBarButtonItems()})
            for (const auto& item : *list) {
                UIViewPtr view = item->customView();
                if (!view) {
                    auto button = item->barButton();
                    const bool ownColour =
                        item->tintColor() ||
                        UIBarTitleStyle::fromAttributes(item->titleTextAttributesForState(UIControlStateNormal)).colour;
                    if (!ownColour) button->setTitleColor(tintColor(), UIControlStateNormal);
                    view = button;
                }
                content_->addSubview(view);
                shown_.push_back(view);
            }

    // The title.
    Value::Dictionary attributes = titleAttributes_;
    if (auto appearance = effectiveAppearance()) attributes = appearance->titleTextAttributes();
    if (top && top->titleView()) {
        content_->addSubview(top->titleView());
        shown_.push_back(top->titleView());
    } else if (top && top->title()) {
        auto style = UIBarTitleStyle::fromAttributes(attributes);
        title_->setFont(style.font ? style.font : UIFont::boldSystemFontOfSize(kTitleFontSize));
        title_->setTextColor(style.colour ? style.colour
                                          : (barStyle_ == UIBarStyleBlack ? UIColor::whiteColor()
                                                                          : UIColor::blackColor()));
        title_->setText(*top->title());
        content_->addSubview(title_);
        shown_.push_back(title_);
    }
    layoutSubviews();
}

CGSize UINavigationBar::sizeThatFits(CGSize size) const { return CGSizeMake(size.width, kHeight); }

void UINavigationBar::layoutSubviews() {
    const CGRect b = bounds();
    // The background reaches up to the top of the screen, under the status bar.
    const double above = std::max(0.0, frame().origin.y);
    background_->setFrame(CGRectMake(0, -above, b.size.width, b.size.height + above));
    background_->layoutSubviews();
    content_->setFrame(b);
    auto centreY = [&](const UIViewPtr& v, double x) {
        CGSize s = v->frame().size;
        v->setFrame(CGRectMake(x, std::round((b.size.height - s.height) / 2), s.width, s.height));
    };
    double left = kEdgeMargin;
    if (auto back = backButton()) {
        centreY(back, left);
        left += back->frame().size.width + kItemSpacing;
    }
    for (const auto& view : leftViews()) {
        centreY(view, left);
        left += view->frame().size.width + kItemSpacing;
    }
    double right = b.size.width - kEdgeMargin;
    for (const auto& view : rightViews()) {
        right -= view->frame().size.width;
        centreY(view, right);
        right -= kItemSpacing;
    }
    auto top = topItem();
    UIViewPtr title = top && top->titleView() ? top->titleView() : (title_->superview() ? title_ : nullptr);
    if (!title) return;
    // The title's own size: sizeToFit would keep a longer title within the width of the one before.
    if (title == title_) title_->setFrame(CGRectMake(0, 0, title_->sizeThatFits(CGSizeZero).width,
                                                     title_->sizeThatFits(CGSizeZero).height));
    // Centred on the bar, pushed aside by the items, never wider than the room between them.
    CGSize s = title->frame().size;
    double width = std::min(s.width, std::max(0.0, right - left));
    double x = std::clamp(b.size.width / 2 - width / 2, left, std::max(left, right - width));
    title->setFrame(CGRectMake(x, std::round((b.size.height - s.height) / 2), width, s.height));
}

void UINavigationBar::didMoveToWindow() {
    if (!window()) return;
    barBackground();
    applyAppearance();
}

void UINavigationBar::applyAppearance() {
    applyAppearanceProxies(objcClass(), classObject());
    refresh();
}

// --- look ---

void UINavigationBar::setTintColor(UIColorPtr color) {
    noteCustomized("tintColor");
    UIView::setTintColor(std::move(color));
    refresh();
}

void UINavigationBar::setBarTintColor(UIColorPtr color) {
    noteCustomized("barTintColor");
    barTint_ = std::move(color);
    refresh();
}

void UINavigationBar::setBarStyle(UIBarStyle style) {
    noteCustomized("barStyle");
    barStyle_ = style;
    refresh();
}

void UINavigationBar::setTitleTextAttributes(Value::Dictionary attributes) {
    noteCustomized("titleTextAttributes");
    titleAttributes_ = std::move(attributes);
    refresh();
}

void UINavigationBar::setTranslucent(bool translucent) {
    noteCustomized("translucent");
    translucent_ = translucent;
    refresh();
}

void UINavigationBar::setBackgroundImage(UIImagePtr image) {
    noteCustomized("backgroundImage");
    backgroundImage_ = std::move(image);
    refresh();
}

void UINavigationBar::setShadowImage(UIImagePtr image) {
    noteCustomized("shadowImage");
    shadowImage_ = std::move(image);
    refresh();
}

void UINavigationBar::setStandardAppearance(std::shared_ptr<UINavigationBarAppearance> appearance) {
    noteCustomized("standardAppearance");
    standard_ = std::move(appearance);
    refresh();
}

void UINavigationBar::setScrollEdgeAppearance(std::shared_ptr<UINavigationBarAppearance> appearance) {
    noteCustomized("scrollEdgeAppearance");
    scrollEdge_ = std::move(appearance);
}

void UINavigationBar::copyAppearanceValue(const UIAppearanceCustomizable& proxy, const std::string& key) {
    const auto& from = static_cast<const UINavigationBar&>(proxy);
    if (key == "tintColor") setTintColor(from.tintColor());
    else if (key == "barTintColor") setBarTintColor(from.barTint_);
    else if (key == "barStyle") setBarStyle(from.barStyle_);
    else if (key == "titleTextAttributes") setTitleTextAttributes(from.titleAttributes_);
    else if (key == "translucent") setTranslucent(from.translucent_.value_or(true));
    else if (key == "backgroundImage") setBackgroundImage(from.backgroundImage_);
    else if (key == "shadowImage") setShadowImage(from.shadowImage_);
    else if (key == "standardAppearance") setStandardAppearance(from.standard_);
    else if (key == "scrollEdgeAppearance") setScrollEdgeAppearance(from.scrollEdge_);
}
