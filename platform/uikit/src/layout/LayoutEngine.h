#pragma once
// The process's constraint layout engine: one solver for every view tree.
// Active constraints enter it as soon as their items sit inside the view
// that holds them (else they wait and are tried again at the next layout
// pass); a view taking part gets four variables (frame origin in its
// superview's bounds space, and size), fixed by required constraints while
// it translates its frame, else held by weak stays and its intrinsic size.
// A constraint relates its items in the bounds space of the view holding it.
//
// Main thread only.

#include "layout/LinearSolver.h"

#include <platform_uikit/NSLayoutConstraint.h>

#include <platform_runtime/Geometry.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class NSLayoutConstraint;
class UILayoutGuide;
class UIView;

namespace uikit_layout {

// What the engine and the constraint API keep on a view.
struct ViewLayoutState {
    UIView* view = nullptr;
    std::vector<std::shared_ptr<NSLayoutConstraint>> constraints;
    bool translates = true;
    float hugging[2] = {250, 250};
    float compression[2] = {750, 750};
    bool needsUpdateConstraints = false;
    bool intrinsicDirty = true;
    std::shared_ptr<UILayoutGuide> safeArea;
    // Engine variables, once the view takes part.
    bool hasVariables = false;
    uint32_t x = 0, y = 0, w = 0, h = 0;
    uint32_t holds[4] = {UINT32_MAX, UINT32_MAX, UINT32_MAX, UINT32_MAX};  // fixes or stays of x, y, w, h
    bool holdsRequired = false;
    CGRect heldFrame{};
    uint32_t intrinsic[4] = {UINT32_MAX, UINT32_MAX, UINT32_MAX, UINT32_MAX};  // w>=, w<=, h>=, h<=
    CGSize intrinsicSize{-1, -1};
    double measuredWidth = -1;  // the width a multi-line label's height was measured for
};

class LayoutEngine {
public:
    static LayoutEngine& shared();
    LinearSolver& solver() { return solver_; }

    // Hooks of UIView.
    static void prepareLayout(UIView& root);
    static void applyFramesToSubviews(UIView& view);
    static void viewWillLeaveSuperview(UIView& view, UIView& parent);

    // A constraint a view started or stopped holding; a constant or translation change.
    void constraintAdded(UIView& holder, const std::shared_ptr<NSLayoutConstraint>& constraint);
    void constraintRemoved(NSLayoutConstraint& constraint);
    void constantChanged(NSLayoutConstraint& constraint);
    void translationChanged(ViewLayoutState& state);
    void intrinsicSizeInvalidated(ViewLayoutState& state);
    void forget(ViewLayoutState& state);

    // The frame the solver gives a view that takes part.
    CGRect solvedFrame(const ViewLayoutState& state) const;
    std::size_t activeConstraintCount() const { return owners_.size(); }

private:
    struct Expression {
        std::vector<Term> terms;
        double constant = 0;
        void add(uint32_t variable, double coefficient) { terms.push_back(Term{variable, coefficient}); }
    };
    // The solver constraints that are not NSLayoutConstraint objects.
    struct Internal {
        UIView* view;
        std::string text;
    };

    bool enter(UIView& holder, NSLayoutConstraint& constraint);
    bool buildExpression(UIView& holder, NSLayoutConstraint& constraint, Expression& out);
    bool itemBox(UIView& holder, NSObject* item, NSLayoutAttribute attribute, Expression& out);
    void addOrigin(Expression& e, UIView* from, UIView* holder, bool horizontal);
    ViewLayoutState& variablesFor(UIView& view);
    void placeHolds(ViewLayoutState& state);
    void removeHolds(ViewLayoutState& state);
    void syncView(ViewLayoutState& state);
    void updateIntrinsic(ViewLayoutState& state, CGSize size);
    void setInternal(uint32_t& id, uint32_t variable, double value, Relation relation, double weight,
                     ViewLayoutState& state, const char* what);
    void dropInternal(uint32_t& id);
    void reportConflict(const NSLayoutConstraint& refused, const std::vector<uint32_t>& conflicts);
    std::string describeSolverConstraint(uint32_t id) const;
    void retryPending(UIView& root);

    LinearSolver solver_;
    std::unordered_map<uint32_t, std::weak_ptr<NSLayoutConstraint>> owners_;
    std::unordered_map<uint32_t, Internal> internals_;
    std::vector<std::weak_ptr<NSLayoutConstraint>> pending_;
    std::vector<std::weak_ptr<NSLayoutConstraint>> guided_;
    std::size_t participants_ = 0;
};

double weightForPriority(float priority);

}  // namespace uikit_layout
