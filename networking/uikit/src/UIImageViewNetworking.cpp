#include <networking_uikit/UIImageViewNetworking.h>

#include <functional>
#include <string>

#include <platform_net/NSURLError.h>
#include <platform_runtime/AssociatedObjects.h>

namespace {

constexpr char kSharedDownloaderKey[] = "sharedImageDownloader";

NKImageDownloader::Ptr sharedDownloaderOf(const ObjCClass& cls) {
    if (auto set = objc_getAssociatedObject(cls, kSharedDownloaderKey).objectAs<NKImageDownloader>()) return set;
    return NKImageDownloader::defaultInstance();
}

// One loading slot of a view: the receipt of its download in progress, and the identifier of
// the latest download it started. The downloader may answer a request from its cache without
// a task (when its own lookup raced a pending insertion); the view then holds no receipt, and
// the answer is recognised by the identifier instead.
struct Slot {
    std::string receiptKey;
    std::string latestKey;

    NKImageDownloadReceiptPtr receipt(const NSObject& view) const {
        return objc_getAssociatedObject(view, receiptKey).objectAs<NKImageDownloadReceipt>();
    }
    void setReceipt(const NSObject& view, const NKImageDownloadReceiptPtr& receipt) const {
        objc_setAssociatedObject(view, receiptKey, Value(receipt), OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    }
    void setLatest(const NSObject& view, const NSUUIDPtr& identifier) const {
        objc_setAssociatedObject(view, latestKey, Value(identifier), OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    }
    void clear(const NSObject& view) const {
        setReceipt(view, nullptr);
        setLatest(view, nullptr);
    }
    // Whether a completion of the download `identifier` still belongs to the view.
    bool isCurrent(const NSObject& view, const NSUUID& identifier) const {
        if (auto held = receipt(view)) return *held->receiptID == identifier;
        auto latest = objc_getAssociatedObject(view, latestKey).objectAs<NSUUID>();
        return latest && *latest == identifier;
    }
    bool isLoading(const NSObject& view, const NSURLRequestPtr& request) const {
        auto held = receipt(view);
        if (!held || !held->task || !request || !request->URL()) return false;
        auto original = held->task->originalRequest();
        return original && original->URL() && original->URL()->absoluteString() == request->URL()->absoluteString();
    }
    void cancel(const NSObject& view, const NKImageDownloader::Ptr& downloader) const {
        if (auto held = receipt(view)) {
            downloader->cancelTaskForImageDownloadReceipt(held);
            clear(view);
        }
    }
};

const Slot kImageViewSlot{"nk_activeImageDownloadReceipt", "nk_activeImageDownloadID"};

const char* stateName(UIControlState state) {
    switch (state) {
    case UIControlStateHighlighted: return "highlighted";
    case UIControlStateDisabled: return "disabled";
    case UIControlStateSelected: return "selected";
    default: return "normal";
    }
}

Slot buttonSlot(UIControlState state, bool background) {
    std::string kind = background ? "nk_backgroundImageDownloadReceipt_" : "nk_imageDownloadReceipt_";
    return Slot{kind + stateName(state), kind + stateName(state) + "_id"};
}

NSURLRequestPtr imageRequest(const NSURLPtr& url) {
    auto request = std::make_shared<NSMutableURLRequest>(url);
    request->addValue("image/*", "Accept");
    return request;
}

// Steps 2 to 6 of a load, shared by image views and buttons. `apply` sets the image on the view.
template <class View>
void load(const std::shared_ptr<View>& view, const Slot& slot, const NKImageDownloader::Ptr& downloader,
          const NSURLRequestPtr& request, const UIImagePtr& placeholder, NKImageDownloadSuccess success,
          NKImageDownloadFailure failure, std::function<void(View&, const UIImagePtr&)> apply) {
    if (slot.isLoading(*view, request)) return;
    slot.cancel(*view, downloader);
    slot.clear(*view);

    if (auto cache = downloader->imageCache()) {
        if (UIImagePtr cached = cache->imageforRequest(request, nullptr)) {
            if (success) {
                success(request, nullptr, cached);
            } else {
                apply(*view, cached);
            }
            slot.clear(*view);
            return;
        }
    }

    if (placeholder) apply(*view, placeholder);
    auto downloadID = NSUUID::UUID();
    slot.setLatest(*view, downloadID);
    std::weak_ptr<View> weak = view;
    auto receipt = downloader->downloadImageForURLRequest(
        request, downloadID,
        [weak, slot, downloadID, success, apply](const NSURLRequestPtr& rq, const NSHTTPURLResponsePtr& rs,
                                                 const UIImagePtr& image) {
            auto strong = weak.lock();
            if (!strong || !slot.isCurrent(*strong, *downloadID)) return;
            if (success) {
                success(rq, rs, image);
            } else if (image) {
                apply(*strong, image);
            }
            slot.clear(*strong);
        },
        [weak, slot, downloadID, failure](const NSURLRequestPtr& rq, const NSHTTPURLResponsePtr& rs,
                                          const NSErrorPtr& error) {
            auto strong = weak.lock();
            if (!strong || !slot.isCurrent(*strong, *downloadID)) return;
            if (failure) failure(rq, rs, error);
            slot.clear(*strong);
        });
    slot.setReceipt(*view, receipt);
}

}  // namespace

NKImageDownloader::Ptr UIImageViewSharedImageDownloader() { return sharedDownloaderOf(UIImageView::classObject()); }

void UIImageViewSetSharedImageDownloader(NKImageDownloader::Ptr downloader) {
    objc_setAssociatedObject(UIImageView::classObject(), kSharedDownloaderKey, Value(downloader),
                             OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

void setImageWithURL(const std::shared_ptr<UIImageView>& view, const NSURLPtr& url, UIImagePtr placeholder) {
    setImageWithURLRequest(view, imageRequest(url), std::move(placeholder), nullptr, nullptr);
}

void setImageWithURLRequest(const std::shared_ptr<UIImageView>& view, const NSURLRequestPtr& request,
                            UIImagePtr placeholder, NKImageDownloadSuccess success, NKImageDownloadFailure failure) {
    if (!request || !request->URL()) {
        view->setImage(placeholder);
        if (failure) failure(request, nullptr, NSError::errorWithDomain(NSURLErrorDomain, NSURLErrorBadURL));
        return;
    }
    load<UIImageView>(view, kImageViewSlot, UIImageViewSharedImageDownloader(), request, placeholder,
                      std::move(success), std::move(failure),
                      [](UIImageView& v, const UIImagePtr& image) { v.setImage(image); });
}

void cancelImageDownloadTask(UIImageView& view) { kImageViewSlot.cancel(view, UIImageViewSharedImageDownloader()); }

bool isActiveTaskURLEqualToURLRequest(const UIImageView& view, const NSURLRequestPtr& request) {
    return kImageViewSlot.isLoading(view, request);
}

NKImageDownloadReceiptPtr nk_activeImageDownloadReceipt(const UIImageView& view) { return kImageViewSlot.receipt(view); }

NKImageDownloader::Ptr UIButtonSharedImageDownloader() { return sharedDownloaderOf(UIButton::classObject()); }

void UIButtonSetSharedImageDownloader(NKImageDownloader::Ptr downloader) {
    objc_setAssociatedObject(UIButton::classObject(), kSharedDownloaderKey, Value(downloader),
                             OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

void setImageForState(const std::shared_ptr<UIButton>& button, UIControlState state, const NSURLPtr& url,
                      UIImagePtr placeholder) {
    setImageForState(button, state, imageRequest(url), std::move(placeholder), nullptr, nullptr);
}

void setImageForState(const std::shared_ptr<UIButton>& button, UIControlState state, const NSURLRequestPtr& request,
                      UIImagePtr placeholder, NKImageDownloadSuccess success, NKImageDownloadFailure failure) {
    load<UIButton>(button, buttonSlot(state, false), UIButtonSharedImageDownloader(), request, placeholder,
                   std::move(success), std::move(failure),
                   [state](UIButton& b, const UIImagePtr& image) { b.setImage(image, state); });
}

void setBackgroundImageForState(const std::shared_ptr<UIButton>& button, UIControlState state, const NSURLPtr& url,
                                UIImagePtr placeholder) {
    setBackgroundImageForState(button, state, imageRequest(url), std::move(placeholder), nullptr, nullptr);
}

void setBackgroundImageForState(const std::shared_ptr<UIButton>& button, UIControlState state,
                                const NSURLRequestPtr& request, UIImagePtr placeholder, NKImageDownloadSuccess success,
                                NKImageDownloadFailure failure) {
    load<UIButton>(button, buttonSlot(state, true), UIButtonSharedImageDownloader(), request, placeholder,
                   std::move(success), std::move(failure),
                   [state](UIButton& b, const UIImagePtr& image) { b.setBackgroundImage(image, state); });
}

void cancelImageDownloadTaskForState(UIButton& button, UIControlState state) {
    buttonSlot(state, false).cancel(button, UIButtonSharedImageDownloader());
}

void cancelBackgroundImageDownloadTaskForState(UIButton& button, UIControlState state) {
    buttonSlot(state, true).cancel(button, UIButtonSharedImageDownloader());
}

bool isActiveTaskURLEqualToURLRequest(const UIButton& button, const NSURLRequestPtr& request, UIControlState state) {
    return buttonSlot(state, false).isLoading(button, request);
}

bool isActiveBackgroundTaskURLEqualToURLRequest(const UIButton& button, const NSURLRequestPtr& request,
                                                UIControlState state) {
    return buttonSlot(state, true).isLoading(button, request);
}

NKImageDownloadReceiptPtr nk_imageDownloadReceiptForState(const UIButton& button, UIControlState state) {
    return buttonSlot(state, false).receipt(button);
}

NKImageDownloadReceiptPtr nk_backgroundImageDownloadReceiptForState(const UIButton& button, UIControlState state) {
    return buttonSlot(state, true).receipt(button);
}
