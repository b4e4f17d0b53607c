#pragma once
// Calendar arithmetic on dates (adding and subtracting years to seconds), distances between dates
// in each unit, and comparisons. See DUDateCalendar.h for the naming scheme.

#include <cstdint>

#include <platform_foundation/NSCalendar.h>
#include <platform_runtime/NSDate.h>

namespace DUDate {

// In the implicit calendar: a month from 31 January is the last day of February, and a day
// keeps the wall-clock time across a daylight-saving change. A move the calendar cannot make
// (far outside its range) leaves the date as it is.
NSDate dateByAddingYears(const NSDate& self, int64_t years);
NSDate dateByAddingMonths(const NSDate& self, int64_t months);
NSDate dateByAddingWeeks(const NSDate& self, int64_t weeks);
NSDate dateByAddingDays(const NSDate& self, int64_t days);
NSDate dateByAddingHours(const NSDate& self, int64_t hours);
NSDate dateByAddingMinutes(const NSDate& self, int64_t minutes);
NSDate dateByAddingSeconds(const NSDate& self, int64_t seconds);
NSDate dateBySubtractingYears(const NSDate& self, int64_t years);
NSDate dateBySubtractingMonths(const NSDate& self, int64_t months);
NSDate dateBySubtractingWeeks(const NSDate& self, int64_t weeks);
NSDate dateBySubtractingDays(const NSDate& self, int64_t days);
NSDate dateBySubtractingHours(const NSDate& self, int64_t hours);
NSDate dateBySubtractingMinutes(const NSDate& self, int64_t minutes);
NSDate dateBySubtractingSeconds(const NSDate& self, int64_t seconds);

// Whole calendar units from the date to the receiver: positive when the receiver is later.
// A null calendar means the implicit one.
int64_t yearsFrom(const NSDate& self, const NSDate& date, const NSCalendarPtr& calendar = nullptr);
int64_t monthsFrom(const NSDate& self, const NSDate& date, const NSCalendarPtr& calendar = nullptr);
int64_t weeksFrom(const NSDate& self, const NSDate& date, const NSCalendarPtr& calendar = nullptr);
int64_t daysFrom(const NSDate& self, const NSDate& date, const NSCalendarPtr& calendar = nullptr);
// Elapsed time from the date to the receiver, fractions kept.
double hoursFrom(const NSDate& self, const NSDate& date);
double minutesFrom(const NSDate& self, const NSDate& date);
double secondsFrom(const NSDate& self, const NSDate& date);

// How far the receiver lies before the date (0 when it does not).
int64_t yearsEarlierThan(const NSDate& self, const NSDate& date);
int64_t monthsEarlierThan(const NSDate& self, const NSDate& date);
int64_t weeksEarlierThan(const NSDate& self, const NSDate& date);
int64_t daysEarlierThan(const NSDate& self, const NSDate& date);
double hoursEarlierThan(const NSDate& self, const NSDate& date);
double minutesEarlierThan(const NSDate& self, const NSDate& date);
double secondsEarlierThan(const NSDate& self, const NSDate& date);
// How far the receiver lies after the date (0 when it does not).
int64_t yearsLaterThan(const NSDate& self, const NSDate& date);
int64_t monthsLaterThan(const NSDate& self, const NSDate& date);
int64_t weeksLaterThan(const NSDate& self, const NSDate& date);
int64_t daysLaterThan(const NSDate& self, const NSDate& date);
double hoursLaterThan(const NSDate& self, const NSDate& date);
double minutesLaterThan(const NSDate& self, const NSDate& date);
double secondsLaterThan(const NSDate& self, const NSDate& date);

// Against the current instant: how long ago the receiver was, and how long until it comes.
int64_t yearsAgo(const NSDate& self);
int64_t monthsAgo(const NSDate& self);
int64_t weeksAgo(const NSDate& self);
int64_t daysAgo(const NSDate& self);
double hoursAgo(const NSDate& self);
double minutesAgo(const NSDate& self);
double secondsAgo(const NSDate& self);
int64_t yearsUntil(const NSDate& self);
int64_t monthsUntil(const NSDate& self);
int64_t weeksUntil(const NSDate& self);
int64_t daysUntil(const NSDate& self);
double hoursUntil(const NSDate& self);
double minutesUntil(const NSDate& self);
double secondsUntil(const NSDate& self);

bool isEarlierThan(const NSDate& self, const NSDate& date);
bool isLaterThan(const NSDate& self, const NSDate& date);
bool isEarlierThanOrEqualTo(const NSDate& self, const NSDate& date);
bool isLaterThanOrEqualTo(const NSDate& self, const NSDate& date);

}  // namespace DUDate
