// The wire records against an independent peer generated from the IDL kept with the tests:
// the same values give the same bytes, each side reads what the other wrote, and hostile or
// truncated buffers end in the protocol exception.

#include <analytics_common/ZVEnvelope.h>
#include <analytics_common/ZVTIdTracking.h>
#include <analytics_common/ZVTImprint.h>
#include <analytics_common/ZVThriftCodec.h>

#include <functional>

#include <gtest/gtest.h>
#include <platform_foundation/NSKeyedArchiver.h>
#include <platform_foundation/NSKeyedUnarchiver.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/protocol/TProtocolException.h>
#include <thrift/transport/TBufferTransports.h>

#include "analytics_wire_types.h"

using apache::thrift::protocol::TBinaryProtocol;
using apache::thrift::protocol::TProtocolException;
using apache::thrift::transport::TMemoryBuffer;

namespace {

template <class Peer>
Value::Data peerBytes(const Peer& peer) {
    auto buffer = std::make_shared<TMemoryBuffer>();
    TBinaryProtocol protocol(buffer);
    peer.write(&protocol);
    uint8_t* bytes;
    uint32_t length;
    buffer->getBuffer(&bytes, &length);
    return Value::Data(bytes, bytes + length);
}

template <class Peer>
Peer peerRead(const Value::Data& data) {
    auto buffer = std::make_shared<TMemoryBuffer>(const_cast<uint8_t*>(data.data()), uint32_t(data.size()));
    TBinaryProtocol protocol(buffer);
    Peer peer;
    peer.read(&protocol);
    return peer;
}

std::string bytesText(const Value::Data& d) { return std::string(d.begin(), d.end()); }

Value snapshotMap() {
    Value::Dictionary m;
    m[Value("oid")] = Value(ZVTIdSnapshot::initWithIdentity("abc", 1700000000000, 1));
    m[Value("idfv")] = Value(ZVTIdSnapshot::initWithIdentity("F00D", 1700000000001, 2));
    return Value(std::move(m));
}

zvpeer::IdTracking peerTracking() {
    zvpeer::IdTracking t;
    zvpeer::IdSnapshot a, b;
    a.__set_identity("abc"), a.__set_ts(1700000000000), a.__set_version(1);
    b.__set_identity("F00D"), b.__set_ts(1700000000001), b.__set_version(2);
    t.__set_snapshots({{"oid", a}, {"idfv", b}});
    zvpeer::IdJournal j1, j2;
    j1.__set_domain("oid"), j1.__set_new_id("abc"), j1.__set_ts(5);
    j2.__set_domain("idfv"), j2.__set_old_id("BEEF"), j2.__set_new_id("F00D"), j2.__set_ts(6);
    t.__set_journals({j1, j2});
    t.__set_checksum("checksum");
    return t;
}

std::shared_ptr<ZVTIdTracking> ourTracking() {
    auto j1 = std::make_shared<ZVTIdJournal>();
    j1->setDomain("oid");
    j1->setNew_id("abc");
    j1->setTs(5);
    auto j2 = ZVTIdJournal::initWithDomain("idfv", "BEEF", "F00D", 6);
    return ZVTIdTracking::initWithSnapshots(snapshotMap(), Value::array({Value(j1), Value(j2)}), "checksum");
}

std::shared_ptr<ZVTImprint> ourImprint() {
    Value::Dictionary p;
    p[Value("defcon")] = Value(ZVTImprintValue::initWithValue("2", 10, "g1"));
    auto withdrawn = std::make_shared<ZVTImprintValue>();
    withdrawn->setTs(11);
    withdrawn->setGuid("g2");
    p[Value("zvtt")] = Value(withdrawn);
    return ZVTImprint::initWithProperty(Value(std::move(p)), 7, "c0ffee");
}

zvpeer::Imprint peerImprint() {
    zvpeer::Imprint i;
    zvpeer::ImprintValue a, b;
    a.__set_value("2"), a.__set_ts(10), a.__set_guid("g1");
    b.__set_ts(11), b.__set_guid("g2");
    i.__set_property({{"defcon", a}, {"zvtt", b}});
    i.__set_version(7);
    i.__set_checksum("c0ffee");
    return i;
}

}  // namespace

TEST(WireRecords, OurBytesEqualThePeersForTheSameValues) {
    struct Case {
        const char* name;
        std::function<Value::Data()> ours;
        std::function<Value::Data()> peer;
    };
    const std::vector<Case> cases{
        {"full snapshot", [] { return ZVThriftCodec::encode(*ZVTIdSnapshot::initWithIdentity("id", -3, 9)); },
         [] {
             zvpeer::IdSnapshot s;
             s.__set_identity("id"), s.__set_ts(-3), s.__set_version(9);
             return peerBytes(s);
         }},
        {"tracking with map and list", [] { return ZVThriftCodec::encode(*ourTracking()); },
         [] { return peerBytes(peerTracking()); }},
        {"imprint with a value-less entry", [] { return ZVThriftCodec::encode(*ourImprint()); },
         [] { return peerBytes(peerImprint()); }},
        {"response with imprint",
         [] { return ZVThriftCodec::encode(*ZVTResponse::initWithResp_code(1, "ok", Value(ourImprint()))); },
         [] {
             zvpeer::Response r;
             r.__set_resp_code(1), r.__set_msg("ok"), r.__set_imprint(peerImprint());
             return peerBytes(r);
         }},
        {"full envelope (codex included)",
         [] {
             return ZVThriftCodec::encode(*ZVEnvelope::initWithVersion(
                 "V1.0", "key", "sig", 3, 1700000000, 42, Value(Value::Data{0, 1, 2, 255}), "guid", "sum", 0));
         },
         [] {
             zvpeer::ZVEnvelope e;
             e.__set_version("V1.0"), e.__set_address("key"), e.__set_signature("sig"), e.__set_serial_num(3);
             e.__set_ts_secs(1700000000), e.__set_length(42), e.__set_entity(std::string("\0\1\2\xff", 4));
             e.__set_guid("guid"), e.__set_checksum("sum"), e.__set_codex(0);
             return peerBytes(e);
         }},
        {"partial envelope",
         [] {
             ZVEnvelope e;
             e.setAddress("key");
             e.setLength(7);
             return ZVThriftCodec::encode(e);
         },
         [] {
             zvpeer::ZVEnvelope e;
             e.__set_address("key"), e.__set_length(7);
             return peerBytes(e);
         }},
        {"set null string left out, scalar neighbours kept",
         [] {
             ZVEnvelope e;
             e.setVersion(Value());
             e.setSerial_num(4);
             e.setGuid(Value());
             e.setCodex(1);
             return ZVThriftCodec::encode(e);
         },
         [] {
             zvpeer::ZVEnvelope e;
             e.__set_serial_num(4), e.__set_codex(1);
             return peerBytes(e);
         }},
        {"unset scalar not written",
         [] {
             auto s = ZVTIdSnapshot::initWithIdentity("x", 1, 2);
             s->unsetTs();
             return ZVThriftCodec::encode(*s);
         },
         [] {
             zvpeer::IdSnapshot s;
             s.__set_identity("x"), s.__set_version(2);
             return peerBytes(s);
         }},
        {"empty record", [] { return ZVThriftCodec::encode(ZVTResponse()); },
         [] { return peerBytes(zvpeer::Response()); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(bytesText(c.ours()), bytesText(c.peer()));
    }
}

TEST(WireRecords, PeerBytesDecodeIntoOurs) {
    ZVTIdTracking tracking;
    ZVThriftCodec::decode(peerBytes(peerTracking()), tracking);
    EXPECT_TRUE(tracking.isEqual(*ourTracking())) << tracking.description();
    auto oid = tracking.snapshots().objectForKey("oid").objectAs<ZVTIdSnapshot>();
    ASSERT_TRUE(oid);
    EXPECT_EQ(oid->identity(), Value("abc"));
    EXPECT_EQ(oid->ts(), 1700000000000);
    auto journal = tracking.journals()[0].objectAs<ZVTIdJournal>();
    ASSERT_TRUE(journal);
    EXPECT_FALSE(journal->old_idIsSet());

    zvpeer::Response r;
    r.__set_resp_code(1);
    ZVTResponse response;
    ZVThriftCodec::decode(peerBytes(r), response);
    EXPECT_EQ(response.resp_code(), 1);
    EXPECT_FALSE(response.msgIsSet());
    EXPECT_FALSE(response.imprintIsSet());

    zvpeer::ZVEnvelope e;
    e.__set_entity(std::string("\0z", 2)), e.__set_codex(1);
    ZVEnvelope envelope;
    ZVThriftCodec::decode(peerBytes(e), envelope);
    EXPECT_EQ(envelope.entity(), Value(Value::Data{0, 'z'}));
    EXPECT_EQ(envelope.codex(), 1);
    EXPECT_FALSE(envelope.versionIsSet());

    // And ours back into the peer's.
    auto decoded = peerRead<zvpeer::Imprint>(ZVThriftCodec::encode(*ourImprint()));
    EXPECT_EQ(decoded, peerImprint());
}

TEST(WireRecords, UnknownFieldsAndMistypedFieldsAreSkipped) {
    auto buffer = std::make_shared<TMemoryBuffer>();
    TBinaryProtocol p(buffer);
    p.writeStructBegin("Response");
    p.writeFieldBegin("x", apache::thrift::protocol::T_LIST, 77);
    p.writeListBegin(apache::thrift::protocol::T_I64, 2);
    p.writeI64(1), p.writeI64(2);
    p.writeListEnd(), p.writeFieldEnd();
    p.writeFieldBegin("imprint", apache::thrift::protocol::T_STRING, 3);  // a string, not a struct
    p.writeString(std::string("not an imprint"));
    p.writeFieldEnd();
    p.writeFieldBegin("resp_code", apache::thrift::protocol::T_I32, 1);
    p.writeI32(1);
    p.writeFieldEnd();
    p.writeFieldStop();
    p.writeStructEnd();
    uint8_t* bytes;
    uint32_t length;
    buffer->getBuffer(&bytes, &length);
    ZVTResponse response;
    ZVThriftCodec::decode(bytes, length, response);
    EXPECT_EQ(response.resp_code(), 1);
    EXPECT_FALSE(response.imprintIsSet());
}

TEST(WireRecords, TruncatedAndHostileBuffersRaiseTheProtocolException) {
    const Value::Data good = ZVThriftCodec::encode(*ourTracking());
    for (std::size_t cut = 0; cut < good.size(); ++cut) {
        SCOPED_TRACE(cut);
        Value::Data part(good.begin(), good.begin() + cut);
        ZVTIdTracking t;
        EXPECT_THROW(ZVThriftCodec::decode(part, t), TProtocolException);
    }
    auto be32 = [](int32_t v) {
        return Value::Data{uint8_t(uint32_t(v) >> 24), uint8_t(uint32_t(v) >> 16), uint8_t(uint32_t(v) >> 8),
                           uint8_t(v)};
    };
    struct Case {
        const char* name;
        Value::Data bytes;
    };
    auto cat = [](std::initializer_list<Value::Data> parts) {
        Value::Data out;
        for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
        return out;
    };
    const std::vector<Case> cases{
        {"map count 2^31-1", cat({{13, 0, 1, 11, 12}, be32(0x7fffffff)})},
        {"negative map count", cat({{13, 0, 1, 11, 12}, be32(-1)})},
        {"map count beyond the bytes left", cat({{13, 0, 1, 11, 12}, be32(100), Value::Data(40, 0)})},
        {"list count 2^31-1", cat({{15, 0, 2, 12}, be32(0x7fffffff)})},
        {"negative list count", cat({{15, 0, 2, 12}, be32(-5)})},
        {"string length 2^31-1", cat({{11, 0, 3}, be32(0x7fffffff), {'a', 'b'}})},
        {"negative string length", cat({{11, 0, 3}, be32(-2)})},
        {"map key length beyond the bytes", cat({{13, 0, 1, 11, 12}, be32(1), be32(1000), {0, 0, 0, 0, 0}})},
        // Type bytes that name no wire type (text where a record was expected, for one).
        {"field type 'o'", {'o', 'k'}},
        {"field type 200", {200, 0, 1}},
        {"map value type 'x'", cat({{13, 0, 1, 11, 'x'}, be32(0)})},
        {"list element type 7", cat({{15, 0, 2, 7}, be32(0)})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ZVTIdTracking t;
        EXPECT_THROW(ZVThriftCodec::decode(c.bytes, t), TProtocolException);
    }
}

TEST(WireRecords, ValidateNamesTheFirstMissingRequiredField) {
    struct Case {
        const char* name;
        std::function<void()> validate;
        const char* message;
    };
    auto envelopeWithout = [](int skip) {
        return [skip] {
            auto e = ZVEnvelope::initWithVersion("v", "a", "s", 1, 2, 3, Value(Value::Data{1}), "g", "c", 0);
            if (skip == 0) e->unsetVersion();
            if (skip == 3) e->unsetSerial_num();
            if (skip == 6) e->unsetEntity();
            if (skip == 8) e->unsetChecksum();
            if (skip == 9) e->unsetCodex();
            e->validate();
        };
    };
    const std::vector<Case> cases{
        {"empty snapshot", [] { ZVTIdSnapshot().validate(); }, "Required field 'identity' is not set."},
        {"snapshot without ts",
         [] {
             ZVTIdSnapshot s;
             s.setIdentity("x");
             s.validate();
         },
         "Required field 'ts' is not set."},
        {"journal without new_id",
         [] {
             ZVTIdJournal j;
             j.setDomain("d");
             j.setTs(1);
             j.validate();
         },
         "Required field 'new_id' is not set."},
        {"empty tracking", [] { ZVTIdTracking().validate(); }, "Required field 'snapshots' is not set."},
        {"imprint value without guid",
         [] {
             ZVTImprintValue v;
             v.setTs(1);
             v.validate();
         },
         "Required field 'guid' is not set."},
        {"imprint without checksum",
         [] {
             auto i = ourImprint();
             i->unsetChecksum();
             i->validate();
         },
         "Required field 'checksum' is not set."},
        {"empty response", [] { ZVTResponse().validate(); }, "Required field 'resp_code' is not set."},
        {"envelope without version", envelopeWithout(0), "Required field 'version' is not set."},
        {"envelope without serial", envelopeWithout(3), "Required field 'serial_num' is not set."},
        {"envelope without entity", envelopeWithout(6), "Required field 'entity' is not set."},
        {"envelope without checksum", envelopeWithout(8), "Required field 'checksum' is not set."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            c.validate();
            ADD_FAILURE() << "no exception";
        } catch (const TProtocolException& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
    EXPECT_NO_THROW(envelopeWithout(9)());  // codex is optional
    EXPECT_NO_THROW(ourTracking()->validate());
}

TEST(WireRecords, DescriptionPrintsEveryFieldInIdOrder) {
    EXPECT_EQ(ZVTIdSnapshot::initWithIdentity("abc", 1700000000000, 3)->description(),
              "IdSnapshot(identity:\"abc\",ts:1700000000000,version:3)");
    ZVTIdJournal j;
    j.setDomain("mc");
    EXPECT_EQ(j.description(), "IdJournal(domain:\"mc\",old_id:\"(null)\",new_id:\"(null)\",ts:0)");
    ZVTResponse r;
    r.setResp_code(-1);
    EXPECT_EQ(r.description(), "Response(resp_code:-1,msg:\"(null)\",imprint:(null))");
}

TEST(WireRecords, KeyedArchiveRoundTripKeepsValuesAndFlags) {
    auto tracking = ourTracking();
    tracking->unsetChecksum();
    const Value::Data archive = NSKeyedArchiver::archivedDataWithRootObject(Value(tracking), false);
    ASSERT_FALSE(archive.empty());
    auto back = NSKeyedUnarchiver::unarchiveObjectWithData(archive).objectAs<ZVTIdTracking>();
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->isEqual(*tracking)) << back->description();
    EXPECT_FALSE(back->checksumIsSet());
    EXPECT_EQ(bytesText(ZVThriftCodec::encode(*back)), bytesText(ZVThriftCodec::encode(*tracking)));

    auto envelope = ZVEnvelope::initWithVersion("V1.0", "k", "s", 1, 2, 3, Value(Value::Data{9, 8}), "g", "c", 1);
    auto envelopeBack = NSKeyedUnarchiver::unarchiveObjectWithData(
                            NSKeyedArchiver::archivedDataWithRootObject(Value(envelope), false))
                            .objectAs<ZVEnvelope>();
    ASSERT_TRUE(envelopeBack);
    EXPECT_TRUE(envelopeBack->isEqual(*envelope)) << envelopeBack->description();
}
