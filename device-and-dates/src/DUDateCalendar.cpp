#include <device_and_dates/DUDateCalendar.h>

#include <mutex>

namespace {

struct CalendarState {
    std::mutex mutex;
    std::optional<std::string> identifier;
    NSCalendarPtr calendar;
};

NSCalendarPtr makeCalendar(const std::optional<std::string>& identifier) {
    NSCalendarPtr calendar = NSCalendar::calendarWithIdentifier(identifier.value_or(NSCalendarIdentifierGregorian));
    return calendar ? calendar : NSCalendar::calendarWithIdentifier(NSCalendarIdentifierGregorian);
}

// Starts as if the Gregorian identifier had been set when the library loaded.
CalendarState& state() {
    static CalendarState* s = [] {
        auto* created = new CalendarState;
        created->identifier = NSCalendarIdentifierGregorian;
        created->calendar = makeCalendar(created->identifier);
        return created;
    }();
    return *s;
}

}  // namespace

namespace DUDate {

std::optional<std::string> defaultCalendarIdentifier() {
    CalendarState& s = state();
    std::lock_guard lock(s.mutex);
    return s.identifier;
}

void setDefaultCalendarIdentifier(const std::optional<std::string>& identifier) {
    NSCalendarPtr calendar = makeCalendar(identifier);
    CalendarState& s = state();
    std::lock_guard lock(s.mutex);
    s.identifier = identifier;
    s.calendar = std::move(calendar);
}

NSCalendarPtr implicitCalendar() {
    CalendarState& s = state();
    std::lock_guard lock(s.mutex);
    return s.calendar;
}

}  // namespace DUDate
