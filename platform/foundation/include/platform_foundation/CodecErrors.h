#pragma once
// Error codes (NSCocoaErrorDomain) and user-info keys reported by the JSON, property-list and archive codecs.

#include <cstdint>

inline constexpr int64_t NSPropertyListReadCorruptError = 3840;  // also every JSON read error
inline constexpr int64_t NSPropertyListReadUnknownVersionError = 3841;
inline constexpr int64_t NSPropertyListWriteStreamError = 3851;  // a value the format cannot hold
inline constexpr int64_t NSPropertyListWriteInvalidError = 3852;
inline constexpr int64_t NSCoderReadCorruptError = 4864;
inline constexpr int64_t NSCoderValueNotFoundError = 4865;
inline constexpr int64_t NSCoderInvalidValueError = 4866;

// Free-text detail of a codec error (where and what went wrong).
inline constexpr char NSDebugDescriptionErrorKey[] = "NSDebugDescription";
// Byte offset of a JSON syntax error.
inline constexpr char NSJSONSerializationErrorIndex[] = "NSJSONSerializationErrorIndex";
