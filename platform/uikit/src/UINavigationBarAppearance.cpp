#include <platform_uikit/UINavigationBarAppearance.h>

void UINavigationBarAppearance::configureWithDefaultBackground() {
    translucent_ = true;
    backgroundColor_ = nullptr;
    backgroundImage_ = nullptr;
    shadowColor_ = UIColor::colorWithWhite(0, 0.3);
    shadowImage_ = nullptr;
}

void UINavigationBarAppearance::configureWithOpaqueBackground() {
    configureWithDefaultBackground();
    translucent_ = false;
    backgroundColor_ = UIColor::whiteColor();
}

void UINavigationBarAppearance::configureWithTransparentBackground() {
    configureWithDefaultBackground();
    translucent_ = false;
    backgroundColor_ = UIColor::clearColor();
    shadowColor_ = UIColor::clearColor();
}

std::shared_ptr<UINavigationBarAppearance> UINavigationBarAppearance::copy() const {
    auto other = std::make_shared<UINavigationBarAppearance>();
    other->translucent_ = translucent_;
    other->backgroundColor_ = backgroundColor_;
    other->backgroundImage_ = backgroundImage_;
    other->shadowColor_ = shadowColor_;
    other->shadowImage_ = shadowImage_;
    other->titleAttributes_ = titleAttributes_;
    return other;
}
