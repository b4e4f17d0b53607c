#include <ui_tab_bar_and_layout/TBBaseViewControllers.h>

#include <ui_tab_bar_and_layout/TBViewControllerExtension.h>

void TBBaseNavigationController::pushViewController(const UIViewControllerPtr& controller, bool animated) {
    if (controller) controller->setHidesBottomBarWhenPushed(viewControllers().size() == 1);
    UINavigationController::pushViewController(controller, animated);
}

void TBBaseNavigationController::setViewControllers(const std::vector<UIViewControllerPtr>& controllers,
                                                    bool animated) {
    if (viewControllers().size() >= 2) viewControllers().back()->setHidesBottomBarWhenPushed(true);
    UINavigationController::setViewControllers(controllers, animated);
}

// The view controller's tear-down no longer has its navigation controller, so
// the dealloc step only runs while one is still reachable.
TBBaseViewController::~TBBaseViewController() = default;

void TBBaseViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    tb_viewWillAppearNavigationSetting(*this, animated);
}
void TBBaseViewController::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    tb_viewDidAppearNavigationSetting(*this, animated);
}
void TBBaseViewController::viewWillDisappear(bool animated) {
    UIViewController::viewWillDisappear(animated);
    tb_viewWillDisappearNavigationSetting(*this, animated);
}
void TBBaseViewController::viewDidDisappear(bool animated) {
    UIViewController::viewDidDisappear(animated);
    tb_viewDidDisappearNavigationSetting(*this, animated);
}

TBBaseTableViewController::~TBBaseTableViewController() = default;

void TBBaseTableViewController::viewWillAppear(bool animated) {
    UITableViewController::viewWillAppear(animated);
    tb_viewWillAppearNavigationSetting(*this, animated);
}
void TBBaseTableViewController::viewDidAppear(bool animated) {
    UITableViewController::viewDidAppear(animated);
    tb_viewDidAppearNavigationSetting(*this, animated);
}
void TBBaseTableViewController::viewWillDisappear(bool animated) {
    UITableViewController::viewWillDisappear(animated);
    tb_viewWillDisappearNavigationSetting(*this, animated);
}
void TBBaseTableViewController::viewDidDisappear(bool animated) {
    UITableViewController::viewDidDisappear(animated);
    tb_viewDidDisappearNavigationSetting(*this, animated);
}
