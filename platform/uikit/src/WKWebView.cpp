#include <platform_uikit/WKWebView.h>

#include <platform_dispatch/DispatchQueue.h>
#include <platform_foundation/CFStringEncoding.h>
#include <platform_foundation/NSStringEncoding.h>
#include <platform_net/NSURL.h>
#include <platform_net/NSURLError.h>
#include <platform_net/NSURLRequest.h>
#include <platform_runtime/UTF16.h>

#include <algorithm>
#include <cctype>

namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

}  // namespace

WKNavigationPtr WKWebView::announce(bool fail) {
    auto navigation = std::make_shared<WKNavigation>();
    std::weak_ptr<WKWebView> weak = std::static_pointer_cast<WKWebView>(shared_from_this());
    dispatch_async(dispatch_get_main_queue(), [weak, navigation, fail] {
        auto self = weak.lock();
        auto d = self ? self->navigationDelegate() : nullptr;
        if (!d) return;
        d->webViewDidStartProvisionalNavigation(*self, navigation.get());
        if (fail) {
            NSError error(NSURLErrorDomain, NSURLErrorUnsupportedURL);
            d->webViewDidFailNavigation(*self, navigation.get(), error);
            return;
        }
        d->webViewDidCommitNavigation(*self, navigation.get());
        d->webViewDidFinishNavigation(*self, navigation.get());
    });
    return navigation;
}

WKNavigationPtr WKWebView::loadData(Value::Data data, const std::string& MIMEType,
                                    const std::string& characterEncodingName, std::shared_ptr<NSURL> baseURL) {
    data_ = std::move(data);
    mime_ = MIMEType;
    encoding_ = characterEncodingName;
    url_ = std::move(baseURL);
    ++loads_;
    setNeedsDisplay();
    return announce(false);
}

WKNavigationPtr WKWebView::loadHTMLString(const std::string& html, std::shared_ptr<NSURL> baseURL) {
    return loadData(Value::Data(html.begin(), html.end()), "text/html", "UTF-8", std::move(baseURL));
}

WKNavigationPtr WKWebView::loadRequest(std::shared_ptr<NSURLRequest> request) {
    request_ = std::move(request);
    return announce(true);
}

std::string WKWebView::documentText() const {
    // The encoding by its IANA name; UTF-8 when none is named or the name is unknown.
    NSStringEncoding encoding = NSUTF8StringEncoding;
    if (!encoding_.empty()) {
        CFStringEncoding cf = CFStringConvertIANACharSetNameToEncoding(encoding_);
        if (cf != kCFStringEncodingInvalidId) encoding = CFStringConvertEncodingToNSStringEncoding(cf);
    }
    if (auto text = NSString::initWithDataReplacingInvalid(data_, encoding)) return *text;
    return sanitizeUtf8(std::string_view(reinterpret_cast<const char*>(data_.data()), data_.size()));
}

std::string WKWebView::title() const {
    std::string text = documentText();
    std::string low = lower(text);
    auto open = low.find("<title");
    if (open == std::string::npos) return {};
    auto start = low.find('>', open);
    auto end = low.find("</title>", start);
    if (start == std::string::npos || end == std::string::npos) return {};
    return text.substr(start + 1, end - start - 1);
}
