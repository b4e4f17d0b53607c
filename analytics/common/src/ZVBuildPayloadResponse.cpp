// Answers of the collection service: imprint merge and its effects, zero key, experiments.

#include <analytics_common/ZVBuildPayload.h>

#include <thrift/TApplicationException.h>

#include <analytics_common/ZVCommonLog.h>
#include <analytics_common/ZVConfigManager.h>
#include <analytics_common/ZVConfigureCache.h>
#include <analytics_common/ZVEnvelopeBuild.h>
#include <analytics_common/ZVImprintObserverManager.h>
#include <analytics_common/ZVThriftCodec.h>
#include <analytics_common/ZVUtils.h>
#include <analytics_common/ZVWorkDispatch.h>
#include <platform_foundation/NSNotificationCenter.h>
#include <platform_runtime/ObjCRuntime.h>

namespace {

constexpr char kImprintKey[] = "zvImprint";
constexpr float kTwoToMinus20 = 9.536743e-7f;

template <class Record>
void decodeLogged(const Value::Data& bytes, Record& record) {
    try {
        ZVThriftCodec::decode(bytes, record);
    } catch (const apache::thrift::TException& e) {
        ZVLOG_COMMON(ZVLogFlagDebug, "Exception occurred: %@, %@", Value(e.what()), Value());
    }
}

std::shared_ptr<ZVTImprintValue> entryOf(const Value& map, const std::string& key) {
    if (!map.isDictionary()) return nullptr;
    return map.objectForKey(Value(key)).objectAs<ZVTImprintValue>();
}

// The entry's value text; nothing when the entry or its value is missing.
std::optional<std::string> valueOf(const std::shared_ptr<ZVTImprintValue>& entry) {
    if (!entry || !entry->value().isString()) return std::nullopt;
    return entry->value().asStdString();
}

bool hasKey(const Value& map, const char* key) {
    return map.isDictionary() && map.asDictionary().count(Value(key)) > 0;
}

std::vector<std::string> split(const std::string& text, char sep) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t pos; (pos = text.find(sep, start)) != std::string::npos; start = pos + 1)
        out.push_back(text.substr(start, pos - start));
    out.push_back(text.substr(start));
    return out;
}

void applyDefcon(const Value& property) {
    if (!hasKey(property, "defcon")) return;
    const auto builder = ZVEnvelopeBuild::sharedInstance();
    const auto value = valueOf(entryOf(property, "defcon"));
    if (!value) {
        ZVConfigureCache::removeObjectForKey("zvDefcon");
        builder->setDefcon(0);
        return;
    }
    const int64_t level = Value(*value).integerValue();
    const bool valid = level >= 0 && level <= 3;
    ZVConfigureCache::setObject(Value(valid ? *value : std::string("0")), "zvDefcon");
    builder->setDefcon(valid ? static_cast<int32_t>(level) : 0);
}

void applyEngineSwitches(const Value::Data& stored) {
    auto intOf = [&stored](const char* key) {
        const auto v = ZVBuildPayload::imprintWithData(&stored, key);
        return v ? Value(*v).intValue() : 0;
    };
    if (const auto engine = performClassSelector("ZuzOzevoInternal", "sharedInstance"); engine && engine->isObject()) {
        (void)performSelector(engine->asObject().get(), "setBackstate:", {Value(intOf("backstate"))});
        (void)performSelector(engine->asObject().get(), "setIsNothook:", {Value(intOf("hk"))});
    }
    if (intOf("ud") == 1) ZVConfigureCache::keyChainSave("YES", "kZVIdKeyChainKey", "isKC");
}

std::shared_ptr<ZVTImprint> decodeResponseImprint(const ZVTResponse& response) {
    return response.imprintIsSet() ? response.imprintRecord() : nullptr;
}

}  // namespace

void ZVBuildPayload::setFilterImprintKey(const std::string& key, const Value& handler) {
    if (const auto filter = performClassSelector("ZVFilterImprint", "sharedInstance"); filter && filter->isObject())
        (void)performSelector(filter->asObject().get(), "setFilterImprintKey:withHandler:", {Value(key), handler});
}

bool ZVBuildPayload::processFilterImprintKey(const std::string& key, const std::string& value) {
    const auto filter = performClassSelector("ZVFilterImprint", "sharedInstance");
    if (!filter || !filter->isObject()) return false;
    const auto taken =
        performSelector(filter->asObject().get(), "processFilterImprintKey:withImprintValue:", {Value(key), Value(value)});
    return taken && taken->boolValue();
}

void ZVBuildPayload::updateImprint(const std::shared_ptr<ZVTImprint>& received) {
    if (!received) return;
    const Value previous = ZVConfigureCache::objectWithKey(kImprintKey);
    ZVTImprint stored;
    if (previous.isData()) decodeLogged(previous.asData(), stored);
    Value::Dictionary merged =
        stored.property().isDictionary() ? stored.property().asDictionary() : Value::Dictionary();
    const Value before(merged);  // O
    const Value property = received->property().isDictionary() ? received->property() : Value(Value::Dictionary());
    const auto& incoming = property.asDictionary();

    applyDefcon(property);
    if (!incoming.empty()) {
        merged.erase(Value("zvtt"));
        for (const auto& [k, entryValue] : incoming) {
            const std::string key = k.isString() ? k.asStdString() : std::string();
            const auto entry = entryValue.objectAs<ZVTImprintValue>();
            const auto value = valueOf(entry);
            if (processFilterImprintKey(key, value.value_or(""))) {
                merged.erase(k);
            } else if (key != "zvtt" && value) {
                merged[k] = entryValue;
            } else {
                merged.erase(k);
            }
        }
    }
    stored.setProperty(Value(std::move(merged)));
    stored.setVersion(received->version());
    stored.setChecksum(Value(generateImprintChecksum(stored)));
    Value::Data bytes;
    try {
        bytes = ZVThriftCodec::encode(stored);
    } catch (const apache::thrift::TException& e) {
        ZVLOG_COMMON(ZVLogFlagDebug, "Exception occurred: %@, %@", Value(e.what()), Value());
        return;
    }
    const auto oldZvid = previous.isData() ? imprintWithData(&previous.asData(), "zvid") : std::nullopt;
    ZVConfigureCache::setObject(Value(bytes), kImprintKey);
    const auto newZvid = imprintWithData(&bytes, "zvid");
    if ((!oldZvid || oldZvid->empty()) && newZvid && !newZvid->empty()) {
        NSNotificationCenter::defaultCenter()->postNotificationName("kZVImprintZVIDNotification", Value(),
                                                                    Value::dict({{"zvid", *newZvid}}));
        (void)ZVUtils::performClass("VUVuvev", "setCrashUerInfo:", Value::dict({{"zv_zvid", *newZvid}}));
    }

    bool intervalNote = false;
    if (!ZVEnvelopeBuild::isIntegratedTestModel()) {
        if (hasKey(property, "client_test")) {
            if (const auto text = valueOf(entryOf(property, "client_test"))) {
                configureExperimentWithString(*text);
            } else {
                for (const char* key : {"zvExperimentGroupInfo", "zvExperimentRPT", "zvExperimentDOM"})
                    ZVConfigureCache::removeObjectForKey(key);
            }
        }
        intervalNote = hasKey(property, "client_test") || hasKey(property, "test_report_interval");
    }
    if (intervalNote || hasKey(property, "report_interval"))
        ZVConfigureCache::setObject(Value(true), "report_interval_change");

    const auto observers = ZVImprintObserverManager::sharedInstance();
    if (observers->existImprintObserver() && !incoming.empty()) {
        for (const auto& [k, entryValue] : incoming) {
            const std::string key = k.isString() ? k.asStdString() : std::string();
            const auto now = valueOf(entryValue.objectAs<ZVTImprintValue>());
            const auto old = valueOf(entryOf(before, key));
            observers->processImprintKey(key, now ? Value(*now) : Value(), old ? Value(*old) : Value());
        }
    }
    applyEngineSwitches(bytes);
}

bool ZVBuildPayload::verifyResponseData(const Value::Data& answer) {
    ZVTResponse response;
    decodeLogged(answer, response);
    if (!response.resp_codeIsSet() || response.resp_code() != 1) return false;
    saveIdTracking();
    const bool granted = ZVConfigureCache::objectWithKey("zvZeroKey") == Value("YES");
    const auto imprint = decodeResponseImprint(response);
    const Value keys = imprint ? imprint->property() : Value();
    if (!hasKey(keys, "iscfg")) {
        if (hasKey(keys, "cfgfd")) {
            if (imprint && validateImprintChecksum(imprint)) updateImprint(imprint);
            if (auto config = ZVConfigManager::shareInstance()) config->updateServerConfig();
            buildIdTracking();
        } else {
            if (imprint && validateImprintChecksum(imprint)) updateImprint(imprint);
            return true;
        }
    }
    if (!granted) {
        ZVConfigureCache::setObject(Value("YES"), "zvZeroKey");
        ZVUtils::VODizInit();
        buildIdTracking();
        ZVWorkDispatch::sendEvent(Value(), 3, nullptr);
        ZVWorkDispatch::sendEvent(Value(), 6, nullptr);
    }
    return true;
}

bool ZVBuildPayload::verifySLResponseData(const Value::Data& answer) {
    ZVTResponse response;
    decodeLogged(answer, response);
    if (!response.resp_codeIsSet() || response.resp_code() != 1) return false;
    saveIdTracking();
    const auto imprint = decodeResponseImprint(response);
    if (imprint && hasKey(imprint->property(), "cfgfd")) {
        if (validateImprintChecksum(imprint)) buildIdTracking();
        if (ZVConfigureCache::objectWithKey("zvZeroKey") != Value("YES"))
            ZVConfigureCache::setObject(Value("YES"), "zvZeroKey");
    }
    return true;
}

float ZVBuildPayload::calcProbWithSigIndex(std::size_t offset) {
    const Value signature = ZVConfigureCache::objectWithKey("zvSignature");
    if (!signature.isData() || signature.asData().size() < offset + 5) return 0;
    // The first five hex digits of bytes offset..offset+4 are the first 20 bits.
    const auto& b = signature.asData();
    const uint32_t bits = (uint32_t(b[offset]) << 12) | (uint32_t(b[offset + 1]) << 4) | (uint32_t(b[offset + 2]) >> 4);
    return static_cast<float>(static_cast<double>(bits) * static_cast<double>(kTwoToMinus20));
}

void ZVBuildPayload::configureExperimentWithString(const std::string& text) {
    if (text.empty()) return;
    const auto fields = split(text, '|');
    if (fields.size() != 6) {
        ZVLOG_COMMON(ZVLogFlagError, "common_integrationtest_error1");
        return;
    }
    const auto weights = split(fields[1], ','), values = split(fields[5], ',');
    if (fields[1].empty() || fields[5].empty()) {
        ZVLOG_COMMON(ZVLogFlagError, "common_integrationtest_error4");
        return;
    }
    int64_t group = -1;
    if (fields[0] == "SIG7" && weights.size() == values.size()) {
        const float p = calcProbWithSigIndex(6);
        float a = 0;
        for (std::size_t i = 0; i < weights.size(); ++i) {
            const float w = Value(weights[i]).floatValue();
            if (p > a - 0.000001f && p < a + w) {
                group = static_cast<int64_t>(i) + 1;
                break;
            }
            a += w;
        }
    } else if (fields[0] == "FIXED" && weights.size() <= values.size()) {
        const int64_t n = Value(fields[1]).integerValue();
        group = n >= 1 && n <= static_cast<int64_t>(values.size()) ? n : -1;
    } else {
        ZVLOG_COMMON(ZVLogFlagError, "common_integrationtest_error2");
    }
    const std::string& kind = fields[4];
    int64_t value = -1;
    if (group != -1 && fields[2] == "SIG13") {
        const float q = calcProbWithSigIndex(12);
        if (q < Value(fields[3]).floatValue()) {
            if (kind == "RPT" || kind == "DOM")
                value = Value(values[static_cast<std::size_t>(group - 1)]).integerValue();
            else
                ZVLOG_COMMON(ZVLogFlagError, "common_integrationtest_error3");
        }
    }
    const Value storedTable = ZVConfigureCache::objectWithKey("zvExperimentGroupInfo");
    Value::Dictionary table = storedTable.isDictionary() ? storedTable.asDictionary() : Value::Dictionary();
    const bool invalid = group == -1 || value == -1;
    if (kind == "RPT") {
        if (invalid) {
            table.erase(Value("RPT"));
            ZVConfigureCache::removeObjectForKey("zvExperimentRPT");
        } else {
            table[Value("RPT")] = Value(group);
            ZVConfigureCache::setObject(Value(value), "zvExperimentRPT");
        }
    } else if (kind == "DOM") {
        if (invalid) {
            table.erase(Value("DOM"));
            ZVConfigureCache::removeObjectForKey("zvExperimentDOM");
        } else {
            table[Value("DOM")] = Value(group);
            ZVConfigureCache::setObject(Value(int64_t{value == 0 ? 1 : 0}), "zvExperimentDOM");
        }
    }
    ZVConfigureCache::setObject(Value(std::move(table)), "zvExperimentGroupInfo");
}
