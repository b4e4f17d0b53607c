#pragma once
// What a layout closure is given: each attribute step starts a constraint for
// the maker's view; after the closure the maker installs them all in the
// order they were started.
//
// Main thread. Lives for one lc_makeConstraints call; holds its view weakly.

#include <ui_tab_bar_and_layout/LCCompositeConstraint.h>
#include <ui_tab_bar_and_layout/LCViewConstraint.h>

#include <vector>

// One bit per attribute: 1 << attribute number.
using LCAttributeMask = int64_t;
enum : LCAttributeMask {
    LCAttributeLeft = 1 << NSLayoutAttributeLeft,
    LCAttributeRight = 1 << NSLayoutAttributeRight,
    LCAttributeTop = 1 << NSLayoutAttributeTop,
    LCAttributeBottom = 1 << NSLayoutAttributeBottom,
    LCAttributeLeading = 1 << NSLayoutAttributeLeading,
    LCAttributeTrailing = 1 << NSLayoutAttributeTrailing,
    LCAttributeWidth = 1 << NSLayoutAttributeWidth,
    LCAttributeHeight = 1 << NSLayoutAttributeHeight,
    LCAttributeCenterX = 1 << NSLayoutAttributeCenterX,
    LCAttributeCenterY = 1 << NSLayoutAttributeCenterY,
    LCAttributeBaseline = 1 << NSLayoutAttributeBaseline,
};

class LCConstraintMaker;
using LCConstraintMakerPtr = std::shared_ptr<LCConstraintMaker>;

class LCConstraintMaker : public NSObject, public LCConstraintDelegate {
    NS_CLASS(LCConstraintMaker, NSObject)
public:
    // initWithView:
    static LCConstraintMakerPtr withView(const UIViewPtr& view);

    // Installs what was collected (after uninstalling the view's installed
    // set when removeExisting), empties the list and answers it.
    std::vector<LCConstraintPtr> install();

    void constraintShouldBeReplacedWithConstraint(const LCConstraintPtr& constraint,
                                                  const LCConstraintPtr& replacement) override;
    LCConstraintPtr constraintAddConstraintWithLayoutAttribute(const LCConstraintPtr& constraint,
                                                               NSLayoutAttribute attribute) override;
    LCConstraintPtr addConstraintWithAttributes(LCAttributeMask mask);
    LCConstraintPtr addConstraintWithLayoutAttribute(NSLayoutAttribute attribute) {
        return constraintAddConstraintWithLayoutAttribute(nullptr, attribute);
    }

    LCConstraintPtr left() { return addConstraintWithLayoutAttribute(NSLayoutAttributeLeft); }
    LCConstraintPtr top() { return addConstraintWithLayoutAttribute(NSLayoutAttributeTop); }
    LCConstraintPtr right() { return addConstraintWithLayoutAttribute(NSLayoutAttributeRight); }
    LCConstraintPtr bottom() { return addConstraintWithLayoutAttribute(NSLayoutAttributeBottom); }
    LCConstraintPtr leading() { return addConstraintWithLayoutAttribute(NSLayoutAttributeLeading); }
    LCConstraintPtr trailing() { return addConstraintWithLayoutAttribute(NSLayoutAttributeTrailing); }
    LCConstraintPtr width() { return addConstraintWithLayoutAttribute(NSLayoutAttributeWidth); }
    LCConstraintPtr height() { return addConstraintWithLayoutAttribute(NSLayoutAttributeHeight); }
    LCConstraintPtr centerX() { return addConstraintWithLayoutAttribute(NSLayoutAttributeCenterX); }
    LCConstraintPtr centerY() { return addConstraintWithLayoutAttribute(NSLayoutAttributeCenterY); }
    LCConstraintPtr baseline() { return addConstraintWithLayoutAttribute(NSLayoutAttributeBaseline); }
    std::function<LCConstraintPtr(LCAttributeMask)> attributes();
    LCConstraintPtr edges() { return addConstraintWithAttributes(30); }
    LCConstraintPtr size() { return addConstraintWithAttributes(384); }
    LCConstraintPtr center() { return addConstraintWithAttributes(1536); }
    // The constraints started inside the closure, as one composite (not appended itself).
    std::function<LCConstraintPtr(const std::function<void()>&)> group();

    bool updateExisting() const { return updateExisting_; }
    void setUpdateExisting(bool on) { updateExisting_ = on; }
    bool removeExisting() const { return removeExisting_; }
    void setRemoveExisting(bool on) { removeExisting_ = on; }
    UIViewPtr view() const { return view_.lock(); }
    void setView(const UIViewPtr& view) { view_ = view; }
    const std::vector<LCConstraintPtr>& constraints() const { return constraints_; }
    void setConstraints(std::vector<LCConstraintPtr> constraints) { constraints_ = std::move(constraints); }

private:
    std::shared_ptr<LCConstraintDelegate> asDelegate() {
        return std::static_pointer_cast<LCConstraintMaker>(shared_from_this());
    }
    bool updateExisting_ = false;
    bool removeExisting_ = false;
    std::weak_ptr<UIView> view_;
    std::vector<LCConstraintPtr> constraints_;
};
