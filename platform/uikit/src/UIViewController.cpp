#include <platform_uikit/UIViewController.h>

#include <platform_uikit/UINavigationController.h>
#include <platform_uikit/UIScreen.h>
#include <platform_uikit/UIStoryboard.h>
#include <platform_uikit/UITabBarController.h>

#include <platform_runtime/NSException.h>
#include <platform_runtime/ObjCRuntime.h>

#include <algorithm>

NS_CLASS_LOAD(UIViewController) {
    cls.addMethod("loadView", makeInstanceImp<void()>([](NSObject& self) {
                      static_cast<UIViewController&>(self).loadViewImplementation();
                  }),
                  "v16@0:8");
    cls.addMethod("viewDidLoad", makeInstanceImp<void()>([](NSObject&) {}), "v16@0:8");
    for (const char* selector : {"viewWillAppear:", "viewDidAppear:", "viewWillDisappear:", "viewDidDisappear:"})
        cls.addMethod(selector, makeInstanceImp<void(bool)>([](NSObject&, bool) {}), "v20@0:8B16");
}

UIViewController::UIViewController() = default;
UIViewController::~UIViewController() {
    for (auto& child : children_) child->parent_.reset();
}

const UIViewPtr& UIViewController::view() {
    if (view_) return view_;
    if (loading_)
        NSException::raise(NSInternalInconsistencyException,
                           "-[" + className() + " view]: the view was asked for while it loads");
    loading_ = true;
    try {
        loadView();
        // A storyboard scene's objects and outlets, also under a loadView of the controller's own.
        if (view_ && storyboard_) storyboard_->loadScene(*this, false);
    } catch (...) {
        loading_ = false;
        throw;
    }
    loading_ = false;
    if (!view_)
        NSException::raise(NSInternalInconsistencyException, "-[" + className() + " loadView] set no view");
    viewDidLoad();
    return view_;
}

void UIViewController::setView(UIViewPtr view) {
    if (view_ == view) return;
    if (view_) view_->setViewControllerResponder({});
    view_ = std::move(view);
    if (view_) view_->setViewControllerResponder(std::static_pointer_cast<UIResponder>(shared_from_this()));
    applyControllerSafeAreaInsets();
}

void UIViewController::loadView() { invokeMethod<void()>(*this, "loadView"); }
void UIViewController::viewDidLoad() { invokeMethod<void()>(*this, "viewDidLoad"); }
void UIViewController::viewWillAppear(bool animated) { invokeMethod<void(bool)>(*this, "viewWillAppear:", animated); }
void UIViewController::viewDidAppear(bool animated) { invokeMethod<void(bool)>(*this, "viewDidAppear:", animated); }
void UIViewController::viewWillDisappear(bool animated) {
    invokeMethod<void(bool)>(*this, "viewWillDisappear:", animated);
}
void UIViewController::viewDidDisappear(bool animated) {
    invokeMethod<void(bool)>(*this, "viewDidDisappear:", animated);
}

void UIViewController::loadViewImplementation() {
    if (loadViewFromNib()) return;
    auto view = std::make_shared<UIView>(UIScreen::mainScreen()->bounds());
    setView(std::move(view));
}

void UIViewController::beginAppearanceTransition(bool isAppearing, bool animated) {
    if (isAppearing) {
        if (appearance_ == Appearance::Appearing || appearance_ == Appearance::Appeared) return;
        loadViewIfNeeded();
        appearance_ = Appearance::Appearing;
        transitionAnimated_ = animated;
        viewWillAppear(animated);
    } else {
        if (appearance_ == Appearance::Disappearing || appearance_ == Appearance::Disappeared) return;
        appearance_ = Appearance::Disappearing;
        transitionAnimated_ = animated;
        viewWillDisappear(animated);
    }
    // Children whose views are shown inside this view follow their container.
    for (const auto& child : std::vector<UIViewControllerPtr>(children_))
        if (view_ && child->view_ && child->view_->isDescendantOfView(view_.get()))
            child->beginAppearanceTransition(isAppearing, animated);
}

void UIViewController::endAppearanceTransition() {
    if (appearance_ == Appearance::Appearing) {
        appearance_ = Appearance::Appeared;
        viewDidAppear(transitionAnimated_);
    } else if (appearance_ == Appearance::Disappearing) {
        appearance_ = Appearance::Disappeared;
        viewDidDisappear(transitionAnimated_);
    } else {
        return;
    }
    for (const auto& child : std::vector<UIViewControllerPtr>(children_))
        if (view_ && child->view_ && child->view_->isDescendantOfView(view_.get())) child->endAppearanceTransition();
}

void UIViewController::addChildViewController(const UIViewControllerPtr& child) {
    if (!child)
        NSException::raise(NSInvalidArgumentException, "-[" + className() + " addChildViewController:]: nil child");
    for (const UIViewController* ancestor = this; ancestor; ancestor = ancestor->parent_.lock().get())
        if (ancestor == child.get())
            NSException::raise(NSInvalidArgumentException,
                               "-[" + className() + " addChildViewController:]: the child is this controller or one "
                                                    "of its parents");
    if (child->parent_.lock().get() == this) return;
    child->willMoveToParentViewController(this);
    child->detachFromParent();
    child->parent_ = std::static_pointer_cast<UIViewController>(shared_from_this());
    children_.push_back(child);
}

void UIViewController::removeFromParentViewController() {
    if (parent_.expired()) return;
    // Keep this controller alive while its parent lets go of it.
    auto self = std::static_pointer_cast<UIViewController>(shared_from_this());
    detachFromParent();
    didMoveToParentViewController(nullptr);
}

void UIViewController::detachFromParent() {
    auto parent = parent_.lock();
    parent_.reset();
    if (!parent) return;
    // Out of its container, no bar covers the view any more.
    setContentOverlayInsets(UIEdgeInsetsZero);
    auto& siblings = parent->children_;
    siblings.erase(std::remove_if(siblings.begin(), siblings.end(), [this](const auto& c) { return c.get() == this; }),
                   siblings.end());
}

std::shared_ptr<UINavigationController> UIViewController::navigationController() const {
    for (auto controller = parent_.lock(); controller; controller = controller->parent_.lock())
        if (auto navigation = std::dynamic_pointer_cast<UINavigationController>(controller)) return navigation;
    return nullptr;
}

std::shared_ptr<UITabBarController> UIViewController::tabBarController() const {
    for (auto controller = parent_.lock(); controller; controller = controller->parent_.lock())
        if (auto tabs = std::dynamic_pointer_cast<UITabBarController>(controller)) return tabs;
    return nullptr;
}

const UINavigationItemPtr& UIViewController::navigationItem() {
    if (!navigationItem_) navigationItem_ = std::make_shared<UINavigationItem>();
    return navigationItem_;
}

const UITabBarItemPtr& UIViewController::tabBarItem() {
    if (!tabBarItem_) tabBarItem_ = std::make_shared<UITabBarItem>();
    return tabBarItem_;
}

std::shared_ptr<UIResponder> UIViewController::nextResponder() const {
    if (view_ && view_->superview()) return view_->superview();
    return parent_.lock();
}
