#pragma once
// A web view without an engine: it keeps the document it was given (bytes,
// MIME type, character encoding name, base URL) and decodes it as text; a
// navigation delegate hears of loads made through it.
//
// Main thread. The navigation delegate is not held.

#include <platform_uikit/UIView.h>

#include <platform_runtime/NSError.h>
#include <platform_runtime/ObjCDeclare.h>
#include <platform_runtime/Value.h>

#include <memory>
#include <optional>
#include <string>

class NSURL;
class NSURLRequest;
class WKWebView;

// Identifies one load.
class WKNavigation : public NSObject {
    NS_CLASS(WKNavigation, NSObject)
};
using WKNavigationPtr = std::shared_ptr<WKNavigation>;

// What the web view tells about its loads (every method optional).
class WKNavigationDelegate {
public:
    virtual ~WKNavigationDelegate() = default;
    virtual void webViewDidStartProvisionalNavigation(WKWebView&, WKNavigation*) {}
    virtual void webViewDidCommitNavigation(WKWebView&, WKNavigation*) {}
    virtual void webViewDidFinishNavigation(WKWebView&, WKNavigation*) {}
    virtual void webViewDidFailNavigation(WKWebView&, WKNavigation*, const NSError&) {}
};

class WKWebView : public UIView {
    NS_CLASS(WKWebView, UIView)
public:
    using UIView::UIView;

    std::shared_ptr<WKNavigationDelegate> navigationDelegate() const { return delegate_.lock(); }
    void setNavigationDelegate(std::weak_ptr<WKNavigationDelegate> d) { delegate_ = std::move(d); }

    // Keeps the document; the delegate hears start, commit and finish on later main-queue turns.
    WKNavigationPtr loadData(Value::Data data, const std::string& MIMEType, const std::string& characterEncodingName,
                             std::shared_ptr<NSURL> baseURL);
    WKNavigationPtr loadHTMLString(const std::string& html, std::shared_ptr<NSURL> baseURL);
    // No engine fetches pages: the request is kept and the delegate told it failed (-1002).
    WKNavigationPtr loadRequest(std::shared_ptr<NSURLRequest> request);
    void stopLoading() {}
    bool isLoading() const { return false; }
    bool canGoBack() const { return false; }
    bool canGoForward() const { return false; }

    // The document as given, and as text in the encoding its IANA name gives (UTF-8 for
    // unknown or absent names; bad bytes as U+FFFD).
    const Value::Data& documentData() const { return data_; }
    std::string documentText() const;
    const std::string& MIMEType() const { return mime_; }
    const std::string& characterEncodingName() const { return encoding_; }
    std::shared_ptr<NSURL> URL() const { return url_; }
    std::shared_ptr<NSURLRequest> lastRequest() const { return request_; }
    // The text of the document's <title>, if any.
    std::string title() const;
    // How many documents were loaded.
    int64_t loadCount() const { return loads_; }

private:
    WKNavigationPtr announce(bool fail);
    std::weak_ptr<WKNavigationDelegate> delegate_;
    Value::Data data_;
    std::string mime_, encoding_;
    std::shared_ptr<NSURL> url_;
    std::shared_ptr<NSURLRequest> request_;
    int64_t loads_ = 0;
};
