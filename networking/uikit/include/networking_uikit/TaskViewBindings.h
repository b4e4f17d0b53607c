#pragma once
// Views that follow a URL session task: an activity indicator spins while the task runs, a
// refresh control shows refreshing while it runs, a progress view follows the task's sent or
// received bytes, and a web view loads a request through an HTTP session manager and shows the
// result.
//
// Entry points on the main thread. The indicator and refresh control follow the session
// manager's task notifications for their task only; the progress view observes the task's
// "state" and byte counters, whose changes arrive on the changing thread and reach the view on
// the main queue.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <networking/NKHTTPResponseSerializer.h>
#include <networking/NKHTTPSessionManager.h>
#include <platform_foundation/NSNotification.h>
#include <platform_uikit/UIActivityIndicatorView.h>
#include <platform_uikit/UIProgressView.h>
#include <platform_uikit/UIRefreshControl.h>
#include <platform_uikit/WKWebView.h>

// Binds an indicator to a task's notifications; held by its indicator view. The notification
// centre holds it weakly, so its registrations end with it.
class NKActivityIndicatorViewNotificationObserver : public NSObject {
    NS_CLASS(NKActivityIndicatorViewNotificationObserver, NSObject)
public:
    explicit NKActivityIndicatorViewNotificationObserver(std::weak_ptr<UIActivityIndicatorView> view)
        : activityIndicatorView_(std::move(view)) {}
    std::shared_ptr<UIActivityIndicatorView> activityIndicatorView() const { return activityIndicatorView_.lock(); }
    void setAnimatingWithStateOfTask(const NSURLSessionTaskPtr& task);
    std::string className() const override { return "NKActivityIndicatorViewNotificationObserver"; }

private:
    void removeRegistrations();
    std::weak_ptr<UIActivityIndicatorView> activityIndicatorView_;
};

// Binds a refresh control to a task's notifications; held by its control (registrations end
// with it, as above).
class NKRefreshControlNotificationObserver : public NSObject {
    NS_CLASS(NKRefreshControlNotificationObserver, NSObject)
public:
    explicit NKRefreshControlNotificationObserver(std::weak_ptr<UIRefreshControl> control)
        : refreshControl_(std::move(control)) {}
    std::shared_ptr<UIRefreshControl> refreshControl() const { return refreshControl_.lock(); }
    void setRefreshingWithStateOfTask(const NSURLSessionTaskPtr& task);
    std::string className() const override { return "NKRefreshControlNotificationObserver"; }

private:
    void removeRegistrations();
    std::weak_ptr<UIRefreshControl> refreshControl_;
};

// Running (0): spins; suspended or cancelling: stops at once; then follows the task's resume,
// suspend and completion. No task, or a completed one, only drops the earlier binding.
void setAnimatingWithStateOfTask(const std::shared_ptr<UIActivityIndicatorView>& view, const NSURLSessionTaskPtr& task);
// Running: refreshing until the task suspends or completes. Any other state ends refreshing
// and binds nothing.
void setRefreshingWithStateOfTask(const std::shared_ptr<UIRefreshControl>& control, const NSURLSessionTaskPtr& task);

// Sent (or received) ÷ expected bytes, while the expected size is known and at least 1; a
// completed task changes nothing.
void setProgressWithUploadProgressOfTask(const std::shared_ptr<UIProgressView>& view, const NSURLSessionTaskPtr& task,
                                         bool animated);
void setProgressWithDownloadProgressOfTask(const std::shared_ptr<UIProgressView>& view, const NSURLSessionTaskPtr& task,
                                           bool animated);
bool nk_uploadProgressAnimated(const UIProgressView& view);
bool nk_downloadProgressAnimated(const UIProgressView& view);

// --- web views ---
using NKWebViewDataSuccess =
    std::function<std::optional<Value::Data>(const NSHTTPURLResponsePtr&, const Value::Data&)>;
using NKWebViewHTMLSuccess = std::function<std::string(const NSHTTPURLResponsePtr&, const std::string&)>;
using NKWebViewFailure = std::function<void(const NSErrorPtr&)>;

// Cancels the web view's load in progress, fetches the request through the web view's session
// manager and shows the body (or what `success` makes of it, nothing meaning an empty
// document) with loadData; the navigation delegate hears start and finish with `navigation`.
void loadRequest(const std::shared_ptr<WKWebView>& webView, const NSURLRequestPtr& request,
                 const WKNavigationPtr& navigation, const std::string& MIMEType, const std::string& textEncodingName,
                 NSProgressPtr* progress, NKWebViewDataSuccess success, NKWebViewFailure failure);
// The HTML form: the body is decoded with the response's charset (UTF-8 when it names none or
// an unknown one; invalid bytes read as U+FFFD), handed to `success`, and what it returns is
// encoded back with the same charset (characters it cannot hold become "?").
void loadRequest(const std::shared_ptr<WKWebView>& webView, const NSURLRequestPtr& request,
                 const WKNavigationPtr& navigation, NSProgressPtr* progress, NKWebViewHTMLSuccess success,
                 NKWebViewFailure failure);

NSURLSessionDataTaskPtr nk_URLSessionTask(const WKWebView& webView);
// The manager loads go through: the web view's own, else a shared one (default configuration,
// plain HTTP request and response serializers, so the body arrives as bytes).
NKHTTPSessionManager::Ptr nk_sessionManager(const WKWebView& webView);
void nk_setSessionManager(const WKWebView& webView, NKHTTPSessionManager::Ptr manager);
NKHTTPResponseSerializer::Ptr nk_responseSerializer(const WKWebView& webView);
void nk_setResponseSerializer(const WKWebView& webView, NKHTTPResponseSerializer::Ptr serializer);
