#include <analytics_common/ZVCommonLog.h>

#include <atomic>
#include <mutex>

#include <platform_foundation/NSBundle.h>
#include <platform_runtime/ObjCRuntime.h>

namespace {

constexpr const char* kManager = "ZVCommonLogManager";
std::atomic<bool> conditionalSwitch{false};

// Looked up again while absent: the layer's own load hooks log before the classes of the
// libraries and programs loaded after it are registered.
ObjCClass* manager() {
    static std::atomic<ObjCClass*> cls{nullptr};
    ObjCClass* found = cls.load(std::memory_order_acquire);
    if (!found && (found = NSClassFromString(kManager))) cls.store(found, std::memory_order_release);
    return found;
}

bool answer(const std::optional<Value>& result) { return result && result->boolValue(); }

void forward(int component, int flag, const char* file, const char* function, int line, const std::string& format,
             const Value::Array& args) {
    ObjCClass* cls = manager();
    if (!cls || !ZVCommonLogIsLevelValid(component, flag)) return;
    (void)performClassSelector(cls, "log:flag:context:file:function:line:tag:format:args:component:",
                               {Value(true), Value(flag), Value(0), Value(file ? file : ""),
                                Value(function ? function : ""), Value(line), Value(), Value(format), Value(args),
                                Value(component)});
}

}  // namespace

bool ZVCommonLogRegisterComponent(int component, const std::string& prefixName, const std::string& version) {
    return answer(performClassSelector(manager(), "registerZVCommonComponent:withPrefixName:withComponentVersion:",
                                       {Value(component), Value(prefixName), Value(version)}));
}

bool ZVCommonLogSetComponentLevel(int component, int level) {
    return answer(performClassSelector(manager(), "setZVCommonComponent:withLogLevel:", {Value(component), Value(level)}));
}

bool ZVCommonLogIsLevelValid(int component, int flag) {
    return answer(
        performClassSelector(manager(), "checkValidCommonLogLevel:withLogFlag:", {Value(component), Value(flag)}));
}

void ZVCommonLogWrite(int component, int flag, const char* file, const char* function, int line,
                      const std::string& format, const Value::Array& args) {
    forward(component, flag, file, function, line, format, args);
}

void ZVCommonLogWriteIfEnabled(int component, int flag, const char* file, const char* function, int line,
                               const std::string& format, const Value::Array& args) {
    if (conditionalSwitch.load(std::memory_order_relaxed)) forward(component, flag, file, function, line, format, args);
}

void ZVCommonLogSetEnabled(bool enabled) { conditionalSwitch.store(enabled, std::memory_order_relaxed); }

std::shared_ptr<NSBundle> ZVCommonLogBundle() {
    static const std::shared_ptr<NSBundle> bundle = [] {
        auto main = NSBundle::mainBundle();
        if (main) {
            if (auto path = main->pathForResource("ZVCommonLog", "bundle")) {
                if (auto inner = NSBundle::bundleWithPath(*path)) return inner;
            }
        }
        return main;
    }();
    return bundle;
}
