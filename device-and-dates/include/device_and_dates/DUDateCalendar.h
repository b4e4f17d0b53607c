#pragma once
// The date utilities' process-wide default calendar: the identifier it was chosen by and the
// implicit calendar that every date operation without an explicit calendar computes in.
//
// Naming scheme of the date utilities: the operations the platform's date type gains here are
// free functions in the namespace DUDate, named after their selectors' first keyword. An
// operation on a date takes that date as its first parameter (`DUDate::timeAgoSinceNow(date)`,
// `DUDate::dateByAddingDays(date, 3)`); class-level operations take only their own arguments
// (`DUDate::isLeapYear(2024)`, `DUDate::timeAgoSinceDate(date)`). An optional calendar
// argument left null means the implicit calendar.

#include <optional>
#include <string>

#include <platform_foundation/NSCalendar.h>

namespace DUDate {

// The identifier last set (Gregorian until changed); nothing after setting nothing.
std::optional<std::string> defaultCalendarIdentifier();
// Stores the identifier and swaps in a new implicit calendar for it; nothing, or an identifier
// the platform has no calendar for, gives a Gregorian calendar. Meant for start-up.
void setDefaultCalendarIdentifier(const std::optional<std::string>& identifier);
// The current implicit calendar (shared; its zone is the default time zone when it was made).
NSCalendarPtr implicitCalendar();

}  // namespace DUDate
