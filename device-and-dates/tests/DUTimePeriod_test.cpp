#include <device_and_dates/DUTimePeriod.h>

#include <gtest/gtest.h>

#include "DUDateTestEnvironment.h"

namespace {

class DUTimePeriodTest : public ::testing::Test {
protected:
    DUDateTestEnvironment env;  // Europe/Berlin
    NSDate h(double hours) const { return env.at(2024, 3, 13).dateByAddingTimeInterval(hours * 3600); }
    DUTimePeriodPtr span(double from, double to) const { return DUTimePeriod::timePeriodWithStartDate(h(from), h(to)); }
};

TEST_F(DUTimePeriodTest, RelationTableAgainstTenToNoon) {
    DUTimePeriodPtr s = span(10, 12);
    struct Case {
        double from, to;
        DUPeriodRelation relation;
        bool overlaps, intersects, inside, contains;
        double gap;
    };
    const Case cases[] = {
        {7, 9, DUPeriodRelationAfter, false, false, false, false, 3600},
        {8, 10, DUPeriodRelationStartTouching, false, true, false, false, 0},
        {9, 11, DUPeriodRelationStartInside, true, true, false, false, 0},
        {10, 13, DUPeriodRelationInsideStartTouching, true, true, true, false, 0},
        {10, 11, DUPeriodRelationEnclosingStartTouching, true, true, false, true, 0},
        {10.5, 11.5, DUPeriodRelationEnclosing, true, true, false, true, 0},
        {11, 12, DUPeriodRelationEnclosingEndTouching, true, true, false, true, 0},
        {10, 12, DUPeriodRelationExactMatch, true, true, true, true, 0},
        {9, 13, DUPeriodRelationInside, true, true, true, false, 0},
        {9, 12, DUPeriodRelationInsideEndTouching, true, true, true, false, 0},
        {11, 13, DUPeriodRelationEndInside, true, true, false, false, 0},
        {12, 14, DUPeriodRelationEndTouching, false, true, false, false, 0},
        {13.5, 14, DUPeriodRelationBefore, false, false, false, false, 5400},
        {11, 11, DUPeriodRelationNone, true, true, false, true, 0},  // a moment
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + "-" + std::to_string(c.to));
        DUTimePeriodPtr p = span(c.from, c.to);
        EXPECT_EQ(s->relationToPeriod(*p), c.relation);
        EXPECT_EQ(s->overlapsWith(*p), c.overlaps);
        EXPECT_EQ(s->intersects(*p), c.intersects);
        EXPECT_EQ(s->isInside(*p), c.inside);
        EXPECT_EQ(s->contains(*p), c.contains);
        EXPECT_DOUBLE_EQ(s->gapBetween(*p), c.gap);
        EXPECT_DOUBLE_EQ(p->gapBetween(*s), c.gap);
    }
    // A moment relates as None either way; so do a reversed period and one with an unset date.
    EXPECT_EQ(s->relationToPeriod(*span(11, 9)), DUPeriodRelationNone);
    EXPECT_EQ(span(12, 10)->relationToPeriod(*span(7, 8)), DUPeriodRelationNone);
    EXPECT_EQ(span(11, 11)->relationToPeriod(*s), DUPeriodRelationNone);
    DUTimePeriodPtr open = DUTimePeriod::timePeriodWithStartDate(h(9), std::nullopt);
    EXPECT_EQ(s->relationToPeriod(*open), DUPeriodRelationNone);
    EXPECT_EQ(open->relationToPeriod(*s), DUPeriodRelationNone);
    EXPECT_FALSE(s->overlapsWith(*open));
    EXPECT_FALSE(open->intersects(*s));
    EXPECT_FALSE(s->contains(*open));
    EXPECT_DOUBLE_EQ(s->gapBetween(*open), 0);
}

TEST_F(DUTimePeriodTest, EqualityAndSelfRelations) {
    DUTimePeriodPtr s = span(10, 12);
    EXPECT_TRUE(s->isInside(*s));
    EXPECT_TRUE(s->contains(*s));
    EXPECT_TRUE(s->isEqualToPeriod(*span(10, 12)));
    EXPECT_FALSE(s->isEqualToPeriod(*span(10, 12.001)));
    EXPECT_TRUE(DUTimePeriod::timePeriodWithAllTime()->contains(*s));
    EXPECT_TRUE(s->isInside(*DUTimePeriod::timePeriodWithAllTime()));
    EXPECT_TRUE(span(3, 3)->isMoment());
    EXPECT_FALSE(s->isMoment());
    EXPECT_FALSE(DUTimePeriod().isMoment());
    EXPECT_FALSE(DUTimePeriod().hasStartDate());
    EXPECT_TRUE(s->hasStartDate() && s->hasEndDate());
}

TEST_F(DUTimePeriodTest, ContainsDate) {
    DUTimePeriodPtr s = span(10, 12);
    EXPECT_TRUE(s->containsDate(h(10), DUPeriodIntervalClosed));
    EXPECT_FALSE(s->containsDate(h(10), DUPeriodIntervalOpen));
    EXPECT_TRUE(s->containsDate(h(12), DUPeriodIntervalClosed));
    EXPECT_FALSE(s->containsDate(h(12), DUPeriodIntervalOpen));
    EXPECT_TRUE(s->containsDate(h(11), DUPeriodIntervalOpen));
    EXPECT_FALSE(s->containsDate(h(12.5), DUPeriodIntervalClosed));
    EXPECT_FALSE(s->containsDate(h(11), static_cast<DUPeriodInterval>(2)));
}

TEST_F(DUTimePeriodTest, Durations) {
    DUTimePeriodPtr p = span(0, 36);
    EXPECT_DOUBLE_EQ(p->durationInDays(), 1);
    EXPECT_DOUBLE_EQ(p->durationInHours(), 36);
    EXPECT_DOUBLE_EQ(p->durationInMinutes(), 36 * 60);
    EXPECT_DOUBLE_EQ(p->durationInSeconds(), 36 * 3600);
    EXPECT_DOUBLE_EQ(p->durationInWeeks(), 0);
    EXPECT_DOUBLE_EQ(span(0, 24 * 15)->durationInWeeks(), 2);
    EXPECT_DOUBLE_EQ(DUTimePeriod::timePeriodWithStartDate(env.at(2020, 2, 29), env.at(2024, 2, 28))->durationInYears(), 3);
    DUTimePeriodPtr reversed = span(36, 0);
    EXPECT_DOUBLE_EQ(reversed->durationInDays(), 0);
    EXPECT_DOUBLE_EQ(reversed->durationInSeconds(), 0);
    EXPECT_DOUBLE_EQ(DUTimePeriod::timePeriodWithStartDate(std::nullopt, h(3))->durationInHours(), 0);
    // A calendar day over the DST start is 23 hours long.
    DUTimePeriodPtr day = DUTimePeriod::timePeriodWithSize(DUPeriodSizeDay, env.at(2024, 3, 30, 12));
    EXPECT_DOUBLE_EQ(day->durationInHours(), 23);
    EXPECT_DOUBLE_EQ(day->durationInDays(), 1);
}

TEST_F(DUTimePeriodTest, CreationBySize) {
    NSDate jan31 = env.at(2024, 1, 31, 9);
    struct Case {
        DUPeriodSize size;
        int64_t amount;
        NSDate end;
    };
    const Case cases[] = {
        {DUPeriodSizeSecond, 90, jan31.dateByAddingTimeInterval(90)},
        {DUPeriodSizeMinute, 90, jan31.dateByAddingTimeInterval(90 * 60)},
        {DUPeriodSizeHour, 5, jan31.dateByAddingTimeInterval(5 * 3600)},
        {DUPeriodSizeDay, 2, env.at(2024, 2, 2, 9)},
        {DUPeriodSizeWeek, 1, env.at(2024, 2, 7, 9)},
        {DUPeriodSizeMonth, 1, env.at(2024, 2, 29, 9)},
        {DUPeriodSizeYear, 1, env.at(2025, 1, 31, 9)},
        {static_cast<DUPeriodSize>(7), 4, jan31},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.size));
        DUTimePeriodPtr p = DUTimePeriod::timePeriodWithSize(c.size, c.amount, jan31);
        EXPECT_EQ(p->StartDate(), jan31);
        EXPECT_EQ(p->EndDate(), c.end);
        DUTimePeriodPtr q = DUTimePeriod::timePeriodWithSizeEndingAt(c.size, c.amount, c.end);
        EXPECT_EQ(q->EndDate(), c.end);
        EXPECT_EQ(DUTimePeriod::dateWithSubtractedTime(c.size, c.amount, c.end),
                  c.size == DUPeriodSizeMonth ? env.at(2024, 1, 29, 9) : jan31);
    }
    EXPECT_TRUE(DUTimePeriod::timePeriodWithSize(static_cast<DUPeriodSize>(9), jan31)->isMoment());
    EXPECT_EQ(DUTimePeriod::timePeriodWithSize(DUPeriodSizeDay, jan31)->EndDate(), env.at(2024, 2, 1, 9));
    EXPECT_EQ(DUTimePeriod::timePeriodWithSizeEndingAt(DUPeriodSizeDay, jan31)->StartDate(), env.at(2024, 1, 30, 9));
    DUTimePeriodPtr all = DUTimePeriod::timePeriodWithAllTime();
    EXPECT_EQ(all->StartDate(), NSDate::distantPast());
    EXPECT_EQ(all->EndDate(), NSDate::distantFuture());
}

TEST_F(DUTimePeriodTest, ShiftLengthenShorten) {
    using Change = void (*)(DUTimePeriod&);
    struct Case {
        const char* name;
        Change change;
        double from, to;  // hours after midnight, from a 10:00-12:00 period
    };
    const Case cases[] = {
        {"shift later", [](DUTimePeriod& p) { p.shiftLaterWithSize(DUPeriodSizeHour, 3); }, 13, 15},
        {"shift earlier", [](DUTimePeriod& p) { p.shiftEarlierWithSize(DUPeriodSizeMinute, 90); }, 8.5, 10.5},
        {"shift later by one", [](DUTimePeriod& p) { p.shiftLaterWithSize(DUPeriodSizeHour); }, 11, 13},
        {"shift earlier by one", [](DUTimePeriod& p) { p.shiftEarlierWithSize(DUPeriodSizeHour); }, 9, 11},
        {"lengthen at start", [](DUTimePeriod& p) { p.lengthenWithAnchorDate(DUPeriodAnchorStart, DUPeriodSizeHour, 2); }, 10, 14},
        {"lengthen at end", [](DUTimePeriod& p) { p.lengthenWithAnchorDate(DUPeriodAnchorEnd, DUPeriodSizeHour, 2); }, 8, 12},
        {"lengthen at centre, even", [](DUTimePeriod& p) { p.lengthenWithAnchorDate(DUPeriodAnchorCenter, DUPeriodSizeHour, 2); }, 9, 13},
        // An odd amount is applied whole: the extra unit goes to the end.
        {"lengthen at centre by 1", [](DUTimePeriod& p) { p.lengthenWithAnchorDate(DUPeriodAnchorCenter, DUPeriodSizeHour); }, 10, 13},
        {"lengthen at centre by 3", [](DUTimePeriod& p) { p.lengthenWithAnchorDate(DUPeriodAnchorCenter, DUPeriodSizeHour, 3); }, 9, 14},
        {"shorten at centre by 1", [](DUTimePeriod& p) { p.shortenWithAnchorDate(DUPeriodAnchorCenter, DUPeriodSizeMinute, 1); }, 10, 12 - 1.0 / 60},
        {"shorten at centre by 3", [](DUTimePeriod& p) { p.shortenWithAnchorDate(DUPeriodAnchorCenter, DUPeriodSizeMinute, 3); }, 10 + 1.0 / 60, 12 - 2.0 / 60},
        {"shorten at start", [](DUTimePeriod& p) { p.shortenWithAnchorDate(DUPeriodAnchorStart, DUPeriodSizeMinute, 30); }, 10, 11.5},
        {"shorten at end", [](DUTimePeriod& p) { p.shortenWithAnchorDate(DUPeriodAnchorEnd, DUPeriodSizeMinute, 30); }, 10.5, 12},
        {"shorten past the end", [](DUTimePeriod& p) { p.shortenWithAnchorDate(DUPeriodAnchorEnd, DUPeriodSizeHour, 3); }, 13, 12},
        {"unknown anchor", [](DUTimePeriod& p) { p.lengthenWithAnchorDate(static_cast<DUPeriodAnchor>(3), DUPeriodSizeHour, 3); }, 10, 12},
        {"unknown anchor shortening", [](DUTimePeriod& p) { p.shortenWithAnchorDate(static_cast<DUPeriodAnchor>(3), DUPeriodSizeHour); }, 10, 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DUTimePeriodPtr p = span(10, 12);
        c.change(*p);
        ASSERT_TRUE(p->StartDate() && p->EndDate());
        EXPECT_NEAR(p->StartDate()->timeIntervalSinceDate(h(0)), c.from * 3600, 1e-6);
        EXPECT_NEAR(p->EndDate()->timeIntervalSinceDate(h(0)), c.to * 3600, 1e-6);
    }
    // Calendar sizes: a month later from the end of January lands on the end of February.
    DUTimePeriodPtr jan = DUTimePeriod::timePeriodWithStartDate(env.at(2024, 1, 31), env.at(2024, 1, 31, 12));
    jan->shiftLaterWithSize(DUPeriodSizeMonth);
    EXPECT_EQ(jan->StartDate(), env.at(2024, 2, 29));
    // Unset dates stay unset.
    DUTimePeriod half(h(1), std::nullopt);
    half.shiftLaterWithSize(DUPeriodSizeHour);
    half.lengthenWithAnchorDate(DUPeriodAnchorCenter, DUPeriodSizeHour, 2);
    EXPECT_EQ(half.StartDate(), h(1));
    EXPECT_FALSE(half.hasEndDate());
}

class DUTimePeriodSubclass : public DUTimePeriod {
    NS_CLASS(DUTimePeriodSubclass, DUTimePeriod)
};

TEST_F(DUTimePeriodTest, CopyIsIndependentAndKeepsUnsetDates) {
    DUTimePeriodPtr original = span(10, 12);
    DUTimePeriodPtr copy = original->copy();
    EXPECT_NE(copy, original);
    EXPECT_TRUE(copy->isEqualToPeriod(*original));
    copy->shiftLaterWithSize(DUPeriodSizeHour);
    EXPECT_EQ(original->StartDate(), h(10));

    DUTimePeriod unset(std::nullopt, h(5));
    DUTimePeriodPtr unsetCopy = unset.copy();
    EXPECT_FALSE(unsetCopy->hasStartDate());
    EXPECT_EQ(unsetCopy->EndDate(), h(5));

    auto sub = std::make_shared<DUTimePeriodSubclass>();
    sub->setStartDate(h(1));
    EXPECT_EQ(sub->copy()->className(), "DUTimePeriod");
    EXPECT_EQ(sub->className(), "DUTimePeriodSubclass");
}

}  // namespace
