#include <platform_uikit/UIWindow.h>

#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UIScreen.h>

UIWindow::UIWindow() : UIWindow(UIScreen::mainScreen()->bounds()) {}

UIWindow::UIWindow(CGRect frame) : UIView(frame) {
    setWindow(this);
    layer()->setHidden(true);
}

void UIWindow::visibilityChanged(bool visible) {
    auto app = UIApplication::sharedApplication();
    if (visible)
        app->windowDidBecomeVisible(std::static_pointer_cast<UIWindow>(shared_from_this()));
    else
        app->windowDidBecomeHidden(this);
}

void UIWindow::setHidden(bool hidden) {
    UIView::setHidden(hidden);
    visibilityChanged(!hidden);
}

void UIWindow::makeKeyAndVisible() {
    setHidden(false);
    makeKeyWindow();
    setNeedsLayout();
}

void UIWindow::makeKeyWindow() {
    auto app = UIApplication::sharedApplication();
    auto previous = app->keyWindow();
    if (previous.get() == this) return;
    if (previous) previous->resignKeyWindow();
    app->windowDidBecomeKey(std::static_pointer_cast<UIWindow>(shared_from_this()));
    becomeKeyWindow();
}

bool UIWindow::isKeyWindow() const { return UIApplication::sharedApplication()->keyWindow().get() == this; }

std::shared_ptr<UIResponder> UIWindow::nextResponder() const {
    if (auto controller = viewControllerResponder()) return controller;
    return UIApplication::sharedApplication();
}
