#pragma once
// The common base of the refresh footers below a scroll view's content:
// height 44, the no-more-data operations (any thread; queued onto the main
// queue holding the footer weakly) and the scroll view's footer slot. A
// collection-view layout update that changes the content size tells the
// footer within the update (the hook is installed when the library loads).
//
// Main thread otherwise.

#include <ui_widgets/RFRefreshComponent.h>

class RFRefreshFooter : public RFRefreshComponent {
    NS_CLASS(RFRefreshFooter, RFRefreshComponent)
public:
    template <class T = RFRefreshFooter>
    static std::shared_ptr<T> footerWithRefreshingBlock(Block block) {
        auto footer = make<T>();
        footer->setRefreshingBlock(std::move(block));
        return footer;
    }
    template <class T = RFRefreshFooter>
    static std::shared_ptr<T> footerWithRefreshingTarget(const std::shared_ptr<NSObject>& target, std::string action) {
        auto footer = make<T>();
        footer->setRefreshingTarget(target, std::move(action));
        return footer;
    }

    bool automaticallyHidden() const { return automaticallyHidden_; }
    void setAutomaticallyHidden(bool on) { automaticallyHidden_ = on; }
    double ignoredScrollViewContentInsetBottom() const { return ignoredInsetBottom_; }
    void setIgnoredScrollViewContentInsetBottom(double value) { ignoredInsetBottom_ = value; }

    // Any thread.
    void endRefreshingWithNoMoreData();
    void noticeNoMoreData() { endRefreshingWithNoMoreData(); }
    void resetNoMoreData();

    RFRefreshComponent& linkTo(UIScrollView& scrollView) override;
    void prepare() override;

private:
    void queueState(RFRefreshState state);
    bool automaticallyHidden_ = false;
    double ignoredInsetBottom_ = 0;
};
