#pragma once
// The persisted history of device identifiers: one snapshot per identifier domain and a
// journal of changes (wire records IdSnapshot, IdJournal, IdTracking).

#include <analytics_common/ZVTStruct.h>

class ZVTIdSnapshot : public ZVTStruct {
    NS_CLASS(ZVTIdSnapshot, ZVTStruct)
    ZVT_RECORD(ZVTIdSnapshot, 3)
    static std::shared_ptr<ZVTIdSnapshot> initWithIdentity(Value identity, int64_t ts, int32_t version);
    ZVT_STRING_FIELD(identity, Identity, 0)
    ZVT_SCALAR_FIELD(int64_t, ts, Ts, 1)
    ZVT_SCALAR_FIELD(int32_t, version, Version, 2)
    const char* structName() const override { return "IdSnapshot"; }
    const std::vector<Field>& fields() const override;
};

class ZVTIdJournal : public ZVTStruct {
    NS_CLASS(ZVTIdJournal, ZVTStruct)
    ZVT_RECORD(ZVTIdJournal, 4)
    static std::shared_ptr<ZVTIdJournal> initWithDomain(Value domain, Value oldId, Value newId, int64_t ts);
    ZVT_STRING_FIELD(domain, Domain, 0)
    ZVT_STRING_FIELD(old_id, Old_id, 1)
    ZVT_STRING_FIELD(new_id, New_id, 2)
    ZVT_SCALAR_FIELD(int64_t, ts, Ts, 3)
    const char* structName() const override { return "IdJournal"; }
    const std::vector<Field>& fields() const override;
};

class ZVTIdTracking : public ZVTStruct {
    NS_CLASS(ZVTIdTracking, ZVTStruct)
    ZVT_RECORD(ZVTIdTracking, 3)
    // snapshots: dictionary domain -> ZVTIdSnapshot; journals: array of ZVTIdJournal.
    static std::shared_ptr<ZVTIdTracking> initWithSnapshots(Value snapshots, Value journals, Value checksum);
    ZVT_OBJECT_FIELD(snapshots, Snapshots, 0)
    ZVT_OBJECT_FIELD(journals, Journals, 1)
    ZVT_STRING_FIELD(checksum, Checksum, 2)
    const char* structName() const override { return "IdTracking"; }
    const std::vector<Field>& fields() const override;
};
