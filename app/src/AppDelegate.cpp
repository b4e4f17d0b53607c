#include <app/AppDelegate.h>

#include <app/AppConfiguration.h>
#include <app/screens/CommUtils.h>

#include <analytics_common/ZVConfigure.h>
#include <platform_foundation/NSBundle.h>
#include <platform_foundation/NSStringCompare.h>
#include <platform_runtime/ObjCRuntime.h>
#include <platform_uikit/NSAttributedString.h>
#include <platform_uikit/UIDevice.h>
#include <platform_uikit/UINavigationBar.h>
#include <platform_uikit/UINavigationBarAppearance.h>
#include <platform_uikit/UIStoryboard.h>
#include <platform_uikit/UITabBar.h>
#include <platform_uikit/UITabBarItem.h>
#include <ui_tab_bar_and_layout/TBTabBarController.h>
#include <ui_widgets/RatePrompt.h>

namespace {

std::string localized(const std::string& key) { return NSBundle::mainBundle()->localizedStringForKey(key, ""); }

// A screen of another part of the app, made by class name with its plain initialiser as the
// platform would; a plain controller when the class is not there.
UIViewControllerPtr controllerNamed(const char* className) {
    if (ObjCClass* cls = NSClassFromString(className)) {
        if (auto controller = std::dynamic_pointer_cast<UIViewController>(cls->createInstance())) return controller;
    }
    return std::make_shared<UIViewController>();
}

UIViewControllerPtr settingsController() {
    auto storyboard = UIStoryboard::storyboardWithName("Main", NSBundle::mainBundle());
    return storyboard->instantiateViewControllerWithIdentifier("aboutviewcontroller");
}

Value::Dictionary whiteText() {
    return {{Value(NSForegroundColorAttributeName), Value(UIColor::whiteColor())}};
}

// The bar colours every tab's navigation bar shows.
void styleNavigationBar(UINavigationBar& bar) {
    if (AppDelegate::systemVersionAtLeast("15.0")) {
        auto appearance = std::make_shared<UINavigationBarAppearance>();
        appearance->configureWithOpaqueBackground();
        appearance->setBackgroundColor(CommUtils::getDarkModeNavColor());
        appearance->setTitleTextAttributes(whiteText());
        bar.setScrollEdgeAppearance(appearance);
        bar.setStandardAppearance(appearance);
        bar.setTranslucent(true);
    } else {
        bar.setBarTintColor(CommUtils::getDarkModeNavColor());
        bar.setTitleTextAttributes(whiteText());
    }
}

std::shared_ptr<UINavigationController> navigationControllerWithRoot(const UIViewControllerPtr& root) {
    auto navigation = UINavigationController::withRootViewController(root);
    styleNavigationBar(*navigation->navigationBar());
    return navigation;
}

}  // namespace

bool AppDelegate::systemVersionAtLeast(const std::string& version) {
    return NSString::compare(UIDevice::currentDevice()->systemVersion(), version, NSNumericSearch) != NSOrderedAscending;
}

bool AppDelegate::applicationDidFinishLaunching(UIApplication&, const Value& launchOptions) {
    setInitRatesUI();
    setInitNoti(launchOptions);
    ZVConfigure::initWithAppkey(Value(AppConfiguration::kAnalyticsAppKey), Value(AppConfiguration::kAnalyticsChannel));

    auto deviceList = navigationControllerWithRoot(controllerNamed("ViewController"));
    auto releaseHistory = navigationControllerWithRoot(controllerNamed("ReleaseHistoryController"));
    auto settings = navigationControllerWithRoot(settingsController());
    auto tabBarController = setupViewControllers(deviceList, settings, releaseHistory);
    if (window_) window_->setRootViewController(tabBarController);
    return true;
}

void AppDelegate::applicationWillEnterForeground(UIApplication&) { RatePrompt::appEnteredForeground(true); }

void AppDelegate::setInitRatesUI() {
    RatePrompt::setAppId(AppConfiguration::kStoreIdentifier);
    RatePrompt::setDaysUntilPrompt(1.0);
    RatePrompt::setUsesUntilPrompt(0);
    RatePrompt::setSignificantEventsUntilPrompt(-1);
    RatePrompt::setTimeBeforeReminding(2.0);
    RatePrompt::setDebug(false);
    RatePrompt::appLaunched(true);
}

void AppDelegate::setInitNoti(const Value&) {
    auto application = UIApplication::sharedApplication();
    if (systemVersionAtLeast("10.0") && NSClassFromString("UNUserNotificationCenter")) {
        auto center = UNUserNotificationCenter::currentNotificationCenter();
        center->requestAuthorizationWithOptions(
            UNAuthorizationOptionBadge | UNAuthorizationOptionSound | UNAuthorizationOptionAlert,
            [](bool, NSErrorPtr) {});
        center->setDelegate(std::dynamic_pointer_cast<AppDelegate>(shared_from_this()));
    } else {
        application->registerUserNotificationSettings(UIUserNotificationSettings::settingsForTypes(
            UIUserNotificationTypeBadge | UIUserNotificationTypeSound | UIUserNotificationTypeAlert));
    }
    application->setMinimumBackgroundFetchInterval(UIApplicationBackgroundFetchIntervalMinimum);
    application->cancelAllLocalNotifications();
}

std::shared_ptr<TBTabBarController> AppDelegate::setupViewControllers(const UIViewControllerPtr& first,
                                                                      const UIViewControllerPtr& second,
                                                                      const UIViewControllerPtr& third) {
    auto controller = std::make_shared<TBTabBarController>();
    customizeTabBarForController(*controller);
    controller->setViewControllers(std::vector<UIViewControllerPtr>{first, third, second});
    return controller;
}

void AppDelegate::customizeTabBarForController(TBTabBarController& controller) {
    auto tab = [](const char* titleKey, const char* image, const char* selectedImage) {
        return Value(Value::Dictionary{{Value(TBTabBarItemTitle), Value(localized(titleKey))},
                                       {Value(TBTabBarItemImage), Value(image)},
                                       {Value(TBTabBarItemSelectedImage), Value(selectedImage)}});
    };
    controller.setTabBarItemsAttributes(Value::Array{
        tab("TabbarMain", "ECTabbarWholeIconNor", "ECTabbarWholeIconSel"),
        tab("TabbarRH", "ECTabbarJBIconNor", "ECTabbarJBIconSel"),
        tab("TabbarSettings", "ECTabbarSettingIconNor", "ECTabbarSettingIconSel"),
    });

    auto item = UITabBarItem::appearance();
    item->setTitleTextAttributes(whiteText(), UIControlStateNormal);
    item->setTitleTextAttributes(
        {{Value(NSForegroundColorAttributeName), Value(UIColor::colorWithRed(225 / 255.0, 176 / 255.0, 48 / 255.0, 1.0))}},
        UIControlStateSelected);
    auto bar = UITabBar::appearance();
    bar->setBackgroundImage(std::make_shared<UIImage>());
    bar->setBackgroundColor(CommUtils::getDarkModeNavColor());
    if (systemVersionAtLeast("10.0")) bar->setUnselectedItemTintColor(UIColor::whiteColor());
}

int AppMain(int argc, char** argv) {
    return UIApplicationMain(argc, argv, nullptr, AppDelegate::staticClassName());
}
