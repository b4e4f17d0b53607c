#pragma once
// A window: the root of a view tree on the screen. Showing it registers it
// with the application; the key window receives keyboard-less focus and is
// where injected touches land by default. Windows stack by level. Its traits
// are the screen's; its safe area is the screen's in its orientation.
//
// Main thread.

#include <platform_uikit/UIView.h>
#include <platform_uikit/UIViewController.h>

#include <memory>

class UIWindow;
class UIWindowScene;
class UIScreen;
using UIWindowPtr = std::shared_ptr<UIWindow>;

using UIWindowLevel = double;
inline constexpr UIWindowLevel UIWindowLevelNormal = 0;
inline constexpr UIWindowLevel UIWindowLevelStatusBar = 1000;
inline constexpr UIWindowLevel UIWindowLevelAlert = 2000;

class UIWindow : public UIView {
    NS_CLASS(UIWindow, UIView)
public:
    // A hidden window covering the main screen.
    UIWindow();
    explicit UIWindow(CGRect frame);
    static UIWindowPtr windowWithFrame(CGRect frame) { return std::make_shared<UIWindow>(frame); }

    void makeKeyAndVisible();
    void makeKeyWindow();
    bool isKeyWindow() const;
    virtual void becomeKeyWindow() {}
    virtual void resignKeyWindow() {}
    UIWindowLevel windowLevel() const { return level_; }
    void setWindowLevel(UIWindowLevel level) { level_ = level; }
    bool isVisible() const { return !isHidden(); }
    // The application's scene from 13, nothing before.
    std::shared_ptr<UIWindowScene> windowScene() const;
    std::shared_ptr<UIScreen> screen() const;
    // The screen's safe area in the application's interface orientation:
    // portrait as the screen says; landscape on a screen with a notch (at
    // least 812 points tall) 44 left and right and 21 at the bottom, none
    // on other screens.
    UIEdgeInsets windowSafeAreaInsets() const;

    // The controller whose view fills the window. Its view loads and appears
    // (will, then did) when the window is shown, and disappears when it is
    // hidden; replacing the root of a shown window is a transition without
    // animation: old will-disappear, new will-appear, old did-disappear, new
    // did-appear.
    const UIViewControllerPtr& rootViewController() const { return rootViewController_; }
    void setRootViewController(UIViewControllerPtr controller);

    std::shared_ptr<UIResponder> nextResponder() const override;
    // Showing registers the window with the application; hiding removes it.
    // The controllers on screen (the root, and what it presents) appear and
    // disappear with it.
    void setHidden(bool hidden) override;

private:
    friend class UIView;
    void visibilityChanged(bool visible);
    UIWindowLevel level_ = UIWindowLevelNormal;
    void showRootView();
    UIViewControllerPtr rootViewController_;
};
