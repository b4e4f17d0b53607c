#pragma once
// Loading a remote image into an image view, or into a button's image or background image per
// control state, through a shared image downloader and its cache. The view remembers the
// receipt of its download in progress, cancels it when given another URL, and ignores
// completions that no longer belong to its latest request.
//
// Main thread only. The views are held weakly by their downloads.

#include <memory>

#include <networking_uikit/NKImageDownloader.h>
#include <platform_uikit/UIButton.h>
#include <platform_uikit/UIImageView.h>

// --- image views ---
// The downloader image views use: the one set on UIImageView's class object, else the
// downloader's default instance. Subclasses read UIImageView's setting.
NKImageDownloader::Ptr UIImageViewSharedImageDownloader();
void UIImageViewSetSharedImageDownloader(NKImageDownloader::Ptr downloader);

void setImageWithURL(const std::shared_ptr<UIImageView>& view, const NSURLPtr& url, UIImagePtr placeholder = nullptr);
void setImageWithURLRequest(const std::shared_ptr<UIImageView>& view, const NSURLRequestPtr& request,
                            UIImagePtr placeholder, NKImageDownloadSuccess success, NKImageDownloadFailure failure);
void cancelImageDownloadTask(UIImageView& view);
bool isActiveTaskURLEqualToURLRequest(const UIImageView& view, const NSURLRequestPtr& request);
NKImageDownloadReceiptPtr nk_activeImageDownloadReceipt(const UIImageView& view);

// --- buttons: one slot for each of highlighted (1), disabled (2) and selected (4), one shared
// by every other state value; image and background-image slots are separate ---
NKImageDownloader::Ptr UIButtonSharedImageDownloader();
void UIButtonSetSharedImageDownloader(NKImageDownloader::Ptr downloader);

void setImageForState(const std::shared_ptr<UIButton>& button, UIControlState state, const NSURLPtr& url,
                      UIImagePtr placeholder = nullptr);
void setImageForState(const std::shared_ptr<UIButton>& button, UIControlState state, const NSURLRequestPtr& request,
                      UIImagePtr placeholder, NKImageDownloadSuccess success, NKImageDownloadFailure failure);
void setBackgroundImageForState(const std::shared_ptr<UIButton>& button, UIControlState state, const NSURLPtr& url,
                                UIImagePtr placeholder = nullptr);
void setBackgroundImageForState(const std::shared_ptr<UIButton>& button, UIControlState state,
                                const NSURLRequestPtr& request, UIImagePtr placeholder, NKImageDownloadSuccess success,
                                NKImageDownloadFailure failure);
void cancelImageDownloadTaskForState(UIButton& button, UIControlState state);
void cancelBackgroundImageDownloadTaskForState(UIButton& button, UIControlState state);
bool isActiveTaskURLEqualToURLRequest(const UIButton& button, const NSURLRequestPtr& request, UIControlState state);
bool isActiveBackgroundTaskURLEqualToURLRequest(const UIButton& button, const NSURLRequestPtr& request,
                                                UIControlState state);
NKImageDownloadReceiptPtr nk_imageDownloadReceiptForState(const UIButton& button, UIControlState state);
NKImageDownloadReceiptPtr nk_backgroundImageDownloadReceiptForState(const UIButton& button, UIControlState state);
