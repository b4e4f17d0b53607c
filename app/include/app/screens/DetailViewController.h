#pragma once
// The firmware list of one device model: its builds, the signed ones first, each with a
// check or cross mark, loaded from the catalogue service; a star in the navigation bar makes
// the device the favourite that the background check watches, or clears it.
//
// Main thread. A load's callback holds the screen until it has run.

#include <app/models/IpswV4Model.h>

#include <platform_uikit/UIButton.h>
#include <platform_uikit/UITableView.h>
#include <platform_uikit/UIViewController.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class DetailViewController : public UIViewController, public UITableViewDataSource, public UITableViewDelegate {
    NS_CLASS(DetailViewController, UIViewController)
    // The device identifier, set before the view loads.
    NS_PROPERTY(std::optional<std::string>, requestStr, setRequestStr, "&,N")
    NS_PROPERTY(std::shared_ptr<UITableView>, mTableview, setMTableview, "&,N")
    // Signed builds, then unsigned ones, each in document order; empty until the first load.
    NS_PROPERTY(std::vector<std::shared_ptr<FirmwareItem>>, dataArray, setDataArray, "&,N")
    // Declared; nothing fills or reads it.
    NS_PROPERTY(Value::Array, titleArray, setTitleArray, "&,N")
    NS_PROPERTY(std::shared_ptr<UIButton>, favButton, setFavButton, "&,N")
    // The signed count of the last loaded document as decimal text; absent until then.
    NS_PROPERTY(std::optional<std::string>, validCountStr, setValidCountStr, "&,N")
    NS_PROTOCOLS("UITableViewDelegate", "UITableViewDataSource")

public:
    void viewDidLoad() override;
    // The table (rows from the nib "InfoTableViewCell") and its pull-to-refresh header.
    void initTableView();
    // Loads the device's version 4 document.
    void requestStatusWithiPhoneModel(const std::string& identifier);
    // Orders the rows, counts the signed builds, reloads, refreshes the stored count.
    void calcAndSortData(const std::vector<std::shared_ptr<FirmwareItem>>& firmwares);
    // Stores the shown count when this device is the favourite.
    void resetNotification();
    // The star's action: clears the favourite when it is this device, else makes it this device.
    void collect(const std::shared_ptr<NSObject>& sender);
    // Tells the user when background refresh is off for the app.
    void checkBackgroundStatus();
    // The refresh header's action: loads the document again.
    void refreshData();

    int64_t numberOfSectionsInTableView(UITableView&) override { return 1; }
    int64_t tableViewNumberOfRowsInSection(UITableView&, int64_t section) override;
    double tableViewHeightForRowAtIndexPath(UITableView&, NSIndexPath) override { return 44.0; }
    UITableViewCellPtr tableViewCellForRowAtIndexPath(UITableView& table, NSIndexPath indexPath) override;
    void tableViewDidSelectRowAtIndexPath(UITableView& table, NSIndexPath indexPath) override;

private:
    bool isFavourite() const;
};
