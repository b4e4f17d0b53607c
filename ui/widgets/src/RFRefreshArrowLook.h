#pragma once
// What the arrow-and-indicator controls share: the indicator style of the
// system, making the indicator on first use, and the indicator's return to
// rest after a refresh.

#include <platform_uikit/UIActivityIndicatorView.h>
#include <platform_uikit/UIImageView.h>

#include <functional>
#include <memory>

namespace rf_detail {
// Medium from 13 on, else gray.
UIActivityIndicatorViewStyle defaultIndicatorStyle();
// The indicator held weakly in `slot`, made (hiding when stopped) and added to `host` when gone.
std::shared_ptr<UIActivityIndicatorView> indicatorIn(UIView& host, std::weak_ptr<UIActivityIndicatorView>& slot,
                                                     UIActivityIndicatorViewStyle style);
// Fades the indicator out over `duration`; then, when `stillIdle` holds, restores
// its alpha, stops it and shows the arrow.
void fadeIndicatorAfterRefresh(const std::shared_ptr<UIActivityIndicatorView>& indicator,
                               const std::shared_ptr<UIImageView>& arrow, double duration,
                               std::function<bool()> stillIdle);
}  // namespace rf_detail
