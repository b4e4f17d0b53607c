#pragma once
// The settings tab: a static table from the storyboard "Main" (scene
// "aboutviewcontroller") with a rating row, a feedback row and the app's version.
//
// Main thread.

#include <platform_uikit/UILabel.h>
#include <platform_uikit/UITableViewController.h>

#include <optional>
#include <string>

class ECSettingViewController : public UITableViewController {
    NS_CLASS(ECSettingViewController, UITableViewController)
    NS_PROPERTY(std::shared_ptr<UILabel>, versionLabel, setVersionLabel, "&,N")
    NS_PROPERTY(std::shared_ptr<UILabel>, rateLeftTitleLabel, setRateLeftTitleLabel, "&,N")
    NS_PROPERTY(std::shared_ptr<UILabel>, rateRightTitleLabel, setRateRightTitleLabel, "&,N")
    NS_PROPERTY(std::shared_ptr<UILabel>, feedbackLeftTitleLabel, setFeedbackLeftTitleLabel, "&,N")
    NS_PROPERTY(std::shared_ptr<UILabel>, feedbackRightTitleLabel, setFeedbackRightTitleLabel, "&,N")
    NS_PROPERTY(std::shared_ptr<UILabel>, aboutTitleLabel, setAboutTitleLabel, "&,N")

public:
    void viewDidLoad() override;
    // Section 0: row 0 asks for a store rating, row 1 opens the feedback mail; every row is deselected.
    void tableViewDidSelectRowAtIndexPath(UITableView& table, NSIndexPath indexPath) override;
    // The feedback mail to the configured address, subject "Feedback".
    void sendMail();
    // CFBundleShortVersionString of the main bundle.
    static std::string appVersion();
    // CFBundleDisplayName, else CFBundleName.
    static std::string appName();
};
