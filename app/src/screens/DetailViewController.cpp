#include <app/screens/DetailViewController.h>

#include <app/AppConfiguration.h>
#include <app/api/ConnectionManager.h>
#include <app/screens/CommUtils.h>
#include <app/screens/InfoTableViewCell.h>
#include <app/store/ECUserDefaultsUtil.h>

#include <platform_foundation/NSLocalizedString.h>
#include <platform_runtime/ObjCRuntime.h>
#include <platform_net/NSURLError.h>
#include <platform_uikit/UIBarButtonItem.h>
#include <platform_uikit/UIImageNamed.h>
#include <platform_uikit/UINavigationController.h>
#include <platform_uikit/UINib.h>
#include <ui_widgets/OVProgressHUD.h>
#include <ui_widgets/RFRefreshNormalHeader.h>
#include <ui_widgets/RFRefreshSlots.h>

NS_CLASS_LOAD(DetailViewController) {
    cls.addInstanceOperation("collect:", [](NSObject& self, const Value::Array& args) {
        static_cast<DetailViewController&>(self).collect(args.empty() ? nullptr : args[0].asObject());
        return Value();
    });
    cls.addInstanceOperation("refreshData", [](NSObject& self, const Value::Array&) {
        static_cast<DetailViewController&>(self).refreshData();
        return Value();
    });
}

namespace {
void dismissOverlay() {
    if (OVProgressHUD::isVisible()) OVProgressHUD::dismiss();
}
}  // namespace

bool DetailViewController::isFavourite() const {
    auto favourite = ECUserDefaultsUtil::favModelStr();
    return favourite && requestStr() && *favourite == *requestStr();
}

void DetailViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    if (auto navigation = navigationController()) navigation->navigationBar()->setTintColor(UIColor::whiteColor());

    auto button = std::make_shared<UIButton>(CGRectMake(35, 0, 24, 24));
    button->setTag(301);
    std::weak_ptr<NSObject> weakSelf = shared_from_this();
    button->addTarget(shared_from_this(), "collect:",
                      [weakSelf](UIControl& sender, UIEvent*) {
                          if (auto self = weakSelf.lock())
                              (void)performSelector(self.get(), "collect:", {Value(sender.shared_from_this())});
                      },
                      UIControlEventTouchUpInside);
    setFavButton(button);
    auto item = UIBarButtonItem::withCustomView(button);
    button->setImage(UIImageNamed(isFavourite() ? "ECBusLineStarOn" : "ECBusLineStarOff"), UIControlStateNormal);
    navigationItem()->setRightBarButtonItem(item);

    initTableView();
    OVProgressHUD::setDefaultStyle(1);
    OVProgressHUD::show();
    if (requestStr()) requestStatusWithiPhoneModel(*requestStr());
}

void DetailViewController::initTableView() {
    auto table = std::make_shared<UITableView>(view()->frame());
    auto self = std::static_pointer_cast<DetailViewController>(shared_from_this());
    table->setDelegate(self);
    table->setDataSource(self);
    table->registerNib(UINib::nibWithNibName("InfoTableViewCell", NSBundle::mainBundle()), "infoCell");
    rf_setHeader(*table, RFRefreshHeader::headerWithRefreshingTarget<RFRefreshNormalHeader>(self, "refreshData"));
    setMTableview(table);
    view()->addSubview(table);
}

void DetailViewController::requestStatusWithiPhoneModel(const std::string& identifier) {
    auto self = std::static_pointer_cast<DetailViewController>(shared_from_this());
    auto task = ConnectionManager::globalTimelinePostsWithBlock(
        AppConfiguration::catalogueURL("/api/ios/v4/device/" + identifier), [self](Value document, NSErrorPtr error) {
            if (auto header = rf_header(*self->mTableview())) header->endRefreshing();
            dismissOverlay();
            if (error) {
                if (error->code() == NSURLErrorNotConnectedToInternet)
                    OVProgressHUD::showErrorWithStatus(NSLocalizedString("networkerrortitle"));
                return;
            }
            if (document.isNull()) return;  // an empty answer: nothing to show
            auto model = std::make_shared<IpswV4Model>();
            if (!model->initWithDictionary(std::move(document))) return;
            self->navigationItem()->setTitle(model->name());
            self->calcAndSortData(model->firmwares());
        });
    task->resume();
}

void DetailViewController::calcAndSortData(const std::vector<std::shared_ptr<FirmwareItem>>& firmwares) {
    std::vector<std::shared_ptr<FirmwareItem>> signedBuilds, unsignedBuilds;
    for (const auto& item : firmwares) (item->isSigned() ? signedBuilds : unsignedBuilds).push_back(item);
    setValidCountStr(std::to_string(signedBuilds.size()));
    signedBuilds.insert(signedBuilds.end(), unsignedBuilds.begin(), unsignedBuilds.end());
    setDataArray(std::move(signedBuilds));
    mTableview()->reloadData();
    resetNotification();
}

void DetailViewController::resetNotification() {
    if (isFavourite() && validCountStr()) ECUserDefaultsUtil::setValidCount(*validCountStr());
}

void DetailViewController::collect(const std::shared_ptr<NSObject>& sender) {
    auto button = std::dynamic_pointer_cast<UIButton>(sender);
    if (!button) return;
    if (isFavourite()) {
        ECUserDefaultsUtil::setFavModel("");
        ECUserDefaultsUtil::setValidCount("");
        button->setImage(UIImageNamed("ECBusLineStarOff"), UIControlStateNormal);
        return;
    }
    checkBackgroundStatus();
    ECUserDefaultsUtil::setFavModel(requestStr().value_or(""));
    if (validCountStr()) ECUserDefaultsUtil::setValidCount(*validCountStr());
    button->setImage(UIImageNamed("ECBusLineStarOn"), UIControlStateNormal);
}

void DetailViewController::checkBackgroundStatus() {
    if (UIApplication::sharedApplication()->backgroundRefreshStatus() != UIBackgroundRefreshStatusAvailable)
        OVProgressHUD::showInfoWithStatus(NSLocalizedString("backgroundUnavaiable"));
}

void DetailViewController::refreshData() {
    if (requestStr()) requestStatusWithiPhoneModel(*requestStr());
}

int64_t DetailViewController::tableViewNumberOfRowsInSection(UITableView&, int64_t) {
    return static_cast<int64_t>(dataArray().size());
}

UITableViewCellPtr DetailViewController::tableViewCellForRowAtIndexPath(UITableView& table, NSIndexPath indexPath) {
    auto cell = std::dynamic_pointer_cast<InfoTableViewCell>(table.dequeueReusableCellWithIdentifier("infoCell", indexPath));
    if (!cell) cell = std::make_shared<InfoTableViewCell>(UITableViewCellStyleDefault, "infoCell");
    const auto& item = dataArray().at(static_cast<std::size_t>(indexPath.row));
    if (const auto& left = cell->leftLable()) {
        left->setText(item->version() + "  (" + item->buildid() + ")");
        left->setTextColor(CommUtils::getDarkModeTextColor());
    }
    if (const auto& right = cell->rightLabel()) right->setText(item->isSigned() ? "✅" : "❌");
    return cell;
}

void DetailViewController::tableViewDidSelectRowAtIndexPath(UITableView& table, NSIndexPath indexPath) {
    table.deselectRowAtIndexPath(indexPath, true);
}
