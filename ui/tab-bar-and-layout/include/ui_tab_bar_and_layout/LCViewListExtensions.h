#pragma once
// Builder operations on lists of views: one layout closure on each, the
// common superview, and even distributions along an axis.
//
// Main thread.

#include <ui_tab_bar_and_layout/LCViewExtensions.h>

#include <vector>

std::vector<LCConstraintPtr> lc_makeConstraints(const std::vector<UIViewPtr>& views, const LCMakerBlock& block);
std::vector<LCConstraintPtr> lc_updateConstraints(const std::vector<UIViewPtr>& views, const LCMakerBlock& block);
std::vector<LCConstraintPtr> lc_remakeConstraints(const std::vector<UIViewPtr>& views, const LCMakerBlock& block);
// Axis 0 horizontal, any other value vertical. Fewer than two views: nothing.
void lc_distributeViewsAlongAxisWithFixedSpacing(const std::vector<UIViewPtr>& views, uint64_t axis, double spacing,
                                                 double leadSpacing, double tailSpacing);
void lc_distributeViewsAlongAxisWithFixedItemLength(const std::vector<UIViewPtr>& views, uint64_t axis,
                                                    double itemLength, double leadSpacing, double tailSpacing);
// Elements that are not views are skipped; null for a list without views.
UIViewPtr lc_commonSuperviewOfViews(const std::vector<std::shared_ptr<NSObject>>& objects);
UIViewPtr lc_commonSuperviewOfViews(const std::vector<UIViewPtr>& views);
