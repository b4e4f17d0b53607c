#pragma once
// Calendar units and calendar options: the bit sets that name date components and arithmetic modes.

#include <cstdint>

enum NSCalendarUnit : std::uint64_t {
    NSCalendarUnitEra = 1ULL << 1,
    NSCalendarUnitYear = 1ULL << 2,
    NSCalendarUnitMonth = 1ULL << 3,
    NSCalendarUnitDay = 1ULL << 4,
    NSCalendarUnitHour = 1ULL << 5,
    NSCalendarUnitMinute = 1ULL << 6,
    NSCalendarUnitSecond = 1ULL << 7,
    NSCalendarUnitWeekday = 1ULL << 9,
    NSCalendarUnitWeekdayOrdinal = 1ULL << 10,
    NSCalendarUnitQuarter = 1ULL << 11,
    NSCalendarUnitWeekOfMonth = 1ULL << 12,
    NSCalendarUnitWeekOfYear = 1ULL << 13,
    NSCalendarUnitYearForWeekOfYear = 1ULL << 14,
    NSCalendarUnitNanosecond = 1ULL << 15,
    NSCalendarUnitCalendar = 1ULL << 20,
    NSCalendarUnitTimeZone = 1ULL << 21,

    // Older names of the same units. The week unit counts weeks of the year.
    NSEraCalendarUnit = NSCalendarUnitEra,
    NSYearCalendarUnit = NSCalendarUnitYear,
    NSMonthCalendarUnit = NSCalendarUnitMonth,
    NSDayCalendarUnit = NSCalendarUnitDay,
    NSHourCalendarUnit = NSCalendarUnitHour,
    NSMinuteCalendarUnit = NSCalendarUnitMinute,
    NSSecondCalendarUnit = NSCalendarUnitSecond,
    NSWeekCalendarUnit = NSCalendarUnitWeekOfYear,
    NSWeekdayCalendarUnit = NSCalendarUnitWeekday,
    NSWeekdayOrdinalCalendarUnit = NSCalendarUnitWeekdayOrdinal,
    NSQuarterCalendarUnit = NSCalendarUnitQuarter,
    NSWeekOfMonthCalendarUnit = NSCalendarUnitWeekOfMonth,
    NSWeekOfYearCalendarUnit = NSCalendarUnitWeekOfYear,
    NSYearForWeekOfYearCalendarUnit = NSCalendarUnitYearForWeekOfYear,
    NSCalendarCalendarUnit = NSCalendarUnitCalendar,
    NSTimeZoneCalendarUnit = NSCalendarUnitTimeZone,
};

constexpr NSCalendarUnit operator|(NSCalendarUnit a, NSCalendarUnit b) {
    return static_cast<NSCalendarUnit>(static_cast<std::uint64_t>(a) | static_cast<std::uint64_t>(b));
}
constexpr NSCalendarUnit operator&(NSCalendarUnit a, NSCalendarUnit b) {
    return static_cast<NSCalendarUnit>(static_cast<std::uint64_t>(a) & static_cast<std::uint64_t>(b));
}
constexpr NSCalendarUnit& operator|=(NSCalendarUnit& a, NSCalendarUnit b) { return a = a | b; }

enum NSCalendarOptions : std::uint64_t {
    NSCalendarOptionsNone = 0,
    // Adding: each unit rolls within the next larger one instead of carrying into it.
    NSCalendarWrapComponents = 1ULL << 0,
};
