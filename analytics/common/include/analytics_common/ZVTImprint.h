#pragma once
// The collection service's answer and the server-pushed settings it carries (wire records
// ImprintValue, Imprint, Response).

#include <analytics_common/ZVTStruct.h>

class ZVTImprintValue : public ZVTStruct {
    NS_CLASS(ZVTImprintValue, ZVTStruct)
    ZVT_RECORD(ZVTImprintValue, 3)
    static std::shared_ptr<ZVTImprintValue> initWithValue(Value value, int64_t ts, Value guid);
    ZVT_STRING_FIELD(value, Value_, 0)
    ZVT_SCALAR_FIELD(int64_t, ts, Ts, 1)
    ZVT_STRING_FIELD(guid, Guid, 2)
    const char* structName() const override { return "ImprintValue"; }
    const std::vector<Field>& fields() const override;
};

class ZVTImprint : public ZVTStruct {
    NS_CLASS(ZVTImprint, ZVTStruct)
    ZVT_RECORD(ZVTImprint, 3)
    // property: dictionary key -> ZVTImprintValue.
    static std::shared_ptr<ZVTImprint> initWithProperty(Value property, int32_t version, Value checksum);
    ZVT_OBJECT_FIELD(property, Property, 0)
    ZVT_SCALAR_FIELD(int32_t, version, Version, 1)
    ZVT_STRING_FIELD(checksum, Checksum, 2)
    const char* structName() const override { return "Imprint"; }
    const std::vector<Field>& fields() const override;
};

class ZVTResponse : public ZVTStruct {
    NS_CLASS(ZVTResponse, ZVTStruct)
    ZVT_RECORD(ZVTResponse, 3)
    static std::shared_ptr<ZVTResponse> initWithResp_code(int32_t respCode, Value msg, Value imprint);
    ZVT_SCALAR_FIELD(int32_t, resp_code, Resp_code, 0)
    ZVT_STRING_FIELD(msg, Msg, 1)
    ZVT_OBJECT_FIELD(imprint, Imprint, 2)
    std::shared_ptr<ZVTImprint> imprintRecord() const { return imprint().objectAs<ZVTImprint>(); }
    const char* structName() const override { return "Response"; }
    const std::vector<Field>& fields() const override;
};
