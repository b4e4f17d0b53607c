#include <app/screens/ReleaseHistoryController.h>

#include <app/AppConfiguration.h>
#include <app/api/ConnectionManager.h>
#include <app/screens/CUSTimelineCell.h>
#include <app/screens/CommUtils.h>

#include <platform_foundation/NSDateFormatter.h>
#include <platform_foundation/NSLocalizedString.h>
#include <platform_net/NSURLError.h>
#include <platform_uikit/UIImageNamed.h>
#include <ui_widgets/OVProgressHUD.h>
#include <ui_widgets/RFRefreshNormalHeader.h>
#include <ui_widgets/RFRefreshSlots.h>

NS_CLASS_LOAD(ReleaseHistoryController) {
    cls.addInstanceOperation("refreshData", [](NSObject& self, const Value::Array&) {
        static_cast<ReleaseHistoryController&>(self).refreshData();
        return Value();
    });
}

namespace {
constexpr std::size_t kMaxDates = 50;
}

void ReleaseHistoryController::viewDidLoad() {
    UIViewController::viewDidLoad();
    navigationItem()->setTitle(NSLocalizedString("apptitle"));
    OVProgressHUD::setDefaultStyle(1);
    OVProgressHUD::show();
    initTableView();
    requestRHStatus("device");
}

void ReleaseHistoryController::initTableView() {
    auto table = std::make_shared<UITableView>(view()->frame());
    setMTableview(table);
    setDataArray({});
    auto self = std::static_pointer_cast<ReleaseHistoryController>(shared_from_this());
    table->setDelegate(self);
    table->setDataSource(self);
    rf_setHeader(*table, RFRefreshHeader::headerWithRefreshingTarget<RFRefreshNormalHeader>(self, "refreshData"));
    table->registerClass<CUSTimelineCell>("CUSTimelineCell");
    view()->addSubview(table);
}

void ReleaseHistoryController::refreshData() {
    setDataArray({});
    mTableview()->reloadData();
    requestRHStatus("device");
}

void ReleaseHistoryController::requestRHStatus(const std::string&) {
    auto self = std::static_pointer_cast<ReleaseHistoryController>(shared_from_this());
    auto task = ConnectionManager::globalTimelinePostsWithBlock(
        AppConfiguration::catalogueURL("/api/ios/v4/releases"), [self](Value document, NSErrorPtr error) {
            if (auto header = rf_header(*self->mTableview())) header->endRefreshing();
            if (OVProgressHUD::isVisible()) OVProgressHUD::dismiss();
            if (error) {
                if (error->code() == NSURLErrorNotConnectedToInternet)
                    OVProgressHUD::showErrorWithStatus(NSLocalizedString("networkerrortitle"));
                return;
            }
            if (document.isNull()) return;  // an empty answer: nothing to show
            auto model = std::make_shared<RHModel>();
            if (!model->initWithDictionary(Value::dict({{"rhitems", std::move(document)}}))) return;
            self->calcResult(model->rhitems());
        });
    task->resume();
}

void ReleaseHistoryController::calcResult(const std::vector<std::shared_ptr<ReleasesItem>>& items) {
    auto formatter = std::make_shared<NSDateFormatter>();
    formatter->setDateFormat("yyyy-MM-dd");
    auto icon = UIImageNamed("event");
    std::vector<CUSTimelineModelPtr> rows;
    const std::size_t count = std::min(items.size(), kMaxDates);
    rows.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const auto& item = items[i];
        auto model = std::make_shared<CUSTimelineModel>();
        model->setModelIcon(icon);
        model->setModelTime(formatter->dateFromString(item->date()));
        model->setEvent(item->date());
        std::string content;
        for (const auto& release : item->releases()) content = release->name() + "\n" + content;
        model->setContent(content);
        rows.push_back(model);
    }
    // The answer's rows replace what is shown, so overlapping loads never add up.
    setDataArray(std::move(rows));
    mTableview()->reloadData();
}

UIColorPtr ReleaseHistoryController::hex(const std::string& text, float alpha) const {
    return CommUtils::hex(text, alpha);
}

int64_t ReleaseHistoryController::tableViewNumberOfRowsInSection(UITableView&, int64_t) {
    return static_cast<int64_t>(dataArray().size());
}

double ReleaseHistoryController::tableViewHeightForRowAtIndexPath(UITableView&, NSIndexPath indexPath) {
    return dataArray().at(static_cast<std::size_t>(indexPath.row))->cellHeight();
}

UITableViewCellPtr ReleaseHistoryController::tableViewCellForRowAtIndexPath(UITableView& table, NSIndexPath indexPath) {
    auto cell = std::dynamic_pointer_cast<CUSTimelineCell>(
        table.dequeueReusableCellWithIdentifier("CUSTimelineCell", indexPath));
    if (!cell) cell = std::make_shared<CUSTimelineCell>(UITableViewCellStyleDefault, "CUSTimelineCell");
    cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
    cell->setBackgroundColor(indexPath.row % 2 == 0 ? CommUtils::getHistoryColorOne() : CommUtils::getHistoryColorTwo());
    const auto& model = dataArray().at(static_cast<std::size_t>(indexPath.row));
    if (indexPath.row == static_cast<int64_t>(dataArray().size()) - 1) model->setIsLast(true);
    cell->setModel(model);
    return cell;
}

void ReleaseHistoryController::tableViewDidSelectRowAtIndexPath(UITableView& table, NSIndexPath indexPath) {
    table.deselectRowAtIndexPath(indexPath, true);
}
