#pragma once
// The common base of every pull-to-refresh control (header, footers,
// trailer): a view hosted by a scroll view that, once inside one, observes
// its content offset, content size and pan state and hands each change to a
// hook; keeps the refresh state and the pull progress; begins and ends a
// refresh and calls the owner's callbacks (closure, then target/action, then
// the begin-completion closure) when a refresh starts.
//
// Main thread, except `endRefreshing` (any thread: the change is queued onto
// the main queue, holding the control weakly). Made with `make<T>()` (or the
// families' factories), which runs `prepare` once the object is shared. The
// hosting scroll view is held weakly; the target weakly.

#include <ui_widgets/RFRefreshConst.h>

#include <platform_uikit/UIGestureRecognizer.h>
#include <platform_uikit/UIScrollView.h>

#include <functional>
#include <memory>
#include <string>

class RFRefreshComponent : public UIView {
    NS_CLASS(RFRefreshComponent, UIView)
public:
    using Block = std::function<void()>;

    // A new control of class T, prepared, in state Idle.
    template <class T>
    static std::shared_ptr<T> make() {
        auto control = std::make_shared<T>();
        control->initialise();
        return control;
    }
    RFRefreshComponent();
    ~RFRefreshComponent() override;

    // --- state ---
    RFRefreshState state() const { return state_; }
    // Stores the state and queues a layout request on the main queue. Subclasses
    // return at once for an unchanged state, call the base, then act on (old, new).
    virtual void setState(RFRefreshState state);
    bool isRefreshing() const { return state_ == RFRefreshStateRefreshing || state_ == RFRefreshStateWillRefresh; }
    double pullingPercent() const { return pullingPercent_; }
    virtual void setPullingPercent(double percent);

    virtual void beginRefreshing();
    void beginRefreshingWithCompletionBlock(Block completion);
    // Any thread: queues the change to Idle onto the main queue.
    void endRefreshing();
    void endRefreshingWithCompletionBlock(Block completion);

    // --- callbacks ---
    const Block& refreshingBlock() const { return refreshingBlock_; }
    void setRefreshingBlock(Block block) { refreshingBlock_ = std::move(block); }
    // The action is a selector of the target's runtime class ("refreshData", or
    // "refreshData:" which receives the control).
    void setRefreshingTarget(const std::shared_ptr<NSObject>& target, std::string action);
    std::shared_ptr<NSObject> refreshingTarget() const { return refreshingTarget_.lock(); }
    const std::string& refreshingAction() const { return refreshingAction_; }
    const Block& beginRefreshingCompletionBlock() const { return beginCompletion_; }
    void setBeginRefreshingCompletionBlock(Block block) { beginCompletion_ = std::move(block); }
    const Block& endRefreshingAnimationBeginAction() const { return endAnimationBegin_; }
    void setEndRefreshingAnimationBeginAction(Block block) { endAnimationBegin_ = std::move(block); }
    // Second name of the action above.
    const Block& endRefreshingAnimateCompletionBlock() const { return endAnimationBegin_; }
    void setEndRefreshingAnimateCompletionBlock(Block block) { endAnimationBegin_ = std::move(block); }
    const Block& endRefreshingCompletionBlock() const { return endCompletion_; }
    void setEndRefreshingCompletionBlock(Block block) { endCompletion_ = std::move(block); }
    // Refreshing block, target action, begin-completion block, in that order.
    void executeRefreshingCallback();

    // --- appearance ---
    bool automaticallyChangeAlpha() const { return autoAlpha_; }
    void setAutomaticallyChangeAlpha(bool on);
    bool isAutoChangeAlpha() const { return autoAlpha_; }
    void setAutoChangeAlpha(bool on) { setAutomaticallyChangeAlpha(on); }
    double fastAnimationDuration() const { return fast_; }
    void setFastAnimationDuration(double seconds) { fast_ = seconds; }
    double slowAnimationDuration() const { return slow_; }
    void setSlowAnimationDuration(double seconds) { slow_ = seconds; }

    // --- chaining setters (answer the control) ---
    RFRefreshComponent& setAnimationDisabled();
    RFRefreshComponent& autoChangeTransparency(bool on);
    RFRefreshComponent& afterBeginningAction(Block block);
    RFRefreshComponent& endingAnimationBeginningAction(Block block);
    RFRefreshComponent& afterEndingAction(Block block);
    // Base: nothing. Header, footer and trailer attach to the matching slot.
    virtual RFRefreshComponent& linkTo(UIScrollView& scrollView) { (void)scrollView; return *this; }

    // --- the hosting scroll view ---
    std::shared_ptr<UIScrollView> scrollView() const { return scrollView_.lock(); }
    UIEdgeInsets scrollViewOriginalInset() const { return originalInset_; }
    const std::shared_ptr<UIPanGestureRecognizer>& pan() const { return pan_; }

    // --- hooks ---
    virtual void prepare();
    virtual void placeSubviews() {}
    virtual void scrollViewContentOffsetDidChange(const Value& change) { (void)change; }
    virtual void scrollViewContentSizeDidChange(const Value& change) { (void)change; }
    virtual void scrollViewPanStateDidChange(const Value& change) { (void)change; }
    virtual void i18nDidChange() { placeSubviews(); }

    // UIView
    void layoutSubviews() override;
    void willMoveToSuperview(UIView* newSuperview) override;
    bool drawsContent() const override { return state_ == RFRefreshStateWillRefresh; }
    void drawRect(CGRect rect) override;
    void observeValueForKeyPath(const std::string& keyPath, NSObject* object, const Value& change,
                                void* context) override;

protected:
    void initialise();
    void addObservers();
    void removeObservers();
    void setScrollViewOriginalInset(UIEdgeInsets inset) { originalInset_ = inset; }
    // The pull past the content's far end that a back footer (vertical) and a trailer
    // (horizontal) share: `offset` along their axis, `happen` where the control starts to
    // show, `length` its size. Dragged past one length it pulls; released while pulling it
    // refreshes; otherwise the pull percentage follows.
    void followPullPastEnd(double offset, double happen, double length, bool dragging);
    // For the main-queue tasks: this control, held weakly.
    std::weak_ptr<RFRefreshComponent> weakSelf() {
        return std::static_pointer_cast<RFRefreshComponent>(shared_from_this());
    }

    RFRefreshState state_ = RFRefreshStateIdle;

private:
    UIEdgeInsets originalInset_{};
    std::weak_ptr<UIScrollView> scrollView_;
    std::weak_ptr<UIScrollView> observed_;
    bool autoAlpha_ = false;
    double fast_ = RFRefreshFastAnimationDuration;
    double slow_ = RFRefreshSlowAnimationDuration;
    Block refreshingBlock_;
    std::weak_ptr<NSObject> refreshingTarget_;
    std::string refreshingAction_;
    Block beginCompletion_, endAnimationBegin_, endCompletion_;
    double pullingPercent_ = 0;
    std::shared_ptr<UIPanGestureRecognizer> pan_;
    bool languageObserved_ = false;
};
