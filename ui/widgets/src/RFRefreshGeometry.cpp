#include <ui_widgets/RFRefreshGeometry.h>

#include <platform_uikit/UICollectionView.h>
#include <platform_uikit/UITableView.h>

#include <platform_runtime/ObjCClass.h>
#include <platform_runtime/ObjCDeclare.h>

namespace {
bool& adjustedInsetFlag() {
    static bool flag = false;
    return flag;
}
}  // namespace

NS_CLASS_LOAD(UIScrollView) {
    adjustedInsetFlag() = cls.instancesRespondToSelector("adjustedContentInset");
}

bool rf_scrollViewHasAdjustedInset() { return adjustedInsetFlag(); }

double rf_x(const UIView& view) { return view.frame().origin.x; }
void rf_setX(UIView& view, double x) { CGRect f = view.frame(); f.origin.x = x; view.setFrame(f); }
double rf_y(const UIView& view) { return view.frame().origin.y; }
void rf_setY(UIView& view, double y) { CGRect f = view.frame(); f.origin.y = y; view.setFrame(f); }
double rf_w(const UIView& view) { return view.frame().size.width; }
void rf_setW(UIView& view, double w) { CGRect f = view.frame(); f.size.width = w; view.setFrame(f); }
double rf_h(const UIView& view) { return view.frame().size.height; }
void rf_setH(UIView& view, double h) { CGRect f = view.frame(); f.size.height = h; view.setFrame(f); }
CGPoint rf_origin(const UIView& view) { return view.frame().origin; }
void rf_setOrigin(UIView& view, CGPoint origin) { CGRect f = view.frame(); f.origin = origin; view.setFrame(f); }
CGSize rf_size(const UIView& view) { return view.frame().size; }
void rf_setSize(UIView& view, CGSize size) { CGRect f = view.frame(); f.size = size; view.setFrame(f); }

UIEdgeInsets rf_inset(const UIScrollView& view) {
    return rf_scrollViewHasAdjustedInset() ? view.adjustedContentInset() : view.contentInset();
}

namespace {
// Writes one raw edge so that the effective edge reads back as `value`.
void setEffectiveEdge(UIScrollView& view, double value, double UIEdgeInsets::*edge) {
    UIEdgeInsets raw = view.contentInset();
    double system = rf_scrollViewHasAdjustedInset() ? view.adjustedContentInset().*edge - raw.*edge : 0;
    raw.*edge = value - system;
    view.setContentInset(raw);
}
}  // namespace

double rf_insetT(const UIScrollView& view) { return rf_inset(view).top; }
void rf_setInsetT(UIScrollView& view, double top) { setEffectiveEdge(view, top, &UIEdgeInsets::top); }
double rf_insetL(const UIScrollView& view) { return rf_inset(view).left; }
void rf_setInsetL(UIScrollView& view, double left) { setEffectiveEdge(view, left, &UIEdgeInsets::left); }
double rf_insetB(const UIScrollView& view) { return rf_inset(view).bottom; }
void rf_setInsetB(UIScrollView& view, double bottom) { setEffectiveEdge(view, bottom, &UIEdgeInsets::bottom); }
double rf_insetR(const UIScrollView& view) { return rf_inset(view).right; }
void rf_setInsetR(UIScrollView& view, double right) { setEffectiveEdge(view, right, &UIEdgeInsets::right); }

double rf_offsetX(const UIScrollView& view) { return view.contentOffset().x; }
void rf_setOffsetX(UIScrollView& view, double x) { CGPoint o = view.contentOffset(); o.x = x; view.setContentOffset(o); }
double rf_offsetY(const UIScrollView& view) { return view.contentOffset().y; }
void rf_setOffsetY(UIScrollView& view, double y) { CGPoint o = view.contentOffset(); o.y = y; view.setContentOffset(o); }
double rf_contentW(const UIScrollView& view) { return view.contentSize().width; }
void rf_setContentW(UIScrollView& view, double w) { CGSize s = view.contentSize(); s.width = w; view.setContentSize(s); }
double rf_contentH(const UIScrollView& view) { return view.contentSize().height; }
void rf_setContentH(UIScrollView& view, double h) { CGSize s = view.contentSize(); s.height = h; view.setContentSize(s); }

bool rf_hasConstraints(const UIView& view) { return !view.constraints().empty(); }

int64_t rf_totalDataCount(const UIScrollView& view) {
    int64_t total = 0;
    if (auto* table = dynamic_cast<const UITableView*>(&view)) {
        for (int64_t section = 0; section < table->numberOfSections(); ++section)
            total += table->numberOfRowsInSection(section);
    } else if (auto* collection = dynamic_cast<const UICollectionView*>(&view)) {
        for (int64_t section = 0; section < collection->numberOfSections(); ++section)
            total += collection->numberOfItemsInSection(section);
    }
    return total;
}
