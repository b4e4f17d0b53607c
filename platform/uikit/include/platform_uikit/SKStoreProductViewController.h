#pragma once
// The store's product sheet: a view controller that loads a product by its
// parameters ("id": the store item identifier) and shows a Done button; the
// button tells the delegate `productViewControllerDidFinish`. This platform
// has no store: the loaded parameters are kept for tests and the host.
//
// Main thread. The delegate is not held.

#include <platform_uikit/UIButton.h>
#include <platform_uikit/UIViewController.h>

#include <platform_runtime/NSError.h>

#include <functional>
#include <memory>

class SKStoreProductViewController;

inline constexpr char SKStoreProductParameterITunesItemIdentifier[] = "id";

class SKStoreProductViewControllerDelegate {
public:
    virtual ~SKStoreProductViewControllerDelegate() = default;
    virtual void productViewControllerDidFinish(SKStoreProductViewController&) {}
};

class SKStoreProductViewController : public UIViewController {
    NS_CLASS(SKStoreProductViewController, UIViewController)
public:
    std::shared_ptr<SKStoreProductViewControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<SKStoreProductViewControllerDelegate> delegate) { delegate_ = std::move(delegate); }
    // Keeps the parameters; the completion (when given) runs on the main queue with success.
    void loadProductWithParameters(const Value& parameters, std::function<void(bool, NSErrorPtr)> completion);
    const Value& parameters() const { return parameters_; }
    // The Done button (made with the view).
    const std::shared_ptr<UIButton>& doneButton();

    void viewDidLoad() override;

private:
    std::weak_ptr<SKStoreProductViewControllerDelegate> delegate_;
    Value parameters_;
    std::shared_ptr<UIButton> done_;
};
