#pragma once
// The place of a row (or item) in a sectioned list: a section and a row
// within it. A plain value, ordered by section, then row.

#include <compare>
#include <cstdint>
#include <string>

struct NSIndexPath {
    int64_t section = 0;
    int64_t row = 0;

    static constexpr NSIndexPath indexPathForRow(int64_t row, int64_t section) { return {section, row}; }
    static constexpr NSIndexPath indexPathForItem(int64_t item, int64_t section) { return {section, item}; }
    // Collection views call the row an item.
    constexpr int64_t item() const { return row; }

    auto operator<=>(const NSIndexPath&) const = default;
    // "{section, row}", for logs and messages.
    std::string description() const { return "{" + std::to_string(section) + ", " + std::to_string(row) + "}"; }
};
