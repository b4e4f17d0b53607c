#include <platform_uikit/UIWindow.h>

#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UIDevice.h>
#include <platform_uikit/UIScreen.h>
#include <platform_uikit/UIWindowScene.h>

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
    // The root and the controllers it presents, each on screen unless a
    // later one took the whole window.
    std::vector<UIViewControllerPtr> chain{rootViewController_};
    while (chain.back()->presented_) chain.push_back(chain.back()->presented_);
    std::vector<UIViewControllerPtr> onScreen;
    for (std::size_t i = 0; i < chain.size(); ++i) {
        bool covered = false;
        for (std::size_t j = i + 1; j < chain.size(); ++j)
            covered = covered || (chain[j]->presentation_ && chain[j]->presentation_->shouldRemovePresentersView());
        if (!covered) onScreen.push_back(chain[i]);
    }
    for (const auto& controller : onScreen) controller->beginAppearanceTransition(!hidden, false);
    if (!hidden && onScreen.front() == rootViewController_) showRootView();
    for (const auto& controller : onScreen) controller->endAppearanceTransition();
}

std::shared_ptr<UIWindowScene> UIWindow::windowScene() const {
    if (!UIKitIsAvailable(13)) return nullptr;
    return UIApplication::sharedApplication()->scene();
}

std::shared_ptr<UIScreen> UIWindow::screen() const { return UIScreen::mainScreen(); }

UIEdgeInsets UIWindow::windowSafeAreaInsets() const {
    // Read at every safe-area reading: the screen and the application live as long as the
    // process, so they are found once instead of shared at each call.
    static UIScreen* const screen = UIScreen::mainScreen().get();
    static UIApplication* const app = UIApplication::sharedApplication().get();
    if (!UIInterfaceOrientationIsLandscape(app->statusBarOrientation()))
        return screen->safeAreaInsets();
    if (UIDevice::currentDevice()->userInterfaceIdiom() == UIUserInterfaceIdiomPad)
        return UIEdgeInsetsMake(screen->statusBarHeight(), 0, screen->safeAreaInsets().bottom, 0);
    // Phones hide the status bar in landscape; the notch and the home indicator stay.
    if (screen->bounds().size.height >= 812) return UIEdgeInsetsMake(0, 44, 21, 44);
    return UIEdgeInsetsZero;
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
