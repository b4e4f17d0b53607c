#include <ui_tab_bar_and_layout/LCViewListExtensions.h>

namespace {

template <class F>
std::vector<LCConstraintPtr> each(const std::vector<UIViewPtr>& views, const LCMakerBlock& block, F f) {
    std::vector<LCConstraintPtr> all;
    for (const auto& view : views) {
        auto made = f(view, block);
        all.insert(all.end(), made.begin(), made.end());
    }
    return all;
}

Value target(const UIViewPtr& view) { return view ? Value(view) : Value(); }

}  // namespace

std::vector<LCConstraintPtr> lc_makeConstraints(const std::vector<UIViewPtr>& views, const LCMakerBlock& block) {
    return each(views, block, [](const UIViewPtr& v, const LCMakerBlock& b) { return lc_makeConstraints(v, b); });
}
std::vector<LCConstraintPtr> lc_updateConstraints(const std::vector<UIViewPtr>& views, const LCMakerBlock& block) {
    return each(views, block, [](const UIViewPtr& v, const LCMakerBlock& b) { return lc_updateConstraints(v, b); });
}
std::vector<LCConstraintPtr> lc_remakeConstraints(const std::vector<UIViewPtr>& views, const LCMakerBlock& block) {
    return each(views, block, [](const UIViewPtr& v, const LCMakerBlock& b) { return lc_remakeConstraints(v, b); });
}

UIViewPtr lc_commonSuperviewOfViews(const std::vector<std::shared_ptr<NSObject>>& objects) {
    UIViewPtr candidate;
    bool first = true;
    for (const auto& object : objects) {
        auto view = std::dynamic_pointer_cast<UIView>(object);
        if (!view) continue;
        if (first) {
            candidate = view;
            first = false;
        } else if (candidate) {
            candidate = lc_closestCommonSuperview(view, candidate);
        }
    }
    return candidate;
}

UIViewPtr lc_commonSuperviewOfViews(const std::vector<UIViewPtr>& views) {
    return lc_commonSuperviewOfViews(std::vector<std::shared_ptr<NSObject>>(views.begin(), views.end()));
}

void lc_distributeViewsAlongAxisWithFixedSpacing(const std::vector<UIViewPtr>& views, uint64_t axis, double spacing,
                                                 double leadSpacing, double tailSpacing) {
    if (views.size() < 2) return;
    auto s = target(lc_commonSuperviewOfViews(views));
    const bool horizontal = axis == 0;
    UIViewPtr previous;
    for (int32_t i = 0; i < static_cast<int32_t>(views.size()); ++i) {
        const auto& view = views[static_cast<std::size_t>(i)];
        const bool last = i == static_cast<int32_t>(views.size()) - 1;
        lc_makeConstraints(view, [&](LCConstraintMaker& make) {
            if (!previous) {
                (horizontal ? make.left() : make.top())->equalTo()(s)->offset()(leadSpacing);
                return;
            }
            (horizontal ? make.width() : make.height())->equalTo()(Value(previous));
            (horizontal ? make.left() : make.top())
                ->equalTo()(Value(horizontal ? lc_right(previous) : lc_bottom(previous)))
                ->offset()(spacing);
            if (last) (horizontal ? make.right() : make.bottom())->equalTo()(s)->offset()(-tailSpacing);
        });
        previous = view;
    }
}

void lc_distributeViewsAlongAxisWithFixedItemLength(const std::vector<UIViewPtr>& views, uint64_t axis,
                                                    double itemLength, double leadSpacing, double tailSpacing) {
    if (views.size() < 2) return;
    auto s = target(lc_commonSuperviewOfViews(views));
    const bool horizontal = axis == 0;
    UIViewPtr previous;
    for (int32_t i = 0; i < static_cast<int32_t>(views.size()); ++i) {
        const auto& view = views[static_cast<std::size_t>(i)];
        const bool last = i == static_cast<int32_t>(views.size()) - 1;
        lc_makeConstraints(view, [&](LCConstraintMaker& make) {
            (horizontal ? make.width() : make.height())->equalTo()(Value(itemLength));
            if (!previous) {
                (horizontal ? make.left() : make.top())->equalTo()(s)->offset()(leadSpacing);
            } else if (last) {
                (horizontal ? make.right() : make.bottom())->equalTo()(s)->offset()(-tailSpacing);
            } else {
                double spans = static_cast<double>(views.size()) + -1.0;
                double m = i / spans;
                double c = (itemLength + leadSpacing) * (1 - i / spans) - (tailSpacing * i) / spans;
                (horizontal ? make.right() : make.bottom())->equalTo()(s)->multipliedBy()(m)->offset()(c);
            }
        });
        previous = view;
    }
}
