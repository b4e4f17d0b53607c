#include <networking_uikit/TaskViewBindings.h>

#include <networking/NKHTTPRequestSerializer.h>
#include <networking/NKNetworkingNotifications.h>
#include <platform_dispatch/DispatchQueue.h>
#include <platform_foundation/CFStringEncoding.h>
#include <platform_foundation/NSNotificationCenter.h>
#include <platform_foundation/NSStringEncoding.h>
#include <platform_net/NSHTTPURLResponse.h>
#include <platform_net/NSURLSessionConfiguration.h>
#include <platform_runtime/AssociatedObjects.h>

namespace {

constexpr char kObserverKey[] = "nk_notificationObserver";
const char* const kTaskNotifications[] = {NKNetworkingTaskDidResumeNotification, NKNetworkingTaskDidSuspendNotification,
                                          NKNetworkingTaskDidCompleteNotification};

void removeTaskRegistrations(const std::shared_ptr<NSObject>& observer) {
    auto center = NSNotificationCenter::defaultCenter();
    for (const char* name : kTaskNotifications) center->removeObserver(observer, name, Value());
}

template <class View>
void onMain(const std::weak_ptr<View>& weak, void (View::*action)()) {
    dispatch_async(dispatch_get_main_queue(), [weak, action] {
        if (auto view = weak.lock()) ((*view).*action)();
    });
}

template <class Observer, class View>
std::shared_ptr<Observer> observerOf(const std::shared_ptr<View>& view) {
    if (auto existing = objc_getAssociatedObject(*view, kObserverKey).template objectAs<Observer>()) return existing;
    auto made = std::make_shared<Observer>(view);
    objc_setAssociatedObject(*view, kObserverKey, Value(made), OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    return made;
}

}  // namespace

// --- activity indicator ---

void NKActivityIndicatorViewNotificationObserver::removeRegistrations() { removeTaskRegistrations(shared_from_this()); }

void NKActivityIndicatorViewNotificationObserver::setAnimatingWithStateOfTask(const NSURLSessionTaskPtr& task) {
    removeRegistrations();
    if (!task || task->state() == NSURLSessionTaskStateCompleted) return;
    auto view = activityIndicatorView_.lock();
    if (view) {
        if (task->state() == NSURLSessionTaskStateRunning) {
            view->startAnimating();
        } else {
            view->stopAnimating();
        }
    }
    std::weak_ptr<UIActivityIndicatorView> weak = activityIndicatorView_;
    auto center = NSNotificationCenter::defaultCenter();
    auto self = shared_from_this();
    center->addObserver(self, [weak](const NSNotification&) { onMain(weak, &UIActivityIndicatorView::startAnimating); },
                        NKNetworkingTaskDidResumeNotification, Value(task));
    center->addObserver(self, [weak](const NSNotification&) { onMain(weak, &UIActivityIndicatorView::stopAnimating); },
                        NKNetworkingTaskDidCompleteNotification, Value(task));
    center->addObserver(self, [weak](const NSNotification&) { onMain(weak, &UIActivityIndicatorView::stopAnimating); },
                        NKNetworkingTaskDidSuspendNotification, Value(task));
}

void setAnimatingWithStateOfTask(const std::shared_ptr<UIActivityIndicatorView>& view, const NSURLSessionTaskPtr& task) {
    observerOf<NKActivityIndicatorViewNotificationObserver>(view)->setAnimatingWithStateOfTask(task);
}

// --- refresh control ---

void NKRefreshControlNotificationObserver::removeRegistrations() { removeTaskRegistrations(shared_from_this()); }

void NKRefreshControlNotificationObserver::setRefreshingWithStateOfTask(const NSURLSessionTaskPtr& task) {
    removeRegistrations();
    if (!task) return;
    auto control = refreshControl_.lock();
    if (task->state() != NSURLSessionTaskStateRunning) {
        if (control) control->endRefreshing();
        return;
    }
    if (control) control->beginRefreshing();
    std::weak_ptr<UIRefreshControl> weak = refreshControl_;
    auto center = NSNotificationCenter::defaultCenter();
    auto self = shared_from_this();
    center->addObserver(self, [weak](const NSNotification&) { onMain(weak, &UIRefreshControl::beginRefreshing); },
                        NKNetworkingTaskDidResumeNotification, Value(task));
    center->addObserver(self, [weak](const NSNotification&) { onMain(weak, &UIRefreshControl::endRefreshing); },
                        NKNetworkingTaskDidCompleteNotification, Value(task));
    center->addObserver(self, [weak](const NSNotification&) { onMain(weak, &UIRefreshControl::endRefreshing); },
                        NKNetworkingTaskDidSuspendNotification, Value(task));
}

void setRefreshingWithStateOfTask(const std::shared_ptr<UIRefreshControl>& control, const NSURLSessionTaskPtr& task) {
    observerOf<NKRefreshControlNotificationObserver>(control)->setRefreshingWithStateOfTask(task);
}

// --- progress view ---

namespace {

constexpr char kUploadAnimatedKey[] = "nk_uploadProgressAnimated";
constexpr char kDownloadAnimatedKey[] = "nk_downloadProgressAnimated";
constexpr char kProgressObserverKey[] = "nk_progressObserver";
char uploadToken;
char downloadToken;

// Observes tasks for one progress view (held by the view; the tasks hold it weakly).
class ProgressViewTaskObserver : public NSObject {
public:
    explicit ProgressViewTaskObserver(std::weak_ptr<UIProgressView> view) : view_(std::move(view)) {}

    void observeValueForKeyPath(const std::string& keyPath, NSObject* object, const Value&, void* context) override {
        auto* task = dynamic_cast<NSURLSessionTask*>(object);
        if (!task || (context != &uploadToken && context != &downloadToken)) return;
        bool upload = context == &uploadToken;
        if (keyPath == "countOfBytesSent" || keyPath == "countOfBytesReceived") {
            int64_t expected = upload ? task->countOfBytesExpectedToSend() : task->countOfBytesExpectedToReceive();
            if (expected < 1) return;
            int64_t done = upload ? task->countOfBytesSent() : task->countOfBytesReceived();
            float fraction = static_cast<float>(done) / static_cast<float>(expected);
            std::weak_ptr<UIProgressView> weak = view_;
            auto view = weak.lock();
            if (!view) return;
            bool animated = upload ? nk_uploadProgressAnimated(*view) : nk_downloadProgressAnimated(*view);
            dispatch_async(dispatch_get_main_queue(), [weak, fraction, animated] {
                if (auto v = weak.lock()) v->setProgress(fraction, animated);
            });
        } else if (keyPath == "state" && task->state() == NSURLSessionTaskStateCompleted) {
            // Removing an observation that is not registered does nothing.
            task->removeObserver(*this, "state", context);
            task->removeObserver(*this, upload ? "countOfBytesSent" : "countOfBytesReceived", context);
        }
    }

private:
    std::weak_ptr<UIProgressView> view_;
};

void observeProgress(const std::shared_ptr<UIProgressView>& view, const NSURLSessionTaskPtr& task, bool animated,
                     bool upload) {
    if (!task || task->state() == NSURLSessionTaskStateCompleted) return;
    auto observer = objc_getAssociatedObject(*view, kProgressObserverKey).objectAs<ProgressViewTaskObserver>();
    if (!observer) {
        observer = std::make_shared<ProgressViewTaskObserver>(view);
        objc_setAssociatedObject(*view, kProgressObserverKey, Value(observer), OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    }
    void* token = upload ? &uploadToken : &downloadToken;
    task->addObserver(*observer, "state", 0, token);
    task->addObserver(*observer, upload ? "countOfBytesSent" : "countOfBytesReceived", 0, token);
    // Keys by name: a pointer chosen by ?: would key by address.
    objc_setAssociatedObject(*view, std::string(upload ? kUploadAnimatedKey : kDownloadAnimatedKey), Value(animated),
                             OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

}  // namespace

void setProgressWithUploadProgressOfTask(const std::shared_ptr<UIProgressView>& view, const NSURLSessionTaskPtr& task,
                                         bool animated) {
    observeProgress(view, task, animated, true);
}

void setProgressWithDownloadProgressOfTask(const std::shared_ptr<UIProgressView>& view, const NSURLSessionTaskPtr& task,
                                           bool animated) {
    observeProgress(view, task, animated, false);
}

bool nk_uploadProgressAnimated(const UIProgressView& view) {
    return objc_getAssociatedObject(view, kUploadAnimatedKey).boolValue();
}

bool nk_downloadProgressAnimated(const UIProgressView& view) {
    return objc_getAssociatedObject(view, kDownloadAnimatedKey).boolValue();
}

// --- web view ---

namespace {

constexpr char kTaskKey[] = "nk_URLSessionTask";
constexpr char kManagerKey[] = "sessionManager";
constexpr char kSerializerKey[] = "responseSerializer";

NKHTTPSessionManager::Ptr sharedWebViewSessionManager() {
    static NKHTTPSessionManager::Ptr manager = [] {
        auto m = std::make_shared<NKHTTPSessionManager>(nullptr, NSURLSessionConfiguration::defaultSessionConfiguration());
        m->setRequestSerializer(NKHTTPRequestSerializer::serializer());
        m->setResponseSerializer(NKHTTPResponseSerializer::serializer());
        return m;
    }();
    return manager;
}

NKHTTPResponseSerializer::Ptr sharedWebViewResponseSerializer() {
    static NKHTTPResponseSerializer::Ptr serializer = NKHTTPResponseSerializer::serializer();
    return serializer;
}

// The response's charset as a string encoding; UTF-8 when it names none this platform knows.
NSStringEncoding encodingOf(const NSURLResponsePtr& response) {
    if (response && response->textEncodingName()) {
        CFStringEncoding cf = CFStringConvertIANACharSetNameToEncoding(*response->textEncodingName());
        if (cf != kCFStringEncodingInvalidId) {
            NSStringEncoding encoding = CFStringConvertEncodingToNSStringEncoding(cf);
            if (NSString::isSupportedEncoding(encoding)) return encoding;
        }
    }
    return NSUTF8StringEncoding;
}

}  // namespace

NSURLSessionDataTaskPtr nk_URLSessionTask(const WKWebView& webView) {
    return objc_getAssociatedObject(webView, kTaskKey).objectAs<NSURLSessionDataTask>();
}

NKHTTPSessionManager::Ptr nk_sessionManager(const WKWebView& webView) {
    if (auto own = objc_getAssociatedObject(webView, kManagerKey).objectAs<NKHTTPSessionManager>()) return own;
    return sharedWebViewSessionManager();
}

void nk_setSessionManager(const WKWebView& webView, NKHTTPSessionManager::Ptr manager) {
    objc_setAssociatedObject(webView, kManagerKey, Value(manager), OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

NKHTTPResponseSerializer::Ptr nk_responseSerializer(const WKWebView& webView) {
    if (auto own = objc_getAssociatedObject(webView, kSerializerKey).objectAs<NKHTTPResponseSerializer>()) return own;
    return sharedWebViewResponseSerializer();
}

void nk_setResponseSerializer(const WKWebView& webView, NKHTTPResponseSerializer::Ptr serializer) {
    objc_setAssociatedObject(webView, kSerializerKey, Value(serializer), OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

void loadRequest(const std::shared_ptr<WKWebView>& webView, const NSURLRequestPtr& request,
                 const WKNavigationPtr& navigation, const std::string& MIMEType, const std::string& textEncodingName,
                 NSProgressPtr* progress, NKWebViewDataSuccess success, NKWebViewFailure failure) {
    if (auto previous = nk_URLSessionTask(*webView)) {
        auto state = previous->state();
        if (state == NSURLSessionTaskStateRunning || state == NSURLSessionTaskStateSuspended) previous->cancel();
    }
    objc_setAssociatedObject(*webView, kTaskKey, Value(), OBJC_ASSOCIATION_RETAIN_NONATOMIC);

    std::weak_ptr<WKNavigationDelegate> delegate = webView->navigationDelegate();
    auto manager = nk_sessionManager(*webView);
    auto taskHolder = std::make_shared<NSURLSessionDataTaskPtr>();
    // The completion keeps the web view until it has run.
    auto task = manager->dataTaskWithRequest(
        request, nullptr, nullptr,
        [webView, navigation, MIMEType, textEncodingName, success, failure, delegate, taskHolder](
            NSURLResponsePtr response, Value responseObject, NSErrorPtr error) {
            NSURLSessionDataTaskPtr task = std::move(*taskHolder);
            if (error) {
                if (failure) failure(error);
                return;
            }
            Value::Data data = responseObject.isData() ? responseObject.asData() : Value::Data();
            if (success) data = success(std::dynamic_pointer_cast<NSHTTPURLResponse>(response), data).value_or(Value::Data());
            NSURLRequestPtr current = task ? task->currentRequest() : nullptr;
            webView->loadData(std::move(data), MIMEType, textEncodingName, current ? current->URL() : nullptr);
            if (auto d = delegate.lock()) d->webViewDidFinishNavigation(*webView, navigation.get());
        });
    *taskHolder = task;
    objc_setAssociatedObject(*webView, kTaskKey, Value(task), OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    if (progress) *progress = manager->downloadProgressForTask(task);
    task->resume();
    if (auto d = delegate.lock()) d->webViewDidStartProvisionalNavigation(*webView, navigation.get());
}

void loadRequest(const std::shared_ptr<WKWebView>& webView, const NSURLRequestPtr& request,
                 const WKNavigationPtr& navigation, NSProgressPtr* progress, NKWebViewHTMLSuccess success,
                 NKWebViewFailure failure) {
    loadRequest(
        webView, request, navigation, "", "", progress,
        [success](const NSHTTPURLResponsePtr& response, const Value::Data& body) -> std::optional<Value::Data> {
            NSStringEncoding encoding = encodingOf(response);
            std::string text = NSString::initWithDataReplacingInvalid(body, encoding).value_or(std::string());
            if (success) text = success(response, text);
            return NSString::dataUsingEncoding(text, encoding, /*allowLossyConversion=*/true);
        },
        std::move(failure));
}
