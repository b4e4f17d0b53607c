#include <app/screens/ViewController.h>

#include "DeviceListRows.h"

#include <app/screens/CommUtils.h>
#include <app/screens/InfoTableViewCell.h>

#include <device_and_dates/DVDeviceInfo.h>
#include <platform_foundation/NSLocalizedString.h>
#include <platform_uikit/UINavigationController.h>
#include <platform_uikit/UINib.h>

void ViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    navigationItem()->setTitle(NSLocalizedString("apptitle"));
    initTableView();
    LoadLocalData();
}

void ViewController::initTableView() {
    auto table = std::make_shared<UITableView>(view()->frame());
    auto self = std::static_pointer_cast<ViewController>(shared_from_this());
    table->setDelegate(self);
    table->setDataSource(self);
    table->registerNib(UINib::nibWithNibName("InfoTableViewCell", NSBundle::mainBundle()), "infoCell");
    setMTableview(table);

    auto header = MainHeaderView::initWithFrame(CGRectMake(0, 0, view()->frame().size.width, 70));
    setMainV(header);
    if (header) {
        header->setBackgroundColor(CommUtils::getDarModeBackgroundColor());
        if (header->CpuFrqTitleLabel()) header->CpuFrqTitleLabel()->setText(NSLocalizedString("yourphonemodel"));
        auto device = DVDeviceInfo::deviceInfo();
        DVDeviceVersion version = device->deviceVersion();
        if (header->CpuFrqInfoLabel())
            header->CpuFrqInfoLabel()->setText(device->modelString() + " (" + std::to_string(version.major) + "," +
                                               std::to_string(version.minor) + ")");
    }
    table->setTableHeaderView(header);
    view()->addSubview(table);
}

void ViewController::LoadLocalData() {
    setDataArray(loadDatas());
    mTableview()->reloadData();
}

Value::Array ViewController::loadDatas() {
    Value::Array rows;
    rows.reserve(deviceListRows().size());
    for (const auto& row : deviceListRows())
        rows.push_back(Value::dict({{"model", Value(row.model)}, {"modelStr", Value(row.modelStr)}}));
    return rows;
}

int64_t ViewController::tableViewNumberOfRowsInSection(UITableView&, int64_t) {
    return static_cast<int64_t>(dataArray().size());
}

UITableViewCellPtr ViewController::tableViewCellForRowAtIndexPath(UITableView& table, NSIndexPath indexPath) {
    auto cell = std::dynamic_pointer_cast<InfoTableViewCell>(table.dequeueReusableCellWithIdentifier("infoCell", indexPath));
    if (!cell) cell = std::make_shared<InfoTableViewCell>(UITableViewCellStyleDefault, "infoCell");
    const Value& row = dataArray().at(static_cast<std::size_t>(indexPath.row));
    if (const auto& left = cell->leftLable()) {
        left->setText(row.objectForKey(Value("model")).stringValue() + "  (" +
                      row.objectForKey(Value("modelStr")).stringValue() + ")");
        left->setTextColor(CommUtils::getDarkModeTextColor());
    }
    return cell;
}

void ViewController::tableViewDidSelectRowAtIndexPath(UITableView& table, NSIndexPath indexPath) {
    table.deselectRowAtIndexPath(indexPath, true);
    auto detail = std::make_shared<DetailViewController>();
    setDetailVC(detail);
    detail->setRequestStr(dataArray().at(static_cast<std::size_t>(indexPath.row)).objectForKey(Value("modelStr")).stringValue());
    detail->setHidesBottomBarWhenPushed(true);
    if (auto navigation = navigationController()) navigation->pushViewController(detail, true);
}
