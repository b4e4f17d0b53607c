#include <ui_tab_bar_and_layout/TBControllerLookup.h>

#include <ui_tab_bar_and_layout/TBTabBarController.h>
#include <ui_tab_bar_and_layout/TBViewControllerExtension.h>

#include <platform_runtime/AssociatedObjects.h>
#include <platform_uikit/UIDevice.h>
#include <platform_uikit/UIWindow.h>
#include <platform_uikit/UIWindowScene.h>

#include <map>

namespace {

constexpr char kTabBarController[] = "tb_tabBarController";

std::map<const UIApplicationDelegate*, bool>& forceLandscapeFlags() {
    static std::map<const UIApplicationDelegate*, bool> flags;
    return flags;
}

std::shared_ptr<UIWindow> fallbackWindow() {
    auto app = UIApplication::sharedApplication();
    if (auto delegate = app->delegate())
        if (auto window = delegate->window()) return window;
    if (!UIKitIsAvailable(13)) return nullptr;
    for (const auto& scene : app->connectedScenes())
        if (scene->activationState() == UISceneActivationStateForegroundActive && !scene->windows().empty())
            return scene->windows().front();
    return nullptr;
}

}  // namespace

void tb_setTabBarController(const NSObject& object, const std::shared_ptr<TBTabBarController>& controller) {
    objc_setAssociatedObject(object, kTabBarController, Value(controller), OBJC_ASSOCIATION_ASSIGN);
}

std::shared_ptr<TBTabBarController> tb_tabBarController(const NSObject& object) {
    if (auto stored = objc_getAssociatedObject(object, kTabBarController).objectAs<TBTabBarController>()) return stored;
    if (auto* controller = dynamic_cast<const UIViewController*>(&object))
        if (auto parent = controller->parentViewController())
            if (auto found = tb_tabBarController(*parent)) return found;
    if (auto window = fallbackWindow())
        if (auto root = window->rootViewController())
            return std::dynamic_pointer_cast<TBTabBarController>(tb_getViewControllerInsteadOfNavigationController(root));
    return nullptr;
}

bool tb_isForceLandscape(const UIApplicationDelegate& delegate) {
    auto it = forceLandscapeFlags().find(&delegate);
    return it != forceLandscapeFlags().end() && it->second;
}

void tb_setIsForceLandscape(const UIApplicationDelegate& delegate, bool on) { forceLandscapeFlags()[&delegate] = on; }

std::shared_ptr<UIApplicationDelegate> tb_sharedAppDelegate() { return UIApplication::sharedApplication()->delegate(); }

void tb_forceUpdateInterfaceOrientation(int64_t orientation) {
    auto app = UIApplication::sharedApplication();
    if (auto delegate = app->delegate()) {
        tb_setIsForceLandscape(*delegate, orientation == UIDeviceOrientationLandscapeRight ||
                                              orientation == UIDeviceOrientationLandscapeLeft);
        auto key = app->keyWindow();
        (void)delegate->applicationSupportedInterfaceOrientationsForWindow(*app, key.get());
    }
    auto device = UIDevice::currentDevice();
    if (!device->respondsToSelector("setOrientation:")) return;
    device->setOrientation(UIDeviceOrientationPortrait);
    UIViewController::attemptRotationToDeviceOrientation();
    device->setOrientation(orientation);
}

UIViewControllerPtr tb_topmostViewController() {
    auto key = UIApplication::sharedApplication()->keyWindow();
    UIViewControllerPtr current = key ? key->rootViewController() : nullptr;
    while (current) {
        if (auto presented = current->presentedViewController(); presented && presented != current) {
            current = presented;
        } else if (auto navigation = std::dynamic_pointer_cast<UINavigationController>(current)) {
            auto top = navigation->topViewController();
            if (!top) break;
            current = top;
        } else if (auto tabs = std::dynamic_pointer_cast<UITabBarController>(current)) {
            auto selected = tabs->selectedViewController();
            if (!selected) break;
            current = selected;
        } else {
            break;
        }
    }
    return current;
}

std::shared_ptr<UINavigationController> tb_currentNavigationController() {
    auto top = tb_topmostViewController();
    return top ? top->navigationController() : nullptr;
}

void tb_dismissAll(std::function<void()> completion) {
    auto key = UIApplication::sharedApplication()->keyWindow();
    UIViewControllerPtr current = key ? key->rootViewController() : nullptr;
    if (!current) {
        if (completion) completion();
        return;
    }
    std::vector<UIViewControllerPtr> presented;
    while (current) {
        if (auto next = current->presentedViewController(); next && next != current &&
                                                            std::find(presented.begin(), presented.end(), next) == presented.end()) {
            presented.push_back(next);
            current = next;
        } else if (auto navigation = std::dynamic_pointer_cast<UINavigationController>(current)) {
            current = navigation->topViewController();
        } else if (auto tabs = std::dynamic_pointer_cast<UITabBarController>(current)) {
            current = tabs->selectedViewController();
        } else {
            break;
        }
    }
    if (presented.empty()) {
        if (completion) completion();
        return;
    }
    for (auto it = presented.rbegin(); it != presented.rend(); ++it) {
        if (auto navigation = std::dynamic_pointer_cast<UINavigationController>(*it))
            navigation->popToRootViewControllerAnimated(false);
        const bool first = std::next(it) == presented.rend();
        (*it)->dismissViewControllerAnimated(false, first ? completion : nullptr);
    }
}
