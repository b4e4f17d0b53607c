#include <ui_widgets/RFRefreshFooter.h>
#include <ui_widgets/RFRefreshHeader.h>
#include <ui_widgets/RFRefreshSlots.h>
#include <ui_widgets/RFRefreshTrailer.h>

#include <platform_runtime/AssociatedObjects.h>

namespace {
char headerKey, footerKey, trailerKey;

template <class T>
std::shared_ptr<T> slot(const UIScrollView& scrollView, const char* key) {
    return objc_getAssociatedObject(scrollView, key).objectAs<T>();
}

template <class T>
void setSlot(UIScrollView& scrollView, const char* key, const std::shared_ptr<T>& control) {
    auto old = slot<T>(scrollView, key);
    if (old == control) return;
    if (old) old->removeFromSuperview();
    if (control) scrollView.insertSubviewAtIndex(control, 0);
    objc_setAssociatedObject(scrollView, key, Value(control), OBJC_ASSOCIATION_RETAIN);
}
}  // namespace

std::shared_ptr<RFRefreshHeader> rf_header(const UIScrollView& s) { return slot<RFRefreshHeader>(s, &headerKey); }
void rf_setHeader(UIScrollView& s, const std::shared_ptr<RFRefreshHeader>& c) { setSlot(s, &headerKey, c); }
std::shared_ptr<RFRefreshFooter> rf_footer(const UIScrollView& s) { return slot<RFRefreshFooter>(s, &footerKey); }
void rf_setFooter(UIScrollView& s, const std::shared_ptr<RFRefreshFooter>& c) { setSlot(s, &footerKey, c); }
std::shared_ptr<RFRefreshTrailer> rf_trailer(const UIScrollView& s) { return slot<RFRefreshTrailer>(s, &trailerKey); }
void rf_setTrailer(UIScrollView& s, const std::shared_ptr<RFRefreshTrailer>& c) { setSlot(s, &trailerKey, c); }
