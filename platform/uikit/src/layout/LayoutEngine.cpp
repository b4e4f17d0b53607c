#include "layout/LayoutEngine.h"

#include <platform_uikit/NSLayoutConstraint.h>
#include <platform_uikit/UILabel.h>
#include <platform_uikit/UILayoutGuide.h>
#include <platform_uikit/UIView.h>

#include <platform_foundation/NSLog.h>
#include <platform_foundation/NSStringFormat.h>

#include <algorithm>
#include <cmath>

namespace uikit_layout {

namespace {

// Keeps an ambiguous layout where it is without pulling against any real priority.
constexpr double kStayWeight = 1e-6;
// Solved values this close to a whole 1/1e6 point are written as it.
double snap(double v) { return std::round(v * 1e6) / 1e6; }

bool horizontalAttribute(NSLayoutAttribute a) {
    return a == NSLayoutAttributeLeft || a == NSLayoutAttributeRight || a == NSLayoutAttributeLeading ||
           a == NSLayoutAttributeTrailing || a == NSLayoutAttributeWidth || a == NSLayoutAttributeCenterX;
}

// A multi-line label without a preferred width: its height follows the width it is given.
UILabel* wrappingLabel(UIView* view) {
    auto* label = dynamic_cast<UILabel*>(view);
    return label && label->numberOfLines() != 1 && label->preferredMaxLayoutWidth() == 0 ? label : nullptr;
}

template <class F>
void eachView(UIView& root, const F& f) {
    f(root);
    for (const auto& sub : root.subviews()) eachView(*sub, f);
}

}  // namespace

double weightForPriority(float priority) {
    if (priority >= 1000) return LinearSolver::kRequired;
    // The priorities views use all the time, worked out once.
    static const double low = std::pow(10.0, -2.0), high = std::pow(10.0, 2.0);
    if (priority == 250) return low;
    if (priority == 750) return high;
    if (priority == 500) return 1.0;
    return std::pow(10.0, (static_cast<double>(priority) - 500.0) / 125.0);
}

LayoutEngine& LayoutEngine::shared() {
    static LayoutEngine* engine = new LayoutEngine;  // lives as long as views may die
    return *engine;
}

// --- hooks ---

void LayoutEngine::prepareLayout(UIView& root) {
    auto& e = shared();
    root.updateConstraintsIfNeeded();
    if (e.participants_ == 0 && e.pending_.empty()) return;
    e.retryPending(root);
    for (auto it = e.guided_.begin(); it != e.guided_.end();) {
        auto c = it->lock();
        if (!c || c->solverId_ == UINT32_MAX) {
            it = e.guided_.erase(it);
            continue;
        }
        Expression ex;
        if (auto holder = c->installedView(); holder && e.buildExpression(*holder, *c, ex) &&
                                              ex.constant != e.solver_.constantOf(c->solverId_))
            (void)e.solver_.setConstant(c->solverId_, ex.constant);
        ++it;
    }
    eachView(root, [&](UIView& v) {
        if (v.layout_ && v.layout_->hasVariables) e.syncView(*v.layout_);
    });
    // A wrapping label gets its height for the width just solved; then the engine solves once more.
    eachView(root, [&](UIView& v) {
        auto* state = v.layout_.get();
        if (!state || !state->hasVariables || state->translates) return;
        auto* label = wrappingLabel(&v);
        if (!label) return;
        double width = snap(e.solver_.value(state->w));
        if (std::fabs(width - state->measuredWidth) < 1e-6) return;
        state->measuredWidth = width;
        CGSize size = state->intrinsicSize;
        size.height = std::ceil(label->sizeThatFits(CGSizeMake(width, 0)).height);
        e.updateIntrinsic(*state, size);
    });
    eachView(root, [&](UIView& v) {
        auto* state = v.layout_.get();
        if (!state || !state->hasVariables || state->translates) return;
        if (!CGRectEqualToRect(e.solvedFrame(*state), v.frame()))
            if (auto parent = v.superview()) parent->setNeedsLayout();
    });
}

void LayoutEngine::applyFramesToSubviews(UIView& view) {
    auto& e = shared();
    if (e.participants_ == 0) return;
    auto subviews = view.subviews();
    for (const auto& sub : subviews) {
        auto* state = sub->layout_.get();
        if (!state || !state->hasVariables || state->translates) continue;
        CGRect frame = e.solvedFrame(*state);
        if (!CGRectEqualToRect(frame, sub->frame())) sub->setFrame(frame);
    }
}

void LayoutEngine::viewWillLeaveSuperview(UIView& view, UIView& parent) {
    auto& e = shared();
    if (e.owners_.empty() && e.pending_.empty()) return;
    auto inside = [&](const std::shared_ptr<NSObject>& item) {
        if (!item) return false;
        UIView* v = dynamic_cast<UIView*>(item.get());
        std::shared_ptr<UIView> owner;
        if (!v)
            if (auto* guide = dynamic_cast<UILayoutGuide*>(item.get())) v = (owner = guide->owningView()).get();
        return v && v->isDescendantOfView(&view);
    };
    for (auto a = parent.shared_from_this(); a;) {
        auto* holder = static_cast<UIView*>(a.get());
        if (holder->layout_) {
            auto list = holder->layout_->constraints;
            for (const auto& c : list)
                if (inside(c->firstItem()) || inside(c->secondItem())) holder->removeConstraint(c);
        }
        a = holder->superview();
    }
}

// --- constraints ---

void LayoutEngine::constraintAdded(UIView& holder, const std::shared_ptr<NSLayoutConstraint>& c) {
    c->broken_ = false;
    if (!enter(holder, *c)) pending_.push_back(c);
    holder.setNeedsLayout();
}

void LayoutEngine::constraintRemoved(NSLayoutConstraint& c) {
    if (c.solverId_ != UINT32_MAX) {
        solver_.removeConstraint(c.solverId_);
        owners_.erase(c.solverId_);
        c.solverId_ = UINT32_MAX;
    }
    c.broken_ = false;
    if (auto holder = c.installedView()) holder->setNeedsLayout();
}

void LayoutEngine::constantChanged(NSLayoutConstraint& c) {
    auto holder = c.installedView();
    if (!holder) return;
    holder->setNeedsLayout();
    if (c.solverId_ == UINT32_MAX) {
        if (c.broken_) constraintAdded(*holder, std::static_pointer_cast<NSLayoutConstraint>(c.shared_from_this()));
        return;
    }
    auto result = solver_.setConstant(c.solverId_, c.solverOffset_ - c.constant_);
    if (!result.ok()) {
        owners_.erase(c.solverId_);
        c.solverId_ = UINT32_MAX;
        c.broken_ = true;
        reportConflict(c, result.conflicts);
    }
}

bool LayoutEngine::enter(UIView& holder, NSLayoutConstraint& c) {
    Expression ex;
    if (!buildExpression(holder, c, ex)) return false;
    auto relation = static_cast<Relation>(c.relation_);
    auto result = solver_.addConstraint(ex.terms, ex.constant, relation, weightForPriority(c.priority_));
    if (result.ok()) {
        c.solverId_ = result.constraint;
        owners_[result.constraint] = std::static_pointer_cast<NSLayoutConstraint>(c.shared_from_this());
        if (c.usesGuides_) guided_.push_back(owners_[result.constraint]);
    } else {
        c.broken_ = true;
        reportConflict(c, result.conflicts);
    }
    return true;
}

// first - multiplier × second - constant  (relation)  0, in the holder's bounds space.
bool LayoutEngine::buildExpression(UIView& holder, NSLayoutConstraint& c, Expression& out) {
    auto first = c.firstItem();
    if (!first) return false;
    c.usesGuides_ = false;
    Expression ex;
    if (!itemBox(holder, first.get(), c.firstAttribute_, ex)) return false;
    if (auto second = c.secondItem(); second && c.secondAttribute_ != NSLayoutAttributeNotAnAttribute) {
        Expression other;
        if (!itemBox(holder, second.get(), c.secondAttribute_, other)) return false;
        for (const auto& t : other.terms) ex.add(t.variable, -c.multiplier_ * t.coefficient);
        ex.constant -= c.multiplier_ * other.constant;
    } else if (c.secondItem()) {
        return false;
    }
    c.solverOffset_ = ex.constant;
    ex.constant -= c.constant_;
    c.usesGuides_ = dynamic_cast<UILayoutGuide*>(first.get()) || dynamic_cast<UILayoutGuide*>(c.secondItem().get());
    out = std::move(ex);
    return true;
}

bool LayoutEngine::itemBox(UIView& holder, NSObject* item, NSLayoutAttribute attribute, Expression& e) {
    auto* view = dynamic_cast<UIView*>(item);
    auto* guide = view ? nullptr : dynamic_cast<UILayoutGuide*>(item);
    std::shared_ptr<UIView> owner;
    if (guide) view = (owner = guide->owningView()).get();
    if (!view || (view != &holder && !view->isDescendantOfView(&holder))) return false;
    const bool horizontal = horizontalAttribute(attribute);
    Expression pos, size;
    auto& state = variablesFor(*view);
    const uint32_t sizeVar = horizontal ? state.w : state.h;
    const CGRect bounds = view->bounds();
    const double boundsOrigin = horizontal ? bounds.origin.x : bounds.origin.y;
    if (guide) {
        // The guide's rectangle in its view's bounds space, then moved into the holder's.
        CGRect frame = guide->layoutFrame();
        pos.constant = horizontal ? frame.origin.x : frame.origin.y;
        double inset = horizontal ? bounds.size.width - frame.size.width : bounds.size.height - frame.size.height;
        bool fixedLength = !horizontal && guide->kind() != UILayoutGuide::Kind::SafeArea;
        if (fixedLength) {
            size.constant = frame.size.height;
            if (guide->kind() == UILayoutGuide::Kind::BottomLayoutGuide) {
                // Sits on the view's bottom edge.
                pos.constant = boundsOrigin - frame.size.height;
                pos.add(sizeVar, 1);
            }
        } else {
            size.add(sizeVar, 1);
            size.constant = -inset;
        }
        addOrigin(pos, view, &holder, horizontal);
    } else if (view == &holder) {
        pos.constant = boundsOrigin;
        size.add(sizeVar, 1);
    } else {
        pos.add(horizontal ? state.x : state.y, 1);
        addOrigin(pos, view->superview().get(), &holder, horizontal);
        size.add(sizeVar, 1);
    }
    auto plus = [&](const Expression& a, double factor) {
        for (const auto& t : a.terms) e.add(t.variable, t.coefficient * factor);
        e.constant += a.constant * factor;
    };
    switch (attribute) {
        case NSLayoutAttributeLeft:
        case NSLayoutAttributeLeading:
        case NSLayoutAttributeTop: plus(pos, 1); break;
        case NSLayoutAttributeRight:
        case NSLayoutAttributeTrailing:
        case NSLayoutAttributeBottom:
            plus(pos, 1);
            plus(size, 1);
            break;
        case NSLayoutAttributeWidth:
        case NSLayoutAttributeHeight: plus(size, 1); break;
        case NSLayoutAttributeCenterX:
        case NSLayoutAttributeCenterY:
            plus(pos, 1);
            plus(size, 0.5);
            break;
        case NSLayoutAttributeLastBaseline:
            plus(pos, 1);
            if (auto* label = guide ? nullptr : dynamic_cast<UILabel*>(view)) {
                // Last line's top + ascender, the text centred vertically in the label.
                auto font = label->effectiveFont();
                double width = label->numberOfLines() == 1 ? 0 : label->bounds().size.width;
                auto text = label->layoutInRect(CGRectMake(0, 0, width, 0));
                double lines = std::max<double>(1, static_cast<double>(text.lines.size()));
                plus(size, 0.5);
                e.constant += -text.size.height / 2 + (lines - 1) * font->lineHeight() + font->ascender();
            } else {
                plus(size, 1);
            }
            break;
        default: return false;
    }
    return true;
}

// Σ (x − bounds origin) of `from` and its ancestors below the holder: where
// the origin of `from`'s bounds space lies in the holder's.
void LayoutEngine::addOrigin(Expression& e, UIView* from, UIView* holder, bool horizontal) {
    for (UIView* u = from; u && u != holder;) {
        auto& state = variablesFor(*u);
        e.add(horizontal ? state.x : state.y, 1);
        e.constant -= horizontal ? u->bounds().origin.x : u->bounds().origin.y;
        auto parent = u->superview();
        u = parent.get();
    }
}

// --- per-view variables ---

ViewLayoutState& LayoutEngine::variablesFor(UIView& view) {
    auto& state = view.layoutState();
    if (state.hasVariables) return state;
    state.x = solver_.newVariable();
    state.y = solver_.newVariable();
    state.w = solver_.newVariable();
    state.h = solver_.newVariable();
    state.hasVariables = true;
    ++participants_;
    placeHolds(state);
    state.intrinsicDirty = true;
    syncView(state);
    return state;
}

void LayoutEngine::placeHolds(ViewLayoutState& state) {
    CGRect f = state.view->frame();
    state.heldFrame = f;
    state.holdsRequired = state.translates;
    const double values[4] = {f.origin.x, f.origin.y, f.size.width, f.size.height};
    const uint32_t vars[4] = {state.x, state.y, state.w, state.h};
    for (int i = 0; i < 4; ++i)
        setInternal(state.holds[i], vars[i], values[i], Relation::Equal,
                    state.translates ? LinearSolver::kRequired : kStayWeight, state,
                    state.translates ? "autoresizing" : "stay");
}

void LayoutEngine::removeHolds(ViewLayoutState& state) {
    for (auto& id : state.holds) dropInternal(id);
}

void LayoutEngine::translationChanged(ViewLayoutState& state) {
    if (!state.hasVariables) return;
    removeHolds(state);
    for (auto& id : state.intrinsic) dropInternal(id);
    placeHolds(state);
    state.intrinsicDirty = true;
    syncView(state);
}

void LayoutEngine::intrinsicSizeInvalidated(ViewLayoutState& state) {
    state.intrinsicDirty = true;
    state.measuredWidth = -1;
    if (auto parent = state.view->superview()) parent->setNeedsLayout();
}

void LayoutEngine::syncView(ViewLayoutState& state) {
    UIView& view = *state.view;
    if (state.translates) {
        CGRect f = view.frame();
        if (CGRectEqualToRect(f, state.heldFrame)) return;
        state.heldFrame = f;
        const double values[4] = {f.origin.x, f.origin.y, f.size.width, f.size.height};
        const uint32_t vars[4] = {state.x, state.y, state.w, state.h};
        for (int i = 0; i < 4; ++i)
            setInternal(state.holds[i], vars[i], values[i], Relation::Equal, LinearSolver::kRequired, state,
                        "autoresizing");
        return;
    }
    if (!state.intrinsicDirty) return;
    state.intrinsicDirty = false;
    CGSize size = view.intrinsicContentSize();
    if (size.width >= 0) size.width = std::ceil(size.width);
    if (size.height >= 0) size.height = std::ceil(size.height);
    if (auto* label = wrappingLabel(&view); label && state.measuredWidth >= 0)
        size.height = std::ceil(label->sizeThatFits(CGSizeMake(state.measuredWidth, 0)).height);
    updateIntrinsic(state, size);
}

void LayoutEngine::updateIntrinsic(ViewLayoutState& state, CGSize size) {
    state.intrinsicSize = size;
    for (int axis = 0; axis < 2; ++axis) {
        double value = axis == 0 ? size.width : size.height;
        uint32_t var = axis == 0 ? state.w : state.h;
        if (value < 0) {
            dropInternal(state.intrinsic[2 * axis]);
            dropInternal(state.intrinsic[2 * axis + 1]);
            continue;
        }
        setInternal(state.intrinsic[2 * axis], var, value, Relation::GreaterOrEqual,
                    weightForPriority(state.compression[axis]), state, "compression");
        setInternal(state.intrinsic[2 * axis + 1], var, value, Relation::LessOrEqual,
                    weightForPriority(state.hugging[axis]), state, "hugging");
    }
}

void LayoutEngine::setInternal(uint32_t& id, uint32_t variable, double value, Relation relation, double weight,
                               ViewLayoutState& state, const char* what) {
    if (id != UINT32_MAX && solver_.contains(id)) {
        if (solver_.constantOf(id) == -value) return;
        auto r = solver_.setConstant(id, -value);
        if (r.ok()) return;
        internals_.erase(id);
        id = UINT32_MAX;
    } else {
        dropInternal(id);
    }
    static const char* const names[] = {"minX", "minY", "width", "height"};
    const char* name = variable == state.x ? names[0] : variable == state.y ? names[1] : variable == state.w ? names[2] : names[3];
    const char* rel = relation == Relation::Equal ? "==" : relation == Relation::GreaterOrEqual ? ">=" : "<=";
    std::string kind = std::string(what) == "autoresizing" ? "NSAutoresizingMaskLayoutConstraint"
                       : std::string(what) == "stay"       ? "NSLayoutStay"
                                                           : "NSContentSizeLayoutConstraint";
    std::string text = "<" + kind + " " + NSLayoutObjectName(state.view) + "." + name + " " + rel + " " +
                       NSStringWithFormat("%g", value) + ">";
    auto r = solver_.addConstraint({Term{variable, 1}}, -value, relation, weight);
    if (r.ok()) {
        id = r.constraint;
        internals_[id] = Internal{state.view, std::move(text)};
    } else {
        // Only required holds can be refused: the view's own constraints already fix it otherwise.
        NSLogv("Unable to simultaneously satisfy constraints.\nWill attempt to recover by breaking constraint \n" + text);
    }
}

void LayoutEngine::dropInternal(uint32_t& id) {
    if (id == UINT32_MAX) return;
    solver_.removeConstraint(id);
    internals_.erase(id);
    id = UINT32_MAX;
}

void LayoutEngine::forget(ViewLayoutState& state) {
    for (const auto& c : state.constraints) {
        constraintRemoved(*c);
        c->installedView_.reset();
    }
    state.constraints.clear();
    if (!state.hasVariables) return;
    removeHolds(state);
    for (auto& id : state.intrinsic) dropInternal(id);
    state.hasVariables = false;
    --participants_;
}

CGRect LayoutEngine::solvedFrame(const ViewLayoutState& state) const {
    return CGRectMake(snap(solver_.value(state.x)), snap(solver_.value(state.y)), snap(solver_.value(state.w)),
                      snap(solver_.value(state.h)));
}

void LayoutEngine::retryPending(UIView& root) {
    for (auto it = pending_.begin(); it != pending_.end();) {
        auto c = it->lock();
        auto holder = c ? c->installedView() : nullptr;
        if (!holder || c->solverId_ != UINT32_MAX || c->broken_) {
            it = pending_.erase(it);
        } else if (holder->isDescendantOfView(&root) && enter(*holder, *c)) {
            it = pending_.erase(it);
        } else {
            ++it;
        }
    }
}

// --- conflicts ---

std::string LayoutEngine::describeSolverConstraint(uint32_t id) const {
    if (auto it = owners_.find(id); it != owners_.end())
        if (auto c = it->second.lock()) return c->description();
    if (auto it = internals_.find(id); it != internals_.end()) return it->second.text;
    return "<constraint>";
}

void LayoutEngine::reportConflict(const NSLayoutConstraint& refused, const std::vector<uint32_t>& conflicts) {
    std::string text = "Unable to simultaneously satisfy constraints.\n(\n";
    for (uint32_t id : conflicts) text += "    \"" + describeSolverConstraint(id) + "\",\n";
    text += "    \"" + refused.description() + "\"\n)\n\nWill attempt to recover by breaking constraint \n" +
            refused.description();
    NSLogv(text);
}

void ViewLayoutStateDeleter::operator()(ViewLayoutState* state) const {
    LayoutEngine::shared().forget(*state);
    delete state;
}

}  // namespace uikit_layout
