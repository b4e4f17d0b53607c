#pragma once
// What is worked out once per model class: its property records, required names, index
// property and key mapper.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <model_mapping/MMModel.h>

// The JSON key of each property (declaration order) under the class mapper alone, ready for
// dictionary lookups.
struct MMModel::ImportKeys {
    explicit ImportKeys(std::vector<Value> k)
        : keys(std::move(k)), dotted(keys.size()), hints(new std::atomic<uint32_t>[keys.size()]()) {
        for (std::size_t i = 0; i < keys.size(); ++i) dotted[i] = keys[i].asString().find('.') != std::string::npos;
    }
    std::vector<Value> keys;
    std::vector<char> dotted;  // read as a key path
    // Plain text properties (NSString, no element class, custom setter or mutable copy): a
    // string value is assigned as it is, with no further checks.
    std::vector<char> plainText;
    // Where each key sat in the last dictionary it was found in. Sibling dictionaries usually
    // hold the same keys, so most lookups check that slot and skip the search; a stale or
    // racing hint only costs the search.
    std::unique_ptr<std::atomic<uint32_t>[]> hints;
};

struct MMModel::ClassInfo {
    std::vector<MMModelClassPropertyPtr> properties;  // declaration order, subclass first
    std::set<std::string> required;
    std::optional<std::string> indexPropertyName;

    mutable std::mutex mapperMutex;
    mutable MMKeyMapperPtr keyMapper;  // the first mapper the class's hook answered
    // Rebuilt once when the class mapper arrives.
    mutable std::shared_ptr<const ImportKeys> classKeys;
};

namespace mm_detail {
// The class's records, built on first use. Throws the declaration exceptions.
const MMModel::ClassInfo& classInfo(ObjCClass& cls);
// The nine value classes a JSON value may have, in order.
const std::vector<std::string>& allowedJSONTypes();
}  // namespace mm_detail
