#pragma once
// A footer that stays visible below the content (the bottom inset includes
// it while shown) and starts a refresh by itself when the user scrolls to the
// end; one drag gesture may start at most `autoTriggerTimes` refreshes (-1: no limit).
//
// Main thread.

#include <ui_widgets/RFRefreshFooter.h>

class RFRefreshAutoFooter : public RFRefreshFooter {
    NS_CLASS(RFRefreshAutoFooter, RFRefreshFooter)
public:
    bool automaticallyRefresh() const { return automaticallyRefresh_; }
    void setAutomaticallyRefresh(bool on) { automaticallyRefresh_ = on; }
    bool triggerByDrag() const { return triggerByDrag_; }
    double triggerAutomaticallyRefreshPercent() const { return triggerPercent_; }
    void setTriggerAutomaticallyRefreshPercent(double percent) { triggerPercent_ = percent; }
    double appearencePercentTriggerAutoRefresh() const { return triggerPercent_; }
    void setAppearencePercentTriggerAutoRefresh(double percent) { triggerPercent_ = percent; }
    int64_t autoTriggerTimes() const { return autoTriggerTimes_; }
    void setAutoTriggerTimes(int64_t times) { autoTriggerTimes_ = leftTriggerTimes_ = times; }
    int64_t leftTriggerTimes() const { return leftTriggerTimes_; }
    bool unlimitedTrigger() const { return leftTriggerTimes_ == -1; }
    void resetTriggerTimes() { leftTriggerTimes_ = autoTriggerTimes_; }

    // Ignored when started by a drag whose allowance is used up.
    void beginRefreshing() override;
    void beginRefreshingWithoutValidation() { RFRefreshFooter::beginRefreshing(); }

    void prepare() override;
    void willMoveToSuperview(UIView* newSuperview) override;
    void setHidden(bool hidden) override;
    void scrollViewContentSizeDidChange(const Value& change) override;
    void scrollViewContentOffsetDidChange(const Value& change) override;
    void scrollViewPanStateDidChange(const Value& change) override;
    void setState(RFRefreshState state) override;

private:
    bool automaticallyRefresh_ = true;
    bool triggerByDrag_ = false;
    double triggerPercent_ = 1.0;
    int64_t autoTriggerTimes_ = 1;
    int64_t leftTriggerTimes_ = 1;
};
