#include <crash_reporting/ZUDMobiConfig.h>

#include <cstdio>
#include <mutex>

#include <crash_core/CRMonitorSignal.h>
#include <platform_foundation/NSBundle.h>
#include <platform_foundation/NSDataFile.h>
#include <platform_foundation/NSFileManager.h>
#include <platform_foundation/NSUUID.h>
#include <platform_foundation/Sandbox.h>
#include <platform_runtime/ObjCClass.h>

std::shared_ptr<ZUDMobiConfig> ZUDMobiConfig::sharedInstance() {
    static std::once_flag once;
    static std::shared_ptr<ZUDMobiConfig> instance;
    std::call_once(once, [] { instance = std::make_shared<ZUDMobiConfig>(); });
    return instance;
}

std::string ZUDMobiConfig::version() { return "1.3.5"; }

ZUDMobiConfig::ZUDMobiConfig() { setDeviceUDID(internalGetDeviceUDID()); }

std::optional<std::string> ZUDMobiConfig::buildDate() const {
    if (buildDate_) return buildDate_;
    Value bundleVersion = NSBundle::mainBundle()->objectForInfoDictionaryKey("CFBundleVersion");
    if (bundleVersion.isString()) return bundleVersion.asStdString();
    return std::nullopt;
}

void ZUDMobiConfig::setIgnoreSignalPIPE(bool ignore) {
    willChangeValueForKey("ignoreSignalPIPE");
    ignoreSignalPIPE_ = ignore;
    didChangeValueForKey("ignoreSignalPIPE");
    crsignal_setIgnoreSIGPIPE(ignore);
}

Value ZUDMobiConfig::toDict() const {
    Value dict = Value::mutableDictionary();
    for (const ObjCProperty* property : classObject().ownProperties()) {
        Value value = property->get(*this);
        if (value.isNull()) continue;
        dict.setObject(value, Value(property->name()));
    }
    return dict;
}

std::string ZUDMobiConfig::internalGetDeviceUDID() {
    std::string directory = NSSandbox::homeDirectory() + "/Documents/zpkdata";
    std::string path = directory + "/myudid";
    auto files = NSFileManager::defaultManager();
    if (!files->fileExistsAtPath(directory)) files->createDirectoryAtPath(directory, true);
    if (auto text = NSDataFile::stringWithContentsOfFile(path)) return *text;
    std::string identifier = NSUUID::UUID()->UUIDString();
    (void)NSDataFile::writeStringToFile(identifier, path, true);
    return identifier;
}

void ZUDMobiConfig::updateFilterModules(const Value& modules) {
    if (modules.isNull()) return;
    std::vector<std::string> names;
    for (const auto& member : modules.asArray())
        if (member.isString()) names.push_back(member.asStdString());
    setFilterModules(std::move(names));
}

void ZUDReporterLog(const std::string& line) {
    if (!ZUDMobiConfig::sharedInstance()->enableDebugLog()) return;
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}
