#include <app/screens/ECSettingViewController.h>

#include <app/AppConfiguration.h>
#include <app/screens/CommUtils.h>
#include <app/screens/ECEmailFeedback.h>

#include <platform_foundation/NSLocalizedString.h>
#include <platform_uikit/UIBarButtonItem.h>
#include <ui_widgets/RatePrompt.h>

namespace {
std::string infoString(const char* key) {
    Value v = NSBundle::mainBundle()->infoDictionary().objectForKey(Value(key));
    return v.isString() ? v.asStdString() : std::string();
}
}  // namespace

void ECSettingViewController::viewDidLoad() {
    UITableViewController::viewDidLoad();
    view()->setBackgroundColor(CommUtils::getDarModeBackgroundColor());
    navigationItem()->setTitle(NSLocalizedString("TabbarSettings"));
    navigationItem()->setBackBarButtonItem(UIBarButtonItem::withTitle(
        NSLocalizedString("MainControllerBack"), UIBarButtonItemStylePlain, nullptr, "", nullptr));
    if (versionLabel()) versionLabel()->setText(appVersion());
    auto label = [](const std::shared_ptr<UILabel>& l, const char* key, bool textColour) {
        if (!l) return;
        l->setText(NSLocalizedString(key));
        if (textColour) l->setTextColor(CommUtils::getDarkModeTextColor());
    };
    label(aboutTitleLabel(), "SettingsVersion", true);
    label(rateLeftTitleLabel(), "SettingsRate", true);
    label(rateRightTitleLabel(), "SettingsRateContent", false);
    label(feedbackLeftTitleLabel(), "SettingsFeedback", true);
    label(feedbackRightTitleLabel(), "SettingsFeedbackContent", false);
}

void ECSettingViewController::tableViewDidSelectRowAtIndexPath(UITableView& table, NSIndexPath indexPath) {
    table.deselectRowAtIndexPath(indexPath, true);
    if (indexPath.section != 0) return;
    if (indexPath.row == 0) RatePrompt::rateApp();
    else if (indexPath.row == 1) sendMail();
}

void ECSettingViewController::sendMail() {
    auto mail = std::make_shared<ECEmailFeedback>();
    mail->setToRecipients({AppConfiguration::kFeedbackAddress});
    mail->setSubject("Feedback");
    mail->showOnViewController(std::static_pointer_cast<UIViewController>(shared_from_this()),
                               [](MFMailComposeResult, NSErrorPtr) {});
}

std::string ECSettingViewController::appVersion() { return infoString("CFBundleShortVersionString"); }

std::string ECSettingViewController::appName() {
    std::string name = infoString("CFBundleDisplayName");
    return name.empty() ? infoString("CFBundleName") : name;
}
