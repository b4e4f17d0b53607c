#pragma once
// A span of time between two instants: sizes in calendar units, how two spans relate (inside,
// overlap, intersection, a fourteen-way relation), the gap between spans, and shifting,
// lengthening and shortening by calendar units in the implicit calendar.

#include <cstdint>
#include <memory>
#include <optional>

#include <platform_runtime/NSDate.h>
#include <platform_runtime/ObjCDeclare.h>

// The calendar unit of a size.
enum DUPeriodSize : uint64_t {
    DUPeriodSizeSecond = 0,
    DUPeriodSizeMinute = 1,
    DUPeriodSizeHour = 2,
    DUPeriodSizeDay = 3,
    DUPeriodSizeWeek = 4,
    DUPeriodSizeMonth = 5,
    DUPeriodSizeYear = 6,
};

enum DUPeriodAnchor : uint64_t {
    DUPeriodAnchorStart = 0,
    DUPeriodAnchorCenter = 1,
    DUPeriodAnchorEnd = 2,
};

enum DUPeriodInterval : uint64_t {
    DUPeriodIntervalOpen = 0,    // end points excluded
    DUPeriodIntervalClosed = 1,  // end points included
};

// Where the receiver lies relative to the argument.
enum DUPeriodRelation : uint64_t {
    DUPeriodRelationAfter = 0,
    DUPeriodRelationStartTouching = 1,
    DUPeriodRelationStartInside = 2,
    DUPeriodRelationInsideStartTouching = 3,
    DUPeriodRelationEnclosingStartTouching = 4,
    DUPeriodRelationEnclosing = 5,
    DUPeriodRelationEnclosingEndTouching = 6,
    DUPeriodRelationExactMatch = 7,
    DUPeriodRelationInside = 8,
    DUPeriodRelationInsideEndTouching = 9,
    DUPeriodRelationEndInside = 10,
    DUPeriodRelationEndTouching = 11,
    DUPeriodRelationBefore = 12,
    DUPeriodRelationNone = 13,
};

class DUTimePeriod;
using DUTimePeriodPtr = std::shared_ptr<DUTimePeriod>;

class DUTimePeriod : public NSObject {
    NS_CLASS(DUTimePeriod, NSObject)

public:
    DUTimePeriod() = default;
    // initWithStartDate:endDate:
    DUTimePeriod(std::optional<NSDate> startDate, std::optional<NSDate> endDate);

    static DUTimePeriodPtr timePeriodWithStartDate(std::optional<NSDate> startDate, std::optional<NSDate> endDate);
    // From the date to the date moved later by the amount of the size.
    static DUTimePeriodPtr timePeriodWithSize(DUPeriodSize size, int64_t amount, const NSDate& startingAt);
    static DUTimePeriodPtr timePeriodWithSize(DUPeriodSize size, const NSDate& startingAt);
    // From the date moved earlier by the amount of the size to the date.
    static DUTimePeriodPtr timePeriodWithSizeEndingAt(DUPeriodSize size, int64_t amount, const NSDate& endingAt);
    static DUTimePeriodPtr timePeriodWithSizeEndingAt(DUPeriodSize size, const NSDate& endingAt);
    // The platform's distant past to its distant future.
    static DUTimePeriodPtr timePeriodWithAllTime();
    // The date moved later / earlier by the amount in the size's unit; an unknown size leaves it.
    static NSDate dateWithAddedTime(DUPeriodSize size, int64_t amount, const NSDate& baseDate);
    static NSDate dateWithSubtractedTime(DUPeriodSize size, int64_t amount, const NSDate& baseDate);

    // Nothing keeps the start from lying after the end.
    const std::optional<NSDate>& StartDate() const { return startDate_; }
    void setStartDate(std::optional<NSDate> date) { startDate_ = date; }
    const std::optional<NSDate>& EndDate() const { return endDate_; }
    void setEndDate(std::optional<NSDate> date) { endDate_ = date; }

    bool hasStartDate() const { return startDate_.has_value(); }
    bool hasEndDate() const { return endDate_.has_value(); }
    bool isMoment() const;

    // Whole years, weeks and days (as doubles) and exact hours, minutes and seconds from the
    // start to the end; 0 when a date is unset or the end lies before the start.
    double durationInYears() const;
    double durationInWeeks() const;
    double durationInDays() const;
    double durationInHours() const;
    double durationInMinutes() const;
    double durationInSeconds() const;

    // The relation tests answer false (and gapBetween 0) when a date of either period is unset.
    bool isEqualToPeriod(const DUTimePeriod& period) const;
    bool isInside(const DUTimePeriod& period) const;
    bool contains(const DUTimePeriod& period) const;
    // Spans that only touch do not overlap, but they do intersect.
    bool overlapsWith(const DUTimePeriod& period) const;
    bool intersects(const DUTimePeriod& period) const;
    // None when a date is unset or either period is empty or reversed.
    DUPeriodRelation relationToPeriod(const DUTimePeriod& period) const;
    // Seconds between the two when they are apart, else 0.
    double gapBetween(const DUTimePeriod& period) const;
    bool containsDate(const NSDate& date, DUPeriodInterval interval) const;

    // In place; unset dates stay unset.
    void shiftEarlierWithSize(DUPeriodSize size, int64_t amount = 1);
    void shiftLaterWithSize(DUPeriodSize size, int64_t amount = 1);
    // Around the anchor. At the centre the start moves by half the amount (rounded toward zero)
    // and the end by the rest, so the whole amount is applied.
    void lengthenWithAnchorDate(DUPeriodAnchor anchor, DUPeriodSize size, int64_t amount = 1);
    void shortenWithAnchorDate(DUPeriodAnchor anchor, DUPeriodSize size, int64_t amount = 1);

    // A new DUTimePeriod with the same instants; an unset date stays unset.
    DUTimePeriodPtr copy() const;

private:
    std::optional<NSDate> startDate_;
    std::optional<NSDate> endDate_;
};
