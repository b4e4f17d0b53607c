#include <analytics_common/ZVUtils.h>

#include <analytics_common/ZVCommonLog.h>
#include <analytics_common/ZVConfigureCache.h>
#include <analytics_common/ZVHelper.h>
#include <analytics_common/ZVWorkDispatch.h>
#include <platform_runtime/NSBlock.h>
#include <platform_runtime/ObjCRuntime.h>

namespace {

const char* const kModules[] = {"", "apm", "share", "zlink", "zverify", "push", "abtest", "zsms", "zid", "game", "zrec"};

// The module name of a tag's module number, or nothing outside 1...10.
std::optional<std::string> moduleName(const Value& module) {
    if (!module.isNumber()) return std::nullopt;
    const int64_t n = module.integerValue();
    if (n < 1 || n > 10) return std::nullopt;
    return std::string(kModules[n]);
}

// The usage-analytics engine as a work-event component, when it is linked.
std::shared_ptr<ZVLogDataProtocol> engine() {
    auto found = performClassSelector("ZuzOzevoInternal", "sharedInstance");
    if (!found || !found->isObject()) return nullptr;
    return std::dynamic_pointer_cast<ZVLogDataProtocol>(found->asObject());
}

}  // namespace

void ZVUtils::VODizInit() {
    if (!NSClassFromString("VODiz")) return;
    const auto key = ZVConfigureCache::sharedInstance()->appkey();
    if (!key || !notEmptyString(Value(*key))) return;
    (void)performClassSelector("VODiz", "initWithAppKey:completion:", {Value(*key), NSBlock::make([] {})});
}

std::string ZVUtils::getZid() {
    if (!(ZVConfigureCache::objectWithKey("zvZeroKey") == Value("YES"))) return "";
    auto zid = performClassSelector("VODiz", "getZID");
    return zid && zid->isString() ? std::string(zid->asString()) : std::string();
}

void ZVUtils::setModuleTag(const Value& module, const Value& key, const Value& value) {
    auto name = moduleName(module);
    if (!name || !notEmptyString(Value(*name)) || !notEmptyString(key) || !notEmptyString(value)) return;
    if (key.asString().size() > 64 || value.asString().size() > 128) {
        ZVLOG_COMMON(ZVLogFlagError, "analytics_init_error78");
        return;
    }
    ZVWorkDispatch::sendEvent(
        Value::dict({{"value", value}, {"moduleKey", *name + "_" + std::string(key.asString())}}), 522, engine());
}

void ZVUtils::deleteModuleTag(const Value& module, const Value& key) {
    auto name = moduleName(module);
    if (!name || name->empty() || !notEmptyString(key)) return;
    ZVWorkDispatch::sendEvent(Value(*name + "_" + std::string(key.asString())), 523, engine());
}

Value ZVUtils::getModuleTag() { return ZVHelper::sharedInstance()->moduleTag(); }

Value ZVUtils::getModule() {
    Value list = Value::mutableArray();
    for (const char* m : kModules) list.addObject(Value(m));
    return list;
}
