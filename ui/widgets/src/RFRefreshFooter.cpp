#include <ui_widgets/RFRefreshFooter.h>
#include <ui_widgets/RFRefreshGeometry.h>
#include <ui_widgets/RFRefreshSlots.h>

#include <platform_dispatch/Dispatch.h>

void RFRefreshFooter::queueState(RFRefreshState state) {
    std::weak_ptr<RFRefreshComponent> weak = weakSelf();
    dispatch_async(dispatch_get_main_queue(), [weak, state] {
        if (auto self = weak.lock()) self->setState(state);
    });
}

void RFRefreshFooter::endRefreshingWithNoMoreData() { queueState(RFRefreshStateNoMoreData); }

void RFRefreshFooter::resetNoMoreData() { queueState(RFRefreshStateIdle); }

RFRefreshComponent& RFRefreshFooter::linkTo(UIScrollView& scrollView) {
    rf_setFooter(scrollView, std::static_pointer_cast<RFRefreshFooter>(shared_from_this()));
    return *this;
}

void RFRefreshFooter::prepare() {
    RFRefreshComponent::prepare();
    rf_setH(*this, RFRefreshFooterHeight);
}
