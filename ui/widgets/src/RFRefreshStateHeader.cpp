#include <ui_widgets/RFRefreshGeometry.h>
#include <ui_widgets/RFRefreshLabel.h>
#include <ui_widgets/RFRefreshResources.h>
#include <ui_widgets/RFRefreshStateHeader.h>

#include <platform_foundation/NSCalendar.h>
#include <platform_foundation/NSDateFormatter.h>
#include <platform_foundation/NSLocale.h>
#include <platform_foundation/NSTimeZone.h>
#include <platform_foundation/NSUserDefaults.h>

const std::shared_ptr<UILabel>& RFRefreshStateHeader::stateLabel() {
    if (!stateLabel_) {
        stateLabel_ = rf_label();
        addSubview(stateLabel_);
    }
    return stateLabel_;
}

const std::shared_ptr<UILabel>& RFRefreshStateHeader::lastUpdatedTimeLabel() {
    if (!timeLabel_) {
        timeLabel_ = rf_label();
        addSubview(timeLabel_);
    }
    return timeLabel_;
}

RFRefreshStateHeader& RFRefreshStateHeader::setTitle(const std::optional<std::string>& title, RFRefreshState state) {
    if (!title) return *this;
    titles_[state] = *title;
    stateLabel()->setText(titleForState(state_).value_or(""));
    return *this;
}

std::optional<std::string> RFRefreshStateHeader::titleForState(RFRefreshState state) const {
    auto it = titles_.find(state);
    if (it == titles_.end()) return std::nullopt;
    return it->second;
}

void RFRefreshStateHeader::setLastUpdatedTimeText(TimeText text) {
    timeText_ = std::move(text);
    setLastUpdatedTimeKey(lastUpdatedTimeKey());
}

RFRefreshStateHeader& RFRefreshStateHeader::modifyLastUpdatedTimeText(TimeText text) {
    setLastUpdatedTimeText(std::move(text));
    return *this;
}

namespace {
// The last-updated text for a stored date, as the header words it.
std::string lastUpdatedText(const std::optional<NSDate>& date) {
    std::string prefix = rf_localizedStringForKey(RFRefreshHeaderLastTimeText);
    if (!date) return prefix + rf_localizedStringForKey(RFRefreshHeaderNoneLastDateText);
    auto calendar = NSCalendar::calendarWithIdentifier(NSCalendarIdentifierGregorian);
    const NSCalendarUnit units = NSCalendarUnitYear | NSCalendarUnitMonth | NSCalendarUnitDay |
                                 NSCalendarUnitHour | NSCalendarUnitMinute;
    NSDateComponents then = calendar->components(units, *date);
    NSDateComponents now = calendar->components(units, NSDate::date());
    auto formatter = std::make_shared<NSDateFormatter>();
    bool today = false;
    // Today needs the same year, month and day (a same day-of-month in another month is not today).
    if (then.year() == now.year() && then.month() == now.month() && then.day() == now.day()) {
        formatter->setDateFormat(" HH:mm");
        today = true;
    } else if (then.year() == now.year()) {
        formatter->setDateFormat("MM-dd HH:mm");
    } else {
        formatter->setDateFormat("yyyy-MM-dd HH:mm");
    }
    formatter->setLocale(NSLocale::currentLocale());
    formatter->setTimeZone(NSTimeZone::defaultTimeZone());
    return prefix + (today ? rf_localizedStringForKey(RFRefreshHeaderDateTodayText) : std::string()) +
           formatter->stringFromDate(*date);
}
}  // namespace

void RFRefreshStateHeader::setLastUpdatedTimeKey(std::string key) {
    RFRefreshHeader::setLastUpdatedTimeKey(std::move(key));
    if (timeLabel_ && timeLabel_->isHidden()) return;
    auto date = lastUpdatedTime();
    if (timeText_) {
        lastUpdatedTimeLabel()->setText(timeText_(date).value_or(""));
        return;
    }
    lastUpdatedTimeLabel()->setText(lastUpdatedText(date));
}

void RFRefreshStateHeader::textConfiguration() {
    titles_[RFRefreshStateIdle] = rf_localizedStringForKey(RFRefreshHeaderIdleText);
    titles_[RFRefreshStatePulling] = rf_localizedStringForKey(RFRefreshHeaderPullingText);
    titles_[RFRefreshStateRefreshing] = rf_localizedStringForKey(RFRefreshHeaderRefreshingText);
    stateLabel()->setText(titleForState(state_).value_or(""));
    // Re-applies the header's own key: a custom key survives a language change.
    setLastUpdatedTimeKey(lastUpdatedTimeKey());
}

void RFRefreshStateHeader::prepare() {
    RFRefreshHeader::prepare();
    labelLeftInset_ = RFRefreshLabelLeftInset;
    textConfiguration();
}

void RFRefreshStateHeader::i18nDidChange() {
    textConfiguration();
    RFRefreshHeader::i18nDidChange();
}

void RFRefreshStateHeader::placeSubviews() {
    RFRefreshHeader::placeSubviews();
    if (stateLabel()->isHidden()) return;
    double height = rf_h(*this);
    bool stateFree = !rf_hasConstraints(*stateLabel_);
    if (lastUpdatedTimeLabel()->isHidden()) {
        if (stateFree) stateLabel_->setFrame(bounds());
    } else {
        double half = height * 0.5;
        if (stateFree) stateLabel_->setFrame(CGRectMake(0, 0, rf_w(*this), half));
        if (!rf_hasConstraints(*timeLabel_)) timeLabel_->setFrame(CGRectMake(0, half, rf_w(*this), height - half));
    }
}

void RFRefreshStateHeader::setState(RFRefreshState state) {
    if (state == state_) return;
    RFRefreshHeader::setState(state);
    stateLabel()->setText(titleForState(state).value_or(""));
    setLastUpdatedTimeKey(lastUpdatedTimeKey());
}
