#include <device_and_dates/DUTimePeriod.h>

#include <cmath>

#include <device_and_dates/DUDateArithmetic.h>

namespace {

bool isSet(const DUTimePeriod& p) { return p.StartDate() && p.EndDate(); }

}  // namespace

DUTimePeriod::DUTimePeriod(std::optional<NSDate> startDate, std::optional<NSDate> endDate)
    : startDate_(startDate), endDate_(endDate) {}

DUTimePeriodPtr DUTimePeriod::timePeriodWithStartDate(std::optional<NSDate> startDate, std::optional<NSDate> endDate) {
    return std::make_shared<DUTimePeriod>(startDate, endDate);
}

DUTimePeriodPtr DUTimePeriod::timePeriodWithSize(DUPeriodSize size, int64_t amount, const NSDate& startingAt) {
    return timePeriodWithStartDate(startingAt, dateWithAddedTime(size, amount, startingAt));
}

DUTimePeriodPtr DUTimePeriod::timePeriodWithSize(DUPeriodSize size, const NSDate& startingAt) {
    return timePeriodWithSize(size, 1, startingAt);
}

DUTimePeriodPtr DUTimePeriod::timePeriodWithSizeEndingAt(DUPeriodSize size, int64_t amount, const NSDate& endingAt) {
    return timePeriodWithStartDate(dateWithSubtractedTime(size, amount, endingAt), endingAt);
}

DUTimePeriodPtr DUTimePeriod::timePeriodWithSizeEndingAt(DUPeriodSize size, const NSDate& endingAt) {
    return timePeriodWithSizeEndingAt(size, 1, endingAt);
}

DUTimePeriodPtr DUTimePeriod::timePeriodWithAllTime() {
    return timePeriodWithStartDate(NSDate::distantPast(), NSDate::distantFuture());
}

NSDate DUTimePeriod::dateWithAddedTime(DUPeriodSize size, int64_t amount, const NSDate& baseDate) {
    switch (size) {
    case DUPeriodSizeSecond: return DUDate::dateByAddingSeconds(baseDate, amount);
    case DUPeriodSizeMinute: return DUDate::dateByAddingMinutes(baseDate, amount);
    case DUPeriodSizeHour: return DUDate::dateByAddingHours(baseDate, amount);
    case DUPeriodSizeDay: return DUDate::dateByAddingDays(baseDate, amount);
    case DUPeriodSizeWeek: return DUDate::dateByAddingWeeks(baseDate, amount);
    case DUPeriodSizeMonth: return DUDate::dateByAddingMonths(baseDate, amount);
    case DUPeriodSizeYear: return DUDate::dateByAddingYears(baseDate, amount);
    }
    return baseDate;
}

NSDate DUTimePeriod::dateWithSubtractedTime(DUPeriodSize size, int64_t amount, const NSDate& baseDate) {
    switch (size) {
    case DUPeriodSizeSecond: return DUDate::dateBySubtractingSeconds(baseDate, amount);
    case DUPeriodSizeMinute: return DUDate::dateBySubtractingMinutes(baseDate, amount);
    case DUPeriodSizeHour: return DUDate::dateBySubtractingHours(baseDate, amount);
    case DUPeriodSizeDay: return DUDate::dateBySubtractingDays(baseDate, amount);
    case DUPeriodSizeWeek: return DUDate::dateBySubtractingWeeks(baseDate, amount);
    case DUPeriodSizeMonth: return DUDate::dateBySubtractingMonths(baseDate, amount);
    case DUPeriodSizeYear: return DUDate::dateBySubtractingYears(baseDate, amount);
    }
    return baseDate;
}

bool DUTimePeriod::isMoment() const { return isSet(*this) && *startDate_ == *endDate_; }

double DUTimePeriod::durationInYears() const {
    return isSet(*this) ? static_cast<double>(DUDate::yearsEarlierThan(*startDate_, *endDate_)) : 0;
}
double DUTimePeriod::durationInWeeks() const {
    return isSet(*this) ? static_cast<double>(DUDate::weeksEarlierThan(*startDate_, *endDate_)) : 0;
}
double DUTimePeriod::durationInDays() const {
    return isSet(*this) ? static_cast<double>(DUDate::daysEarlierThan(*startDate_, *endDate_)) : 0;
}
double DUTimePeriod::durationInHours() const {
    return isSet(*this) ? DUDate::hoursEarlierThan(*startDate_, *endDate_) : 0;
}
double DUTimePeriod::durationInMinutes() const {
    return isSet(*this) ? DUDate::minutesEarlierThan(*startDate_, *endDate_) : 0;
}
double DUTimePeriod::durationInSeconds() const {
    return isSet(*this) ? DUDate::secondsEarlierThan(*startDate_, *endDate_) : 0;
}

bool DUTimePeriod::isEqualToPeriod(const DUTimePeriod& p) const {
    return startDate_ == p.startDate_ && endDate_ == p.endDate_;
}

bool DUTimePeriod::isInside(const DUTimePeriod& p) const {
    if (!isSet(*this) || !isSet(p)) return false;
    return *p.startDate_ <= *startDate_ && *p.endDate_ >= *endDate_;
}

bool DUTimePeriod::contains(const DUTimePeriod& p) const {
    if (!isSet(*this) || !isSet(p)) return false;
    return *startDate_ <= *p.startDate_ && *endDate_ >= *p.endDate_;
}

bool DUTimePeriod::overlapsWith(const DUTimePeriod& p) const {
    if (!isSet(*this) || !isSet(p)) return false;
    const NSDate &ss = *startDate_, &se = *endDate_, &ps = *p.startDate_, &pe = *p.endDate_;
    return (ps < ss && pe > ss) || (ps >= ss && pe <= se) || (ps < se && pe > se);
}

bool DUTimePeriod::intersects(const DUTimePeriod& p) const {
    if (!isSet(*this) || !isSet(p)) return false;
    const NSDate &ss = *startDate_, &se = *endDate_, &ps = *p.startDate_, &pe = *p.endDate_;
    return (ps < ss && pe >= ss) || (ps >= ss && pe <= se) || (ps <= se && pe > se);
}

DUPeriodRelation DUTimePeriod::relationToPeriod(const DUTimePeriod& p) const {
    if (!isSet(*this) || !isSet(p)) return DUPeriodRelationNone;
    const NSDate &ss = *startDate_, &se = *endDate_, &ps = *p.startDate_, &pe = *p.endDate_;
    if (!(ss < se) || !(ps < pe)) return DUPeriodRelationNone;
    if (pe < ss) return DUPeriodRelationAfter;
    if (pe == ss) return DUPeriodRelationStartTouching;
    if (ps < ss && pe < se) return DUPeriodRelationStartInside;
    if (ps == ss && pe > se) return DUPeriodRelationInsideStartTouching;
    if (ps == ss && pe < se) return DUPeriodRelationEnclosingStartTouching;
    if (ps > ss && pe < se) return DUPeriodRelationEnclosing;
    if (ps > ss && pe == se) return DUPeriodRelationEnclosingEndTouching;
    if (ps == ss && pe == se) return DUPeriodRelationExactMatch;
    if (ps < ss && pe > se) return DUPeriodRelationInside;
    if (ps < ss && pe == se) return DUPeriodRelationInsideEndTouching;
    if (ps < se && pe > se) return DUPeriodRelationEndInside;
    if (ps == se && pe > se) return DUPeriodRelationEndTouching;
    if (ps > se) return DUPeriodRelationBefore;
    return DUPeriodRelationNone;
}

double DUTimePeriod::gapBetween(const DUTimePeriod& p) const {
    if (!isSet(*this) || !isSet(p)) return 0;
    if (*endDate_ < *p.startDate_) return std::fabs(p.startDate_->timeIntervalSinceDate(*endDate_));
    if (*p.endDate_ < *startDate_) return std::fabs(startDate_->timeIntervalSinceDate(*p.endDate_));
    return 0;
}

bool DUTimePeriod::containsDate(const NSDate& date, DUPeriodInterval interval) const {
    if (!isSet(*this)) return false;
    if (interval == DUPeriodIntervalClosed) return *startDate_ <= date && *endDate_ >= date;
    if (interval == DUPeriodIntervalOpen) return *startDate_ < date && *endDate_ > date;
    return false;
}

void DUTimePeriod::shiftEarlierWithSize(DUPeriodSize size, int64_t amount) {
    if (startDate_) startDate_ = dateWithSubtractedTime(size, amount, *startDate_);
    if (endDate_) endDate_ = dateWithSubtractedTime(size, amount, *endDate_);
}

void DUTimePeriod::shiftLaterWithSize(DUPeriodSize size, int64_t amount) {
    if (startDate_) startDate_ = dateWithAddedTime(size, amount, *startDate_);
    if (endDate_) endDate_ = dateWithAddedTime(size, amount, *endDate_);
}

void DUTimePeriod::lengthenWithAnchorDate(DUPeriodAnchor anchor, DUPeriodSize size, int64_t amount) {
    switch (anchor) {
    case DUPeriodAnchorStart:
        if (endDate_) endDate_ = dateWithAddedTime(size, amount, *endDate_);
        break;
    case DUPeriodAnchorCenter: {
        int64_t half = amount / 2;
        if (startDate_) startDate_ = dateWithSubtractedTime(size, half, *startDate_);
        if (endDate_) endDate_ = dateWithAddedTime(size, amount - half, *endDate_);
        break;
    }
    case DUPeriodAnchorEnd:
        if (startDate_) startDate_ = dateWithSubtractedTime(size, amount, *startDate_);
        break;
    }
}

void DUTimePeriod::shortenWithAnchorDate(DUPeriodAnchor anchor, DUPeriodSize size, int64_t amount) {
    switch (anchor) {
    case DUPeriodAnchorStart:
        if (endDate_) endDate_ = dateWithSubtractedTime(size, amount, *endDate_);
        break;
    case DUPeriodAnchorCenter: {
        int64_t half = amount / 2;
        if (startDate_) startDate_ = dateWithAddedTime(size, half, *startDate_);
        if (endDate_) endDate_ = dateWithSubtractedTime(size, amount - half, *endDate_);
        break;
    }
    case DUPeriodAnchorEnd:
        if (startDate_) startDate_ = dateWithAddedTime(size, amount, *startDate_);
        break;
    }
}

DUTimePeriodPtr DUTimePeriod::copy() const { return std::make_shared<DUTimePeriod>(startDate_, endDate_); }

