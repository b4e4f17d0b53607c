#include <platform_uikit/UIWindow.h>

#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UIScreen.h>

#include <utility>

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
    const bool wasHidden = isHidden();
    UIView::setHidden(hidden);
    visibilityChanged(!hidden);
    if (!rootViewController_ || wasHidden == hidden) return;
    auto root = rootViewController_;
    root->beginAppearanceTransition(!hidden, false);
    if (!hidden) showRootView();
    root->endAppearanceTransition();
}

void UIWindow::setRootViewController(UIViewControllerPtr controller) {
    if (controller == rootViewController_) return;
    auto old = std::exchange(rootViewController_, std::move(controller));
    if (isHidden()) {
        if (old && old->viewIfLoaded() && old->viewIfLoaded()->superview().get() == this)
            old->viewIfLoaded()->removeFromSuperview();
        return;
    }
    if (old) old->beginAppearanceTransition(false, false);
    auto root = rootViewController_;
    if (root) root->beginAppearanceTransition(true, false);
    if (old && old->viewIfLoaded() && old->viewIfLoaded()->superview().get() == this)
        old->viewIfLoaded()->removeFromSuperview();
    if (root) showRootView();
    if (old) old->endAppearanceTransition();
    if (root) root->endAppearanceTransition();
}

void UIWindow::showRootView() {
    const UIViewPtr& view = rootViewController_->view();
    if (view->superview().get() == this) return;
    view->setFrame(bounds());
    view->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    addSubview(view);
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
