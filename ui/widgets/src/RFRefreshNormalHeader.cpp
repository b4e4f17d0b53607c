#include <ui_widgets/RFRefreshGeometry.h>
#include <ui_widgets/RFRefreshLabel.h>
#include <ui_widgets/RFRefreshNormalHeader.h>
#include <ui_widgets/RFRefreshResources.h>

#include "RFRefreshArrowLook.h"

#include <algorithm>

const std::shared_ptr<UIImageView>& RFRefreshNormalHeader::arrowView() {
    if (!arrow_) {
        arrow_ = std::make_shared<UIImageView>(rf_arrowImage());
        addSubview(arrow_);
    }
    return arrow_;
}

std::shared_ptr<UIActivityIndicatorView> RFRefreshNormalHeader::loadingView() {
    return rf_detail::indicatorIn(*this, loading_, indicatorStyle_);
}

void RFRefreshNormalHeader::setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle style) {
    indicatorStyle_ = style;
    if (auto loading = loading_.lock()) loading->removeFromSuperview();
    loading_.reset();
    setNeedsLayout();
}

void RFRefreshNormalHeader::prepare() {
    RFRefreshStateHeader::prepare();
    indicatorStyle_ = rf_detail::defaultIndicatorStyle();
}

void RFRefreshNormalHeader::placeSubviews() {
    RFRefreshStateHeader::placeSubviews();
    double arrowCenterX = rf_w(*this) * 0.5;
    if (!stateLabel()->isHidden()) {
        double stateWidth = rf_textWidth(*stateLabel());
        double timeWidth = lastUpdatedTimeLabel()->isHidden() ? 0 : rf_textWidth(*lastUpdatedTimeLabel());
        arrowCenterX -= std::max(stateWidth, timeWidth) * 0.5 + labelLeftInset_;
    }
    CGPoint center = CGPointMake(arrowCenterX, rf_h(*this) * 0.5);
    auto& arrow = arrowView();
    if (!rf_hasConstraints(*arrow)) {
        if (arrow->image()) rf_setSize(*arrow, arrow->image()->size());
        arrow->setCenter(center);
    }
    if (!rf_hasConstraints(*loadingView())) loadingView()->setCenter(center);
    arrow->setTintColor(stateLabel()->textColor());
}

void RFRefreshNormalHeader::setState(RFRefreshState state) {
    RFRefreshState old = state_;
    if (state == old) return;
    RFRefreshStateHeader::setState(state);
    auto arrow = arrowView();
    auto loading = loadingView();
    if (state == RFRefreshStateIdle) {
        if (old == RFRefreshStateRefreshing) {
            arrow->setTransform(CGAffineTransformIdentity);
            std::weak_ptr<RFRefreshComponent> weak = weakSelf();
            rf_detail::fadeIndicatorAfterRefresh(loading, arrow, slowAnimationDuration(), [weak] {
                auto self = weak.lock();
                return self && self->state() == RFRefreshStateIdle;
            });
        } else {
            loading->stopAnimating();
            arrow->setHidden(false);
            UIView::animateWithDuration(fastAnimationDuration(), [arrow] { arrow->setTransform(CGAffineTransformIdentity); });
        }
    } else if (state == RFRefreshStatePulling) {
        loading->stopAnimating();
        arrow->setHidden(false);
        UIView::animateWithDuration(fastAnimationDuration(),
                                    [arrow] { arrow->setTransform(CGAffineTransformMakeRotation(kPullingArrowAngle)); });
    } else if (state == RFRefreshStateRefreshing) {
        loading->setAlpha(1.0);
        loading->startAnimating();
        arrow->setHidden(true);
    }
}
