#pragma once
// The container of every report file written to disk and posted (wire record ZVEnvelope).

#include <analytics_common/ZVTStruct.h>

class ZVEnvelope : public ZVTStruct {
    NS_CLASS(ZVEnvelope, ZVTStruct)
    ZVT_RECORD(ZVEnvelope, 10)
    static std::shared_ptr<ZVEnvelope> initWithVersion(Value version, Value address, Value signature,
                                                       int32_t serialNum, int32_t tsSecs, int32_t length,
                                                       Value entity, Value guid, Value checksum, int32_t codex);
    ZVT_STRING_FIELD(version, Version, 0)
    ZVT_STRING_FIELD(address, Address, 1)
    ZVT_STRING_FIELD(signature, Signature, 2)
    ZVT_SCALAR_FIELD(int32_t, serial_num, Serial_num, 3)
    ZVT_SCALAR_FIELD(int32_t, ts_secs, Ts_secs, 4)
    ZVT_SCALAR_FIELD(int32_t, length, Length, 5)
    ZVT_OBJECT_FIELD(entity, Entity, 6)
    ZVT_STRING_FIELD(guid, Guid, 7)
    ZVT_STRING_FIELD(checksum, Checksum, 8)
    ZVT_SCALAR_FIELD(int32_t, codex, Codex, 9)
    const char* structName() const override { return "ZVEnvelope"; }
    const std::vector<Field>& fields() const override;
};
