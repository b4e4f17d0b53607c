// ID tracking over identity changes, the install identifier, the base header before and
// after the zero key, and the header's "id_tracking" and "imprint" read by the independent
// Thrift peer.

#include <analytics_common/ZVBuildPayload.h>
#include <analytics_common/ZVConfigureCache.h>
#include <analytics_common/ZVEnvelopeBuild.h>
#include <analytics_common/ZVHelper.h>
#include <analytics_common/ZVThriftCodec.h>
#include <analytics_common/ZVUtils.h>

#include <gtest/gtest.h>
#include <platform_foundation/NSBundle.h>
#include <platform_foundation/NSUserDefaults.h>
#include <platform_foundation/Sandbox.h>
#include <platform_system/CommonDigest.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>

#include "AnalyticsTestSupport.h"
#include "ZVTestHooks.h"
#include "analytics_wire_types.h"

namespace {

template <class Peer>
Peer peerRead(const Value::Data& data) {
    auto buffer = std::make_shared<apache::thrift::transport::TMemoryBuffer>(const_cast<uint8_t*>(data.data()),
                                                                             uint32_t(data.size()));
    apache::thrift::protocol::TBinaryProtocol protocol(buffer);
    Peer peer;
    peer.read(&protocol);
    return peer;
}

std::shared_ptr<ZVTIdTracking> stored() {
    auto record = std::make_shared<ZVTIdTracking>();
    const Value bytes = ZVConfigureCache::objectWithKey("zvIDTracking");
    if (!bytes.isData()) return nullptr;
    ZVThriftCodec::decode(bytes.asData(), *record);
    return record;
}

std::vector<std::string> journalDomains(const ZVTIdTracking& t) {
    std::vector<std::string> out;
    for (const Value& j : t.journals().asArray()) out.push_back(std::string(j.objectAs<ZVTIdJournal>()->domain().asString()));
    return out;
}

void grantZeroKey(bool on) {
    if (on) ZVConfigureCache::setObject(Value("YES"), "zvZeroKey");
    else ZVConfigureCache::removeObjectForKey("zvZeroKey");
}

void storeImprint(const std::map<std::string, std::string>& values, bool goodChecksum) {
    Value::Dictionary property;
    for (const auto& [k, v] : values) property[Value(k)] = Value(ZVTImprintValue::initWithValue(v, 5, "g"));
    auto imprint = ZVTImprint::initWithProperty(Value(std::move(property)), 3, "");
    imprint->setChecksum(goodChecksum ? ZVBuildPayload::generateImprintChecksum(*imprint) : std::string(32, '0'));
    ZVConfigureCache::setObject(Value(ZVThriftCodec::encode(*imprint)), "zvImprint");
}

}  // namespace

TEST(IdTracking, JournalAndSnapshotsOverIdentityChanges) {
    auto payload = std::make_shared<ZVBuildPayload>();
    grantZeroKey(false);
    payload->buildIdTracking();
    EXPECT_TRUE(ZVConfigureCache::objectWithKey("zvIDTracking").isNull());  // nothing before the zero key

    grantZeroKey(true);
    ZVConfigureCache::setObject(Value("uop-1"), "zv_uop_mac");
    payload->buildIdTracking();
    auto first = stored();
    ASSERT_TRUE(first);
    const auto domains = journalDomains(*first);
    // Present here: mac, advertising id (all zero but a value), device id, uop, host name, kid.
    for (const char* d : {"mc", "idfa", "oid", "uop", "hostname", "kid"})
        EXPECT_EQ(std::count(domains.begin(), domains.end(), d), 1) << d;
    EXPECT_EQ(first->checksum(), Value("checksum"));
    EXPECT_FALSE(first->snapshots().objectForKey("zdid").isObject());

    struct Step {
        const char* name;
        Value uop;  // null: removed
        std::vector<std::string> journal;
        int32_t version;  // of the "uop" snapshot, 0 when it is gone
        int64_t counter;  // the stored "zvuopVersionNum", 0 when absent
    };
    const std::vector<Step> steps{
        {"unchanged", Value("uop-1"), {}, 1, 0},
        {"changed", Value("uop-2"), {"uop"}, 2, 2},
        {"emptied", Value(), {}, 0, 2},
        {"back", Value("uop-3"), {"uop"}, 2, 2},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.name);
        if (s.uop.isNull()) ZVConfigureCache::removeObjectForKey("zv_uop_mac");
        else ZVConfigureCache::setObject(s.uop, "zv_uop_mac");
        payload->buildIdTracking();
        auto t = stored();
        EXPECT_EQ(journalDomains(*t), s.journal);
        auto snapshot = t->snapshots().objectForKey("uop").objectAs<ZVTIdSnapshot>();
        EXPECT_EQ(snapshot ? snapshot->version() : 0, s.version);
        EXPECT_EQ(ZVConfigureCache::objectWithKey("zvuopVersionNum").integerValue(), s.counter);
    }
    auto changed = stored();
    (void)changed;

    // A counter beyond 19 stops tracking the domain.
    ZVConfigureCache::setObject(Value(20), "zvuopVersionNum");
    ZVConfigureCache::setObject(Value("uop-4"), "zv_uop_mac");
    payload->buildIdTracking();
    EXPECT_EQ(stored()->snapshots().objectForKey("uop").objectAs<ZVTIdSnapshot>()->identity(), Value("uop-3"));
    EXPECT_TRUE(journalDomains(*stored()).empty());

    // An accepted answer clears the journal.
    ZVConfigureCache::removeObjectForKey("zvuopVersionNum");
    ZVConfigureCache::setObject(Value("uop-5"), "zv_uop_mac");
    payload->buildIdTracking();
    EXPECT_EQ(journalDomains(*stored()).size(), 1u);
    payload->saveIdTracking();
    EXPECT_TRUE(journalDomains(*stored()).empty());

    // A damaged stored record is refreshed from what could be read.
    Value::Data damaged = ZVConfigureCache::objectWithKey("zvIDTracking").asData();
    damaged.resize(damaged.size() / 2);
    ZVConfigureCache::setObject(Value(damaged), "zvIDTracking");
    payload->buildIdTracking();
    EXPECT_EQ(stored()->snapshots().count(), first->snapshots().count());
    ZVConfigureCache::removeObjectForKey("zv_uop_mac");
}

TEST(IdTracking, InstallIdentifierOutlivesTheSandbox) {
    const std::string kid = ZVBuildPayload::saveZVKid();
    ASSERT_EQ(kid.size(), 32u);
    EXPECT_EQ(kid, CCMD5Hex(ZVUtils::sharedUDIDString(), HexCase::Lower));
    // A reinstall: a new sandbox (no defaults), the same device root (keychain).
    NSSandbox::resetForTesting(zvtest::root() + "/reinstalled");
    NSUserDefaults::resetStandardUserDefaults();
    EXPECT_EQ(ZVBuildPayload::saveZVKid(), kid);
}

TEST(BaseHeader, EmptyBeforeTheZeroKeyThenFilled) {
    Value header = Value::mutableDictionary();
    header.setObject(Value("stale"), "extra");
    grantZeroKey(false);
    ZVConfigureCache::setObject(Value("7c41e9a0d25b83f61e0a94c7"), "appkey");
    ZVBuildPayload::buildBaseheader(header);
    EXPECT_EQ(header.count(), 0u);

    grantZeroKey(true);
    ZVBuildPayload::sharedInstance()->buildIdTracking();
    storeImprint({{"zvid", "Z-1"}, {"codex", "0"}}, true);
    ZVHelper::sharedInstance()->setModuleVersion("i_ver", "1.2.0");
    ZVUtils::appendComponentFlag("o");
    ZVConfigureCache::setObject(Value(3), "zvSuccessfulRequests");
    ZVBuildPayload::buildBaseheader(header);
    EXPECT_TRUE(header.objectForKey("extra").isNull());
    const std::vector<std::pair<const char*, Value>> expected{
        {"appkey", Value("7c41e9a0d25b83f61e0a94c7")},
        {"sdk_type", Value("IOS")},
        {"com_ver", Value("7.3.5")},
        {"backstate", Value(0)},
        {"channel", Value("App Store")},
        {"os", Value("iOS")},
        {"mc", Value("02:00:00:00:00:00")},
        {"access", Value("wifi")},
        {"com_type", Value(0)},
        {"zvid", Value("Z-1")},
        {"module", Value("o")},
        {"successful_requests", Value(3)},
        {"wrapper_type", Value("native")},
        {"device_model", Value("x86_64")},
        {"is_jailbroken", Value("NO")},
    };
    for (const auto& [key, value] : expected) EXPECT_EQ(header.objectForKey(key), value) << key;
    for (const char* absent : {"mccmnc", "zrec_ver", "_$apmflag", "dk", "devicetoken", "failed_requests", "module_tag"})
        EXPECT_TRUE(header.objectForKey(absent).isNull()) << absent;
    EXPECT_EQ(header.objectForKey("module_ver").objectForKey("i_ver"), Value("1.2.0"));
    EXPECT_EQ(header.objectForKey("kid").asString().size(), 32u);
    EXPECT_EQ(header.objectForKey("device_id"), Value(ZVUtils::sharedUDIDString()));
    EXPECT_EQ(header.objectForKey("resolution"), Value("2436*1125"));
    // "zid" comes from the device-identity facade once it was started.
    EXPECT_TRUE(header.objectForKey("zid_sdk_version") == Value("1.0.0"));

    // The independent peer reads what the header carries.
    const auto tracking = peerRead<zvpeer::IdTracking>(ZVUtils::decodeBase64(header.objectForKey("id_tracking").asString()));
    EXPECT_TRUE(tracking.snapshots.count("oid"));
    const auto imprint = peerRead<zvpeer::Imprint>(ZVUtils::decodeBase64(header.objectForKey("imprint").asString()));
    EXPECT_EQ(imprint.property.at("zvid").value, "Z-1");
    EXPECT_EQ(imprint.version, 3);

    // A checksum that does not match keeps "imprint" out; the value is still read elsewhere.
    storeImprint({{"zvid", "Z-2"}}, false);
    ZVBuildPayload::buildBaseheader(header);
    EXPECT_TRUE(header.objectForKey("imprint").isNull());
    EXPECT_EQ(header.objectForKey("zvid"), Value("Z-2"));
    EXPECT_EQ(ZVEnvelopeBuild::imprintProperty("zvid"), std::optional<std::string>("Z-2"));
}

TEST(Imprint, ChecksumAndReaders) {
    Value::Dictionary property;
    property[Value("b")] = Value(ZVTImprintValue::initWithValue("2", 7, "g2"));
    auto withdrawn = std::make_shared<ZVTImprintValue>();
    withdrawn->setTs(8);
    withdrawn->setGuid("g3");
    property[Value("A")] = Value(withdrawn);
    auto imprint = ZVTImprint::initWithProperty(Value(std::move(property)), 4, "");
    // Keys in case-insensitive order: "A" (no value) then "b".
    EXPECT_EQ(ZVBuildPayload::generateImprintChecksum(*imprint), CCMD5Hex("A8g3b27g24", HexCase::Lower));
    EXPECT_FALSE(ZVBuildPayload::validateImprintChecksum(imprint));
    imprint->setChecksum(ZVBuildPayload::generateImprintChecksum(*imprint));
    EXPECT_TRUE(ZVBuildPayload::validateImprintChecksum(imprint));
    EXPECT_FALSE(ZVBuildPayload::validateImprintChecksum(nullptr));

    const Value::Data bytes = ZVThriftCodec::encode(*imprint);
    EXPECT_EQ(ZVBuildPayload::imprintWithData(&bytes, "b"), std::optional<std::string>("2"));
    EXPECT_FALSE(ZVBuildPayload::imprintWithData(&bytes, "A"));
    EXPECT_FALSE(ZVBuildPayload::imprintWithData(nullptr, "b"));
    const Value::Data torn(bytes.begin(), bytes.begin() + bytes.size() - 3);
    EXPECT_FALSE(ZVBuildPayload::imprintWithData(&torn, "zz"));

    storeImprint({{"integrated_test", "1"}}, true);
    EXPECT_TRUE(ZVEnvelopeBuild::isIntegratedTestModel());
    storeImprint({{"integrated_test", "0"}}, true);
    EXPECT_FALSE(ZVEnvelopeBuild::isIntegratedTestModel());
}

TEST(EnvelopeBuilderState, SignatureOnlyAtItsFullLength) {
    ZVConfigureCache::setObject(Value(Value::Data(31, 1)), "zvSignature");
    EXPECT_TRUE(ZVEnvelopeBuild().signature().empty());
    ZVConfigureCache::setObject(Value(Value::Data(32, 1)), "zvSignature");
    ZVConfigureCache::setObject(Value("2"), "zvDefcon");
    ZVEnvelopeBuild builder;
    EXPECT_EQ(builder.signature().size(), 32u);
    EXPECT_EQ(builder.defcon(), 2);
    ZVEnvelopeBuild::setEnvelopeSubFolder("sessionstart", 100);
    ZVEnvelopeBuild::setEnvelopeSubFolder("", 5);
    EXPECT_EQ(ZVEnvelopeSubFolder::sharedInstance()->envelopeSubFolderDic(),
              (std::map<std::string, uint64_t>{{"sessionstart", 100}}));
}
