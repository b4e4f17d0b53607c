#include <analytics_common/ZVEnvelopeBuild.h>

#include <analytics_common/ZVBuildPayload.h>
#include <analytics_common/ZVCommonLog.h>
#include <analytics_common/ZVConfigureCache.h>
#include <analytics_common/ZVEnvelope.h>
#include <analytics_common/ZVFileUtility.h>
#include <analytics_common/ZVInternalUtil.h>
#include <analytics_common/ZVThriftCodec.h>
#include <analytics_common/ZVUcDB.h>
#include <analytics_common/ZVWorkDispatch.h>
#include <platform_foundation/NSJSONSerialization.h>
#include <analytics_common/ZVUtils.h>
#include <platform_system/CommonDigest.h>
#include "ZVUploadQueues.h"

#include <sys/stat.h>

namespace {
// A stored signature is usable only at its full 32 bytes (the guid and the AES key read
// bytes 0 to 31); anything else counts as absent.
Value::Data storedSignature() {
    const Value v = ZVConfigureCache::objectWithKey("zvSignature");
    if (v.isData() && v.asData().size() == 32) return v.asData();
    return {};
}
}  // namespace

ZVEnvelopeBuild::ZVEnvelopeBuild() : networkerQueue_(NSOperationQueue::create()) {
    networkerQueue_->setMaxConcurrentOperationCount(1);
    const Value level = ZVConfigureCache::objectWithKey("zvDefcon");
    if (!level.isNull()) defcon_.store(level.intValue());
    signature_ = storedSignature();
    identityMD5_ = ZVUtils::md5BytesWithString(ZVUtils::idfv() + ZVUtils::sharedUDIDString());
}

std::shared_ptr<ZVEnvelopeBuild> ZVEnvelopeBuild::sharedInstance() {
    static const std::shared_ptr<ZVEnvelopeBuild> instance = [] {
        auto builder = std::make_shared<ZVEnvelopeBuild>();
        ZVUploadQueues::add(builder->networkerQueue());
        ZVBuildPayload::sharedInstance();  // loads or builds the ID tracking
        return builder;
    }();
    return instance;
}

std::optional<std::string> ZVEnvelopeBuild::imprintProperty(const std::string& key) {
    const Value stored = ZVConfigureCache::objectWithKey("zvImprint");
    return ZVBuildPayload::imprintWithData(stored.isData() ? &stored.asData() : nullptr, key);
}

bool ZVEnvelopeBuild::isIntegratedTestModel() {
    auto v = imprintProperty("integrated_test");
    return v && Value(*v).intValue() == 1;
}

void ZVEnvelopeBuild::setEnvelopeSubFolder(const std::string& name, uint64_t maxCount) {
    ZVEnvelopeSubFolder::sharedInstance()->setEnvelopeSubFolder(name, maxCount);
}

Value::Data ZVEnvelopeBuild::signature() const {
    std::lock_guard lock(mutex_);
    return signature_;
}
void ZVEnvelopeBuild::setSignature(Value::Data v) {
    std::lock_guard lock(mutex_);
    signature_ = std::move(v);
}
Value::Data ZVEnvelopeBuild::guid() const {
    std::lock_guard lock(mutex_);
    return guid_;
}
void ZVEnvelopeBuild::setGuid(Value::Data v) {
    std::lock_guard lock(mutex_);
    guid_ = std::move(v);
}

std::shared_ptr<ZVEnvelopeSubFolder> ZVEnvelopeSubFolder::sharedInstance() {
    static const auto instance = std::make_shared<ZVEnvelopeSubFolder>();
    return instance;
}

void ZVEnvelopeSubFolder::setEnvelopeSubFolder(const std::string& name, uint64_t maxCount) {
    if (name.empty()) return;
    std::lock_guard lock(mutex_);
    folders_[name] = maxCount;
}

std::map<std::string, uint64_t> ZVEnvelopeSubFolder::envelopeSubFolderDic() const {
    std::lock_guard lock(mutex_);
    return folders_;
}

namespace {

constexpr char kSdkVersion[] = "7.3.5";
// What the report assembler may fill, so that bodies stay under the JSON limit.
constexpr int64_t kReportBudget = 2092140;

std::string hex(const Value::Data& bytes) { return CCHexString(bytes.data(), bytes.size(), HexCase::Lower); }

bool nonEmptyString(const Value& v) { return v.isString() && !v.asString().empty(); }

std::string stringOr(const Value& v, const std::string& fallback) {
    return nonEmptyString(v) ? v.asStdString() : fallback;
}

// Encrypt per the imprint's "codex" ("1" yes, "0" no), else per the settings switch.
bool shouldEncrypt() {
    const auto codex = ZVEnvelopeBuild::imprintProperty("codex");
    if (codex == "1") return true;
    if (codex == "0") return false;
    return ZVConfigureCache::sharedInstance()->encryptEnabled();
}

void copyEntries(const Value& from, Value& into) {
    if (!from.isDictionary()) return;
    for (const auto& [k, v] : from.asDictionary()) into.setObject(v, k);
}

}  // namespace

Value ZVEnvelopeBuild::header() const {
    std::lock_guard lock(buildMutex_);
    return header_.isDictionary() ? Value(header_.asDictionary()) : Value::dict({});
}

int64_t ZVEnvelopeBuild::maxDataSpace() {
    std::lock_guard lock(buildMutex_);
    ZVBuildPayload::buildBaseheader(header_);
    return kReportBudget;
}

Value::Data ZVEnvelopeBuild::guidFor(const Value::Data* signature) const {
    Value::Data m(32);
    for (std::size_t k = 0; k < 16; ++k) {
        m[2 * k] = entityMD5_[k];
        m[2 * k + 1] = identityMD5_[k];
    }
    for (std::size_t i : {0u, 1u, 30u, 31u}) m[i] = signature ? (*signature)[i] : 0;
    const auto ts = static_cast<uint32_t>(timestamp_);
    for (std::size_t i = 0; i < 32; ++i) m[i] ^= static_cast<uint8_t>(ts >> (8 * (i % 4)));
    return m;
}

std::optional<Value::Data> ZVEnvelopeBuild::toEnvelopeWithEntity(const Value::Data& compressed, int32_t rawLen,
                                                                 int32_t serNum) {
    entityMD5_ = ZVUtils::md5BytesWithString(
        std::string_view(reinterpret_cast<const char*>(compressed.data()), compressed.size()));
    Value::Data signature = storedSignature(), guid;
    if (!signature.empty()) {
        guid = guidFor(&signature);
    } else {
        // The first envelope of an installation makes the signature every later one carries.
        signature = guidFor(nullptr);
        if (ZVConfigureCache::objectWithKey("zvSignature").isNull())
            ZVConfigureCache::setObject(Value(signature), "zvSignature");
        guid = guidFor(&signature);
    }
    setSignature(signature);
    Value::Data entity = compressed;
    const bool encrypt = shouldEncrypt();
    if (encrypt) {
        const auto cipher = ZVUtils::AES128EncryptData(compressed, std::span(signature).subspan(1, 16));
        if (!cipher) return std::nullopt;
        entity = *cipher;
        entityMD5_ = ZVUtils::md5BytesWithString(
            std::string_view(reinterpret_cast<const char*>(entity.data()), entity.size()));
        guid = guidFor(&signature);
    }
    setGuid(guid);
    const std::string signatureHex = hex(signature), guidHex = hex(guid);
    const std::string checksum = CCMD5Hex(signatureHex + std::to_string(serNum) + std::to_string(timestamp_) +
                                          std::to_string(rawLen) + guidHex);
    try {
        auto envelope = ZVEnvelope::initWithVersion(Value("V1.0"), Value(ZVUtils::appkey()), Value(signatureHex),
                                                    serNum, timestamp_, rawLen, Value(entity), Value(guidHex),
                                                    Value(checksum), encrypt ? 1 : 0);
        return ZVThriftCodec::encode(*envelope);
    } catch (const std::exception& e) {
        ZVLOG_COMMON(ZVLogFlagDebug, "Exception occurred: %@, %@", Value(e.what()), Value());
        return std::nullopt;
    }
}

Value ZVEnvelopeBuild::build(Value body, const Value& content, const std::string& prefix, const std::string& pathURL,
                             const std::string& subFolder) {
    std::string path;
    body = buildFile(std::move(body), content, prefix, pathURL, subFolder, path);
    afterBuild(body, path, pathURL);
    return body;
}

Value ZVEnvelopeBuild::buildFile(Value body, const Value& content, const std::string& prefix,
                                 const std::string& pathURL, const std::string& subFolder, std::string& path) {
    const int32_t serial = ZVConfigureCache::counterThenIncWithKey("zvSerialNum");
    ZVLOG_COMMON(ZVLogFlagDebug, "common_envelope_debug8", content);
    ZVLOG_COMMON(ZVLogFlagDebug, "common_envelope_debug9", Value(static_cast<int64_t>(serial)));
    auto fail = [&body](int64_t code, const char* key, const Value& detail = Value()) {
        ZVLOG_COMMON(ZVLogFlagError, key, detail);
        body.setObject(Value(code), Value("exception"));
        return body;
    };
    const auto json = ZVConfigureCache::JSONFragment(body);
    if (!json) return fail(kNoJSON, "common_envelope_error1");
    if (json->size() > kMaxJSONBytes)
        return fail(kJSONTooLong, "common_envelope_error2", Value(static_cast<int64_t>(json->size())));
    const auto compressed = ZVUtils::deflatedData(Value::Data(json->begin(), json->end()));
    if (!compressed) return fail(kCompressFailed, "common_envelope_error3");
    const uint64_t ms = ZVUtils::UTCIntervalMS();
    timestamp_ = static_cast<int32_t>(ms / 1000);
    const auto envelope = toEnvelopeWithEntity(*compressed, static_cast<int32_t>(json->size()), serial);
    if (!envelope) return fail(kEncodeFailed, "common_envelope_error4");
    const std::string ts = std::to_string(ms);
    if (!pathURL.empty()) {
        path = ZVFileUtility::generateEnvelopeNamePrefixPathURL(prefix, ts, pathURL);
    } else if (!subFolder.empty()) {
        const auto p = ZVFileUtility::generateEnvelopeNamePrefixSubFolder(prefix, ts, subFolder);
        if (!p) return fail(kSaveFailed, "common_envelope_error5");
        path = *p;
    } else {
        path = ZVFileUtility::generateEnvelopeNamePrefix(prefix, ts);
    }
    if (!ZVFileUtility::saveData(&*envelope, path)) return fail(kSaveFailed, "common_envelope_error5", Value(path));
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && static_cast<std::size_t>(st.st_size) > kMaxFileBytes) {
        (void)ZVFileUtility::removeFile(path);
        return fail(kFileTooLong, "common_envelope_error6", Value(static_cast<int64_t>(st.st_size)));
    }
    ZVLOG_COMMON(ZVLogFlagDebug, "common_envelope_debug4", Value(path));
    return body;
}

Value ZVEnvelopeBuild::buildEnvelopeWithHeader(const Value& extHeader, const Value& content, const std::string& pathURL,
                                               const std::string& type, const std::string& version) {
    std::lock_guard lock(buildMutex_);
    Value body = Value::mutableDictionary();
    if (!header_.isDictionary()) header_ = Value::mutableDictionary();
    copyEntries(extHeader, header_);
    body.setObject(Value(header_.asDictionary()), Value("header"));
    std::string prefix = (type.empty() ? std::string("zv") : type) + "==" + (version.empty() ? "0.0.0" : version) + "&=";
    copyEntries(content, body);
    prefix += ZVUtils::urlEncode(stringOr(header_.objectForKey(Value("app_version")), ""));
    return build(std::move(body), content, prefix, pathURL, "");
}

Value ZVEnvelopeBuild::buildEnvelopeWithHeaderSubFolder(const Value& extHeader, const Value& content,
                                                        const std::string& subFolder) {
    if (subFolder.empty()) return Value::mutableDictionary();
    std::lock_guard lock(buildMutex_);
    Value body = Value::mutableDictionary();
    if (!header_.isDictionary()) header_ = Value::mutableDictionary();
    copyEntries(extHeader, header_);
    body.setObject(Value(header_.asDictionary()), Value("header"));
    const Value st = extHeader.isDictionary() ? extHeader.objectForKey(Value("st")) : Value();
    std::string prefix;
    if (st.isString() && st.asString() == "1")
        prefix = "ta==" + stringOr(header_.objectForKey(Value("sdk_version")), "") + "&&";
    copyEntries(content, body);
    prefix += ZVUtils::urlEncode(stringOr(header_.objectForKey(Value("app_version")), ""));
    return build(std::move(body), content, prefix, "", subFolder);
}

Value ZVEnvelopeBuild::buildZeroEnvelopeWithExtHeader(const Value& extHeader, const Value& content) {
    std::lock_guard lock(buildMutex_);
    Value body = Value::mutableDictionary();
    body.setObject(extHeader.isDictionary() ? extHeader : Value::dict({}), Value("header"));
    std::string prefix = std::string("z==") + kSdkVersion + "&&";
    prefix += ZVUtils::urlEncode(
        stringOr(extHeader.isDictionary() ? extHeader.objectForKey(Value("app_version")) : Value(), ""));
    return build(std::move(body), content, prefix, "", "");
}

Value ZVEnvelopeBuild::buildInternalData() {
    Value inner = Value::mutableDictionary();
    if (ZVConfigureCache::objectWithKey("zvZeroKey").isString() &&
        ZVConfigureCache::objectWithKey("zvZeroKey").asString() == "YES") {
        inner.setObject(Value::array({ZVUtils::batteryInfo()}), Value("by"));
        inner.setObject(ZVInternalUtil::Value1(), Value("sd"));
        inner.setObject(ZVInternalUtil::Value2(), Value("sinfo"));
        inner.setObject(ZVInternalUtil::Value4(), Value("mem"));
    }
    return Value::dict({{"inner", inner}});
}

namespace {

bool zeroKeyGranted() { return ZVConfigureCache::objectWithKey("zvZeroKey") == Value("YES"); }

// A parked report is rebuilt only when a retry cannot succeed either: a name taken in the same
// millisecond, a full disk (101) or a failed compression (112) leave the row for the next trigger.
bool rowIsDone(const Value& body) {
    const Value code = body.objectForKey(Value("exception"));
    if (code.isNull()) return true;
    const int64_t c = code.integerValue();
    return c != ZVEnvelopeBuild::kSaveFailed && c != ZVEnvelopeBuild::kCompressFailed;
}

Value jsonOrNull(const Value& row, const char* key) {
    const Value text = row.objectForKey(Value(key));
    if (!nonEmptyString(text)) return Value();
    return NSJSONSerialization::JSONObjectWithData(text.asString());
}

std::string rowText(const Value& row, const char* key) { return stringOr(row.objectForKey(Value(key)), ""); }

}  // namespace

Value ZVEnvelopeBuild::insertToCacheTable(Value& header, const Value& content, std::string type,
                                          const std::string& path, const std::string& version) {
    const std::string contentText = ZVConfigureCache::JSONFragment(content).value_or("");
    if (header.isDictionary() && !header.objectForKey(Value("st")).isNull()) {
        if (header.objectForKey(Value("st")) == Value("1")) type = "ta";
        if (header.objectForKey(Value("app_version")).isNull()) {
            Value copy = Value::mutableDictionary();
            copyEntries(header, copy);
            copy.setObject(Value(ZVUtils::appShortVersionString()), Value("app_version"));
            header = copy;
        }
    }
    const std::string headerText = ZVConfigureCache::JSONFragment(header).value_or("");
    Value body = Value::mutableDictionary();
    body.setObject(header, Value("header"));
    copyEntries(content, body);
    if (type != "i" &&
        !ZVUcDB::sharedInstance().insertToTable(ZVUcDB::kTable, contentText, headerText, type, path, version))
        body.setObject(Value(kSaveFailed), Value("exception"));
    return body;
}

Value ZVEnvelopeBuild::buildEnvelopeWithExtHeader(const Value& extHeader, const Value& content) {
    return buildEnvelopeWithExtHeader(extHeader, content, "", "a", kSdkVersion);
}

Value ZVEnvelopeBuild::buildEnvelopeWithExtHeader(const Value& extHeader, const Value& content,
                                                  const std::string& pathURL, const std::string& type,
                                                  const std::string& version) {
    const int64_t rows = ZVUcDB::sharedInstance().rowCountInTable(ZVUcDB::kTable);
    if (zeroKeyGranted() && rows < 1) {
        const Value body = buildEnvelopeWithHeader(extHeader, content, pathURL, type, version);
        return Value(body.asDictionary());
    }
    ZVLOG_COMMON(ZVLogFlagDebug, "analytics_init_debug18", content, ZVConfigureCache::objectWithKey("zvZeroKey"),
                 Value(rows));
    Value header = extHeader;
    Value body = insertToCacheTable(header, content, type, pathURL, version);
    loadCacheData();
    return body;
}

Value ZVEnvelopeBuild::buildEnvelopeWithExtHeaderSubFolder(const Value& extHeader, const Value& content,
                                                           const Value& subFolder) {
    if (!nonEmptyString(subFolder)) return Value::mutableDictionary();
    const int64_t rows = ZVUcDB::sharedInstance().rowCountInTable(ZVUcDB::kTable);
    if (zeroKeyGranted() && rows < 1) {
        const Value body = buildEnvelopeWithHeaderSubFolder(extHeader, content, subFolder.asStdString());
        return Value(body.asDictionary());
    }
    ZVLOG_COMMON(ZVLogFlagDebug, "analytics_init_debug18", content, ZVConfigureCache::objectWithKey("zvZeroKey"),
                 Value(rows));
    Value header = extHeader;
    Value body = insertToCacheTable(header, content, subFolder.asStdString(), "", kSdkVersion);
    loadCacheData();
    return body;
}

void ZVEnvelopeBuild::loadCacheData() {
    if (!zeroKeyGranted()) {
        ZVLOG_COMMON(ZVLogFlagDebug, "analytics_init_debug20", ZVConfigureCache::objectWithKey("zvZeroKey"),
                     Value(isReadyBuild()));
        return;
    }
    const Value::Array rows = ZVUcDB::sharedInstance().loadEtTable(ZVUcDB::kTable);
    if (rows.empty() || !rows[0].isDictionary() || rows[0].asDictionary().empty()) return;
    {
        std::lock_guard lock(buildMutex_);
        ZVBuildPayload::buildBaseheader(header_);
    }
    const Value& row = rows[0];
    const Value header = jsonOrNull(row, "header");
    Value content = jsonOrNull(row, "context");
    const std::string type = rowText(row, "type");
    ZVLOG_COMMON(ZVLogFlagDebug, "analytics_init_debug19", content);
    if (type == "i") content = buildInternalData();
    buildCacheData(header, content, type, rowText(row, "id"), rowText(row, "path"), rowText(row, "version"));
}

void ZVEnvelopeBuild::buildCacheData(const Value& header, const Value& content, const std::string& type,
                                     const std::string& sid, const std::string& path, const std::string& version) {
    const Value body = type == "t" ? buildEnvelopeWithHeaderSubFolder(header, content, "sessionstart")
                                   : buildEnvelopeWithHeader(header, content, path, type, version);
    if (!body.isDictionary() || body.asDictionary().empty() || !rowIsDone(body)) return;
    (void)ZVUcDB::sharedInstance().clearDataInTable(ZVUcDB::kTable, sid);
    ZVWorkDispatch::sendEvent(Value(), 5, nullptr);
}
