#pragma once
// What manages one presentation: the presented and presenting controllers,
// the resolved style, and the container view in the window that holds the
// presented view. A controller has one only while it is presented (from the
// start of the presentation to the end of its dismissal).
//
// Main thread. Held by the presented controller; holds neither controller.

#include <platform_uikit/UIView.h>

#include <memory>

class UIViewController;

enum UIModalPresentationStyle : int64_t {
    UIModalPresentationAutomatic = -2,
    UIModalPresentationNone = -1,
    UIModalPresentationFullScreen = 0,
    UIModalPresentationPageSheet = 1,
    UIModalPresentationFormSheet = 2,
    UIModalPresentationCurrentContext = 3,
    UIModalPresentationCustom = 4,
    UIModalPresentationOverFullScreen = 5,
    UIModalPresentationOverCurrentContext = 6,
    UIModalPresentationPopover = 7,
};

// The style a request resolves to here: automatic is a page sheet (13+);
// form sheets and popovers adapt to a page sheet from 13 and to full screen
// before; the current-context styles take the whole window (no controller
// defines a context).
UIModalPresentationStyle UIModalPresentationStyleResolved(UIModalPresentationStyle requested);
// Full screen removes the presenter's view when the presentation ends (its
// appearance changes); every other style leaves the presenter alone.
bool UIModalPresentationStyleRemovesPresenter(UIModalPresentationStyle resolved);

class UIPresentationController : public NSObject {
    NS_CLASS(UIPresentationController, NSObject)
public:
    UIPresentationController(const std::shared_ptr<UIViewController>& presented,
                             const std::shared_ptr<UIViewController>& presenting, UIModalPresentationStyle style);

    std::shared_ptr<UIViewController> presentedViewController() const { return presented_.lock(); }
    std::shared_ptr<UIViewController> presentingViewController() const { return presenting_.lock(); }
    UIModalPresentationStyle presentationStyle() const { return style_; }
    bool shouldRemovePresentersView() const { return UIModalPresentationStyleRemovesPresenter(style_); }

    // The view in the window that holds the presented view (fills the window).
    const UIViewPtr& containerView() const { return container_; }
    UIViewPtr presentedView() const;
    // Full screen and over full screen: the whole container; a page sheet on
    // a phone starts 10 points below the status bar; on a pad it is at most
    // 704 points wide, centred.
    CGRect frameOfPresentedViewInContainerView() const;

private:
    std::weak_ptr<UIViewController> presented_, presenting_;
    UIModalPresentationStyle style_;
    UIViewPtr container_;
};
