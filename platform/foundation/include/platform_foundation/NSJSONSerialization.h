#pragma once
// JSON text <-> Value: reading (SAX straight into Value), writing (compact or pretty) and validity checks.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include <platform_runtime/NSError.h>
#include <platform_runtime/Value.h>

using NSJSONReadingOptions = uint32_t;
inline constexpr NSJSONReadingOptions NSJSONReadingMutableContainers = 1;
inline constexpr NSJSONReadingOptions NSJSONReadingMutableLeaves = 2;
inline constexpr NSJSONReadingOptions NSJSONReadingFragmentsAllowed = 4;
inline constexpr NSJSONReadingOptions NSJSONReadingAllowFragments = NSJSONReadingFragmentsAllowed;

using NSJSONWritingOptions = uint32_t;
inline constexpr NSJSONWritingOptions NSJSONWritingPrettyPrinted = 1;
// Keys are always written in Value's dictionary order (sorted); the flag is accepted for parity.
inline constexpr NSJSONWritingOptions NSJSONWritingSortedKeys = 2;
inline constexpr NSJSONWritingOptions NSJSONWritingFragmentsAllowed = 4;
inline constexpr NSJSONWritingOptions NSJSONWritingWithoutEscapingSlashes = 8;

class NSJSONSerialization {
public:
    // Nesting deeper than this is reported as an error rather than risking the stack.
    static constexpr std::size_t kMaxDepth = 512;

    // Parses UTF-8 JSON. Integers keep Int (UInt above INT64_MAX), numbers with a fraction or
    // exponent are Double. On failure answers Null and sets *error (NSCocoaErrorDomain 3840,
    // NSDebugDescription says what and where, NSJSONSerializationErrorIndex the byte offset).
    static Value JSONObjectWithData(std::string_view data, NSJSONReadingOptions options = 0,
                                    NSErrorPtr* error = nullptr);
    static Value JSONObjectWithData(const Value::Data& data, NSJSONReadingOptions options = 0,
                                    NSErrorPtr* error = nullptr);

    // Serialises a valid JSON object; an invalid one answers empty data and sets *error
    // (NSCocoaErrorDomain 3851) instead of raising.
    static Value::Data dataWithJSONObject(const Value& object, NSJSONWritingOptions options = 0,
                                          NSErrorPtr* error = nullptr);
    // The same output as a string.
    static std::string stringWithJSONObject(const Value& object, NSJSONWritingOptions options = 0,
                                            NSErrorPtr* error = nullptr);

    // True when the value is an array or dictionary (any value with FragmentsAllowed) made only of
    // strings, finite numbers, Null, arrays and dictionaries with string keys.
    static bool isValidJSONObject(const Value& object, NSJSONWritingOptions options = 0);
};
