#include "RFRefreshArrowLook.h"

#include <platform_uikit/UIDevice.h>

namespace rf_detail {

UIActivityIndicatorViewStyle defaultIndicatorStyle() {
    return UIKitIsAvailable(13) ? UIActivityIndicatorViewStyleMedium : UIActivityIndicatorViewStyleGray;
}

std::shared_ptr<UIActivityIndicatorView> indicatorIn(UIView& host, std::weak_ptr<UIActivityIndicatorView>& slot,
                                                     UIActivityIndicatorViewStyle style) {
    if (auto existing = slot.lock()) return existing;
    auto indicator = std::make_shared<UIActivityIndicatorView>(style);
    indicator->setHidesWhenStopped(true);
    host.addSubview(indicator);
    slot = indicator;
    return indicator;
}

void fadeIndicatorAfterRefresh(const std::shared_ptr<UIActivityIndicatorView>& indicator,
                               const std::shared_ptr<UIImageView>& arrow, double duration,
                               std::function<bool()> stillIdle) {
    std::weak_ptr<UIActivityIndicatorView> weakIndicator = indicator;
    std::weak_ptr<UIImageView> weakArrow = arrow;
    UIView::animateWithDuration(
        duration, [weakIndicator] { if (auto i = weakIndicator.lock()) i->setAlpha(0.0); },
        [weakIndicator, weakArrow, stillIdle = std::move(stillIdle)](bool) {
            if (!stillIdle()) return;
            if (auto i = weakIndicator.lock()) {
                i->setAlpha(1.0);
                i->stopAnimating();
            }
            if (auto a = weakArrow.lock()) a->setHidden(false);
        });
}

}  // namespace rf_detail
