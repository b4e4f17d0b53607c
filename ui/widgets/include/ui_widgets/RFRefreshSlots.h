#pragma once
// The slots of a scroll view that hold its refresh header, footer and
// trailer. Assigning a control removes the one held before from the view and
// inserts the new one as the bottom-most subview; assigning the control
// already held changes nothing; nullptr removes the old one.
//
// Main thread. The scroll view holds its controls.

#include <platform_uikit/UIScrollView.h>

#include <memory>

class RFRefreshHeader;
class RFRefreshFooter;
class RFRefreshTrailer;

std::shared_ptr<RFRefreshHeader> rf_header(const UIScrollView& scrollView);
void rf_setHeader(UIScrollView& scrollView, const std::shared_ptr<RFRefreshHeader>& header);
std::shared_ptr<RFRefreshFooter> rf_footer(const UIScrollView& scrollView);
void rf_setFooter(UIScrollView& scrollView, const std::shared_ptr<RFRefreshFooter>& footer);
std::shared_ptr<RFRefreshTrailer> rf_trailer(const UIScrollView& scrollView);
void rf_setTrailer(UIScrollView& scrollView, const std::shared_ptr<RFRefreshTrailer>& trailer);
