#pragma once
// Geometry shorthands of views and scroll views that the refresh controls
// use. Each setter reads the whole frame, offset, size or inset, changes one
// component and writes it back. A scroll view's effective inset is its
// adjusted inset on systems that have one (decided once, when the library
// loads), else its content inset; writing an effective edge writes the raw
// inset so that the effective edge reads back as written.
//
// Main thread.

#include <platform_uikit/UIScrollView.h>

double rf_x(const UIView& view);
void rf_setX(UIView& view, double x);
double rf_y(const UIView& view);
void rf_setY(UIView& view, double y);
double rf_w(const UIView& view);
void rf_setW(UIView& view, double w);
double rf_h(const UIView& view);
void rf_setH(UIView& view, double h);
CGPoint rf_origin(const UIView& view);
void rf_setOrigin(UIView& view, CGPoint origin);
CGSize rf_size(const UIView& view);
void rf_setSize(UIView& view, CGSize size);

// Whether scroll views have a system-adjusted inset; fixed at library load.
bool rf_scrollViewHasAdjustedInset();

UIEdgeInsets rf_inset(const UIScrollView& view);
double rf_insetT(const UIScrollView& view);
void rf_setInsetT(UIScrollView& view, double top);
double rf_insetL(const UIScrollView& view);
void rf_setInsetL(UIScrollView& view, double left);
double rf_insetB(const UIScrollView& view);
void rf_setInsetB(UIScrollView& view, double bottom);
double rf_insetR(const UIScrollView& view);
void rf_setInsetR(UIScrollView& view, double right);
double rf_offsetX(const UIScrollView& view);
void rf_setOffsetX(UIScrollView& view, double x);
double rf_offsetY(const UIScrollView& view);
void rf_setOffsetY(UIScrollView& view, double y);
double rf_contentW(const UIScrollView& view);
void rf_setContentW(UIScrollView& view, double w);
double rf_contentH(const UIScrollView& view);
void rf_setContentH(UIScrollView& view, double h);

// Whether the view has layout constraints of its own (then the controls leave its frame alone).
bool rf_hasConstraints(const UIView& view);

// Rows of a table view or items of a collection view over all sections; 0 for other scroll views.
int64_t rf_totalDataCount(const UIScrollView& view);
