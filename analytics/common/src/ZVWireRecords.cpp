#include <analytics_common/ZVEnvelope.h>
#include <analytics_common/ZVTIdTracking.h>
#include <analytics_common/ZVTImprint.h>

namespace {
template <class T>
std::shared_ptr<ZVTStruct> make() {
    return std::make_shared<T>();
}
using K = ZVTStruct::Kind;
}  // namespace

const std::vector<ZVTStruct::Field>& ZVTIdSnapshot::fields() const {
    static const std::vector<Field> table{{1, "identity", K::String, true, nullptr},
                                          {2, "ts", K::I64, true, nullptr},
                                          {3, "version", K::I32, true, nullptr}};
    return table;
}

std::shared_ptr<ZVTIdSnapshot> ZVTIdSnapshot::initWithIdentity(Value identity, int64_t ts, int32_t version) {
    auto r = std::make_shared<ZVTIdSnapshot>();
    r->setIdentity(std::move(identity));
    r->setTs(ts);
    r->setVersion(version);
    return r;
}

const std::vector<ZVTStruct::Field>& ZVTIdJournal::fields() const {
    static const std::vector<Field> table{{1, "domain", K::String, true, nullptr},
                                          {2, "old_id", K::String, false, nullptr},
                                          {3, "new_id", K::String, true, nullptr},
                                          {4, "ts", K::I64, true, nullptr}};
    return table;
}

std::shared_ptr<ZVTIdJournal> ZVTIdJournal::initWithDomain(Value domain, Value oldId, Value newId, int64_t ts) {
    auto r = std::make_shared<ZVTIdJournal>();
    r->setDomain(std::move(domain));
    r->setOld_id(std::move(oldId));
    r->setNew_id(std::move(newId));
    r->setTs(ts);
    return r;
}

const std::vector<ZVTStruct::Field>& ZVTIdTracking::fields() const {
    static const std::vector<Field> table{{1, "snapshots", K::Map, true, &make<ZVTIdSnapshot>},
                                          {2, "journals", K::List, false, &make<ZVTIdJournal>},
                                          {3, "checksum", K::String, false, nullptr}};
    return table;
}

std::shared_ptr<ZVTIdTracking> ZVTIdTracking::initWithSnapshots(Value snapshots, Value journals, Value checksum) {
    auto r = std::make_shared<ZVTIdTracking>();
    r->setSnapshots(std::move(snapshots));
    r->setJournals(std::move(journals));
    r->setChecksum(std::move(checksum));
    return r;
}

const std::vector<ZVTStruct::Field>& ZVTImprintValue::fields() const {
    static const std::vector<Field> table{{1, "value", K::String, false, nullptr},
                                          {2, "ts", K::I64, true, nullptr},
                                          {3, "guid", K::String, true, nullptr}};
    return table;
}

std::shared_ptr<ZVTImprintValue> ZVTImprintValue::initWithValue(Value value, int64_t ts, Value guid) {
    auto r = std::make_shared<ZVTImprintValue>();
    r->setValue_(std::move(value));
    r->setTs(ts);
    r->setGuid(std::move(guid));
    return r;
}

const std::vector<ZVTStruct::Field>& ZVTImprint::fields() const {
    static const std::vector<Field> table{{1, "property", K::Map, true, &make<ZVTImprintValue>},
                                          {2, "version", K::I32, true, nullptr},
                                          {3, "checksum", K::String, true, nullptr}};
    return table;
}

std::shared_ptr<ZVTImprint> ZVTImprint::initWithProperty(Value property, int32_t version, Value checksum) {
    auto r = std::make_shared<ZVTImprint>();
    r->setProperty(std::move(property));
    r->setVersion(version);
    r->setChecksum(std::move(checksum));
    return r;
}

const std::vector<ZVTStruct::Field>& ZVTResponse::fields() const {
    static const std::vector<Field> table{{1, "resp_code", K::I32, true, nullptr},
                                          {2, "msg", K::String, false, nullptr},
                                          {3, "imprint", K::Struct, false, &make<ZVTImprint>}};
    return table;
}

std::shared_ptr<ZVTResponse> ZVTResponse::initWithResp_code(int32_t respCode, Value msg, Value imprint) {
    auto r = std::make_shared<ZVTResponse>();
    r->setResp_code(respCode);
    r->setMsg(std::move(msg));
    r->setImprint(std::move(imprint));
    return r;
}

const std::vector<ZVTStruct::Field>& ZVEnvelope::fields() const {
    static const std::vector<Field> table{
        {1, "version", K::String, true, nullptr},   {2, "address", K::String, true, nullptr},
        {3, "signature", K::String, true, nullptr}, {4, "serial_num", K::I32, true, nullptr},
        {5, "ts_secs", K::I32, true, nullptr},      {6, "length", K::I32, true, nullptr},
        {7, "entity", K::Binary, true, nullptr},    {8, "guid", K::String, true, nullptr},
        {9, "checksum", K::String, true, nullptr},  {10, "codex", K::I32, false, nullptr}};
    return table;
}

std::shared_ptr<ZVEnvelope> ZVEnvelope::initWithVersion(Value version, Value address, Value signature,
                                                        int32_t serialNum, int32_t tsSecs, int32_t length,
                                                        Value entity, Value guid, Value checksum, int32_t codex) {
    auto r = std::make_shared<ZVEnvelope>();
    r->setVersion(std::move(version));
    r->setAddress(std::move(address));
    r->setSignature(std::move(signature));
    r->setSerial_num(serialNum);
    r->setTs_secs(tsSecs);
    r->setLength(length);
    r->setEntity(std::move(entity));
    r->setGuid(std::move(guid));
    r->setChecksum(std::move(checksum));
    r->setCodex(codex);
    return r;
}
