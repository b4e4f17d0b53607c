#pragma once
// Internal helpers over libplist nodes shared by the property-list and keyed-archive codecs:
// owning pointers, parse/serialise, and the conversions libplist's API cannot express directly
// (unsigned integers above INT64_MAX, dates outside the 32-bit seconds range).

#include <memory>
#include <string>
#include <string_view>

#include <plist/plist.h>

#include <platform_foundation/NSPropertyListSerialization.h>
#include <platform_runtime/Value.h>

namespace codecs {

struct PlistDeleter {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

// Parses XML or binary. Null with *why set when the bytes are not a property list.
PlistPtr parsePlist(std::string_view bytes, NSPropertyListFormat* format, std::string* why);
// Serialises a node; empty when libplist produced nothing.
Value::Data serializePlist(plist_t node, NSPropertyListFormat format);

// New integer nodes that keep their sign: negative Int, and UInt above INT64_MAX stay distinct.
plist_t newIntNode(int64_t v);
plist_t newUIntNode(uint64_t v);
// The value of an integer node as Int, or UInt when it was stored as an unsigned above INT64_MAX.
Value integerValue(plist_t node);

// Date nodes from/to seconds since 2001-01-01 UTC; null when the date cannot be represented.
plist_t newDateNode(double sinceReferenceDate);
double dateValue(plist_t node);

// A string node's text (empty when the node is of another kind).
std::string stringValue(plist_t node);
// The key under which a dictionary item is stored.
std::string dictKey(plist_t item);

}  // namespace codecs
