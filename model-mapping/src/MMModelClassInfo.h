#pragma once
// What is worked out once per model class: its property records, required names, index
// property and key mapper.

#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <model_mapping/MMModel.h>

struct MMModel::ClassInfo {
    std::vector<MMModelClassPropertyPtr> properties;  // declaration order, subclass first
    std::set<std::string> required;
    std::optional<std::string> indexPropertyName;

    mutable std::mutex mapperMutex;
    mutable MMKeyMapperPtr keyMapper;  // the first mapper the class's hook answered
    // JSON key of each property (same order) under the class mapper alone, kept ready as
    // dictionary keys; rebuilt once when the class mapper arrives.
    mutable std::shared_ptr<const std::vector<Value>> classKeys;
};

namespace mm_detail {
// The class's records, built on first use. Throws the declaration exceptions.
const MMModel::ClassInfo& classInfo(ObjCClass& cls);
// The nine value classes a JSON value may have, in order.
const std::vector<std::string>& allowedJSONTypes();
}  // namespace mm_detail
