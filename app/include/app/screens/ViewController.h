#pragma once
// The home tab: the built-in list of device models under a strip naming the device the app
// runs on; a row opens the firmware detail screen for its identifier.
//
// Main thread.

#include <app/screens/DetailViewController.h>
#include <app/screens/MainHeaderView.h>

#include <platform_uikit/UITableView.h>
#include <platform_uikit/UIViewController.h>

class ViewController : public UIViewController, public UITableViewDataSource, public UITableViewDelegate {
    NS_CLASS(ViewController, UIViewController)
    NS_PROPERTY(std::shared_ptr<UITableView>, mTableview, setMTableview, "&,N")
    // Rows: {"model": display name, "modelStr": identifier}.
    NS_PROPERTY(Value::Array, dataArray, setDataArray, "&,N")
    // Declared; nothing fills or reads it.
    NS_PROPERTY(Value::Array, titleArray, setTitleArray, "&,N")
    NS_PROPERTY(std::shared_ptr<MainHeaderView>, mainV, setMainV, "&,N")
    NS_PROPERTY(std::shared_ptr<DetailViewController>, detailVC, setDetailVC, "&,N")
    NS_PROTOCOLS("UITableViewDelegate", "UITableViewDataSource")

public:
    void viewDidLoad() override;
    // The table (rows from the nib "InfoTableViewCell") and its header strip.
    void initTableView();
    // dataArray = loadDatas, then a reload.
    void LoadLocalData();
    // The 127 device rows, in display order.
    static Value::Array loadDatas();

    int64_t numberOfSectionsInTableView(UITableView&) override { return 1; }
    int64_t tableViewNumberOfRowsInSection(UITableView&, int64_t section) override;
    double tableViewHeightForRowAtIndexPath(UITableView&, NSIndexPath) override { return 44.0; }
    UITableViewCellPtr tableViewCellForRowAtIndexPath(UITableView& table, NSIndexPath indexPath) override;
    // Pushes a new detail screen for the row's identifier, the tab bar hidden.
    void tableViewDidSelectRowAtIndexPath(UITableView& table, NSIndexPath indexPath) override;
};
