#include <ui_tab_bar_and_layout/TBViewControllerExtension.h>

#include <ui_tab_bar_and_layout/TBControlExtension.h>
#include <ui_tab_bar_and_layout/TBControllerLookup.h>
#include <ui_tab_bar_and_layout/TBItemBadges.h>
#include <ui_tab_bar_and_layout/TBTabBarController.h>

#include <platform_dispatch/Dispatch.h>
#include <platform_foundation/NSLog.h>
#include <platform_runtime/AssociatedObjects.h>
#include <platform_runtime/NSException.h>
#include <platform_uikit/UIGestureRecognizer.h>
#include <platform_uikit/UINavigationBar.h>
#include <platform_uikit/UIPresentationController.h>

namespace {

constexpr char kDisablePop[] = "tb_disablePopGestureRecognizer";
constexpr char kHideSeparator[] = "tb_hideNavigationBarSeparator";
constexpr char kBarHidden[] = "tb_navigationBarHidden";
constexpr char kContext[] = "tb_context";
constexpr char kEverAdded[] = "tb_plusViewControllerEverAdded";
constexpr char kTabIndex[] = "tb_tabIndex";
constexpr char kPopDelegate[] = "tb_popGestureDelegate";

Value get(const UIViewController& c, std::string_view key) { return objc_getAssociatedObject(c, key); }
void put(const UIViewController& c, std::string_view key, const Value& v) {
    objc_setAssociatedObject(c, key, v, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

// What a controller answers when it becomes its navigation controller's pop-gesture delegate.
class TBPopGestureDelegate : public NSObject, public UIGestureRecognizerDelegate {
    NS_CLASS(TBPopGestureDelegate, NSObject)
};

constexpr int kValidityLogLine = 343;

void logInvalidIndex() {
    const std::string method = "-[UIViewController(TBTabBarControllerExtention) checkTabBarChildControllerValidityAtIndex:]";
    const std::string ruler(60, '-');
    const std::string text =
        "\n\n------ BEGIN NSException Log " + ruler + "\n class name: " + method + "\n------line: " +
        std::to_string(kValidityLogLine) +
        "\n----reason: The Class Type or the index or its NavigationController you pass in method "
        "`-tb_popSelectTabBarChildViewControllerAtIndex` or `-tb_popSelectTabBarChildViewControllerForClassType` is not "
        "the item of TBTabBarViewController\n------ END " +
        ruler + "\n\n";
    TBLogIndexError(method, kValidityLogLine, text);
}

UIViewControllerPtr content(const UIViewControllerPtr& controller) {
    return tb_getViewControllerInsteadOfNavigationController(controller);
}

}  // namespace

bool tb_disablePopGestureRecognizer(const UIViewController& c) { return get(c, kDisablePop).boolValue(); }
void tb_setDisablePopGestureRecognizer(const UIViewController& c, bool on) { put(c, kDisablePop, Value(on)); }
bool tb_hideNavigationBarSeparator(const UIViewController& c) { return get(c, kHideSeparator).boolValue(); }
void tb_setHideNavigationBarSeparator(const UIViewController& c, bool on) { put(c, kHideSeparator, Value(on)); }
bool tb_navigationBarHidden(const UIViewController& c) { return get(c, kBarHidden).boolValue(); }
void tb_setNavigationBarHidden(const UIViewController& c, bool on) { put(c, kBarHidden, Value(on)); }
std::optional<std::string> tb_context(const UIViewController& c) {
    Value v = get(c, kContext);
    if (!v.isString()) return std::nullopt;
    return v.asStdString();
}
void tb_setContext(const UIViewController& c, std::optional<std::string> context) {
    put(c, kContext, context ? Value(*context) : Value());
}
bool tb_plusViewControllerEverAdded(const UIViewController& c) { return get(c, kEverAdded).boolValue(); }
void tb_setPlusViewControllerEverAdded(const UIViewController& c, bool on) { put(c, kEverAdded, Value(on)); }

// --- appearance hooks ---

void tb_viewWillAppearNavigationSetting(UIViewController& c, bool animated) {
    tb_hideNavigationBarSeparatorIfNeeded(c);
    tb_setNavigationBarHiddenIfNeeded(c, animated);
}
void tb_viewDidAppearNavigationSetting(UIViewController& c, bool) { tb_resetInteractivePopGestureRecognizer(c); }
void tb_viewWillDisappearNavigationSetting(UIViewController& c, bool animated) {
    tb_disableInteractivePopGestureRecognizer(c);
    tb_setNavigationBarVisibleIfNeeded(c, animated);
}
void tb_viewDidDisappearNavigationSetting(UIViewController& c, bool) { tb_enableInteractivePopGestureRecognizer(c); }
void tb_deallocNavigationSetting(UIViewController& c) { tb_disableInteractivePopGestureRecognizer(c); }

void tb_hideNavigationBarSeparatorIfNeeded(UIViewController& c) {
    if (!tb_hideNavigationBarSeparator(c)) return;
    if (auto navigation = c.navigationController()) {
        navigation->navigationBar()->setShadowImage(std::make_shared<UIImage>());
        navigation->navigationBar()->setTranslucent(false);
    }
}

void tb_setNavigationBarHiddenIfNeeded(UIViewController& c, bool animated) {
    if (!tb_navigationBarHidden(c)) return;
    if (auto navigation = c.navigationController()) navigation->setNavigationBarHidden(true, animated);
}

void tb_setNavigationBarVisibleIfNeeded(UIViewController& c, bool animated) {
    if (!tb_navigationBarHidden(c) || !tb_shouldNavigationBarVisible(c)) return;
    if (auto navigation = c.navigationController()) navigation->setNavigationBarHidden(false, animated);
}

bool tb_shouldNavigationBarVisible(UIViewController& c) {
    auto navigation = c.navigationController();
    if (!navigation || navigation->viewControllers().empty() || navigation->topViewController().get() == &c) return true;
    const auto& stack = navigation->viewControllers();
    auto it = std::find_if(stack.begin(), stack.end(), [&](const UIViewControllerPtr& v) { return v.get() == &c; });
    UIViewControllerPtr above = it != stack.end() && std::next(it) != stack.end() ? *std::next(it) : stack.back();
    return tb_navigationBarHidden(*above) != tb_navigationBarHidden(c);
}

void tb_disableInteractivePopGestureRecognizer(UIViewController& c) {
    auto navigation = c.navigationController();
    if (!navigation || !navigation->interactivePopGestureRecognizer()) return;
    navigation->interactivePopGestureRecognizer()->setDelegate({});
}

void tb_enableInteractivePopGestureRecognizer(UIViewController& c) {
    auto navigation = c.navigationController();
    if (!navigation || !navigation->interactivePopGestureRecognizer()) return;
    auto delegate = get(c, kPopDelegate).objectAs<TBPopGestureDelegate>();
    if (!delegate) {
        delegate = std::make_shared<TBPopGestureDelegate>();
        put(c, kPopDelegate, Value(delegate));
    }
    navigation->interactivePopGestureRecognizer()->setDelegate(delegate);
    navigation->interactivePopGestureRecognizer()->setEnabled(true);
}

void tb_resetInteractivePopGestureRecognizer(UIViewController& c) {
    auto navigation = c.navigationController();
    if (!navigation || !navigation->interactivePopGestureRecognizer()) return;
    navigation->interactivePopGestureRecognizer()->setEnabled(navigation->viewControllers().size() != 1 &&
                                                               !tb_disablePopGestureRecognizer(c));
}

// --- tab lookup ---

UIViewControllerPtr tb_getViewControllerInsteadOfNavigationController(const UIViewControllerPtr& controller) {
    if (auto navigation = std::dynamic_pointer_cast<UINavigationController>(controller))
        if (!navigation->viewControllers().empty()) return navigation->viewControllers().front();
    return controller;
}

bool tb_isPlusChildViewController(const UIViewController& c) {
    const auto& child = TBRegistry().plusChildController;
    return child && child.get() == &c;
}

bool tb_isEmbedInTabBarController(const UIViewControllerPtr& controller) {
    if (!controller) return false;
    auto owner = tb_tabBarController(*controller);
    if (!owner || tb_isPlusChildViewController(*controller)) return false;
    auto mine = content(controller);
    const auto& children = owner->viewControllers();
    for (std::size_t i = 0; i < children.size(); ++i)
        if (content(children[i]) == mine) {
            put(*controller, kTabIndex, Value(static_cast<int64_t>(i)));
            return true;
        }
    return false;
}

int64_t tb_tabIndex(const UIViewControllerPtr& controller) {
    if (!tb_isEmbedInTabBarController(controller)) return TBNotFound;
    return get(*controller, kTabIndex).integerValue();
}

std::shared_ptr<UIControl> tb_tabButton(const UIViewControllerPtr& controller) {
    if (!tb_isEmbedInTabBarController(controller)) return nullptr;
    auto owner = tb_tabBarController(*controller);
    const int64_t index = tb_tabIndex(controller);
    const auto& items = owner->tabBar()->items();
    if (index < 0 || static_cast<std::size_t>(index) >= items.size()) return nullptr;
    return tb_tabButton(*items[static_cast<std::size_t>(index)]);
}

int64_t tb_indexForClassType(const ObjCClass& cls, const std::vector<UIViewControllerPtr>& controllers) {
    for (std::size_t i = 0; i < controllers.size(); ++i)
        if (auto c = content(controllers[i]); c && c->isKindOfClass(&cls)) return static_cast<int64_t>(i);
    return TBNotFound;
}

// --- tab navigation ---

void checkTabBarChildControllerValidityAtIndex(const UIViewControllerPtr& controller, int64_t index) {
    auto owner = tb_tabBarController(*content(controller));
    const auto& children = owner ? owner->viewControllers() : std::vector<UIViewControllerPtr>{};
    if (index < 0 || static_cast<std::size_t>(index) >= children.size()) {
        logInvalidIndex();
        return;
    }
    auto& registry = TBRegistry();
    if (registry.plusChildController && children[static_cast<std::size_t>(index)] != registry.plusChildController &&
        static_cast<uint64_t>(index) != registry.plusButtonIndex && registry.plusButton)
        registry.plusButton->setSelected(false);
}

UIViewControllerPtr tb_popSelectTabBarChildViewControllerAtIndex(const UIViewControllerPtr& controller, int64_t index,
                                                                  bool animated) {
    auto mine = content(controller);
    checkTabBarChildControllerValidityAtIndex(mine, index);
    auto owner = tb_tabBarController(*mine);
    if (owner) owner->setSelectedIndex(index);
    if (auto navigation = mine->navigationController()) navigation->popToRootViewControllerAnimated(animated);
    return owner ? content(owner->selectedViewController()) : nullptr;
}

void tb_popSelectTabBarChildViewControllerAtIndex(const UIViewControllerPtr& controller, int64_t index,
                                                  std::function<void(UIViewControllerPtr)> completion) {
    auto selected = tb_popSelectTabBarChildViewControllerAtIndex(controller, index, false);
    dispatch_async(dispatch_get_main_queue(), [completion = std::move(completion), selected] {
        if (completion) completion(selected);
    });
}

UIViewControllerPtr tb_popSelectTabBarChildViewControllerForClassType(const UIViewControllerPtr& controller,
                                                                      const ObjCClass& cls) {
    auto owner = tb_tabBarController(*content(controller));
    const int64_t index = tb_indexForClassType(cls, owner ? owner->viewControllers() : std::vector<UIViewControllerPtr>{});
    return tb_popSelectTabBarChildViewControllerAtIndex(controller, index, false);
}

void tb_popSelectTabBarChildViewControllerForClassType(const UIViewControllerPtr& controller, const ObjCClass& cls,
                                                       std::function<void(UIViewControllerPtr)> completion) {
    auto selected = tb_popSelectTabBarChildViewControllerForClassType(controller, cls);
    dispatch_async(dispatch_get_main_queue(), [completion = std::move(completion), selected] {
        if (completion) completion(selected);
    });
}

std::optional<std::vector<UIViewControllerPtr>> tb_getOtherSameClassTypeViewControllersInCurrentNavigationControllerStack(
    const UIViewControllerPtr& self, const UIViewControllerPtr& controller) {
    auto navigation = self ? self->navigationController() : nullptr;
    if (!navigation || navigation->viewControllers().size() < 2 || !controller) return std::nullopt;
    std::vector<UIViewControllerPtr> same;
    for (const auto& c : navigation->viewControllers())
        if (c != self && c->isKindOfClass(&controller->objcClass())) same.push_back(c);
    return same;
}

void tb_pushOrPopToViewController(const UIViewControllerPtr& self, const UIViewControllerPtr& controller,
                                  bool animated, TBPushOrPopCallback callback) {
    if (!callback) {
        if (auto navigation = self->navigationController()) navigation->pushViewController(controller, animated);
        return;
    }
    auto same = tb_getOtherSameClassTypeViewControllersInCurrentNavigationControllerStack(self, controller);
    const bool counts = same && !same->empty();
    TBPushOrPopDecision decide = [self, controller, animated, counts](bool pop, UIViewControllerPtr to,
                                                                      bool popAndSelect, int64_t index) {
        const bool popNow = pop && counts;
        dispatch_async(dispatch_get_main_queue(), [=] {
            auto navigation = self->navigationController();
            if (popNow) {
                if (navigation) navigation->popToViewController(to, animated);
            } else if (popAndSelect) {
                tb_popSelectTabBarChildViewControllerAtIndex(self, index, [controller, animated](UIViewControllerPtr s) {
                    if (s)
                        if (auto nav = s->navigationController()) nav->pushViewController(controller, animated);
                });
            } else if (navigation) {
                navigation->pushViewController(controller, animated);
            }
        });
    };
    callback(same, decide);
}

void tb_pushViewController(const UIViewControllerPtr& self, const UIViewControllerPtr& controller, bool animated) {
    auto navigation = content(self)->navigationController();
    if (!navigation || !controller) return;
    auto top = navigation->topViewController();
    if (top && top->isKindOfClass(&controller->objcClass())) return;
    navigation->pushViewController(controller, animated);
}

void tb_handleNavigationBackAction(const UIViewControllerPtr& self) { tb_handleNavigationBackActionWithAnimated(self, true); }

void tb_handleNavigationBackActionWithAnimated(const UIViewControllerPtr& self, bool animated) {
    auto navigation = self->navigationController();
    if (self->presentationController() && (!navigation || navigation->viewControllers().size() < 2)) {
        self->dismissViewControllerAnimated(animated);
        return;
    }
    if (navigation) navigation->popViewControllerAnimated(animated);
}

// --- tab badge point ---

void tb_showTabBadgePoint(const UIViewControllerPtr& c) {
    if (tb_isPlusChildViewController(*c)) return;
    if (auto item = tb_getActualBadgeSuperView(c)) tb_showBadge(*item);
}
void tb_removeTabBadgePoint(const UIViewControllerPtr& c) {
    if (tb_isPlusChildViewController(*c)) return;
    if (auto item = tb_getActualBadgeSuperView(c)) tb_clearBadge(*item);
}
bool tb_isShowTabBadgePoint(const UIViewControllerPtr& c) {
    if (tb_isPlusChildViewController(*c)) return false;
    auto item = tb_getActualBadgeSuperView(c);
    return item && tb_isShowBadge(*item);
}
void tb_setTabBadgePointView(const UIViewControllerPtr& c, const UIViewPtr& view) {
    if (tb_isPlusChildViewController(*c)) return;
    if (auto button = tb_tabButton(c)) tb_setTabBadgePointView(*button, view);
}
UIViewPtr tb_tabBadgePointView(const UIViewControllerPtr& c) {
    if (tb_isPlusChildViewController(*c)) return nullptr;
    auto button = tb_tabButton(c);
    return button ? tb_tabBadgePointView(*button) : nullptr;
}
void tb_setTabBadgePointViewOffset(const UIViewControllerPtr& c, UIOffset offset) {
    if (tb_isPlusChildViewController(*c)) return;
    if (auto button = tb_tabButton(c)) tb_setTabBadgePointViewOffset(*button, offset);
}
UIOffset tb_tabBadgePointViewOffset(const UIViewControllerPtr& c) {
    if (tb_isPlusChildViewController(*c)) return UIOffset{};
    auto button = tb_tabButton(c);
    return button ? tb_tabBadgePointViewOffset(*button) : UIOffset{};
}

UITabBarItemPtr tb_getActualBadgeSuperView(const UIViewControllerPtr& controller) {
    auto mine = content(controller);
    if (!mine) return nullptr;
    const auto& item = mine->tabBarItem();
    if (item && tb_tabButton(*item)) return item;
    auto navigation = mine->navigationController();
    return navigation ? navigation->tabBarItem() : item;
}
