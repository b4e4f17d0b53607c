#include <ui_tab_bar_and_layout/TBPlusButton.h>

#include <ui_tab_bar_and_layout/TBControllerLookup.h>
#include <ui_tab_bar_and_layout/TBTabBarController.h>
#include <ui_tab_bar_and_layout/TBTabRegistry.h>
#include <ui_tab_bar_and_layout/TBViewControllerExtension.h>

#include <platform_runtime/NSException.h>
#include <platform_runtime/ObjCRuntime.h>

#include <algorithm>

void TBPlusButton::registerPlusButton(ObjCClass& cls) {
    if (!cls.conformsToProtocol("TBPlusButtonSubclassing")) return;
    auto& registry = TBRegistry();
    auto made = performClassSelector(&cls, "plusButton");
    auto button = made ? made->objectAs<UIButton>() : nullptr;
    registry.plusButton = button;
    registry.plusButtonWidth = button ? button->frame().size.width : 0;
    if (!cls.respondsToSelector("plusChildViewController")) return;
    auto child = performClassSelector(&cls, "plusChildViewController")->objectAs<UIViewController>();
    registry.plusChildController = child;
    if (child) {
        if (cls.respondsToSelector("tabBarContext")) {
            std::string context = performClassSelector(&cls, "tabBarContext")->stringValue();
            if (!context.empty()) tb_setContext(*child, context);
        } else {
            tb_setContext(*child, std::string(TBTabBarControllerName));
        }
    }
    if (button) addSelectViewControllerTarget(button);
    if (!cls.respondsToSelector("indexOfPlusButtonInTabBar"))
        NSException::raise(TBTabBarControllerName,
                           "If you want to add PlusChildViewController, you must realizse `+indexOfPlusButtonInTabBar` "
                           "in your custom plusButton class.【Chinese】如果你想使用PlusChildViewController样式，你必须同时在你"
                           "自定义的plusButton中实现 `+indexOfPlusButtonInTabBar`，来指定plusButton的位置");
    registry.plusButtonIndex = performClassSelector(&cls, "indexOfPlusButtonInTabBar")->unsignedIntegerValue();
}

void TBPlusButton::removePlusButton() {
    auto& registry = TBRegistry();
    registry.plusButton.reset();
    if (registry.plusChildController) tb_setPlusViewControllerEverAdded(*registry.plusChildController, false);
    registry.plusChildController.reset();
}

namespace {

// The centre button's tap: selects the centre child unless its class says no.
void centreButtonClicked(const std::shared_ptr<UIControl>& sender) {
    if (!sender) return;
    ObjCClass& cls = sender->objcClass();
    if (cls.respondsToSelector("shouldSelectPlusChildViewController") &&
        !performClassSelector(&cls, "shouldSelectPlusChildViewController")->boolValue())
        return;
    auto owner = tb_tabBarController(*sender);
    const auto& child = TBRegistry().plusChildController;
    if (!owner || !child) return;
    const auto& list = owner->viewControllers();
    auto it = std::find(list.begin(), list.end(), child);
    if (it != list.end()) owner->setSelectedIndex(it - list.begin());
}

}  // namespace

void TBPlusButton::addSelectViewControllerTarget(const std::shared_ptr<UIButton>& button) {
    for (const auto& action : button->actionsForTarget(button, UIControlEventTouchUpInside))
        button->removeTarget(button, action, UIControlEventTouchUpInside);
    button->addTarget(
        button, "plusChildViewControllerButtonClicked:",
        [](UIControl& sender, UIEvent*) {
            centreButtonClicked(std::static_pointer_cast<UIControl>(sender.shared_from_this()));
        },
        UIControlEventTouchUpInside);
}

void TBPlusButton::plusChildViewControllerButtonClicked(const std::shared_ptr<UIControl>& sender) {
    centreButtonClicked(sender);
}
