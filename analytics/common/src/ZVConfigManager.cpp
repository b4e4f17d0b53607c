#include <analytics_common/ZVConfigManager.h>

#include <algorithm>

#include <analytics_common/ZVCommonLog.h>
#include <analytics_common/ZVEnvelopeBuild.h>
#include <analytics_common/ZVFileUtility.h>
#include <platform_foundation/NSDataFile.h>
#include <platform_foundation/NSFileManager.h>
#include <platform_foundation/NSKeyedArchiver.h>
#include <platform_foundation/NSKeyedUnarchiver.h>
#include <platform_foundation/NSStringComponents.h>

namespace {

struct Position {
    int bit;
    const char* field;
};
constexpr Position kHeader[] = {{1, "header_idfa"}, {2, "header_idfv"}, {4, "header_zdid"}, {12, "header_is_jailbroken"}};
constexpr Position kInner[] = {{1, "inner_winfo"}, {3, "inner_lbs"}};

std::string configDirectory() {
    static const std::string dir = [] {
        const std::string d = ZVFileUtility::zavezDirectory() + "/zvconfig";
        NSFileManager::defaultManager()->createDirectoryAtPath(d, true);
        return d;
    }();
    return dir;
}

Value readTable(const std::string& name) {
    auto data = NSDataFile::dataWithContentsOfFile(configDirectory() + "/" + name);
    if (!data) return Value();
    NSErrorPtr error;
    Value v = NSKeyedUnarchiver::unarchiveObjectWithData(*data, &error);
    if (error || !v.isDictionary()) {
        ZVLOG_COMMON(ZVLogFlagDebug, "config file %@ unreadable", Value(name));
        return Value();
    }
    return v;
}

void writeTable(const std::string& name, const Value& table) {
    if (!table.isDictionary()) return;
    const Value::Data archive = NSKeyedArchiver::archivedDataWithRootObject(table, false);
    if (!archive.empty()) NSDataFile::writeToFile(archive, configDirectory() + "/" + name, true);
}

// Digits of a non-negative number, least significant first.
std::string bitsLeastFirst(int64_t n) {
    if (n <= 0) return n == 0 ? "0" : "";
    std::string bits;
    for (uint64_t v = static_cast<uint64_t>(n); v; v >>= 1) bits += (v & 1) ? '1' : '0';
    return bits;
}

template <std::size_t N>
Value table(const std::string& bits, const Position (&positions)[N]) {
    Value out = Value::mutableDictionary();
    if (bits.empty()) return out;
    for (const auto& p : positions)
        out.setObject(Value(static_cast<std::size_t>(p.bit) < bits.size() && bits[p.bit] == '1'), p.field);
    return out;
}

}  // namespace

ZVConfigManager::ZVConfigManager() {
    Value local = Value::mutableDictionary();
    for (const auto& p : kHeader) local.setObject(Value(true), p.field);
    for (const auto& p : kInner) local.setObject(Value(true), p.field);
    localConfig_ = local;
    doSaveConfig(local, 1);
}

std::shared_ptr<ZVConfigManager> ZVConfigManager::shareInstance() {
    static const auto instance = std::make_shared<ZVConfigManager>();
    return instance;
}

bool ZVConfigManager::isValidField(const std::string& field) { return shareInstance()->doIsValidField(field); }

void ZVConfigManager::saveConfig(const Value& config, int64_t type) { shareInstance()->doSaveConfig(config, type); }

Value ZVConfigManager::parseConfigString(const Value& text) {
    Value empty = Value::mutableDictionary();
    if (!text.isString() || text.asString().empty()) return empty;
    const auto parts = NSString::componentsSeparatedByString(std::string(text.asString()), "@");
    if (parts.size() < 2 || Value(parts[0]).integerValue() < 1000 || parts[1].empty()) return empty;
    const auto masks = NSString::componentsSeparatedByString(parts[1], ",");
    if (masks.size() < 2) return empty;
    const Value header = table(bitsLeastFirst(Value(masks[0]).integerValue()), kHeader);
    const Value inner = table(bitsLeastFirst(Value(masks[1]).integerValue()), kInner);
    if (header.count() == 0 || inner.count() == 0) return empty;
    Value both = header.mutableCopy();
    for (const auto& [k, v] : inner.asDictionary()) both.setObject(v, k);
    return both;
}

void ZVConfigManager::updateServerConfig() {
    if (auto cfgfd = ZVEnvelopeBuild::imprintProperty("cfgfd"); cfgfd && !cfgfd->empty())
        doSaveConfig(parseConfigString(Value(*cfgfd)), 2);
    const Value stored = readServerConfig();
    if (stored.isDictionary() && stored.count() > 0) {
        auto singleton = shareInstance();
        std::lock_guard lock(singleton->mutex_);
        singleton->serverConfig_ = stored.mutableCopy();
    }
}

Value ZVConfigManager::readLocalConfig() const { return readTable("localConfig"); }
void ZVConfigManager::saveLocalConfig(const Value& config) const { writeTable("localConfig", config); }
Value ZVConfigManager::readServerConfig() const { return readTable("serverConfig"); }
void ZVConfigManager::saveServerConfig(const Value& config) const { writeTable("serverConfig", config); }

void ZVConfigManager::doSaveConfig(const Value& config, int64_t type) const {
    if (!config.isDictionary()) return;
    if (type == 1) saveLocalConfig(config);
    else if (type == 2) saveServerConfig(config);
}

bool ZVConfigManager::doIsValidField(const std::string& field) {
    if (field.empty()) return false;
    std::lock_guard lock(mutex_);
    if (serverConfig_.count() == 0) {
        const Value stored = readServerConfig();
        if (stored.isDictionary())
            for (const auto& [k, v] : stored.asDictionary()) serverConfig_.setObject(v, k);
    }
    const Value& v = serverConfig_.objectForKey(field);
    return v.isNumber() ? v.boolValue() : true;
}

Value ZVConfigManager::serverConfig() const {
    std::lock_guard lock(mutex_);
    return serverConfig_;
}

Value ZVConfigManager::localConfig() const {
    std::lock_guard lock(mutex_);
    return localConfig_;
}
