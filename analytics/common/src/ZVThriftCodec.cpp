#include <analytics_common/ZVThriftCodec.h>

#include <limits>

#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/protocol/TProtocolException.h>
#include <thrift/transport/TBufferTransports.h>
#include <thrift/transport/TTransportException.h>

using apache::thrift::protocol::TBinaryProtocol;
using apache::thrift::protocol::TProtocolException;
using apache::thrift::transport::TMemoryBuffer;
using apache::thrift::transport::TTransportException;

Value::Data ZVThriftCodec::encode(const ZVTStruct& record) {
    auto buffer = std::make_shared<TMemoryBuffer>();
    TBinaryProtocol protocol(buffer);
    record.write(&protocol);
    uint8_t* bytes = nullptr;
    uint32_t length = 0;
    buffer->getBuffer(&bytes, &length);
    return Value::Data(bytes, bytes + length);
}

void ZVThriftCodec::decode(const uint8_t* bytes, std::size_t length, ZVTStruct& record) {
    if (length > static_cast<std::size_t>(std::numeric_limits<int32_t>::max()))
        throw TProtocolException(TProtocolException::SIZE_LIMIT);
    auto buffer = std::make_shared<TMemoryBuffer>(const_cast<uint8_t*>(bytes), static_cast<uint32_t>(length),
                                                  TMemoryBuffer::OBSERVE);
    const auto limit = static_cast<int32_t>(length);
    TBinaryProtocol protocol(buffer, limit, limit, false, true);  // the default strictness
    try {
        record.read(&protocol);
    } catch (const TTransportException& e) {
        // Running out of bytes is a malformed record to our callers.
        throw TProtocolException(TProtocolException::INVALID_DATA, e.what());
    }
}
