#include <analytics_common/ZVHelper.h>

#include <chrono>
#include <cstdio>

#include <analytics_common/ZVConfigureCache.h>
#include <analytics_common/ZVEnvelopeBuild.h>
#include <analytics_common/ZVFileUtility.h>
#include <analytics_common/ZVUtils.h>
#include <platform_foundation/NSLocale.h>
#include <platform_runtime/ObjCRuntime.h>
#include <platform_uikit/UIApplication.h>

namespace {
double nowSeconds() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

std::size_t utf8Characters(const std::string& s) {
    std::size_t n = 0;
    for (unsigned char c : s) n += (c & 0xC0) != 0x80;
    return n;
}

// The first `count` characters of UTF-8 text.
std::string prefixCharacters(const std::string& s, std::size_t count) {
    std::size_t seen = 0, i = 0;
    for (; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (seen == count) break;
            ++seen;
        }
    }
    return s.substr(0, i);
}
}  // namespace

ZVHelper::ZVHelper() : zvsema_(dispatch_semaphore_create(0)), zvsemasl_(dispatch_semaphore_create(0)) {}

std::shared_ptr<ZVHelper> ZVHelper::sharedInstance() {
    static const auto instance = std::make_shared<ZVHelper>();
    return instance;
}

Value ZVHelper::moduleTag() const {
    std::lock_guard lock(mutex_);
    return moduleTag_.copy();
}
void ZVHelper::setModuleTagValue(const std::string& key, const Value& value) {
    std::lock_guard lock(mutex_);
    moduleTag_.setObject(value, key);
}
void ZVHelper::removeModuleTag(const std::string& key) {
    std::lock_guard lock(mutex_);
    moduleTag_.removeObjectForKey(key);
}
Value ZVHelper::moduleVer() const {
    std::lock_guard lock(mutex_);
    return moduleVer_.copy();
}
void ZVHelper::setModuleVersion(const std::string& key, const std::string& version) {
    std::lock_guard lock(mutex_);
    moduleVer_.setObject(Value(version), key);
}

std::string ZVHelper::sdkVersionString() {
    return NSClassFromString("ZuzOzevoGameAnalytics") ? "7.3.5+G" : "7.3.5";
}

std::string ZVHelper::appVersionString() { return ZVUtils::appShortVersionString(); }

uint64_t ZVHelper::UTCTimeIntervalMS() { return ZVUtils::UTCIntervalMS(); }

std::string ZVHelper::zplusSuperFilePath() { return ZVFileUtility::zavezDirectory() + "/zplusSuper.plist"; }
std::string ZVHelper::zplusPreFilePath() { return ZVFileUtility::zavezDirectory() + "/zplusPre.plist"; }
std::string ZVHelper::zplusEventsPath() { return ZVFileUtility::zavezDirectory() + "/zplusEvents.plist"; }

bool ZVHelper::checkIsOverseas() {
    if (auto country = ZVEnvelopeBuild::imprintProperty("country")) return *country != "cn";
    return isOverSeas();
}

bool ZVHelper::isOverSeas() {
    const std::string mcc = ZVUtils::mccString();
    if (mcc.empty()) return NSLocale::currentLocale()->countryCode().value_or("") != "CN";
    return mcc != "460" && mcc != "461";
}

bool ZVHelper::defconPass() {
    const double t = elapsedTimeFromPost();
    if (!(t > 0)) return true;
    double required = 0;
    switch (ZVEnvelopeBuild::sharedInstance()->defcon()) {
        case 1: required = 14400; break;
        case 2: required = 28800; break;
        case 3: required = 86400; break;
        default: return true;
    }
    return t >= required;
}

double ZVHelper::elapsedTimeFromPost() {
    const Value last = ZVConfigureCache::objectWithKey("lastPostInterval");
    if (last.isNull()) return -1;
    return elapsedTimeFromLastPost(last);
}

double ZVHelper::elapsedTimeFromLastPost(const Value& time) {
    if (!time.isNumber()) return -1;
    return nowSeconds() - time.doubleValue();
}

int32_t ZVHelper::getAppState() {
    const int64_t s = UIApplication::sharedApplication()->applicationState();
    return (s >= 0 && s <= 2) ? static_cast<int32_t>(s + 1) : 0;
}

std::string ZVHelper::arrayToAgStr(const Value& array) {
    std::string out;
    bool first = true;
    for (const Value& v : array.asArray()) {
        const bool usable = v.isString() && !v.asString().empty();
        if (first) {
            if (usable) out += std::string(v.asString());
            first = false;
        } else if (usable) {
            out += "!" + std::string(v.asString());
        }
    }
    return out;
}

bool ZVHelper::checkU48Character(const std::string& text) {
    if (text.empty()) return false;
    for (unsigned char c : text)
        if (c < 48) return false;
    return true;
}

std::string ZVHelper::trimUTF8String(const std::string& text, int64_t limit) {
    if (text.empty() || limit < 1) return "";
    std::string s = text;
    while (static_cast<int64_t>(s.size()) > limit) {
        const std::size_t chars = utf8Characters(s);
        const int64_t keep = static_cast<int64_t>(chars) * limit / static_cast<int64_t>(s.size()) - 1;
        s = keep > 0 ? prefixCharacters(s, static_cast<std::size_t>(keep)) : std::string();
    }
    return s;
}

bool ZVHelper::isCheckVersion(const std::string& version) {
    const Value record = ZVConfigureCache::objectWithKey("zplusDevice");
    const Value& stored = record.objectForKey("app_version");
    return !(stored.isString() && stored.asString() == version);
}

Value ZVHelper::preVersions(const std::string& version) {
    const Value record = ZVConfigureCache::objectWithKey("zplusDevice");
    auto text = [&record](const char* key) {
        const Value& v = record.objectForKey(key);
        return v.isString() ? std::string(v.asString()) : std::string();
    };
    std::string previous = text("$pr_ve"), date = text("$ud_da");
    if (isCheckVersion(version)) {
        previous = text("app_version");
        if (previous.empty()) previous = "0";
        const Value updates = ZVConfigureCache::objectWithKey("zvaupdateVersion");
        const Value& known = updates.objectForKey(version);
        if (!known.isNull()) {
            date = known.stringValue();
        } else {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%f", nowSeconds());
            date = buf;
        }
    }
    ZVConfigureCache::setObject(Value::dict({{"$pr_ve", previous}, {"$ud_da", date}, {"app_version", version}}),
                                "zplusDevice");
    return Value::dict({{"$pr_ve", previous}, {"$ud_da", date}});
}
