#pragma once
// Lookups in the "DateUtils" strings table of DateUtils.bundle, which lies in the resource folder
// of the bundle holding the date classes.

#include <optional>
#include <string>

namespace du_detail {

// The table's entry for the key, the key itself when the table has none, and nothing when the
// bundle cannot be found.
std::optional<std::string> dateUtilsLocalizedString(const std::string& key);

}  // namespace du_detail
