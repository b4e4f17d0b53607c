#pragma once
// What is worked out once per model class: its property records, required names, index
// property and key mapper.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <memory_resource>
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

// One import's lookups: the value under each property's JSON key (nullptr: no such key), in
// property order; values gathered through arrays are kept in `gathered`.
struct MMModel::Found {
    static constexpr uint32_t kNotMovable = UINT32_MAX;
    // Room for the usual number of properties without a heap allocation per import.
    std::byte room[512];
    std::pmr::monotonic_buffer_resource memory{room, sizeof room};
    std::pmr::vector<const Value*> values{&memory};
    std::vector<std::unique_ptr<Value>> gathered;
    std::shared_ptr<const ImportKeys> keys;  // the class's keys and per-property plan
    // The handed-over dictionary's entries when no other handle shares them, so values may be
    // moved out of them; nullptr otherwise.
    Value::Dictionary* owned = nullptr;
    // Per property: the entry of the dictionary its value sits in (a plain key), read as the
    // import goes; with `owned`, kNotMovable for a value another property reads too.
    std::pmr::vector<uint32_t> slots{&memory};
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
