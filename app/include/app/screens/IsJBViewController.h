#pragma once
// The jailbreak list: for each known tool the OS versions it covers, whether a jailbreak
// exists and with which tool, and its caveats. Nothing in the app opens it (the host can).
//
// Main thread. A load's callback holds the screen until it has run.

#include <app/models/JBInfoModel.h>

#include <platform_uikit/UITableView.h>
#include <platform_uikit/UIViewController.h>

#include <memory>
#include <string>
#include <vector>

class JBTableViewCell;

class IsJBViewController : public UIViewController, public UITableViewDataSource, public UITableViewDelegate {
    NS_CLASS(IsJBViewController, UIViewController)
    NS_PROPERTY(std::shared_ptr<UITableView>, mTableview, setMTableview, "&,N")
    // The entries of the last good answer; empty until then.
    NS_PROPERTY(std::vector<std::shared_ptr<JailbreaksItem>>, dataArray, setDataArray, "&,N")
    NS_PROTOCOLS("UITableViewDelegate", "UITableViewDataSource")

public:
    void viewDidLoad() override;
    // The table (rows from the nib "JBTableViewCell") and its pull-to-refresh header.
    void initTableView();
    // The refresh header's action: loads again; the rows stay until an answer replaces them.
    void refreshData();
    // Loads the jailbreak list (the argument is not used).
    void requestJBStatus(const std::string& unused);
    // The three texts of a row.
    static void fillCell(JBTableViewCell& cell, const JailbreaksItem& item);

    int64_t numberOfSectionsInTableView(UITableView&) override { return 1; }
    int64_t tableViewNumberOfRowsInSection(UITableView&, int64_t section) override;
    double tableViewHeightForRowAtIndexPath(UITableView&, NSIndexPath) override { return 100.0; }
    UITableViewCellPtr tableViewCellForRowAtIndexPath(UITableView& table, NSIndexPath indexPath) override;
    void tableViewDidSelectRowAtIndexPath(UITableView& table, NSIndexPath indexPath) override;
};
