// The analytics wire records as an independent peer sees them. Every field is optional
// here so that records with only some fields set can be expressed; the required ones are
// checked by the records' own validation.
namespace cpp zvpeer

struct IdSnapshot {
  1: optional string identity
  2: optional i64 ts
  3: optional i32 version
}

struct IdJournal {
  1: optional string domain
  2: optional string old_id
  3: optional string new_id
  4: optional i64 ts
}

struct IdTracking {
  1: optional map<string, IdSnapshot> snapshots
  2: optional list<IdJournal> journals
  3: optional string checksum
}

struct ImprintValue {
  1: optional string value
  2: optional i64 ts
  3: optional string guid
}

struct Imprint {
  1: optional map<string, ImprintValue> property
  2: optional i32 version
  3: optional string checksum
}

struct Response {
  1: optional i32 resp_code
  2: optional string msg
  3: optional Imprint imprint
}

struct ZVEnvelope {
  1: optional string version
  2: optional string address
  3: optional string signature
  4: optional i32 serial_num
  5: optional i32 ts_secs
  6: optional i32 length
  7: optional binary entity
  8: optional string guid
  9: optional string checksum
  10: optional i32 codex
}
