#pragma once
// Thrift binary encoding of a wire record into bytes and back, over a memory buffer whose
// string and container limits are the buffer's length. Stateless; any thread.

#include <analytics_common/ZVTStruct.h>

struct ZVThriftCodec {
    // Throws the library's TException when writing fails.
    static Value::Data encode(const ZVTStruct& record);
    // Fills `record` from the bytes; throws TProtocolException for a truncated or malformed
    // buffer (the fields read so far stay set).
    static void decode(const uint8_t* bytes, std::size_t length, ZVTStruct& record);
    static void decode(const Value::Data& bytes, ZVTStruct& record) { decode(bytes.data(), bytes.size(), record); }
};
