#include <analytics_common/ZVEnvelopeBuild.h>

#include <analytics_common/ZVBuildPayload.h>
#include <analytics_common/ZVConfigureCache.h>

namespace {
// A stored signature is usable only at its full 32 bytes (the guid and the AES key read
// bytes 0 to 31); anything else counts as absent.
Value::Data storedSignature() {
    const Value v = ZVConfigureCache::objectWithKey("zvSignature");
    if (v.isData() && v.asData().size() == 32) return v.asData();
    return {};
}
}  // namespace

ZVEnvelopeBuild::ZVEnvelopeBuild() {
    const Value level = ZVConfigureCache::objectWithKey("zvDefcon");
    if (!level.isNull()) defcon_.store(level.intValue());
    signature_ = storedSignature();
}

std::shared_ptr<ZVEnvelopeBuild> ZVEnvelopeBuild::sharedInstance() {
    static const std::shared_ptr<ZVEnvelopeBuild> instance = [] {
        auto builder = std::make_shared<ZVEnvelopeBuild>();
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
