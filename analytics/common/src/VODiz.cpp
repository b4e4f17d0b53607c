#include <analytics_common/VODiz.h>

#include <mutex>

#include <analytics_common/ZVConfigureCache.h>
#include <platform_foundation/NSUUID.h>
#include <platform_runtime/NSBlock.h>
#include <platform_system/CommonDigest.h>

namespace {
constexpr const char* kItem = "VODiz";
constexpr const char* kInner = "zid";
std::mutex mutex;
}  // namespace

void VODiz::initWithAppKey(const std::string& appKey, std::function<void()> completion) {
    if (!appKey.empty()) {
        std::lock_guard lock(mutex);
        if (!ZVConfigureCache::keyChainLoad(kInner, kItem)) {
            // 32 lowercase hex digits, kept for the device.
            const std::string uuid = NSUUID::UUID()->UUIDString();
            ZVConfigureCache::keyChainSave(CCMD5Hex(uuid + appKey, HexCase::Lower), kInner, kItem);
        }
    }
    if (completion) completion();
}

std::string VODiz::getZID() {
    std::lock_guard lock(mutex);
    return ZVConfigureCache::keyChainLoad(kInner, kItem).value_or("");
}

NS_CLASS_LOAD(VODiz) {
    cls.addClassOperation("initWithAppKey:completion:", [](ObjCClass&, const Value::Array& args) {
        const Value key = args.empty() ? Value() : args[0];
        const Value done = args.size() > 1 ? args[1] : Value();
        VODiz::initWithAppKey(key.isString() ? std::string(key.asString()) : std::string(),
                              [done] { NSBlock::invokeValue(done); });
        return Value();
    });
    cls.addClassOperation("getZID", [](ObjCClass&, const Value::Array&) { return Value(VODiz::getZID()); });
    cls.addClassOperation("getSDKVersion", [](ObjCClass&, const Value::Array&) { return Value(VODiz::getSDKVersion()); });
    cls.addClassOperation("getResetToken", [](ObjCClass&, const Value::Array&) { return Value(VODiz::getResetToken()); });
    cls.addClassOperation("getZData", [](ObjCClass&, const Value::Array&) { return Value(VODiz::getZData()); });
    cls.addClassOperation("getATStr", [](ObjCClass&, const Value::Array&) { return Value(VODiz::getATStr()); });
}
