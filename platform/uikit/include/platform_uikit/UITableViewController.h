#pragma once
// A controller whose view is a table, and which is the table's data source
// and delegate. Its rows come from the subclass's overrides or, for static
// content (what a storyboard's static table gives), from sections of ready
// cells set with setStaticSections. Selections are cleared as the view
// appears again.
//
// Main thread. The controller holds its table and its static cells.

#include <platform_uikit/UITableView.h>
#include <platform_uikit/UIViewController.h>

#include <optional>
#include <string>
#include <vector>

// A ready cell of static content; a negative height leaves the table's row height.
struct UITableViewStaticRow {
    UITableViewCellPtr cell;
    double height = UITableViewAutomaticDimension;
};

struct UITableViewStaticSection {
    std::optional<std::string> headerTitle, footerTitle;
    double headerHeight = UITableViewAutomaticDimension, footerHeight = UITableViewAutomaticDimension;
    std::vector<UITableViewStaticRow> rows;
};

class UITableViewController : public UIViewController, public UITableViewDataSource, public UITableViewDelegate {
    NS_CLASS(UITableViewController, UIViewController)
public:
    UITableViewController() = default;
    explicit UITableViewController(UITableViewStyle style) : style_(style) {}

    UITableViewStyle tableViewStyle() const { return style_; }
    // The view, loaded on first use.
    std::shared_ptr<UITableView> tableView();
    void setTableView(std::shared_ptr<UITableView> table);
    bool clearsSelectionOnViewWillAppear() const { return clearsSelection_; }
    void setClearsSelectionOnViewWillAppear(bool on) { clearsSelection_ = on; }

    // Static content; replaces the rows the overrides below answer from.
    void setStaticSections(std::vector<UITableViewStaticSection> sections);
    const std::vector<UITableViewStaticSection>& staticSections() const { return static_; }

    // Makes the table (in the controller's style, the main screen's size) unless a nib gave one.
    void loadView() override;
    void viewWillAppear(bool animated) override;

    // Static content answers; subclasses without static content override them.
    int64_t numberOfSectionsInTableView(UITableView&) override;
    int64_t tableViewNumberOfRowsInSection(UITableView&, int64_t section) override;
    UITableViewCellPtr tableViewCellForRowAtIndexPath(UITableView&, NSIndexPath indexPath) override;
    std::optional<std::string> tableViewTitleForHeaderInSection(UITableView&, int64_t section) override;
    std::optional<std::string> tableViewTitleForFooterInSection(UITableView&, int64_t section) override;
    double tableViewHeightForRowAtIndexPath(UITableView&, NSIndexPath indexPath) override;
    double tableViewHeightForHeaderInSection(UITableView&, int64_t section) override;
    double tableViewHeightForFooterInSection(UITableView&, int64_t section) override;

private:
    const UITableViewStaticSection* staticSection(int64_t section) const;
    UITableViewStyle style_ = UITableViewStylePlain;
    bool clearsSelection_ = true;
    std::vector<UITableViewStaticSection> static_;
};
