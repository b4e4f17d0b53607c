#pragma once
// Where a row (or item) of before an update stands after it: deletions are
// given by their old places and happen first, insertions by their new places.

#include <platform_uikit/NSIndexPath.h>

#include <algorithm>
#include <optional>
#include <set>

namespace uikit_detail {

// None when the row was deleted.
inline std::optional<NSIndexPath> indexPathAfterUpdate(NSIndexPath p, const std::set<NSIndexPath>& deletes,
                                                       const std::set<NSIndexPath>& inserts) {
    if (deletes.count(p)) return std::nullopt;
    int64_t row = p.row - std::count_if(deletes.begin(), deletes.end(), [&](const NSIndexPath& q) {
                      return q.section == p.section && q.row < p.row;
                  });
    for (auto& q : inserts)
        if (q.section == p.section && q.row <= row) ++row;
    return NSIndexPath{p.section, row};
}

}  // namespace uikit_detail
