#include <platform_uikit/SKStoreProductViewController.h>

#include <platform_dispatch/Dispatch.h>

void SKStoreProductViewController::loadProductWithParameters(const Value& parameters,
                                                             std::function<void(bool, NSErrorPtr)> completion) {
    parameters_ = parameters;
    if (completion) dispatch_async(dispatch_get_main_queue(), [completion] { completion(true, nullptr); });
}

const std::shared_ptr<UIButton>& SKStoreProductViewController::doneButton() {
    if (!done_) {
        done_ = std::make_shared<UIButton>(CGRectMake(16, 44, 80, 44));
        done_->setTitle("Done", UIControlStateNormal);
        std::weak_ptr<SKStoreProductViewController> weak =
            std::static_pointer_cast<SKStoreProductViewController>(shared_from_this());
        done_->addTarget(
            nullptr, "done:",
            [weak](UIControl&, UIEvent*) {
                auto self = weak.lock();
                if (!self) return;
                if (auto delegate = self->delegate()) delegate->productViewControllerDidFinish(*self);
            },
            UIControlEventTouchUpInside);
    }
    return done_;
}

void SKStoreProductViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    view()->setBackgroundColor(UIColor::whiteColor());
    view()->addSubview(doneButton());
}
