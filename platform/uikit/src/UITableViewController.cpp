#include <platform_uikit/UITableViewController.h>

#include <platform_uikit/UIScreen.h>

#include <platform_runtime/NSException.h>

// Loaders (storyboards) hand static content over by selector: an array of
// sections {"rows": [cells], "headerTitle", "footerTitle", "rowHeight"}.
NS_CLASS_LOAD(UITableViewController) {
    cls.addInstanceOperation("setStaticSections:", [](NSObject& self, const Value::Array& args) {
        std::vector<UITableViewStaticSection> sections;
        const Value& list = args.empty() ? Value() : args[0];
        for (std::size_t i = 0; i < list.count(); ++i) {
            const Value& d = list[i];
            UITableViewStaticSection section;
            if (d.objectForKey("headerTitle").isString()) section.headerTitle = d.objectForKey("headerTitle").asStdString();
            if (d.objectForKey("footerTitle").isString()) section.footerTitle = d.objectForKey("footerTitle").asStdString();
            double height = d.objectForKey("rowHeight").isNumber() ? d.objectForKey("rowHeight").doubleValue()
                                                                  : UITableViewAutomaticDimension;
            const Value& rows = d.objectForKey("rows");
            for (std::size_t r = 0; r < rows.count(); ++r) {
                auto cell = rows[r].objectAs<UITableViewCell>();
                if (!cell)
                    NSException::raise(NSInvalidArgumentException,
                                       "-[" + self.className() + " setStaticSections:]: section " + std::to_string(i) +
                                           " row " + std::to_string(r) + " is not a table view cell");
                section.rows.push_back({std::move(cell), height});
            }
            sections.push_back(std::move(section));
        }
        static_cast<UITableViewController&>(self).setStaticSections(std::move(sections));
        return Value();
    });
}

std::shared_ptr<UITableView> UITableViewController::tableView() {
    return std::dynamic_pointer_cast<UITableView>(view());
}

void UITableViewController::setTableView(std::shared_ptr<UITableView> table) {
    if (table) {
        auto self = std::dynamic_pointer_cast<UITableViewController>(shared_from_this());
        table->setDataSource(std::weak_ptr<UITableViewDataSource>(self));
        table->setDelegate(std::weak_ptr<UITableViewDelegate>(self));
    }
    setView(std::move(table));
}

void UITableViewController::loadView() {
    // A nib (through the slot) may give the view; a table made elsewhere is wired here.
    UIViewController::loadView();
    auto table = std::dynamic_pointer_cast<UITableView>(viewIfLoaded());
    if (!table) table = std::make_shared<UITableView>(UIScreen::mainScreen()->bounds(), style_);
    setTableView(std::move(table));
}

void UITableViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    if (!clearsSelection_) return;
    auto table = tableView();
    for (auto& path : table->indexPathsForSelectedRows()) table->deselectRowAtIndexPath(path, animated);
}

void UITableViewController::setStaticSections(std::vector<UITableViewStaticSection> sections) {
    for (auto& section : sections)
        for (auto& row : section.rows)
            if (!row.cell)
                NSException::raise(NSInvalidArgumentException,
                                   "-[" + className() + " setStaticSections:]: a static row without a cell");
    static_ = std::move(sections);
    if (auto table = std::dynamic_pointer_cast<UITableView>(viewIfLoaded())) table->reloadData();
}

const UITableViewStaticSection* UITableViewController::staticSection(int64_t section) const {
    if (section < 0 || section >= static_cast<int64_t>(static_.size())) return nullptr;
    return &static_[static_cast<std::size_t>(section)];
}

int64_t UITableViewController::numberOfSectionsInTableView(UITableView&) { return static_cast<int64_t>(static_.size()); }

int64_t UITableViewController::tableViewNumberOfRowsInSection(UITableView&, int64_t section) {
    auto* s = staticSection(section);
    return s ? static_cast<int64_t>(s->rows.size()) : 0;
}

UITableViewCellPtr UITableViewController::tableViewCellForRowAtIndexPath(UITableView&, NSIndexPath p) {
    auto* s = staticSection(p.section);
    if (!s || p.row < 0 || p.row >= static_cast<int64_t>(s->rows.size())) return nullptr;
    return s->rows[static_cast<std::size_t>(p.row)].cell;
}

std::optional<std::string> UITableViewController::tableViewTitleForHeaderInSection(UITableView&, int64_t section) {
    auto* s = staticSection(section);
    return s ? s->headerTitle : std::nullopt;
}

std::optional<std::string> UITableViewController::tableViewTitleForFooterInSection(UITableView&, int64_t section) {
    auto* s = staticSection(section);
    return s ? s->footerTitle : std::nullopt;
}

double UITableViewController::tableViewHeightForRowAtIndexPath(UITableView&, NSIndexPath p) {
    auto* s = staticSection(p.section);
    if (!s || p.row < 0 || p.row >= static_cast<int64_t>(s->rows.size())) return UITableViewAutomaticDimension;
    return s->rows[static_cast<std::size_t>(p.row)].height;
}

double UITableViewController::tableViewHeightForHeaderInSection(UITableView&, int64_t section) {
    auto* s = staticSection(section);
    return s ? s->headerHeight : UITableViewAutomaticDimension;
}

double UITableViewController::tableViewHeightForFooterInSection(UITableView&, int64_t section) {
    auto* s = staticSection(section);
    return s ? s->footerHeight : UITableViewAutomaticDimension;
}
