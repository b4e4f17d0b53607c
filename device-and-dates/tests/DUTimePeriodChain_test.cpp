#include <device_and_dates/DUTimePeriodChain.h>
#include <device_and_dates/DUTimePeriodCollection.h>

#include <platform_runtime/NSException.h>

#include <gtest/gtest.h>

#include "DUGroupTestSupport.h"

namespace {

class DUTimePeriodChainTest : public DUGroupTest {
protected:
    // 1 hour, 30 minutes and 2 hours, added with unrelated start dates.
    DUTimePeriodChainPtr threeLinks() {
        DUTimePeriodChainPtr chain = DUTimePeriodChain::chain();
        first = span(8, 9);
        chain->addTimePeriod(first);
        chain->addTimePeriod(span(20, 20.5));
        chain->addTimePeriod(span(-30, -28));
        return chain;
    }
    // Start and end hours of each period.
    std::vector<std::pair<double, double>> layout(const DUTimePeriodChain& chain) const {
        std::vector<std::pair<double, double>> hours;
        for (const DUTimePeriodPtr& p : chain.periods())
            hours.emplace_back(p->StartDate()->timeIntervalSinceDate(h(0)) / 3600,
                               p->EndDate()->timeIntervalSinceDate(h(0)) / 3600);
        return hours;
    }
    using Layout = std::vector<std::pair<double, double>>;

    DUTimePeriodPtr first;
};

TEST_F(DUTimePeriodChainTest, AddingLaysPeriodsEndToEnd) {
    DUTimePeriodChainPtr chain = threeLinks();
    EXPECT_EQ(layout(*chain), (Layout{{8, 9}, {9, 9.5}, {9.5, 11.5}}));
    EXPECT_EQ(chain->StartDate(), h(8));
    EXPECT_EQ(chain->EndDate(), h(11.5));
    EXPECT_DOUBLE_EQ(chain->durationInHours(), 3.5);
    EXPECT_DOUBLE_EQ(chain->durationInMinutes(), 210);
    EXPECT_EQ(chain->First(), first);
    EXPECT_EQ(chain->Last(), chain->periods().back());
    // Only the first period is the object that was added.
    EXPECT_EQ(chain->periods()[0], first);
    EXPECT_EQ(chain->count(), 3);
    EXPECT_TRUE(loggedErrors().empty());
}

TEST_F(DUTimePeriodChainTest, Inserting) {
    struct Case {
        const char* name;
        int64_t index;
        Layout expected;
        bool refused;
    };
    const Case cases[] = {
        {"front", 0, {{7 + 5.0 / 6, 8}, {8, 9}, {9, 9.5}, {9.5, 11.5}}, false},
        {"second", 1, {{8, 9}, {9, 9 + 1.0 / 6}, {9 + 1.0 / 6, 9.5 + 1.0 / 6}, {9.5 + 1.0 / 6, 11.5 + 1.0 / 6}}, false},
        {"last", 2, {{8, 9}, {9, 9.5}, {9.5, 9.5 + 1.0 / 6}, {9.5 + 1.0 / 6, 11.5 + 1.0 / 6}}, false},
        {"at count", 3, {{8, 9}, {9, 9.5}, {9.5, 11.5}}, true},
        {"negative", -1, {{8, 9}, {9, 9.5}, {9.5, 11.5}}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        DUTimePeriodChainPtr chain = threeLinks();
        chain->insertTimePeriod(span(40, 40 + 1.0 / 6), c.index);  // ten minutes
        Layout got = layout(*chain);
        ASSERT_EQ(got.size(), c.expected.size());
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_NEAR(got[i].first, c.expected[i].first, 1e-9);
            EXPECT_NEAR(got[i].second, c.expected[i].second, 1e-9);
        }
        EXPECT_EQ(chain->StartDate(), chain->periods().front()->StartDate());
        EXPECT_EQ(chain->EndDate(), chain->periods().back()->EndDate());
        EXPECT_EQ(chain->First(), chain->periods().front());
        EXPECT_EQ(chain->Last(), chain->periods().back());
        EXPECT_EQ(loggedErrors().size(), c.refused ? 1u : 0u);
        if (c.refused) {
            EXPECT_EQ(loggedErrors()[0], DUError::insertOutOfBoundsError(c.index, &chain->periods())->description());
        }
    }
    // An empty chain has no position to insert at.
    DUTimePeriodChainPtr empty = DUTimePeriodChain::chain();
    log.clear();
    empty->insertTimePeriod(span(1, 2), 0);
    EXPECT_EQ(empty->count(), 0);
    EXPECT_EQ(loggedErrors().size(), 1u);
}

TEST_F(DUTimePeriodChainTest, Removing) {
    DUTimePeriodChainPtr chain = threeLinks();
    chain->removeTimePeriodAtIndex(1);  // the 30-minute link: the last one moves earlier
    EXPECT_EQ(layout(*chain), (Layout{{8, 9}, {9, 11}}));
    EXPECT_EQ(chain->EndDate(), h(11));

    chain = threeLinks();
    chain->removeEarliestTimePeriod();  // the chain keeps its start
    EXPECT_EQ(layout(*chain), (Layout{{8, 8.5}, {8.5, 10.5}}));
    EXPECT_EQ(chain->StartDate(), h(8));
    EXPECT_EQ(chain->First(), chain->periods().front());

    chain = threeLinks();
    chain->removeLatestTimePeriod();  // nothing moves
    EXPECT_EQ(layout(*chain), (Layout{{8, 9}, {9, 9.5}}));
    EXPECT_EQ(chain->EndDate(), h(9.5));
    EXPECT_EQ(chain->Last(), chain->periods().back());

    log.clear();
    chain->removeTimePeriodAtIndex(2);
    chain->removeTimePeriodAtIndex(-1);
    EXPECT_EQ(chain->count(), 2);
    ASSERT_EQ(loggedErrors().size(), 2u);
    EXPECT_EQ(loggedErrors()[0], DUError::removeOutOfBoundsError(2, &chain->periods())->description());

    // Removing the only period clears the bounds and the ends.
    DUTimePeriodChainPtr single = DUTimePeriodChain::chain();
    single->addTimePeriod(span(1, 2));
    single->removeTimePeriodAtIndex(0);
    EXPECT_FALSE(single->StartDate() || single->EndDate() || single->First() || single->Last());
    single->addTimePeriod(span(1, 2));
    single->removeEarliestTimePeriod();
    EXPECT_FALSE(single->StartDate() || single->First());
    single->addTimePeriod(span(1, 2));
    single->removeLatestTimePeriod();
    EXPECT_FALSE(single->EndDate() || single->Last());

    // On an empty chain these do nothing and log nothing.
    log.clear();
    single->removeLatestTimePeriod();
    single->removeEarliestTimePeriod();
    EXPECT_TRUE(log.empty());
    EXPECT_DOUBLE_EQ(single->durationInSeconds(), 0);
}

TEST_F(DUTimePeriodChainTest, OnlyPlainPeriodsAreTaken) {
    DUTimePeriodChainPtr chain = threeLinks();
    chain->addTimePeriod(subclassSpan(1, 2));
    chain->insertTimePeriod(subclassSpan(1, 2), 1);
    chain->addTimePeriod(DUTimePeriodCollection::collection());
    chain->addTimePeriod(nullptr);
    EXPECT_EQ(chain->count(), 3);
    ASSERT_EQ(loggedErrors().size(), 4u);
    EXPECT_NE(loggedErrors()[0].find("class DUTimePeriodSubclass when expecting object of class DUTimePeriod"),
              std::string::npos);
    EXPECT_NE(loggedErrors()[3].find("class (null) when"), std::string::npos);
}

TEST_F(DUTimePeriodChainTest, ShiftingMovesEveryLinkAndTheBounds) {
    DUTimePeriodChainPtr chain = threeLinks();
    chain->shiftLaterWithSize(DUPeriodSizeDay, 2);
    EXPECT_EQ(chain->StartDate(), h(8 + 48));
    EXPECT_EQ(chain->EndDate(), h(11.5 + 48));
    chain->shiftEarlierWithSize(DUPeriodSizeHour);
    EXPECT_EQ(layout(*chain), (Layout{{55, 56}, {56, 56.5}, {56.5, 58.5}}));
    EXPECT_EQ(chain->StartDate(), h(55));
}

TEST_F(DUTimePeriodChainTest, Equality) {
    DUTimePeriodChainPtr a = threeLinks(), b = threeLinks();
    EXPECT_TRUE(a->isEqualToChain(b));
    EXPECT_TRUE(a->hasSameCharacteristicsAs(*b));
    // Same bounds and count, different inner boundary.
    DUTimePeriodChainPtr c = DUTimePeriodChain::chain();
    c->addTimePeriod(span(8, 9.5));
    c->addTimePeriod(span(0, 0.5));
    c->addTimePeriod(span(0, 1.5));
    EXPECT_TRUE(a->hasSameCharacteristicsAs(*c));
    EXPECT_FALSE(a->isEqualToChain(c));
    b->removeLatestTimePeriod();
    EXPECT_FALSE(a->isEqualToChain(b));
    EXPECT_TRUE(DUTimePeriodChain::chain()->isEqualToChain(DUTimePeriodChain::chain()));

    log.clear();
    EXPECT_FALSE(a->isEqualToChain(DUTimePeriodCollection::collection()));
    ASSERT_EQ(loggedErrors().size(), 1u);
    EXPECT_NE(loggedErrors()[0].find("expecting object of class DUTimePeriodChain"), std::string::npos);
}

TEST_F(DUTimePeriodChainTest, IndexedAccess) {
    DUTimePeriodChainPtr chain = threeLinks();
    EXPECT_EQ(chain->objectAtIndexedSubscript(0), first);
    EXPECT_THROW(chain->objectAtIndexedSubscript(3), NSException);
    EXPECT_THROW(chain->objectAtIndexedSubscript(-1), NSException);

    // Setting a period at an index brings the bounds up to date.
    chain->setObject(span(9.5, 13), 2);
    EXPECT_EQ(chain->EndDate(), h(13));
    EXPECT_EQ(chain->Last(), chain->periods()[2]);
    chain->setObject(span(13, 14), 3);  // at count: appended
    EXPECT_EQ(chain->count(), 4);
    EXPECT_EQ(chain->EndDate(), h(14));

    // Anything but a period, or an index past the end, is refused.
    log.clear();
    chain->setObject(DUTimePeriodChain::chain(), 0);
    chain->setObject(nullptr, 0);
    chain->setObject(span(0, 1), 9);
    EXPECT_EQ(chain->count(), 4);
    EXPECT_EQ(chain->periods()[0], first);
    EXPECT_EQ(loggedErrors().size(), 3u);
}

}  // namespace
