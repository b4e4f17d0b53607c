#include <device_and_dates/DUTimePeriodChain.h>

#include <device_and_dates/DUError.h>

#include "DUWholeSeconds.h"

namespace {

// Only plain periods go into a chain: the chain rebuilds them and would lose a subclass's state.
DUTimePeriodPtr plainPeriod(const NSObjectPtr& object) {
    if (!object || !object->isMemberOfClass(&DUTimePeriod::classObject())) {
        DUError::throwBadTypeException(object.get(), DUTimePeriod::staticClassName());
        return nullptr;
    }
    return std::dynamic_pointer_cast<DUTimePeriod>(object);
}

}  // namespace

DUTimePeriodChainPtr DUTimePeriodChain::chain() { return std::make_shared<DUTimePeriodChain>(); }

void DUTimePeriodChain::addTimePeriod(const NSObjectPtr& object) {
    DUTimePeriodPtr period = plainPeriod(object);
    if (!period) return;
    if (periods_.empty()) {
        periods_.push_back(period);
    } else {
        periods_.push_back(DUTimePeriod::timePeriodWithSize(DUPeriodSizeSecond, du_detail::wholeSeconds(*period),
                                                            *periods_.back()->EndDate()));
    }
    updateVariables();
}

void DUTimePeriodChain::insertTimePeriod(const NSObjectPtr& object, int64_t index) {
    DUTimePeriodPtr period = plainPeriod(object);
    if (!period) return;
    if (index < 0 || index >= count()) {
        DUError::throwInsertOutOfBoundsException(index, &periods_);
        return;
    }
    int64_t seconds = du_detail::wholeSeconds(*period);
    if (index == 0) {
        periods_.insert(periods_.begin(), DUTimePeriod::timePeriodWithSizeEndingAt(DUPeriodSizeSecond, seconds,
                                                                                    *periods_.front()->StartDate()));
    } else {
        auto at = periods_.begin() + index;
        for (auto it = at; it != periods_.end(); ++it) (*it)->shiftLaterWithSize(DUPeriodSizeSecond, seconds);
        NSDate start = *periods_[static_cast<size_t>(index - 1)]->EndDate();
        periods_.insert(at, DUTimePeriod::timePeriodWithSize(DUPeriodSizeSecond, seconds, start));
    }
    updateVariables();
}

void DUTimePeriodChain::removeTimePeriodAtIndex(int64_t index) {
    if (index < 0 || index >= count()) {
        DUError::throwRemoveOutOfBoundsException(index, &periods_);
        return;
    }
    auto at = periods_.begin() + index;
    int64_t seconds = du_detail::wholeSeconds(**at);
    for (auto it = at + 1; it != periods_.end(); ++it) (*it)->shiftEarlierWithSize(DUPeriodSizeSecond, seconds);
    periods_.erase(at);
    if (periods_.empty()) setVariablesNil();
    else updateVariables();
}

void DUTimePeriodChain::removeLatestTimePeriod() {
    if (periods_.empty()) return;
    periods_.pop_back();
    if (periods_.empty()) setVariablesNil();
    else updateVariables();
}

void DUTimePeriodChain::removeEarliestTimePeriod() {
    if (periods_.empty()) return;
    int64_t seconds = du_detail::wholeSeconds(*periods_.front());
    for (const DUTimePeriodPtr& p : periods_) p->shiftEarlierWithSize(DUPeriodSizeSecond, seconds);
    periods_.erase(periods_.begin());
    if (periods_.empty()) setVariablesNil();
    else updateVariables();
}

bool DUTimePeriodChain::isEqualToChain(const NSObjectPtr& object) const {
    if (!object || !object->isMemberOfClass(&DUTimePeriodChain::classObject())) {
        DUError::throwBadTypeException(object.get(), DUTimePeriodChain::staticClassName());
        return false;
    }
    const auto& other = static_cast<const DUTimePeriodChain&>(*object);
    if (!hasSameCharacteristicsAs(other)) return false;
    for (size_t i = 0; i < periods_.size(); ++i)
        if (!other.periods_[i]->isEqualToPeriod(*periods_[i])) return false;
    return true;
}

void DUTimePeriodChain::updateVariables() {
    if (periods_.empty()) {
        setVariablesNil();
        return;
    }
    first_ = periods_.front();
    last_ = periods_.back();
    startDate_ = first_->StartDate();
    endDate_ = last_->EndDate();
}

void DUTimePeriodChain::setVariablesNil() {
    DUTimePeriodGroup::setVariablesNil();
    first_.reset();
    last_.reset();
}
