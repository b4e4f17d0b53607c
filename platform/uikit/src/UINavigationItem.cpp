#include <platform_uikit/UINavigationItem.h>

void UINavigationItem::changed() {
    if (changed_) changed_(*this);
}

void UINavigationItem::setTitle(std::optional<std::string> title) {
    title_ = std::move(title);
    changed();
}

void UINavigationItem::setTitleView(UIViewPtr view) {
    titleView_ = std::move(view);
    changed();
}

void UINavigationItem::setLeftBarButtonItems(std::vector<UIBarButtonItemPtr> items) {
    std::erase(items, nullptr);
    left_ = std::move(items);
    changed();
}

void UINavigationItem::setLeftBarButtonItem(UIBarButtonItemPtr item) {
    setLeftBarButtonItems(item ? std::vector<UIBarButtonItemPtr>{std::move(item)} : std::vector<UIBarButtonItemPtr>{});
}

void UINavigationItem::setRightBarButtonItems(std::vector<UIBarButtonItemPtr> items) {
    std::erase(items, nullptr);
    right_ = std::move(items);
    changed();
}

void UINavigationItem::setRightBarButtonItem(UIBarButtonItemPtr item) {
    setRightBarButtonItems(item ? std::vector<UIBarButtonItemPtr>{std::move(item)} : std::vector<UIBarButtonItemPtr>{});
}

void UINavigationItem::setBackBarButtonItem(UIBarButtonItemPtr item) {
    back_ = std::move(item);
    changed();
}

void UINavigationItem::setHidesBackButton(bool hides) {
    hidesBack_ = hides;
    changed();
}

void UINavigationItem::setLeftItemsSupplementBackButton(bool on) {
    supplement_ = on;
    changed();
}

void UINavigationItem::setStandardAppearance(std::shared_ptr<UINavigationBarAppearance> appearance) {
    standard_ = std::move(appearance);
    changed();
}
