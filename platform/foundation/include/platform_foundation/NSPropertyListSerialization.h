#pragma once
// Property lists (XML and binary) <-> Value, with the format codes and mutability options.

#include <cstdint>
#include <string_view>

#include <platform_runtime/NSError.h>
#include <platform_runtime/Value.h>

enum NSPropertyListFormat : int {
    NSPropertyListOpenStepFormat = 1,
    NSPropertyListXMLFormat_v1_0 = 100,
    NSPropertyListBinaryFormat_v1_0 = 200,
};

using NSPropertyListMutabilityOptions = uint32_t;
inline constexpr NSPropertyListMutabilityOptions NSPropertyListImmutable = 0;
inline constexpr NSPropertyListMutabilityOptions NSPropertyListMutableContainers = 1;
inline constexpr NSPropertyListMutabilityOptions NSPropertyListMutableContainersAndLeaves = 2;

using NSPropertyListWriteOptions = uint32_t;

class NSPropertyListSerialization {
public:
    // Reads an XML or binary property list. Sets *format to the format found. Corrupt input
    // answers Null and sets *error (NSCocoaErrorDomain 3840). OpenStep text is not read.
    static Value propertyListWithData(std::string_view data, NSPropertyListMutabilityOptions options = 0,
                                      NSPropertyListFormat* format = nullptr, NSErrorPtr* error = nullptr);
    static Value propertyListWithData(const Value::Data& data, NSPropertyListMutabilityOptions options = 0,
                                      NSPropertyListFormat* format = nullptr, NSErrorPtr* error = nullptr);

    // Writes XML or binary. A value the format cannot hold (Null, non-string key, set, object,
    // geometry, ...) or the OpenStep format answers empty data and sets *error (3851).
    static Value::Data dataWithPropertyList(const Value& plist, NSPropertyListFormat format,
                                            NSPropertyListWriteOptions options = 0, NSErrorPtr* error = nullptr);

    // True when dataWithPropertyList would succeed for the format.
    static bool propertyList(const Value& plist, NSPropertyListFormat format);
    static bool propertyListIsValidForFormat(const Value& plist, NSPropertyListFormat format) {
        return propertyList(plist, format);
    }
};
