// The host with a small app of its own: three tabs (a list of 60 rows whose
// rows open a screen with a star button, a label, a button raising an
// alert), a background fetch that raises a notification, and a controller
// named as the one --present pushes. The host's tests drive it through the
// same program code the firmware browser runs.

#include <app_host/AppHost.h>

#include <platform_system/UNNotificationRequest.h>
#include <platform_system/UNUserNotificationCenter.h>
#include <platform_uikit/UIAlertController.h>
#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UIBarButtonItem.h>
#include <platform_uikit/UILabel.h>
#include <platform_uikit/UINavigationController.h>
#include <platform_uikit/UINavigationItem.h>
#include <platform_uikit/UIScreen.h>
#include <platform_uikit/UITabBarController.h>
#include <platform_uikit/UITabBarItem.h>
#include <platform_uikit/UITableView.h>
#include <platform_uikit/UITableViewCell.h>
#include <platform_uikit/UIWindow.h>

#include <cstdio>

namespace {

std::shared_ptr<UILabel> makeLabel(const std::string& text, CGRect frame) {
    auto label = std::make_shared<UILabel>(frame);
    label->setText(text);
    return label;
}

}  // namespace

class HostTestDetail : public UIViewController {
    NS_CLASS(HostTestDetail, UIViewController)
public:
    std::string name;
    void viewDidLoad() override {
        UIViewController::viewDidLoad();
        navigationItem()->setTitle(name);
        view()->addSubview(makeLabel("Opened " + name, CGRectMake(20, 200, 300, 22)));
        star_ = makeLabel("star off", CGRectMake(20, 260, 300, 22));
        view()->addSubview(star_);
        auto label = star_;
        navigationItem()->setRightBarButtonItem(UIBarButtonItem::withTitle(
            "Star", UIBarButtonItemStylePlain, nullptr, "star",
            [label](UIBarButtonItem&) { label->setText(label->text() == "star off" ? "star on" : "star off"); }));
    }

private:
    std::shared_ptr<UILabel> star_;
};

class HostTestList : public UIViewController, public UITableViewDataSource, public UITableViewDelegate {
    NS_CLASS(HostTestList, UIViewController)
public:
    void viewDidLoad() override {
        UIViewController::viewDidLoad();
        navigationItem()->setTitle("Rows");
        table_ = std::make_shared<UITableView>(view()->bounds());
        table_->setDataSource(std::dynamic_pointer_cast<UITableViewDataSource>(shared_from_this()));
        table_->setDelegate(std::dynamic_pointer_cast<UITableViewDelegate>(shared_from_this()));
        view()->addSubview(table_);
    }
    int64_t tableViewNumberOfRowsInSection(UITableView&, int64_t) override { return 60; }
    UITableViewCellPtr tableViewCellForRowAtIndexPath(UITableView& table, NSIndexPath indexPath) override {
        auto cell = table.dequeueReusableCellWithIdentifier("row");
        if (!cell) cell = std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, "row");
        cell->textLabel()->setText("Row " + std::to_string(indexPath.row + 1));
        return cell;
    }
    void tableViewDidSelectRowAtIndexPath(UITableView& table, NSIndexPath indexPath) override {
        table.deselectRowAtIndexPath(indexPath, true);
        auto detail = std::make_shared<HostTestDetail>();
        detail->name = "Row " + std::to_string(indexPath.row + 1);
        navigationController()->pushViewController(detail, true);
    }

private:
    std::shared_ptr<UITableView> table_;
};

class HostTestAbout : public UIViewController, public UITableViewDataSource, public UITableViewDelegate {
    NS_CLASS(HostTestAbout, UIViewController)
public:
    void viewDidLoad() override {
        UIViewController::viewDidLoad();
        navigationItem()->setTitle("no answer");
        table_ = std::make_shared<UITableView>(view()->bounds());
        table_->setDataSource(std::dynamic_pointer_cast<UITableViewDataSource>(shared_from_this()));
        table_->setDelegate(std::dynamic_pointer_cast<UITableViewDelegate>(shared_from_this()));
        view()->addSubview(table_);
    }
    int64_t tableViewNumberOfRowsInSection(UITableView&, int64_t) override { return 1; }
    UITableViewCellPtr tableViewCellForRowAtIndexPath(UITableView&, NSIndexPath) override {
        auto cell = std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, "ask");
        cell->textLabel()->setText("Ask");
        return cell;
    }
    void tableViewDidSelectRowAtIndexPath(UITableView& table, NSIndexPath indexPath) override {
        table.deselectRowAtIndexPath(indexPath, false);
        auto alert = UIAlertController::alertControllerWithTitle("Question", "Go on?", UIAlertControllerStyleAlert);
        std::weak_ptr<HostTestAbout> weak = std::static_pointer_cast<HostTestAbout>(shared_from_this());
        auto answer = [weak](const std::string& text) {
            return [weak, text](UIAlertAction&) {
                if (auto self = weak.lock()) self->navigationItem()->setTitle("answered " + text);
            };
        };
        alert->addAction(UIAlertAction::actionWithTitle("No", UIAlertActionStyleCancel, answer("No")));
        alert->addAction(UIAlertAction::actionWithTitle("Maybe", UIAlertActionStyleDefault, answer("Maybe")));
        auto yes = UIAlertAction::actionWithTitle("Yes", UIAlertActionStyleDefault, answer("Yes"));
        alert->addAction(yes);
        alert->setPreferredAction(yes);
        presentViewController(alert, true);
    }

private:
    std::shared_ptr<UITableView> table_;
};

// The name --present jailbreaks pushes.
class IsJBViewController : public UIViewController {
    NS_CLASS(IsJBViewController, UIViewController)
public:
    void viewDidLoad() override {
        UIViewController::viewDidLoad();
        navigationItem()->setTitle("Presented");
        view()->addSubview(makeLabel("Presented by the host", CGRectMake(20, 200, 300, 22)));
    }
};

class HostTestDelegate : public UIResponder, public UIApplicationDelegate {
    NS_CLASS(HostTestDelegate, UIResponder)
public:
    std::shared_ptr<UIWindow> window() const override { return window_; }
    void setWindow(std::shared_ptr<UIWindow> window) override { window_ = std::move(window); }

    bool applicationDidFinishLaunching(UIApplication& app, const Value&) override {
        std::printf("test delegate launched\n");  // goes to the console log
        app.setMinimumBackgroundFetchInterval(UIApplicationBackgroundFetchIntervalMinimum);
        UNUserNotificationCenter::currentNotificationCenter()->requestAuthorizationWithOptions(7, [](bool, NSErrorPtr) {});
        auto tabs = std::make_shared<UITabBarController>();
        auto list = UINavigationController::withRootViewController(std::make_shared<HostTestList>());
        auto about = UINavigationController::withRootViewController(std::make_shared<HostTestAbout>());
        auto third = UINavigationController::withRootViewController(std::make_shared<UIViewController>());
        list->tabBarItem()->setTitle("List");
        about->tabBarItem()->setTitle("About");
        third->tabBarItem()->setTitle("Third");
        tabs->setViewControllers({list, about, third});
        if (!window_) window_ = std::make_shared<UIWindow>(UIScreen::mainScreen()->bounds());
        window_->setRootViewController(tabs);
        window_->makeKeyAndVisible();
        return true;
    }

    void applicationWillTerminate(UIApplication&) override { std::printf("test delegate will terminate\n"); }

    void applicationPerformFetch(UIApplication&, std::function<void(UIBackgroundFetchResult)> completion) override {
        auto content = std::make_shared<UNMutableNotificationContent>();
        content->body = "Something changed";
        auto trigger = UNTimeIntervalNotificationTrigger::triggerWithTimeInterval(1.0, false);
        auto request = UNNotificationRequest::requestWithIdentifier("HostTestNotification", content, trigger);
        UNUserNotificationCenter::currentNotificationCenter()->addNotificationRequest(request, nullptr);
        completion(UIBackgroundFetchResultNewData);
    }

private:
    std::shared_ptr<UIWindow> window_;
};

int main(int argc, char** argv) { return AppHost::run(argc, argv, "HostTestDelegate"); }
