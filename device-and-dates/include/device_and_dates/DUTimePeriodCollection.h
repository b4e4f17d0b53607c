#pragma once
// Time periods that may overlap: kept in list order, sorted on request, and asked which of them
// lie inside, intersect or overlap a period or a date.

#include <memory>

#include <device_and_dates/DUTimePeriodGroup.h>

class DUTimePeriodCollection;
using DUTimePeriodCollectionPtr = std::shared_ptr<DUTimePeriodCollection>;

class DUTimePeriodCollection : public DUTimePeriodGroup {
    NS_CLASS(DUTimePeriodCollection, DUTimePeriodGroup)

public:
    static DUTimePeriodCollectionPtr collection();

    // Wrong types and bad indexes are logged as a DUError and change nothing.
    // Appends a DUTimePeriod or an object of a subclass.
    void addTimePeriod(const NSObjectPtr& period);
    // Inserts an object of exactly the class DUTimePeriod before an existing position
    // (0 <= index < count); appending goes through addTimePeriod.
    void insertTimePeriod(const NSObjectPtr& period, int64_t index);
    void removeTimePeriodAtIndex(int64_t index);

    // In place; the bounds stay as they are. Unset dates sort first. Equal keys keep their order.
    void sortByStartAscending();
    void sortByStartDescending();
    void sortByEndAscending();
    void sortByEndDescending();
    void sortByDurationAscending();
    void sortByDurationDescending();

    // New collections holding the matching periods themselves, in list order. A null period
    // is logged as a bad-type DUError and gives an empty collection.
    DUTimePeriodCollectionPtr periodsInside(const DUTimePeriodPtr& period) const;
    // Periods holding the date, end points included.
    DUTimePeriodCollectionPtr periodsIntersectedByDate(const NSDate& date) const;
    DUTimePeriodCollectionPtr periodsIntersectedByPeriod(const DUTimePeriodPtr& period) const;
    DUTimePeriodCollectionPtr periodsOverlappedByPeriod(const DUTimePeriodPtr& period) const;

    // Same characteristics and equal periods, position by position or in any order (each
    // period of the argument matched once).
    bool isEqualToCollection(const NSObjectPtr& collection, bool considerOrder) const;

    // A new collection of copies of the periods.
    DUTimePeriodCollectionPtr copy() const;

    void updateVariables() override;
};
