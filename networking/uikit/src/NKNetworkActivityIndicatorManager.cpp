#include <networking_uikit/NKNetworkActivityIndicatorManager.h>

#include <networking/NKNetworkingNotifications.h>
#include <platform_dispatch/DispatchQueue.h>
#include <platform_dispatch/NSRunLoop.h>
#include <platform_foundation/NSNotificationCenter.h>
#include <platform_net/NSURLSessionTask.h>
#include <platform_uikit/UIApplication.h>

namespace {

// The request of a task notification's sender, when it has one with a URL.
bool senderHasRequestWithURL(const NSNotification& notification) {
    auto task = notification.object().objectAs<NSURLSessionTask>();
    if (!task) return false;
    NSURLRequestPtr request = task->originalRequest();
    return request && request->URL();
}

}  // namespace

NKNetworkActivityIndicatorManager::Ptr NKNetworkActivityIndicatorManager::sharedManager() {
    static Ptr shared = create();
    return shared;
}

NKNetworkActivityIndicatorManager::Ptr NKNetworkActivityIndicatorManager::create() {
    auto manager = std::make_shared<NKNetworkActivityIndicatorManager>();
    auto center = NSNotificationCenter::defaultCenter();
    // The centre holds its observers weakly; the manager's own token object carries them.
    manager->observer_ = std::make_shared<NSObject>();
    std::weak_ptr<NKNetworkActivityIndicatorManager> weak = manager;
    auto started = [weak](const NSNotification& n) {
        if (auto self = weak.lock()) self->networkRequestDidStart(n);
    };
    auto finished = [weak](const NSNotification& n) {
        if (auto self = weak.lock()) self->networkRequestDidFinish(n);
    };
    center->addObserver(manager->observer_, started, NKNetworkingTaskDidResumeNotification, Value());
    center->addObserver(manager->observer_, finished, NKNetworkingTaskDidSuspendNotification, Value());
    center->addObserver(manager->observer_, finished, NKNetworkingTaskDidCompleteNotification, Value());
    return manager;
}

NKNetworkActivityIndicatorManager::~NKNetworkActivityIndicatorManager() {
    if (observer_) NSNotificationCenter::defaultCenter()->removeObserver(observer_);
    if (activationDelayTimer_) activationDelayTimer_->invalidate();
    if (completionDelayTimer_) completionDelayTimer_->invalidate();
}

bool NKNetworkActivityIndicatorManager::isEnabled() const {
    std::lock_guard lock(mutex_);
    return enabled_;
}

void NKNetworkActivityIndicatorManager::setEnabled(bool enabled) {
    std::lock_guard lock(mutex_);
    enabled_ = enabled;
    if (!enabled) setCurrentState(NKNetworkActivityManagerStateNotActive);
}

bool NKNetworkActivityIndicatorManager::isNetworkActivityIndicatorVisible() const {
    std::lock_guard lock(mutex_);
    return visible_;
}

bool NKNetworkActivityIndicatorManager::isNetworkActivityOccurring() const {
    std::lock_guard lock(mutex_);
    return activityCount_ > 0;
}

int64_t NKNetworkActivityIndicatorManager::activityCount() const {
    std::lock_guard lock(mutex_);
    return activityCount_;
}

NKNetworkActivityManagerState NKNetworkActivityIndicatorManager::currentState() const {
    std::lock_guard lock(mutex_);
    return currentState_;
}

double NKNetworkActivityIndicatorManager::activationDelay() const {
    std::lock_guard lock(mutex_);
    return activationDelay_;
}
void NKNetworkActivityIndicatorManager::setActivationDelay(double seconds) {
    std::lock_guard lock(mutex_);
    activationDelay_ = seconds;
}
double NKNetworkActivityIndicatorManager::completionDelay() const {
    std::lock_guard lock(mutex_);
    return completionDelay_;
}
void NKNetworkActivityIndicatorManager::setCompletionDelay(double seconds) {
    std::lock_guard lock(mutex_);
    completionDelay_ = seconds;
}

void NKNetworkActivityIndicatorManager::setNetworkingActivityActionWithBlock(std::function<void(bool)> block) {
    std::lock_guard lock(mutex_);
    networkActivityActionBlock_ = std::move(block);
}

void NKNetworkActivityIndicatorManager::incrementActivityCount() {
    {
        std::lock_guard lock(mutex_);
        ++activityCount_;
    }
    scheduleStateUpdate();
}

void NKNetworkActivityIndicatorManager::decrementActivityCount() {
    {
        std::lock_guard lock(mutex_);
        if (activityCount_ > 0) --activityCount_;
    }
    scheduleStateUpdate();
}

void NKNetworkActivityIndicatorManager::scheduleStateUpdate() {
    std::weak_ptr<NKNetworkActivityIndicatorManager> weak =
        std::static_pointer_cast<NKNetworkActivityIndicatorManager>(shared_from_this());
    dispatch_async(dispatch_get_main_queue(), [weak] {
        if (auto self = weak.lock()) self->updateCurrentStateForNetworkActivityChange();
    });
}

void NKNetworkActivityIndicatorManager::networkRequestDidStart(const NSNotification& notification) {
    if (senderHasRequestWithURL(notification)) incrementActivityCount();
}

void NKNetworkActivityIndicatorManager::networkRequestDidFinish(const NSNotification& notification) {
    if (senderHasRequestWithURL(notification)) decrementActivityCount();
}

void NKNetworkActivityIndicatorManager::setNetworkActivityIndicatorVisible(bool visible) {
    std::function<void(bool)> action;
    {
        std::lock_guard lock(mutex_);
        if (visible_ == visible) return;
        visible_ = visible;
        action = networkActivityActionBlock_;
    }
    if (action) {
        action(visible);
    } else {
        UIApplication::sharedApplication()->setNetworkActivityIndicatorVisible(visible);
    }
}

void NKNetworkActivityIndicatorManager::setCurrentState(NKNetworkActivityManagerState state) {
    std::lock_guard lock(mutex_);
    if (state == currentState_) return;
    currentState_ = state;
    switch (state) {
    case NKNetworkActivityManagerStateNotActive:
        invalidateActivationDelayTimer();
        invalidateCompletionDelayTimer();
        setNetworkActivityIndicatorVisible(false);
        break;
    case NKNetworkActivityManagerStateDelayingStart: startActivationDelayTimer(); break;
    case NKNetworkActivityManagerStateActive:
        invalidateCompletionDelayTimer();
        setNetworkActivityIndicatorVisible(true);
        break;
    case NKNetworkActivityManagerStateDelayingEnd: startCompletionDelayTimer(); break;
    }
}

void NKNetworkActivityIndicatorManager::updateCurrentStateForNetworkActivityChange() {
    std::lock_guard lock(mutex_);
    if (!enabled_) return;
    bool occurring = activityCount_ > 0;
    switch (currentState_) {
    case NKNetworkActivityManagerStateNotActive:
        if (occurring) setCurrentState(NKNetworkActivityManagerStateDelayingStart);
        break;
    case NKNetworkActivityManagerStateActive:
        if (!occurring) setCurrentState(NKNetworkActivityManagerStateDelayingEnd);
        break;
    case NKNetworkActivityManagerStateDelayingEnd:
        if (occurring) setCurrentState(NKNetworkActivityManagerStateActive);
        break;
    default: break;
    }
}

void NKNetworkActivityIndicatorManager::startActivationDelayTimer() {
    std::weak_ptr<NKNetworkActivityIndicatorManager> weak =
        std::static_pointer_cast<NKNetworkActivityIndicatorManager>(shared_from_this());
    // An earlier activation timer is left running, as it always was.
    activationDelayTimer_ = NSTimer::timerWithTimeInterval(activationDelay_, false, [weak](const std::shared_ptr<NSTimer>&) {
        auto self = weak.lock();
        if (!self) return;
        self->setCurrentState(self->isNetworkActivityOccurring() ? NKNetworkActivityManagerStateActive
                                                                 : NKNetworkActivityManagerStateNotActive);
    });
    NSRunLoop::mainRunLoop()->addTimer(activationDelayTimer_, NSRunLoopCommonModes);
}

void NKNetworkActivityIndicatorManager::startCompletionDelayTimer() {
    invalidateCompletionDelayTimer();
    std::weak_ptr<NKNetworkActivityIndicatorManager> weak =
        std::static_pointer_cast<NKNetworkActivityIndicatorManager>(shared_from_this());
    completionDelayTimer_ = NSTimer::timerWithTimeInterval(completionDelay_, false, [weak](const std::shared_ptr<NSTimer>&) {
        if (auto self = weak.lock()) self->setCurrentState(NKNetworkActivityManagerStateNotActive);
    });
    NSRunLoop::mainRunLoop()->addTimer(completionDelayTimer_, NSRunLoopCommonModes);
}

void NKNetworkActivityIndicatorManager::invalidateActivationDelayTimer() {
    if (activationDelayTimer_) activationDelayTimer_->invalidate();
}

void NKNetworkActivityIndicatorManager::invalidateCompletionDelayTimer() {
    if (completionDelayTimer_) completionDelayTimer_->invalidate();
}
