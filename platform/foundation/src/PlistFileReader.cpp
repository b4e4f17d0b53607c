#include "PlistFileReader.h"

#include <cstdlib>
#include <memory>

#include <plist/plist.h>

namespace {

Value toValue(plist_t node, int depth) {
    if (!node || depth > 512) return Value();
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return Value(b != 0);
    }
    case PLIST_UINT: {
        uint64_t v = 0;
        plist_get_uint_val(node, &v);
        // Binary plists store negative integers as their 64-bit pattern.
        return Value(static_cast<int64_t>(v));
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return Value(d);
    }
    case PLIST_STRING: {
        char* s = nullptr;
        plist_get_string_val(node, &s);
        Value v(s ? std::string(s) : std::string());
        std::free(s);
        return v;
    }
    case PLIST_DATA: {
        char* d = nullptr;
        uint64_t len = 0;
        plist_get_data_val(node, &d, &len);
        Value v = Value::data(d, static_cast<std::size_t>(len));
        std::free(d);
        return v;
    }
    case PLIST_DATE: {
        int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        // libplist counts from the platform's reference date (2001-01-01).
        return Value(NSDate(sec + usec / 1e6));
    }
    case PLIST_ARRAY: {
        Value::Array items;
        uint32_t n = plist_array_get_size(node);
        for (uint32_t i = 0; i < n; ++i) items.push_back(toValue(plist_array_get_item(node, i), depth + 1));
        return Value(std::move(items));
    }
    case PLIST_DICT: {
        Value::Dictionary dict;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        while (it) {
            char* key = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, it, &key, &item);
            if (!key) break;
            dict[Value(std::string(key))] = toValue(item, depth + 1);
            std::free(key);
        }
        std::free(it);
        return Value(std::move(dict));
    }
    default: return Value();
    }
}

}  // namespace

std::optional<Value> readPropertyListBytes(const Value::Data& bytes) {
    if (bytes.empty() || bytes.size() > UINT32_MAX) return std::nullopt;
    plist_t root = nullptr;
    plist_from_memory(reinterpret_cast<const char*>(bytes.data()), static_cast<uint32_t>(bytes.size()), &root);
    if (!root) return std::nullopt;
    Value v = toValue(root, 0);
    plist_free(root);
    return v;
}
