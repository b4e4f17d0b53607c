// Modal presentation: present and dismiss with their appearance calls, the
// containers in the window, and the links between presenter and presented.

#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UIDevice.h>
#include <platform_uikit/UIViewController.h>
#include <platform_uikit/UIWindow.h>

#include <platform_foundation/NSLog.h>
#include <platform_runtime/NSException.h>

#include <algorithm>

namespace {
std::string nameOf(const UIViewController& controller) { return "<" + controller.className() + ">"; }

// Over-full-screen and custom presentations fade; the others slide up from the bottom.
bool fades(UIModalPresentationStyle style) {
    return style == UIModalPresentationOverFullScreen || style == UIModalPresentationCustom;
}
}  // namespace

UIModalPresentationStyle UIViewController::modalPresentationStyle() const {
    if (modalStyle_) return *modalStyle_;
    return UIKitIsAvailable(13) ? UIModalPresentationAutomatic : UIModalPresentationFullScreen;
}

UIViewControllerPtr UIViewController::presentedViewController() const {
    for (auto c = std::static_pointer_cast<const UIViewController>(shared_from_this()); c; c = c->parent_.lock())
        if (c->presented_) return c->presented_;
    return nullptr;
}

UIViewControllerPtr UIViewController::presentingViewController() const {
    for (auto c = std::static_pointer_cast<const UIViewController>(shared_from_this()); c; c = c->parent_.lock())
        if (auto presenting = c->presenting_.lock()) return presenting;
    return nullptr;
}

std::shared_ptr<UIPresentationController> UIViewController::presentationController() const {
    for (auto c = std::static_pointer_cast<const UIViewController>(shared_from_this()); c; c = c->parent_.lock())
        if (c->presentation_) return c->presentation_;
    return nullptr;
}

UIViewController* UIViewController::presentationRoot() {
    UIViewController* root = this;
    for (auto parent = parent_.lock(); parent; parent = parent->parent_.lock()) root = parent.get();
    return root;
}

UIViewPtr UIViewController::presentationHostView() {
    if (presentation_) return presentation_->containerView();
    return view_;
}

void UIViewController::finishRunningPresentation() {
    if (!finishPresentation_) return;
    auto finish = std::move(finishPresentation_);
    finishPresentation_ = nullptr;
    ++presentationGeneration_;
    finish();
}

namespace {
// Finishes whatever presentation or dismissal runs above or below `controller`
// in its presentation chain, so that each appearance is heard once.
void finishChain(UIViewController* controller, const std::function<void(UIViewController*)>& finish,
                 const std::function<UIViewController*(UIViewController*)>& presenterOf,
                 const std::function<UIViewController*(UIViewController*)>& presentedOf) {
    for (UIViewController* c = controller; c; c = presenterOf(c)) finish(c);
    for (UIViewController* c = presentedOf(controller); c; c = presentedOf(c)) finish(c);
}
}  // namespace

void UIViewController::presentViewController(const UIViewControllerPtr& controller, bool animated,
                                             std::function<void()> completion) {
    const std::string call = "-[" + className() + " presentViewController:animated:completion:]: ";
    if (!controller)
        NSException::raise(NSInvalidArgumentException,
                           call + "Application tried to present a nil modal view controller on target " + nameOf(*this));
    if (controller.get() == this)
        NSException::raise(NSInvalidArgumentException,
                           call + "Application tried to present modally a view controller on itself");
    if (controller->presentation_ || !controller->presenting_.expired())
        NSException::raise(NSInvalidArgumentException,
                           call + "Application tried to present modally an active controller " + nameOf(*controller));
    if (controller->parentViewController())
        NSException::raise(NSInvalidArgumentException, call + "Application tried to present modally " +
                                                           nameOf(*controller) +
                                                           ", which has a parent view controller");

    UIViewController* presenter = presentationRoot();
    finishChain(
        presenter, [](UIViewController* c) { c->finishRunningPresentation(); },
        [](UIViewController* c) { return c->presenting_.lock().get(); },
        [](UIViewController* c) { return c->presented_.get(); });
    if (presenter->presented_) {
        NSLog("Attempt to present %@ on %@ which is already presenting %@", nameOf(*controller), nameOf(*presenter),
              nameOf(*presenter->presented_));
        return;
    }
    const UIViewPtr host = presenter->presentationHostView();
    UIWindow* window = host ? host->window() : nullptr;
    if (!window) {
        NSLog("Attempt to present %@ on %@ whose view is not in the window hierarchy", nameOf(*controller),
              nameOf(*presenter));
        return;
    }

    auto presenterPtr = std::static_pointer_cast<UIViewController>(presenter->shared_from_this());
    const UIModalPresentationStyle style = UIModalPresentationStyleResolved(controller->modalPresentationStyle());
    presenter->presented_ = controller;
    controller->presenting_ = presenterPtr;
    controller->presentation_ = std::make_shared<UIPresentationController>(controller, presenterPtr, style);
    const bool removes = controller->presentation_->shouldRemovePresentersView();

    const UIViewPtr& container = controller->presentation_->containerView();
    container->setFrame(window->bounds());
    container->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    window->addSubview(container);
    const UIViewPtr view = controller->view();
    const CGRect frame = controller->presentation_->frameOfPresentedViewInContainerView();
    view->setAlpha(1);
    view->setFrame(frame);
    view->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    container->addSubview(view);

    controller->beingPresented_ = true;
    if (removes) presenter->beginAppearanceTransition(false, animated);
    controller->beginAppearanceTransition(true, animated);

    std::weak_ptr<UIView> weakHost = host;
    // Stored in the presenter and run by it: the presenter outlives the call.
    presenter->finishPresentation_ = [presenter, controller, removes, weakHost, completion = std::move(completion)] {
        if (auto hostView = weakHost.lock(); removes && hostView) hostView->removeFromSuperview();
        controller->beingPresented_ = false;
        if (removes) presenter->endAppearanceTransition();
        controller->endAppearanceTransition();
        UIApplication::sharedApplication()->updateStatusBarAppearance();
        if (completion) completion();
    };
    if (!animated) {
        presenter->finishRunningPresentation();
        return;
    }
    const bool fade = fades(style);
    if (fade) {
        view->setAlpha(0);
    } else {
        CGRect start = frame;
        start.origin.y = container->bounds().size.height;
        view->setFrame(start);
    }
    const uint64_t generation = ++presenter->presentationGeneration_;
    std::weak_ptr<UIViewController> weakPresenter = presenterPtr;
    UIView::animateWithDuration(
        controller->presentationTransitionDuration(), 0, UIViewAnimationOptionCurveEaseInOut,
        [&] {
            if (fade)
                view->setAlpha(1);
            else
                view->setFrame(frame);
        },
        [weakPresenter, generation](bool) {
            auto p = weakPresenter.lock();
            if (p && p->presentationGeneration_ == generation) p->finishRunningPresentation();
        });
}

void UIViewController::dismissViewControllerAnimated(bool animated, std::function<void()> completion) {
    auto self = std::static_pointer_cast<UIViewController>(shared_from_this());
    UIViewControllerPtr presenter;
    for (auto c = self; c && !presenter; c = c->parent_.lock())
        if (c->presented_) presenter = c;
    if (!presenter) {
        // Nothing presented here: whoever presented this controller (or its
        // presented ancestor) takes it away.
        for (auto c = self; c; c = c->parent_.lock())
            if (auto presenting = c->presenting_.lock()) {
                presenting->dismissViewControllerAnimated(animated, std::move(completion));
                return;
            }
        if (completion) completion();
        return;
    }
    finishChain(
        presenter.get(), [](UIViewController* c) { c->finishRunningPresentation(); },
        [](UIViewController* c) { return c->presenting_.lock().get(); },
        [](UIViewController* c) { return c->presented_.get(); });
    if (!presenter->presented_) {  // a dismissal that was running took it away
        if (completion) completion();
        return;
    }

    std::vector<UIViewControllerPtr> chain;
    for (auto c = presenter->presented_; c; c = c->presented_) chain.push_back(c);
    const bool presenterCovered = std::any_of(chain.begin(), chain.end(), [](const UIViewControllerPtr& c) {
        return c->presentation_->shouldRemovePresentersView();
    });
    const UIViewPtr host = presenter->presentationHostView();
    const UIViewPtr& bottomContainer = chain.front()->presentation_->containerView();
    if (UIView* window = bottomContainer->superview().get(); presenterCovered && host && !host->superview() && window) {
        host->setFrame(window->bounds());
        window->insertSubviewBelowSubview(host, bottomContainer);
    }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        (*it)->beingDismissed_ = true;
        (*it)->beginAppearanceTransition(false, animated);
    }
    if (presenterCovered) presenter->beginAppearanceTransition(true, animated);

    presenter->finishPresentation_ = [presenter = presenter.get(), chain, presenterCovered,
                                      completion = std::move(completion)] {
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            (*it)->presentation_->containerView()->removeFromSuperview();
            if (const UIViewPtr& view = (*it)->viewIfLoaded()) {
                view->removeFromSuperview();
                view->setAlpha(1);
            }
        }
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) (*it)->endAppearanceTransition();
        if (presenterCovered) presenter->endAppearanceTransition();
        for (const auto& c : chain) {
            c->presentation_.reset();
            c->presenting_.reset();
            c->presented_.reset();
            c->beingDismissed_ = false;
        }
        presenter->presented_.reset();
        UIApplication::sharedApplication()->updateStatusBarAppearance();
        if (completion) completion();
    };
    if (!animated) {
        presenter->finishRunningPresentation();
        return;
    }
    const UIViewControllerPtr& top = chain.back();
    const UIViewPtr view = top->viewIfLoaded();
    const bool fade = fades(top->presentation_->presentationStyle());
    const double height = top->presentation_->containerView()->bounds().size.height;
    const uint64_t generation = ++presenter->presentationGeneration_;
    std::weak_ptr<UIViewController> weakPresenter = presenter;
    UIView::animateWithDuration(
        top->presentationTransitionDuration(), 0, UIViewAnimationOptionCurveEaseInOut,
        [&] {
            if (!view) return;
            if (fade) {
                view->setAlpha(0);
            } else {
                CGRect end = view->frame();
                end.origin.y = height;
                view->setFrame(end);
            }
        },
        [weakPresenter, generation](bool) {
            auto p = weakPresenter.lock();
            if (p && p->presentationGeneration_ == generation) p->finishRunningPresentation();
        });
}
