#include <platform_foundation/NSPropertyListSerialization.h>

#include <cstdlib>
#include <cstring>

#include <platform_foundation/CodecErrors.h>

#include "codecs/PlistCheck.h"
#include "codecs/PlistNode.h"

using codecs::PlistPtr;

namespace {

NSErrorPtr makeError(int64_t code, const std::string& detail) {
    Value::Dictionary info;
    info[Value(NSDebugDescriptionErrorKey)] = Value(detail);
    return NSError::errorWithDomain(NSCocoaErrorDomain, code, std::move(info));
}

// Builds the libplist tree of a Value; null with *why set for what the format cannot hold.
// Nesting is bounded as in reading, which also keeps this recursion and libplist's writer
// off the end of the stack.
plist_t toPlist(const Value& v, NSPropertyListFormat format, std::string* why, std::size_t depth = 0) {
    auto invalid = [&](const char* kind) -> plist_t {
        if (why)
            *why = "Property list invalid for format: " + std::to_string(static_cast<int>(format)) +
                   " (property lists cannot contain objects of type '" + kind + "')";
        return nullptr;
    };
    auto tooDeep = [&]() -> plist_t {
        if (why) *why = "Property list nested too deeply (more than " + std::to_string(codecs::PlistLimits::kMaxDepth) + " levels)";
        return nullptr;
    };
    switch (v.type()) {
    case Value::Type::Bool:
        return plist_new_bool(v.asBool() ? 1 : 0);
    case Value::Type::Int:
        return codecs::newIntNode(v.asInt());
    case Value::Type::UInt:
        return codecs::newUIntNode(v.asUInt());
    case Value::Type::Double:
        return plist_new_real(v.asDouble());
    case Value::Type::Decimal: {
        const NSDecimal& d = v.asDecimal();
        if (d.isInteger() && !d.isNaN() && d.digits().size() + d.exponent() <= 18) return codecs::newIntNode(d.longLongValue());
        return plist_new_real(d.doubleValue());
    }
    case Value::Type::String: {
        const std::string s = v.asStdString();
        // libplist takes C strings: an embedded NUL would silently cut the text.
        if (s.find('\0') != std::string::npos) return invalid("string with NUL character");
        return plist_new_string(s.c_str());
    }
    case Value::Type::Data: {
        const auto& d = v.asData();
        return plist_new_data(reinterpret_cast<const char*>(d.data()), d.size());
    }
    case Value::Type::Date: {
        plist_t node = codecs::newDateNode(v.asDate().timeIntervalSinceReferenceDate());
        return node ? node : invalid("date out of range");
    }
    case Value::Type::Array: {
        if (depth >= codecs::PlistLimits::kMaxDepth) return tooDeep();
        PlistPtr array(plist_new_array());
        for (const Value& item : v.asArray()) {
            plist_t child = toPlist(item, format, why, depth + 1);
            if (!child) return nullptr;
            plist_array_append_item(array.get(), child);
        }
        return array.release();
    }
    case Value::Type::Dictionary: {
        if (depth >= codecs::PlistLimits::kMaxDepth) return tooDeep();
        PlistPtr dict(plist_new_dict());
        for (const auto& [key, item] : v.asDictionary()) {
            if (!key.isString()) return invalid("non-string dictionary key");
            if (key.asString().find('\0') != std::string::npos) return invalid("key with NUL character");
            plist_t child = toPlist(item, format, why, depth + 1);
            if (!child) return nullptr;
            plist_dict_set_item(dict.get(), key.asStdString().c_str(), child);
        }
        return dict.release();
    }
    case Value::Type::Null:
        return invalid("CFNull");
    case Value::Type::Set:
        return invalid("CFSet");
    case Value::Type::Geometry:
        return invalid("NSValue");
    case Value::Type::Object:
        return invalid("NSObject");
    }
    return invalid("unknown");
}

Value fromPlist(plist_t node, NSPropertyListMutabilityOptions options) {
    const bool mutableContainers = options != NSPropertyListImmutable;
    const bool mutableLeaves = options == NSPropertyListMutableContainersAndLeaves;
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return Value(b != 0);
    }
    case PLIST_UINT:
        return codecs::integerValue(node);
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return Value(d);
    }
    case PLIST_STRING:
    case PLIST_KEY: {
        Value s(codecs::stringValue(node));
        s.setMutable(mutableLeaves);
        return s;
    }
    case PLIST_DATA: {
        uint64_t length = 0;
        const char* p = plist_get_data_ptr(node, &length);
        Value d = Value::data(p, p ? length : 0);
        d.setMutable(mutableLeaves);
        return d;
    }
    case PLIST_DATE:
        return Value(NSDate(codecs::dateValue(node)));
    case PLIST_UID: {
        // A keyed-archive reference read as a plain property list: shown as its XML form.
        uint64_t uid = 0;
        plist_get_uid_val(node, &uid);
        return Value::dict({{"CF$UID", Value(static_cast<int64_t>(uid))}});
    }
    case PLIST_ARRAY: {
        Value::Array items;
        const uint32_t n = plist_array_get_size(node);
        items.reserve(n);
        for (uint32_t i = 0; i < n; ++i) items.push_back(fromPlist(plist_array_get_item(node, i), options));
        Value a(std::move(items));
        a.setMutable(mutableContainers);
        return a;
    }
    case PLIST_DICT: {
        Value::Dictionary entries;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        while (it) {
            plist_t item = nullptr;
            plist_dict_next_item(node, it, nullptr, &item);
            if (!item) break;
            entries.insert_or_assign(Value(codecs::dictKey(item)), fromPlist(item, options));
        }
        std::free(it);
        Value d(std::move(entries));
        d.setMutable(mutableContainers);
        return d;
    }
    default:
        return Value();
    }
}

}  // namespace

Value NSPropertyListSerialization::propertyListWithData(std::string_view data, NSPropertyListMutabilityOptions options,
                                                        NSPropertyListFormat* format, NSErrorPtr* error) {
    std::string why;
    NSPropertyListFormat found = NSPropertyListXMLFormat_v1_0;
    PlistPtr root = codecs::parsePlist(data, &found, &why);
    if (!root) {
        if (error) *error = makeError(NSPropertyListReadCorruptError, "Cannot parse property list: " + why);
        return Value();
    }
    if (format) *format = found;
    return fromPlist(root.get(), options);
}

Value NSPropertyListSerialization::propertyListWithData(const Value::Data& data, NSPropertyListMutabilityOptions options,
                                                        NSPropertyListFormat* format, NSErrorPtr* error) {
    return propertyListWithData(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), options,
                                format, error);
}

Value::Data NSPropertyListSerialization::dataWithPropertyList(const Value& plist, NSPropertyListFormat format,
                                                              NSPropertyListWriteOptions, NSErrorPtr* error) {
    if (format != NSPropertyListXMLFormat_v1_0 && format != NSPropertyListBinaryFormat_v1_0) {
        if (error)
            *error = makeError(NSPropertyListWriteStreamError,
                               "Property list format " + std::to_string(static_cast<int>(format)) +
                                   " not supported for writing");
        return {};
    }
    std::string why;
    PlistPtr root(toPlist(plist, format, &why));
    if (!root) {
        if (error) *error = makeError(NSPropertyListWriteStreamError, why);
        return {};
    }
    Value::Data out = codecs::serializePlist(root.get(), format);
    if (out.empty() && error) *error = makeError(NSPropertyListWriteStreamError, "property list could not be written");
    return out;
}

bool NSPropertyListSerialization::propertyList(const Value& plist, NSPropertyListFormat format) {
    if (format != NSPropertyListXMLFormat_v1_0 && format != NSPropertyListBinaryFormat_v1_0) return false;
    PlistPtr root(toPlist(plist, format, nullptr));
    return root != nullptr;
}
