#pragma once
// The release history tab: the catalogue's OS release list as a timeline, one row per
// release date (at most 50) listing the builds released that day, in alternating colours.
//
// Main thread. A load's callback holds the screen until it has run.

#include <app/models/RHModel.h>
#include <app/screens/CUSTimelineModel.h>

#include <platform_uikit/UITableView.h>
#include <platform_uikit/UIViewController.h>

#include <memory>
#include <string>
#include <vector>

class ReleaseHistoryController : public UIViewController, public UITableViewDataSource, public UITableViewDelegate {
    NS_CLASS(ReleaseHistoryController, UIViewController)
    NS_PROPERTY(std::shared_ptr<UITableView>, mTableview, setMTableview, "&,N")
    // The timeline rows, in display order.
    NS_PROPERTY(std::vector<CUSTimelineModelPtr>, dataArray, setDataArray, "&,N")
    NS_PROTOCOLS("UITableViewDelegate", "UITableViewDataSource")

public:
    void viewDidLoad() override;
    // The table (timeline cells) and its pull-to-refresh header.
    void initTableView();
    // The refresh header's action: empties the rows (reloading at once) and loads again.
    void refreshData();
    // Loads the release list (the argument is not used).
    void requestRHStatus(const std::string& unused);
    // The rows of a release list: one per date, the first 50 dates in the service's order;
    // they replace the rows shown, then the table reloads.
    void calcResult(const std::vector<std::shared_ptr<ReleasesItem>>& items);
    // The colour parser of the colour utilities.
    UIColorPtr hex(const std::string& text, float alpha) const;

    int64_t numberOfSectionsInTableView(UITableView&) override { return 1; }
    int64_t tableViewNumberOfRowsInSection(UITableView&, int64_t section) override;
    double tableViewHeightForRowAtIndexPath(UITableView&, NSIndexPath indexPath) override;
    UITableViewCellPtr tableViewCellForRowAtIndexPath(UITableView& table, NSIndexPath indexPath) override;
    void tableViewDidSelectRowAtIndexPath(UITableView& table, NSIndexPath indexPath) override;
};
