#pragma once
// The rating prompt: counts uses and significant events per app version in
// the standard user defaults, decides when a prompt is due (days, uses,
// events, reminder, network, not declined, not rated), and then asks for
// the platform's review request (from 10.3) or shows its three-choice
// alert; rating opens the store's review page.
//
// `appLaunched` counts on a background-priority global queue,
// `appEnteredForeground` and `userDidSignificantEvent` on the prompt's own
// serial operation queue; prompts always hop to the main queue.
// `tryToShowPrompt`, `forceShowPrompt`, `rateApp` and `closeModal` are for
// the main thread. `isRatingAlertVisible` may be asked from any thread (an
// atomic flag the main thread keeps). The probe host and the store host are
// constants, overridable by RATE_PROMPT_PROBE_URL and RATE_PROMPT_STORE_HOST.

#include <platform_dispatch/NSOperationQueue.h>
#include <platform_uikit/SKStoreProductViewController.h>
#include <platform_foundation/NSBundle.h>
#include <platform_runtime/ObjCDeclare.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class RatePrompt;
class NSURLSession;
class NSURLSessionTask;
class UIAlertController;

// Optional calls; the defaults do nothing (and allow the prompt).
class RatePromptDelegate {
public:
    virtual ~RatePromptDelegate() = default;
    virtual bool ratePromptShouldDisplayAlert(RatePrompt&) { return true; }
    virtual void ratePromptDidDisplayAlert(RatePrompt&) {}
    virtual void ratePromptDidDeclineToRate(RatePrompt&) {}
    virtual void ratePromptDidOptToRate(RatePrompt&) {}
    virtual void ratePromptDidOptToRemindLater(RatePrompt&) {}
    virtual void ratePromptWillPresentModalView(RatePrompt&, bool /*animated*/) {}
    virtual void ratePromptDidDismissModalView(RatePrompt&, bool /*animated*/) {}
};

inline constexpr char kRatePromptCurrentVersion[] = "kRatePromptCurrentVersion";
inline constexpr char kRatePromptFirstUseDate[] = "kRatePromptFirstUseDate";
inline constexpr char kRatePromptUseCount[] = "kRatePromptUseCount";
inline constexpr char kRatePromptSignificantEventCount[] = "kRatePromptSignificantEventCount";
inline constexpr char kRatePromptRatedCurrentVersion[] = "kRatePromptRatedCurrentVersion";
inline constexpr char kRatePromptDeclinedToRate[] = "kRatePromptDeclinedToRate";
inline constexpr char kRatePromptReminderRequestDate[] = "kRatePromptReminderRequestDate";

class RatePrompt : public NSObject, public SKStoreProductViewControllerDelegate {
    NS_CLASS(RatePrompt, NSObject)
public:
    static constexpr const char* kProbeURLVariable = "RATE_PROMPT_PROBE_URL";
    static constexpr const char* kStoreHostVariable = "RATE_PROMPT_STORE_HOST";
    static constexpr const char* kDefaultProbeURL = "http://connectivity-probe.invalid/";
    static constexpr const char* kDefaultStoreHost = "itunes.apple.invalid";
    static constexpr const char* kReviewPath =
        "/WebObjects/MZStore.woa/wa/viewContentsUserReviews?id=APP_ID&onlyLatestVersion=true&pageNumber=0&sortOrdering=1&type=Purple+Software";

    static std::shared_ptr<RatePrompt> sharedInstance();

    // --- class-level settings (set before the first launch call) ---
    static void setAppId(std::string appId);
    static void setDaysUntilPrompt(double days);
    static void setUsesUntilPrompt(int64_t uses);
    static void setSignificantEventsUntilPrompt(int64_t events);
    static void setTimeBeforeReminding(double days);
    static void setDebug(bool debug);
    static void setUsesAnimation(bool animated);
    static void setAlwaysUseMainBundle(bool on);
    static void setModalOpen(bool open);
    static void setStatusBarStyle(int64_t) {}
    static void setDelegate(std::weak_ptr<RatePromptDelegate> delegate);
    static void setOpenInAppStore(bool on);
    static void setCustomAlertTitle(std::optional<std::string> text);
    static void setCustomAlertMessage(std::optional<std::string> text);
    static void setCustomAlertCancelButtonTitle(std::optional<std::string> text);
    static void setCustomAlertRateButtonTitle(std::optional<std::string> text);
    static void setCustomAlertRateLaterButtonTitle(std::optional<std::string> text);
    static std::optional<std::string> appId();

    // --- class-level entry points ---
    static void appLaunched(bool canPromptForRating = true);
    static void appEnteredForeground(bool canPromptForRating);
    static void userDidSignificantEvent(bool canPromptForRating);
    static void tryToShowPrompt();
    static void showPrompt() { tryToShowPrompt(); }
    static void forceShowPrompt(bool displayRateLaterButton);
    static void rateApp();
    static void closeModal();
    static void appWillResignActive();
    static bool modalOpen();
    // The controller the alert and the product sheet are presented on (none without a normal-level
    // window holding a controller's view).
    static UIViewControllerPtr getRootViewController();
    static UIViewControllerPtr iterateSubViewsForViewController(const UIView& view);
    static UIViewControllerPtr topMostViewController(UIViewControllerPtr controller);
    // The bundle of the prompt's texts.
    static std::shared_ptr<NSBundle> bundle();

    // --- instance operations ---
    void incrementUseCount();
    void incrementSignificantEventCount();
    void incrementAndRate(bool canPromptForRating);
    void incrementSignificantEventAndRate(bool canPromptForRating);
    bool ratingConditionsHaveBeenMet();
    bool ratingAlertIsAppropriate();
    bool connectedToNetwork();
    bool userHasDeclinedToRate();
    bool userHasRatedCurrentVersion();
    bool isRatingAlertVisible() const { return alertVisible_.load(); }
    void hideRatingAlert();
    void showRatingAlert(bool displayRateLaterButton = true);
    void showPromptWithChecks(bool withChecks, bool displayRateLaterButton);
    // 0 cancel, 1 rate, 2 remind later; other values record nothing.
    void alertViewDidDismissWithButtonIndex(int64_t index);
    // The choice a title maps to: cancel 0, rate 1, remind later 2 (first match wins), else -1.
    int64_t choiceForTitle(const std::string& title);
    // The alert's choices in order: rate, remind later (when asked), cancel.
    std::vector<std::string> alertChoices(bool displayRateLaterButton);

    // The product sheet's Done: closes it.
    void productViewControllerDidFinish(SKStoreProductViewController&) override { closeModal(); }

    // The alert shown last; cleared when the user picks a choice.
    const std::shared_ptr<UIAlertController>& ratingAlert() const { return ratingAlert_; }
    bool openInAppStore() const { return openInAppStore_; }
    std::shared_ptr<RatePromptDelegate> delegate() const { return delegate_.lock(); }
    std::string alertTitle();
    std::string alertMessage();
    std::string alertCancelTitle();
    std::string alertRateTitle();
    std::string alertRateLaterTitle();
    const std::shared_ptr<NSOperationQueue>& eventQueue() const { return eventQueue_; }

    // --- test seams ---
    // Replaces the reachability read of the zero address (nullopt: the flags cannot be read).
    static void setReachabilityFlagsReaderForTesting(std::function<std::optional<uint32_t>()> reader);
    // Waits until the launch counts queued so far are done.
    static void waitForLaunchWorkForTesting();
    // Stands for the alert's view entering (true) or leaving (false) a window.
    void setAlertVisibleForTesting(bool visible) { alertVisible_.store(visible); }
    // Lines the prompt logged ("RATEPROMPT …", the reachability error).
    static std::vector<std::string> loggedLines();
    // The probe the last network check started.
    std::shared_ptr<NSURLSessionTask> lastProbeTask() const { return lastProbeTask_; }
    static void clearLoggedLines();

    RatePrompt();

private:
    std::string appName() const;
    std::string text(const std::optional<std::string>& custom, const char* key, bool withAppName);
    void countUse(bool significantEvent);

    bool openInAppStore_ = true;
    std::weak_ptr<RatePromptDelegate> delegate_;
    std::optional<std::string> title_, message_, cancel_, rate_, rateLater_;
    std::shared_ptr<NSOperationQueue> eventQueue_;
    std::atomic<bool> alertVisible_{false};
    std::shared_ptr<NSObject> resignObserver_;
    // One ephemeral session carries every probe for the prompt's lifetime; a session per
    // probe was never invalidated and so outlived its probe.
    std::once_flag probeSessionOnce_;
    std::shared_ptr<NSURLSession> probeSession_;
    std::shared_ptr<NSURLSessionTask> lastProbeTask_;
    std::shared_ptr<UIAlertController> ratingAlert_;
};
