#pragma once
// The centre button: an app subclasses TBPlusButton, adopts the protocol
// "TBPlusButtonSubclassing" and gives its class the operations below (as
// class operations by selector name), then registers the subclass before the
// tab bar controller is built. Registration fills the tab registry.
//
//   plusButton (required)                       the button instance (an object)
//   indexOfPlusButtonInTabBar                   its tab position
//   multiplierOfTabBarHeight: (bar height)      centre y as a fraction of the height
//   constantOfPlusButtonCenterYOffsetForTabBarHeight: (bar height)
//   plusChildViewController                     the centre child
//   shouldSelectPlusChildViewController         NO keeps a tap from selecting it
//   multiplerInCenterY                          used without multiplierOfTabBarHeight:
//   tabBarContext                               the owning controller's context
//
// Main thread. The registry holds the button and the centre child.

#include <platform_uikit/UIButton.h>

#include <memory>

class TBPlusButton : public UIButton {
    NS_CLASS(TBPlusButton, UIButton)
public:
    using UIButton::UIButton;
    // Never shows a highlighted state.
    void setHighlighted(bool) override {}

    // Sent to the subclass. A class without the protocol changes nothing; a
    // centre child without an index raises (the registry then already holds
    // the button, its width and the child).
    static void registerPlusButton(ObjCClass& cls);
    static void registerSubclass(ObjCClass& cls) { registerPlusButton(cls); }
    // Clears the button and the centre child (and its ever-added mark); width and index stay.
    static void removePlusButton();
    // Replaces the button's own touch-up-inside actions by the selection of the centre child.
    static void addSelectViewControllerTarget(const std::shared_ptr<UIButton>& button);
    void plusChildViewControllerButtonClicked(const std::shared_ptr<UIControl>& sender);
};
