#include <analytics_common/ZVUtils.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>

#include <analytics_common/ZVCommonLog.h>
#include <analytics_common/ZVConfigManager.h>
#include <analytics_common/ZVConfigureCache.h>
#include <analytics_common/ZVSharedUDID.h>
#include <platform_foundation/NSBundle.h>
#include <platform_foundation/NSDataFile.h>
#include <platform_foundation/NSLocale.h>
#include <platform_foundation/NSProcessInfo.h>
#include <platform_foundation/NSTimeZone.h>
#include <platform_foundation/NSUUID.h>
#include <platform_kernel/Sysctl.h>
#include <platform_net/NetworkInterfaces.h>
#include <platform_runtime/ObjCRuntime.h>
#include <platform_uikit/UIDevice.h>
#include <platform_uikit/UIScreen.h>

#include "ZVTestHooks.h"

#include <unistd.h>
#include <sys/stat.h>

namespace {

std::mutex cacheMutex;
std::string cachedUDID, cachedIdfa, cachedZvfa;
std::shared_ptr<NSObject> telephony;

std::mutex jailbreakMutex;
std::string jailbreakRoot;
int jailbreakFlag = -1;  // -1: not computed

std::string text(const std::optional<Value>& v) { return v && v->isString() ? std::string(v->asString()) : ""; }

std::string infoString(const char* key) {
    auto bundle = NSBundle::mainBundle();
    const Value v = bundle ? bundle->objectForInfoDictionaryKey(key) : Value();
    return v.isString() ? std::string(v.asString()) : std::string();
}


std::shared_ptr<NSObject> carrier() {
    auto info = ZVUtils::CTTelephonyNetworkInfoObject();
    if (!info) return nullptr;
    auto c = performSelector(info.get(), "subscriberCellularProvider");
    return c && c->isObject() ? c->asObject() : nullptr;
}

std::string carrierFact(const char* selector) {
    auto c = carrier();
    return c ? text(performSelector(c.get(), selector)) : std::string();
}

std::string advertisingIdentifier() {
    if (!ZVUtils::loadSysFramework("AdSupport.framework")) return "";
    ObjCClass* cls = NSClassFromString("ASIdentifierManager");
    auto manager = cls ? cls->createInstance() : nullptr;
    if (!manager) return "";
    auto id = performSelector(manager.get(), "advertisingIdentifier");
    auto uuid = id ? id->objectAs<NSUUID>() : nullptr;
    return uuid ? uuid->UUIDString() : std::string();
}

bool exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

namespace zv_testing {
void setJailbreakProbeRoot(const std::string& root) {
    std::lock_guard lock(jailbreakMutex);
    jailbreakRoot = root;
    jailbreakFlag = -1;
}
void resetIdentifierCaches() {
    std::lock_guard lock(cacheMutex);
    cachedUDID.clear(), cachedIdfa.clear(), cachedZvfa.clear();
}
}  // namespace zv_testing

std::string ZVUtils::appkey() {
    const Value v = ZVConfigureCache::objectWithKey("appkey");
    return v.isString() ? std::string(v.asString()) : std::string();
}

uint64_t ZVUtils::UTCIntervalMS() {
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count());
}

double ZVUtils::durationNowWith1970TimeInterval(double seconds) {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count() - seconds;
}

std::string ZVUtils::osVersionString() {
    const auto v = NSProcessInfo::processInfo()->operatingSystemVersion();
    std::string s = std::to_string(v.majorVersion) + "." + std::to_string(v.minorVersion);
    if (v.patchVersion) s += "." + std::to_string(v.patchVersion);
    return s;
}

std::string ZVUtils::deviceModelString() {
    char buf[256] = {};
    std::size_t len = sizeof buf - 1;
    if (sysctlbyname("hw.machine", buf, &len, nullptr, 0) != 0) return "";
    return std::string(buf, strnlen(buf, len));
}

std::string ZVUtils::resolutionString() {
    auto screen = UIScreen::mainScreen();
    if (!screen) return "";
    const double scale = screen->scale();
    const CGSize size = screen->bounds().size;
    const double k = scale > 0 ? scale : 1;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d*%d", static_cast<int>(size.height * k), static_cast<int>(size.width * k));
    return buf;
}

bool ZVUtils::isPad() {
    return UIDevice::currentDevice()->userInterfaceIdiom() == UIUserInterfaceIdiomPad;
}

std::string ZVUtils::countryString() { return NSLocale::currentLocale()->countryCode().value_or(""); }

std::string ZVUtils::languageString() {
    const auto languages = NSLocale::preferredLanguages();
    return languages.empty() ? std::string() : languages.front();
}

int32_t ZVUtils::timezone() { return static_cast<int32_t>(NSTimeZone::systemTimeZone()->secondsFromGMT() / 3600); }

std::string ZVUtils::timezoneString() { return std::to_string(timezone()); }

std::string ZVUtils::dateString() {
    const std::time_t now = std::time(nullptr);
    const std::time_t local = now + NSTimeZone::defaultTimeZone()->secondsFromGMT();
    std::tm tm{};
    gmtime_r(&local, &tm);
    char buf[16];
    std::strftime(buf, sizeof buf, "%Y-%m-%d", &tm);
    return buf;
}

Value ZVUtils::batteryInfo() {
    auto device = UIDevice::currentDevice();
    const bool wasOn = device->isBatteryMonitoringEnabled();
    if (!wasOn) device->setBatteryMonitoringEnabled(true);
    const double level = device->batteryLevel();
    const int64_t state = device->batteryState();
    if (!wasOn) device->setBatteryMonitoringEnabled(false);
    const int32_t st = state == 1 ? 0 : state == 2 ? 1 : state == 3 ? 2 : -1;
    // The level is a float: 0.57f is 0.5699..., so round away the float's noise before the
    // percentage is truncated.
    const auto percent = static_cast<int32_t>(std::round(level * 10000.0) / 100.0);
    return Value::dict({{"le", percent}, {"st", st}, {"ts", UTCIntervalMS()}});
}

bool ZVUtils::isDeviceJailBreak() {
    if (!ZVConfigManager::isValidField("header_is_jailbroken")) return false;
    std::lock_guard lock(jailbreakMutex);
    if (jailbreakFlag < 0) {
        const std::string& root = jailbreakRoot;
        bool found = exists(root + "/Applications/Cydia.app") || exists(root + "/private/var/lib/apt/") ||
                     (root.empty() ? exists("Applications/Cydia.app") : false);
        if (!found) {
            const std::string probe = root + "/private/zvTest_Jailbreak.txt";
            const std::string body = "ZVJailbreak test string";
            found = NSDataFile::writeStringToFile(body, probe, true);
            if (found) ::unlink(probe.c_str());
        }
        jailbreakFlag = found ? 1 : 0;
    }
    return jailbreakFlag == 1;
}

int32_t ZVUtils::accessStatus() {
    const std::string machine = deviceModelString();
    const std::string model = UIDevice::currentDevice()->model();
    if (model == "iPhone Simulator" || machine == "x86_64" || machine == "i386") return 1;
    bool wifi = false, cellular = false;
    for (const auto& i : networkInterfaceList()) {
        if (i.loopback || !(i.ipv4 || i.ipv6)) continue;
        wifi = wifi || i.name == "en0";
        cellular = cellular || i.name == "pdp_ip0";
    }
    return wifi ? 1 : cellular ? 2 : 0;
}

std::string ZVUtils::accessString() {
    switch (accessStatus()) {
        case 1: return "WiFi";
        case 2: return "CellNetwork";
        default: return "";
    }
}

std::shared_ptr<NSObject> ZVUtils::CTTelephonyNetworkInfoObject() {
    std::lock_guard lock(cacheMutex);
    if (!telephony && loadSysFramework("CoreTelephony.framework")) {
        if (ObjCClass* cls = NSClassFromString("CTTelephonyNetworkInfo")) telephony = cls->createInstance();
    }
    return telephony;
}

std::string ZVUtils::accessSubType() {
    auto info = CTTelephonyNetworkInfoObject();
    if (!info) return "unknown";
    auto tech = performSelector(info.get(), "currentRadioAccessTechnology");
    if (!tech || !tech->isString()) return "unknown";
    std::string s(tech->asString());
    const std::string prefix = "CTRadioAccessTechnology";
    return s.rfind(prefix, 0) == 0 ? s.substr(prefix.size()) : s;
}

std::string ZVUtils::carrierString() { return carrierFact("carrierName"); }
std::string ZVUtils::mncString() { return carrierFact("mobileNetworkCode"); }
std::string ZVUtils::mccString() { return carrierFact("mobileCountryCode"); }

std::string ZVUtils::sharedUDIDString() {
    std::lock_guard lock(cacheMutex);
    if (!cachedUDID.empty()) return cachedUDID;
    const bool keychainFlag = ZVConfigureCache::keyChainLoad("kZVIdKeyChainKey", "isKC") == std::optional<std::string>("YES");
    std::string fromKeychain;
    if (keychainFlag) {
        fromKeychain = ZVConfigureCache::keyChainLoad("kSharedUDIDKC", "oid").value_or("");
        if (!fromKeychain.empty()) return cachedUDID = fromKeychain;
    }
    const Value stored = ZVConfigureCache::objectWithKey("zvOidStr");
    if (notEmptyString(stored)) {
        cachedUDID = std::string(stored.asString());
    } else {
        try {
            const std::string shared = ZVSharedUDID::value();
            if (!shared.empty()) {
                ZVConfigureCache::setObject(Value(shared), "zvOidStr");
                cachedUDID = shared;
            }
        } catch (const std::exception& e) {
            ZVLOG_COMMON(ZVLogFlagDebug, "Exception occurred: %@, %@", Value(e.what()), Value());
        }
    }
    if (keychainFlag && fromKeychain.empty() && !cachedUDID.empty())
        ZVConfigureCache::keyChainSave(cachedUDID, "kSharedUDIDKC", "oid");
    return cachedUDID;
}

std::string ZVUtils::idfv() {
    if (!ZVConfigManager::isValidField("header_idfv")) return "";
    auto uuid = UIDevice::currentDevice()->identifierForVendor();
    return uuid ? uuid->UUIDString() : std::string();
}

std::string ZVUtils::idfa() {
    if (!ZVConfigManager::isValidField("header_idfa")) return "";
    std::lock_guard lock(cacheMutex);
    if (cachedIdfa.empty()) cachedIdfa = advertisingIdentifier();
    return cachedIdfa;
}

std::string ZVUtils::zvfa() {
    if (!ZVConfigManager::isValidField("header_idfa")) return "";
    std::lock_guard lock(cacheMutex);
    if (cachedZvfa.empty()) cachedZvfa = advertisingIdentifier();
    return cachedZvfa;
}

std::string ZVUtils::zdid() {
    if (!ZVConfigManager::isValidField("header_zdid") || !NSClassFromString("ZDDevice")) return "";
    return text(performClassSelector("ZDDevice", "zdid"));
}

std::string ZVUtils::deviceToken() {
    const Value token = ZVConfigureCache::objectWithKey("kVAvevadaUserDefaultKeyForDeviceToken");
    if (!token.isData()) return "";
    const auto& bytes = token.asData();
    if (bytes.size() < 32) {
        ZVLOG_COMMON(ZVLogFlagError, "common_deviceToken_error1", Value(static_cast<uint64_t>(bytes.size())));
        return "";
    }
    return bytesToHexString(bytes.data(), 32);
}

std::string ZVUtils::appPackageNameString() { return infoString("CFBundleIdentifier"); }
std::string ZVUtils::appDisplayNameString() { return infoString("CFBundleDisplayName"); }
std::string ZVUtils::realAppDisplayNameString() {
    for (const char* key : {"CFBundleDisplayName", "CFBundleName", "CFBundleExecutable"}) {
        std::string s = infoString(key);
        if (!s.empty()) return s;
    }
    return "";
}
std::string ZVUtils::appBundleVersionString() { return infoString("CFBundleVersion"); }
std::string ZVUtils::appShortVersionString() { return infoString("CFBundleShortVersionString"); }

std::string ZVUtils::processName() {
    static const std::string name = NSProcessInfo::processInfo()->processName();
    return name;
}
