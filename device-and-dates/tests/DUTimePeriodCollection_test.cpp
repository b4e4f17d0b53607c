#include <device_and_dates/DUTimePeriodChain.h>
#include <device_and_dates/DUTimePeriodCollection.h>

#include <gtest/gtest.h>

#include "DUGroupTestSupport.h"

namespace {

class DUTimePeriodCollectionTest : public DUGroupTest {
protected:
    // Overlapping periods: a 9-12, b 10-11, c 11-14, d 15-16 (list order a, c, d, b).
    DUTimePeriodCollectionTest() {
        for (auto& p : {a, c, d, b}) collection->addTimePeriod(p);
    }
    std::vector<DUTimePeriodPtr> members(const DUTimePeriodCollection& col) const { return col.periods(); }

    DUTimePeriodPtr a = span(9, 12), b = span(10, 11), c = span(11, 14), d = span(15, 16);
    DUTimePeriodCollectionPtr collection = DUTimePeriodCollection::collection();
};

using Periods = std::vector<DUTimePeriodPtr>;

TEST_F(DUTimePeriodCollectionTest, BoundsFollowTheMembers) {
    EXPECT_EQ(collection->count(), 4);
    EXPECT_EQ(collection->StartDate(), h(9));
    EXPECT_EQ(collection->EndDate(), h(16));
    EXPECT_DOUBLE_EQ(collection->durationInHours(), 7);
    collection->removeTimePeriodAtIndex(2);  // d
    EXPECT_EQ(collection->EndDate(), h(14));
    collection->shiftLaterWithSize(DUPeriodSizeHour, 2);
    EXPECT_EQ(collection->StartDate(), h(11));
    EXPECT_EQ(collection->EndDate(), h(16));
    for (int i = 0; i < 3; ++i) collection->removeTimePeriodAtIndex(0);
    EXPECT_FALSE(collection->StartDate() || collection->EndDate());
    EXPECT_TRUE(loggedErrors().empty());

    DUTimePeriodCollectionPtr fresh = DUTimePeriodCollection::collection();
    EXPECT_FALSE(fresh->StartDate());
    EXPECT_DOUBLE_EQ(fresh->durationInDays(), 0);
}

TEST_F(DUTimePeriodCollectionTest, AddingAndInsertingCheckTypesAndIndexes) {
    auto sub = subclassSpan(0, 1);
    collection->addTimePeriod(sub);  // a subclass is a period
    EXPECT_EQ(collection->count(), 5);
    EXPECT_EQ(collection->StartDate(), h(0));
    EXPECT_EQ(collection->periods().back(), sub);

    collection->insertTimePeriod(subclassSpan(0, 1), 0);  // but only plain periods are inserted
    collection->insertTimePeriod(span(1, 2), 5);           // at count: refused
    collection->insertTimePeriod(span(1, 2), -1);
    collection->addTimePeriod(DUTimePeriodChain::chain());
    collection->removeTimePeriodAtIndex(5);
    EXPECT_EQ(collection->count(), 5);
    auto errors = loggedErrors();
    ASSERT_EQ(errors.size(), 5u);
    EXPECT_NE(errors[0].find("class DUTimePeriodSubclass when expecting"), std::string::npos);
    EXPECT_NE(errors[1].find("at index 5 but the group is of size [0...5]"), std::string::npos);
    EXPECT_NE(errors[3].find("class DUTimePeriodChain when expecting object of class DUTimePeriod."), std::string::npos);
    EXPECT_NE(errors[4].find("remove DUTimePeriod at index 5"), std::string::npos);

    DUTimePeriodPtr early = span(-5, -4);
    collection->insertTimePeriod(early, 1);
    EXPECT_EQ(collection->periods()[1], early);
    EXPECT_EQ(collection->StartDate(), h(-5));

    // An empty collection refuses every insertion.
    DUTimePeriodCollectionPtr empty = DUTimePeriodCollection::collection();
    empty->insertTimePeriod(span(1, 2), 0);
    EXPECT_EQ(empty->count(), 0);
}

TEST_F(DUTimePeriodCollectionTest, Sorting) {
    struct Case {
        const char* name;
        void (DUTimePeriodCollection::*sort)();
        Periods expected;
    };
    const Case cases[] = {
        {"start ascending", &DUTimePeriodCollection::sortByStartAscending, {a, b, c, d}},
        {"start descending", &DUTimePeriodCollection::sortByStartDescending, {d, c, b, a}},
        {"end ascending", &DUTimePeriodCollection::sortByEndAscending, {b, a, c, d}},
        {"end descending", &DUTimePeriodCollection::sortByEndDescending, {d, c, a, b}},
        // b and d last an hour each: equal keys keep their list order.
        {"duration ascending", &DUTimePeriodCollection::sortByDurationAscending, {d, b, a, c}},
        {"duration descending", &DUTimePeriodCollection::sortByDurationDescending, {a, c, d, b}},
    };
    for (const Case& cs : cases) {
        SCOPED_TRACE(cs.name);
        DUTimePeriodCollectionPtr col = DUTimePeriodCollection::collection();
        for (auto& p : {a, c, d, b}) col->addTimePeriod(p);
        (col.get()->*cs.sort)();
        EXPECT_EQ(members(*col), cs.expected);
        EXPECT_EQ(col->StartDate(), h(9));
        EXPECT_EQ(col->EndDate(), h(16));
    }
    DUTimePeriodCollectionPtr col = DUTimePeriodCollection::collection();
    DUTimePeriodPtr hour = span(0, 1), minute = span(5, 5 + 1.0 / 60);
    col->addTimePeriod(hour);
    col->addTimePeriod(minute);
    col->sortByDurationAscending();
    EXPECT_EQ(members(*col), (Periods{minute, hour}));
}

TEST_F(DUTimePeriodCollectionTest, Queries) {
    struct Case {
        const char* name;
        DUTimePeriodCollectionPtr result;
        Periods expected;
    };
    const Case cases[] = {
        {"inside 9-14", collection->periodsInside(span(9, 14)), {a, c, b}},
        {"inside 10-11", collection->periodsInside(span(10, 11)), {b}},
        {"date 11:00, end points included", collection->periodsIntersectedByDate(h(11)), {a, c, b}},
        {"date 14:30", collection->periodsIntersectedByDate(h(14.5)), {}},
        {"intersected by 12-15", collection->periodsIntersectedByPeriod(span(12, 15)), {a, c, d}},
        // Touching is not overlapping: a ends at 12, d starts at 15.
        {"overlapped by 12-15", collection->periodsOverlappedByPeriod(span(12, 15)), {c}},
        {"overlapped by 0-24", collection->periodsOverlappedByPeriod(span(0, 24)), {a, c, d, b}},
    };
    for (const Case& cs : cases) {
        SCOPED_TRACE(cs.name);
        EXPECT_EQ(members(*cs.result), cs.expected);  // the members themselves, not copies
        EXPECT_EQ(cs.result->count(), static_cast<int64_t>(cs.expected.size()));
    }
    EXPECT_TRUE(loggedErrors().empty());
    EXPECT_EQ(collection->periodsInside(nullptr)->count(), 0);
    EXPECT_EQ(collection->periodsIntersectedByPeriod(nullptr)->count(), 0);
    EXPECT_EQ(collection->periodsOverlappedByPeriod(nullptr)->count(), 0);
    EXPECT_EQ(loggedErrors().size(), 3u);
}

TEST_F(DUTimePeriodCollectionTest, EqualityWithAndWithoutOrder) {
    DUTimePeriodCollectionPtr reordered = DUTimePeriodCollection::collection();
    for (auto& p : {b, d, c, a}) reordered->addTimePeriod(p->copy());
    EXPECT_TRUE(collection->isEqualToCollection(reordered, false));
    EXPECT_FALSE(collection->isEqualToCollection(reordered, true));
    EXPECT_TRUE(collection->isEqualToCollection(collection->copy(), true));

    // One period twice against that period once plus another within the same bounds.
    DUTimePeriodCollectionPtr twice = DUTimePeriodCollection::collection();
    twice->addTimePeriod(span(0, 10));
    twice->addTimePeriod(span(0, 10));
    DUTimePeriodCollectionPtr onceAndOther = DUTimePeriodCollection::collection();
    onceAndOther->addTimePeriod(span(0, 10));
    onceAndOther->addTimePeriod(span(2, 3));
    EXPECT_TRUE(twice->hasSameCharacteristicsAs(*onceAndOther));
    EXPECT_FALSE(twice->isEqualToCollection(onceAndOther, false));
    EXPECT_FALSE(onceAndOther->isEqualToCollection(twice, false));
    // The argument is left as it was.
    EXPECT_EQ(onceAndOther->count(), 2);

    EXPECT_TRUE(DUTimePeriodCollection::collection()->isEqualToCollection(DUTimePeriodCollection::collection(), true));
    EXPECT_FALSE(collection->isEqualToCollection(DUTimePeriodCollection::collection(), false));

    log.clear();
    EXPECT_FALSE(collection->isEqualToCollection(DUTimePeriodChain::chain(), false));
    ASSERT_EQ(loggedErrors().size(), 1u);
    EXPECT_NE(loggedErrors()[0].find("expecting object of class DUTimePeriodCollection"), std::string::npos);
}

TEST_F(DUTimePeriodCollectionTest, CopyHoldsCopies) {
    auto sub = subclassSpan(1, 2);
    collection->addTimePeriod(sub);
    DUTimePeriodCollectionPtr copy = collection->copy();
    ASSERT_EQ(copy->count(), 5);
    for (int64_t i = 0; i < 5; ++i) {
        EXPECT_NE(copy->periods()[i], collection->periods()[i]);
        EXPECT_TRUE(copy->periods()[i]->isEqualToPeriod(*collection->periods()[i]));
    }
    EXPECT_EQ(copy->periods()[4]->className(), "DUTimePeriod");
    copy->shiftLaterWithSize(DUPeriodSizeYear);
    EXPECT_EQ(a->StartDate(), h(9));
    EXPECT_EQ(collection->StartDate(), h(1));
}

TEST_F(DUTimePeriodCollectionTest, IndexedSetChecksTypeAndUpdatesBounds) {
    collection->setObject(span(-2, 30), 1);
    EXPECT_EQ(collection->StartDate(), h(-2));
    EXPECT_EQ(collection->EndDate(), h(30));
    collection->setObject(DUTimePeriodCollection::collection(), 0);
    EXPECT_EQ(collection->periods()[0], a);
    EXPECT_EQ(loggedErrors().size(), 1u);
}

}  // namespace
