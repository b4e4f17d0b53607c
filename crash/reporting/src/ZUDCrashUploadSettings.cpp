#include <crash_reporting/ZUDCrashUploadSettings.h>

#include <crash_reporting/ZUDEncrypt.h>
#include <platform_foundation/NSBundle.h>

namespace {

std::string infoString(const char* key, const char* fallback) {
    Value value = NSBundle::mainBundle()->objectForInfoDictionaryKey(key);
    if (value.isString() && !value.asString().empty()) return value.asStdString();
    return fallback;
}

}  // namespace

std::string ZUDCrashUploadSettings::baseURL(bool intl) {
    return intl ? infoString("ZUDCrashUploadIntlBaseURL", "https://crash-intl.zavez.invalid")
                : infoString("ZUDCrashUploadBaseURL", "https://crash.zavez.invalid");
}

NSURLPtr ZUDCrashUploadSettings::uploadURL(bool intl) {
    std::string base = baseURL(intl);
    while (!base.empty() && base.back() == '/') base.pop_back();
    return NSURL::URLWithString(base + "/upload");
}

std::string ZUDCrashUploadSettings::keyPrefix() { return infoString("ZUDUploadKeyPrefix", "zpkCr4sh"); }

std::string ZUDCrashUploadSettings::cipherKey(const std::string& appName, const std::string& appVersion) {
    return ZUDEncrypt::generateMD5ByString(keyPrefix() + appName + appVersion).substr(0, 16);
}
