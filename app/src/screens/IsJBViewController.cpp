#include <app/screens/IsJBViewController.h>

#include <app/AppConfiguration.h>
#include <app/api/ConnectionManager.h>
#include <app/screens/JBTableViewCell.h>

#include <platform_foundation/NSLocalizedString.h>
#include <platform_net/NSURLError.h>
#include <platform_uikit/UINib.h>
#include <ui_widgets/OVProgressHUD.h>
#include <ui_widgets/RFRefreshNormalHeader.h>
#include <ui_widgets/RFRefreshSlots.h>

NS_CLASS_LOAD(IsJBViewController) {
    cls.addInstanceOperation("refreshData", [](NSObject& self, const Value::Array&) {
        static_cast<IsJBViewController&>(self).refreshData();
        return Value();
    });
}

void IsJBViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    navigationItem()->setTitle(NSLocalizedString("apptitle"));
    OVProgressHUD::setDefaultStyle(1);
    OVProgressHUD::show();
    initTableView();
    requestJBStatus("device");
}

void IsJBViewController::initTableView() {
    auto table = std::make_shared<UITableView>(view()->frame());
    setMTableview(table);
    setDataArray({});
    auto self = std::static_pointer_cast<IsJBViewController>(shared_from_this());
    table->setDelegate(self);
    table->setDataSource(self);
    rf_setHeader(*table, RFRefreshHeader::headerWithRefreshingTarget<RFRefreshNormalHeader>(self, "refreshData"));
    table->registerNib(UINib::nibWithNibName("JBTableViewCell", NSBundle::mainBundle()), "jbInfoCell");
    view()->addSubview(table);
}

void IsJBViewController::refreshData() { requestJBStatus("device"); }

void IsJBViewController::requestJBStatus(const std::string&) {
    auto self = std::static_pointer_cast<IsJBViewController>(shared_from_this());
    auto task = ConnectionManager::globalTimelinePostsWithBlock(
        AppConfiguration::jailbreakURL("/jailbreaks.json"), [self](Value document, NSErrorPtr error) {
            if (auto header = rf_header(*self->mTableview())) header->endRefreshing();
            if (OVProgressHUD::isVisible()) OVProgressHUD::dismiss();
            if (error) {
                if (error->code() == NSURLErrorNotConnectedToInternet)
                    OVProgressHUD::showErrorWithStatus(NSLocalizedString("networkerrortitle"));
                return;
            }
            if (document.isNull()) return;  // an empty answer: nothing to show
            auto model = std::make_shared<JBInfoModel>();
            if (!model->initWithDictionary(std::move(document))) return;
            self->setDataArray(model->jailbreaks());
            self->mTableview()->reloadData();
        });
    task->resume();
}

void IsJBViewController::fillCell(JBTableViewCell& cell, const JailbreaksItem& item) {
    const std::string start = item.ios() ? item.ios()->start() : std::string();
    const std::string end = item.ios() ? item.ios()->end() : std::string();
    if (const auto& version = cell.jbVersionLabel())
        version->setText(end.empty() ? "iOS " + start : "iOS " + start + " --> " + end);
    const auto& tools = cell.jbToolsLabel();
    const auto& tips = cell.jbTipsLabel();
    if (item.jailbroken()) {
        if (tools) tools->setText("✅ Jailbreak using [" + item.name() + "]");
        if (tips) tips->setText(item.caveats());
    } else {
        if (tools) tools->setText("❌  No jailbreak yet . Check back later!");
        if (tips)
            tips->setText("If you are already jailbroken, we recommend that you do not upgrade or you will lose your "
                          "jailbreak!");
    }
}

int64_t IsJBViewController::tableViewNumberOfRowsInSection(UITableView&, int64_t) {
    return static_cast<int64_t>(dataArray().size());
}

UITableViewCellPtr IsJBViewController::tableViewCellForRowAtIndexPath(UITableView& table, NSIndexPath indexPath) {
    auto cell = std::dynamic_pointer_cast<JBTableViewCell>(table.dequeueReusableCellWithIdentifier("jbInfoCell", indexPath));
    if (!cell) cell = std::make_shared<JBTableViewCell>(UITableViewCellStyleDefault, "jbInfoCell");
    fillCell(*cell, *dataArray().at(static_cast<std::size_t>(indexPath.row)));
    return cell;
}

void IsJBViewController::tableViewDidSelectRowAtIndexPath(UITableView& table, NSIndexPath indexPath) {
    table.deselectRowAtIndexPath(indexPath, true);
}
