#pragma once
// The shared base of ordered groups of time periods: the period list, the group's bounds, its
// durations, comparison of characteristics and shifting every member.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include <device_and_dates/DUTimePeriod.h>
#include <platform_runtime/ObjCDeclare.h>

class DUTimePeriodGroup : public NSObject {
    NS_CLASS(DUTimePeriodGroup, NSObject)

public:
    DUTimePeriodGroup() = default;

    const std::vector<DUTimePeriodPtr>& periods() const { return periods_; }
    // Raises NSRangeException for an index outside the list.
    DUTimePeriodPtr objectAtIndexedSubscript(int64_t index) const;
    // Replaces the period at the index (or appends at index count) when the object is a
    // DUTimePeriod, then brings the bounds up to date; otherwise logs a DUError and changes nothing.
    void setObject(const NSObjectPtr& object, int64_t index);
    int64_t count() const { return static_cast<int64_t>(periods_.size()); }

    // Unset until the first successful change, cleared when the last period goes.
    const std::optional<NSDate>& StartDate() const { return startDate_; }
    const std::optional<NSDate>& EndDate() const { return endDate_; }

    // As for a period from StartDate to EndDate; 0 when either is unset.
    double durationInYears() const;
    double durationInWeeks() const;
    double durationInDays() const;
    double durationInHours() const;
    double durationInMinutes() const;
    double durationInSeconds() const;

    // Same count and same bounds (or no bounds on either side).
    bool hasSameCharacteristicsAs(const DUTimePeriodGroup& group) const;

    void shiftEarlierWithSize(DUPeriodSize size, int64_t amount = 1);
    void shiftLaterWithSize(DUPeriodSize size, int64_t amount = 1);

    // Recomputes the bounds from the periods (nothing in the base class).
    virtual void updateVariables() {}
    virtual void setVariablesNil();

protected:
    DUTimePeriod bounds() const { return DUTimePeriod(startDate_, endDate_); }

    std::vector<DUTimePeriodPtr> periods_;
    std::optional<NSDate> startDate_;
    std::optional<NSDate> endDate_;
};

using DUTimePeriodGroupPtr = std::shared_ptr<DUTimePeriodGroup>;
