#include <platform_foundation/NSUserDefaults.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>

#include <platform_foundation/NSBundle.h>
#include <platform_foundation/NSPropertyListSerialization.h>
#include <platform_foundation/Sandbox.h>
#include <platform_runtime/NSException.h>

#include "UserDefaultsDomain.h"

namespace {

struct Registry {
    std::mutex mutex;
    std::map<std::string, std::shared_ptr<UserDefaultsDomain>> domains;  // by file path
    std::shared_ptr<NSUserDefaults> standard;
};

void flushAllAtExit();

Registry& registry() {
    static Registry* r = [] {
        auto* created = new Registry;  // outlives every static destructor; flushed at exit
        std::atexit(flushAllAtExit);
        return created;
    }();
    return *r;
}

void flushAllAtExit() {
    Registry& r = registry();
    std::map<std::string, std::shared_ptr<UserDefaultsDomain>> domains;
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        domains = r.domains;
    }
    for (auto& [path, domain] : domains) domain->flushIfDirty();
}

// Where the app's own preference files live.
std::string preferencesDirectory() { return NSSandbox::preferencesDirectory(); }

// Where an app group's shared preference files live; nullopt for an unusable identifier.
std::optional<std::string> groupPreferencesDirectory(const std::string& group) {
    auto container = NSSandbox::containerPathForApplicationGroupIdentifier(group);
    if (!container) return std::nullopt;
    return *container + "/Library/Preferences";
}

std::string applicationDomainName() {
    if (auto id = NSBundle::mainBundle()->bundleIdentifier(); id && !id->empty()) return *id;
    return program_invocation_short_name;
}

std::string applicationDefaultsPath() { return preferencesDirectory() + "/" + applicationDomainName() + ".plist"; }

bool usableFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

std::shared_ptr<UserDefaultsDomain> domainForPath(const std::string& path) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto& slot = r.domains[path];
    if (!slot) slot = std::make_shared<UserDefaultsDomain>(path);
    return slot;
}

bool isValidPropertyList(const Value& v) {
    return NSPropertyListSerialization::propertyList(v, NSPropertyListBinaryFormat_v1_0);
}

}  // namespace

std::shared_ptr<NSUserDefaults> NSUserDefaults::standardUserDefaults() {
    // The shared instance follows the sandbox and bundle: a test that moves the sandbox root
    // gets the store of the new one.
    const std::string path = applicationDefaultsPath();
    Registry& r = registry();
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        if (r.standard && r.standard->filePath() == path) return r.standard;
    }
    auto created = initWithSuiteName(std::nullopt);
    std::lock_guard<std::mutex> lock(r.mutex);
    if (!r.standard || r.standard->filePath() != created->filePath()) r.standard = created;
    return r.standard;
}

void NSUserDefaults::resetStandardUserDefaults() {
    flushAllAtExit();
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.domains.clear();
    r.standard.reset();
}

std::shared_ptr<NSUserDefaults> NSUserDefaults::initWithSuiteName(const std::optional<std::string>& suiteName) {
    std::string app = applicationDomainName();
    std::string path;
    if (!suiteName) {
        path = applicationDefaultsPath();
    } else {
        const std::string& suite = *suiteName;
        if (!usableFileName(suite) || suite == "NSGlobalDomain" || suite == app) return nullptr;
        if (suite.rfind("group.", 0) == 0) {
            auto dir = groupPreferencesDirectory(suite);
            if (!dir) return nullptr;
            path = *dir + "/" + suite + ".plist";
        } else {
            path = preferencesDirectory() + "/" + suite + ".plist";
        }
    }
    // The folder is made here, not when writing, so that a late write never brings back a
    // sandbox that was removed meanwhile.
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    return std::make_shared<NSUserDefaults>(domainForPath(path));
}

NSUserDefaults::NSUserDefaults(std::shared_ptr<UserDefaultsDomain> domain) : domain_(std::move(domain)) {}

Value NSUserDefaults::objectForKey(const std::string& key) const { return domain_->object(key); }

std::optional<std::string> NSUserDefaults::stringForKey(const std::string& key) const {
    Value v = objectForKey(key);
    if (v.isString()) return v.asStdString();
    if (v.isNumber()) return v.stringValue();
    return std::nullopt;
}

int64_t NSUserDefaults::integerForKey(const std::string& key) const {
    Value v = objectForKey(key);
    return v.isNumber() || v.isString() ? v.integerValue() : 0;
}

double NSUserDefaults::doubleForKey(const std::string& key) const {
    Value v = objectForKey(key);
    return v.isNumber() || v.isString() ? v.doubleValue() : 0.0;
}

float NSUserDefaults::floatForKey(const std::string& key) const { return static_cast<float>(doubleForKey(key)); }

bool NSUserDefaults::boolForKey(const std::string& key) const {
    Value v = objectForKey(key);
    if (v.isNumber()) return v.boolValue();
    if (!v.isString()) return false;
    std::string lower;
    for (char c : v.asString()) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "yes" || lower == "true") return true;
    return v.integerValue() != 0;
}

Value NSUserDefaults::arrayForKey(const std::string& key) const {
    Value v = objectForKey(key);
    return v.isArray() ? v : Value();
}

Value NSUserDefaults::dictionaryForKey(const std::string& key) const {
    Value v = objectForKey(key);
    return v.isDictionary() ? v : Value();
}

Value NSUserDefaults::dataForKey(const std::string& key) const {
    Value v = objectForKey(key);
    return v.isData() ? v : Value();
}

void NSUserDefaults::setObject(const Value& value, const std::string& key) {
    if (!value.isNull() && !isValidPropertyList(value)) {
        NSException::raise(NSInvalidArgumentException,
                           std::string("Attempt to insert non-property list object ") + value.description() +
                               " for key " + key);
    }
    domain_->set(key, value);
    postDidChange();
}

void NSUserDefaults::removeObjectForKey(const std::string& key) {
    domain_->set(key, Value());
    postDidChange();
}

void NSUserDefaults::registerDefaults(const Value::Dictionary& registrationDictionary) {
    domain_->registerDefaults(registrationDictionary);
}

Value::Dictionary NSUserDefaults::dictionaryRepresentation() const { return domain_->representation(); }

bool NSUserDefaults::synchronize() {
    bool changedFromDisk = false;
    bool ok = domain_->synchronize(&changedFromDisk);
    if (changedFromDisk) postDidChange();
    return ok;
}

std::string NSUserDefaults::filePath() const { return domain_->path(); }

NSErrorPtr NSUserDefaults::lastError() const { return domain_->lastError(); }

void NSUserDefaults::postDidChange() {
    std::shared_ptr<NSObject> self = weak_from_this().lock();
    NSNotificationCenter::defaultCenter()->postNotificationName(NSUserDefaultsDidChangeNotification, Value(self));
}
