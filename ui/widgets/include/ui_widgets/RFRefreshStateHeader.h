#pragma once
// A refresh header with a state label (one title per state) and a label
// with the date of the last refresh ("today" needs equal year, month and
// day; the same year shows "MM-dd HH:mm", another year "yyyy-MM-dd HH:mm").
//
// Main thread.

#include <ui_widgets/RFRefreshHeader.h>

#include <platform_uikit/UILabel.h>

#include <map>

class RFRefreshStateHeader : public RFRefreshHeader {
    NS_CLASS(RFRefreshStateHeader, RFRefreshHeader)
public:
    using TimeText = std::function<std::optional<std::string>(const std::optional<NSDate>&)>;

    const std::shared_ptr<UILabel>& stateLabel();
    const std::shared_ptr<UILabel>& lastUpdatedTimeLabel();
    double labelLeftInset() const { return labelLeftInset_; }
    void setLabelLeftInset(double inset) { labelLeftInset_ = inset; }
    // A nil title does nothing; else stores it and shows the current state's title.
    RFRefreshStateHeader& setTitle(const std::optional<std::string>& title, RFRefreshState state);
    std::optional<std::string> titleForState(RFRefreshState state) const;
    const TimeText& lastUpdatedTimeText() const { return timeText_; }
    void setLastUpdatedTimeText(TimeText text);
    RFRefreshStateHeader& modifyLastUpdatedTimeText(TimeText text);

    void setLastUpdatedTimeKey(std::string key) override;
    void prepare() override;
    void placeSubviews() override;
    void setState(RFRefreshState state) override;
    void i18nDidChange() override;

protected:
    bool hasStateLabel() const { return stateLabel_ != nullptr; }
    bool hasTimeLabel() const { return timeLabel_ != nullptr; }
    double labelLeftInset_ = RFRefreshLabelLeftInset;

private:
    void textConfiguration();
    std::shared_ptr<UILabel> stateLabel_, timeLabel_;
    TimeText timeText_;
    std::map<int64_t, std::string> titles_;
};
