#include <device_and_dates/DUTimePeriodGroup.h>

#include <device_and_dates/DUError.h>
#include <platform_runtime/NSException.h>

DUTimePeriodPtr DUTimePeriodGroup::objectAtIndexedSubscript(int64_t index) const {
    if (index < 0 || index >= count())
        NSException::raise(NSRangeException, "index " + std::to_string(index) + " beyond bounds of a group of " +
                                                 std::to_string(count()) + " periods");
    return periods_[static_cast<size_t>(index)];
}

void DUTimePeriodGroup::setObject(const NSObjectPtr& object, int64_t index) {
    auto period = std::dynamic_pointer_cast<DUTimePeriod>(object);
    if (!period) {
        DUError::throwBadTypeException(object.get(), DUTimePeriod::staticClassName());
        return;
    }
    if (index < 0 || index > count()) {
        DUError::throwInsertOutOfBoundsException(index, &periods_);
        return;
    }
    if (index == count()) periods_.push_back(std::move(period));
    else periods_[static_cast<size_t>(index)] = std::move(period);
    updateVariables();
}

double DUTimePeriodGroup::durationInYears() const { return bounds().durationInYears(); }
double DUTimePeriodGroup::durationInWeeks() const { return bounds().durationInWeeks(); }
double DUTimePeriodGroup::durationInDays() const { return bounds().durationInDays(); }
double DUTimePeriodGroup::durationInHours() const { return bounds().durationInHours(); }
double DUTimePeriodGroup::durationInMinutes() const { return bounds().durationInMinutes(); }
double DUTimePeriodGroup::durationInSeconds() const { return bounds().durationInSeconds(); }

bool DUTimePeriodGroup::hasSameCharacteristicsAs(const DUTimePeriodGroup& group) const {
    return count() == group.count() && startDate_ == group.startDate_ && endDate_ == group.endDate_;
}

void DUTimePeriodGroup::shiftEarlierWithSize(DUPeriodSize size, int64_t amount) {
    for (const DUTimePeriodPtr& p : periods_) p->shiftEarlierWithSize(size, amount);
    updateVariables();
}

void DUTimePeriodGroup::shiftLaterWithSize(DUPeriodSize size, int64_t amount) {
    for (const DUTimePeriodPtr& p : periods_) p->shiftLaterWithSize(size, amount);
    updateVariables();
}

void DUTimePeriodGroup::setVariablesNil() {
    startDate_.reset();
    endDate_.reset();
}
