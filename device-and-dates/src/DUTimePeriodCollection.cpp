#include <device_and_dates/DUTimePeriodCollection.h>

#include <algorithm>

#include <device_and_dates/DUError.h>

DUTimePeriodCollectionPtr DUTimePeriodCollection::collection() { return std::make_shared<DUTimePeriodCollection>(); }

void DUTimePeriodCollection::addTimePeriod(const NSObjectPtr& object) {
    auto period = std::dynamic_pointer_cast<DUTimePeriod>(object);
    if (!period) {
        DUError::throwBadTypeException(object.get(), DUTimePeriod::staticClassName());
        return;
    }
    periods_.push_back(std::move(period));
    updateVariables();
}

void DUTimePeriodCollection::insertTimePeriod(const NSObjectPtr& object, int64_t index) {
    if (!object || !object->isMemberOfClass(&DUTimePeriod::classObject())) {
        DUError::throwBadTypeException(object.get(), DUTimePeriod::staticClassName());
        return;
    }
    if (index < 0 || index >= count()) {
        DUError::throwInsertOutOfBoundsException(index, &periods_);
        return;
    }
    periods_.insert(periods_.begin() + index, std::dynamic_pointer_cast<DUTimePeriod>(object));
    updateVariables();
}

void DUTimePeriodCollection::removeTimePeriodAtIndex(int64_t index) {
    if (index < 0 || index >= count()) {
        DUError::throwRemoveOutOfBoundsException(index, &periods_);
        return;
    }
    periods_.erase(periods_.begin() + index);
    if (periods_.empty()) setVariablesNil();
    else updateVariables();
}

namespace {

template <class Key, class Less>
void sortBy(std::vector<DUTimePeriodPtr>& periods, Key key, Less less) {
    std::stable_sort(periods.begin(), periods.end(),
                     [&](const DUTimePeriodPtr& a, const DUTimePeriodPtr& b) { return less(key(*a), key(*b)); });
}

const std::optional<NSDate>& start(const DUTimePeriod& p) { return p.StartDate(); }
const std::optional<NSDate>& end(const DUTimePeriod& p) { return p.EndDate(); }
double duration(const DUTimePeriod& p) { return p.durationInSeconds(); }

}  // namespace

void DUTimePeriodCollection::sortByStartAscending() { sortBy(periods_, start, std::less<>()); }
void DUTimePeriodCollection::sortByStartDescending() { sortBy(periods_, start, std::greater<>()); }
void DUTimePeriodCollection::sortByEndAscending() { sortBy(periods_, end, std::less<>()); }
void DUTimePeriodCollection::sortByEndDescending() { sortBy(periods_, end, std::greater<>()); }
void DUTimePeriodCollection::sortByDurationAscending() { sortBy(periods_, duration, std::less<>()); }
void DUTimePeriodCollection::sortByDurationDescending() { sortBy(periods_, duration, std::greater<>()); }

namespace {

template <class Match>
DUTimePeriodCollectionPtr select(const std::vector<DUTimePeriodPtr>& periods, Match match) {
    DUTimePeriodCollectionPtr result = DUTimePeriodCollection::collection();
    for (const DUTimePeriodPtr& p : periods)
        if (match(*p)) result->addTimePeriod(p);
    return result;
}

bool checkPeriod(const DUTimePeriodPtr& period) {
    if (period) return true;
    DUError::throwBadTypeException(nullptr, DUTimePeriod::staticClassName());
    return false;
}

}  // namespace

DUTimePeriodCollectionPtr DUTimePeriodCollection::periodsInside(const DUTimePeriodPtr& period) const {
    if (!checkPeriod(period)) return collection();
    return select(periods_, [&](const DUTimePeriod& p) { return p.isInside(*period); });
}

DUTimePeriodCollectionPtr DUTimePeriodCollection::periodsIntersectedByDate(const NSDate& date) const {
    return select(periods_, [&](const DUTimePeriod& p) { return p.containsDate(date, DUPeriodIntervalClosed); });
}

DUTimePeriodCollectionPtr DUTimePeriodCollection::periodsIntersectedByPeriod(const DUTimePeriodPtr& period) const {
    if (!checkPeriod(period)) return collection();
    return select(periods_, [&](const DUTimePeriod& p) { return p.intersects(*period); });
}

DUTimePeriodCollectionPtr DUTimePeriodCollection::periodsOverlappedByPeriod(const DUTimePeriodPtr& period) const {
    if (!checkPeriod(period)) return collection();
    return select(periods_, [&](const DUTimePeriod& p) { return p.overlapsWith(*period); });
}

bool DUTimePeriodCollection::isEqualToCollection(const NSObjectPtr& object, bool considerOrder) const {
    if (!object || !object->isMemberOfClass(&DUTimePeriodCollection::classObject())) {
        DUError::throwBadTypeException(object.get(), DUTimePeriodCollection::staticClassName());
        return false;
    }
    const auto& other = static_cast<const DUTimePeriodCollection&>(*object);
    if (!hasSameCharacteristicsAs(other)) return false;
    if (considerOrder) {
        for (size_t i = 0; i < periods_.size(); ++i)
            if (!other.periods_[i]->isEqualToPeriod(*periods_[i])) return false;
        return true;
    }
    // Each of the other's periods may match only once.
    DUTimePeriodCollectionPtr remaining = other.copy();
    for (const DUTimePeriodPtr& mine : periods_) {
        const auto& candidates = remaining->periods();
        auto found = std::find_if(candidates.begin(), candidates.end(),
                                  [&](const DUTimePeriodPtr& p) { return p->isEqualToPeriod(*mine); });
        if (found == candidates.end()) return false;
        remaining->removeTimePeriodAtIndex(found - candidates.begin());
    }
    return true;
}

DUTimePeriodCollectionPtr DUTimePeriodCollection::copy() const {
    DUTimePeriodCollectionPtr result = collection();
    for (const DUTimePeriodPtr& p : periods_) result->addTimePeriod(p->copy());
    return result;
}

void DUTimePeriodCollection::updateVariables() {
    NSDate earliest = NSDate::distantFuture();
    NSDate latest = NSDate::distantPast();
    for (const DUTimePeriodPtr& p : periods_) {
        if (p->StartDate() && *p->StartDate() < earliest) earliest = *p->StartDate();
        if (p->EndDate() && *p->EndDate() > latest) latest = *p->EndDate();
    }
    startDate_ = earliest;
    endDate_ = latest;
}
