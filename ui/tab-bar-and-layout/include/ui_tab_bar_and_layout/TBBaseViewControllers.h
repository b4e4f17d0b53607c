#pragma once
// Base classes an app may derive its screens from: the navigation controller
// hides the tab bar for the second screen of a stack; the view and table
// controllers apply their navigation-bar settings at each appearance step.
//
// Main thread.

#include <platform_uikit/UINavigationController.h>
#include <platform_uikit/UITableViewController.h>
#include <platform_uikit/UIViewController.h>

class TBBaseNavigationController : public UINavigationController {
    NS_CLASS(TBBaseNavigationController, UINavigationController)
public:
    // The pushed controller hides the bottom bar exactly when the stack held one controller.
    void pushViewController(const UIViewControllerPtr& controller, bool animated);
    // With two or more on the stack, the current top hides the bottom bar first.
    void setViewControllers(const std::vector<UIViewControllerPtr>& controllers, bool animated);
};

class TBBaseViewController : public UIViewController {
    NS_CLASS(TBBaseViewController, UIViewController)
public:
    ~TBBaseViewController() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidDisappear(bool animated) override;
};

class TBBaseTableViewController : public UITableViewController {
    NS_CLASS(TBBaseTableViewController, UITableViewController)
public:
    using UITableViewController::UITableViewController;
    ~TBBaseTableViewController() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidDisappear(bool animated) override;
};
