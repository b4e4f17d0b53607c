#include <networking/NKRequestSerializationCore.h>

#include <memory>

#include <platform_foundation/NSBundle.h>
#include <platform_foundation/NSProcessInfo.h>
#include <platform_foundation/NSStringFormat.h>
#include <platform_net/StringTransform.h>

#include "NKDeviceFacts.h"

namespace {

bool isASCII(const std::string& text) {
    for (unsigned char c : text) {
        if (c > 0x7f) return false;
    }
    return true;
}

std::string infoText(const NSBundle& bundle, const char* key, const char* fallbackKey) {
    Value v = bundle.objectForInfoDictionaryKey(key);
    if (v.isNull()) v = bundle.objectForInfoDictionaryKey(fallbackKey);
    return v.isNull() ? std::string() : v.stringValue();
}

}  // namespace

std::optional<std::string> NKTransliterateToASCII(const std::string& text) {
    return NSStringApplyTransform(text, "Any-Latin; Latin-ASCII; [:^ASCII:] Remove");
}

std::optional<std::string> NKUserAgentHeader() {
    auto bundle = NSBundle::mainBundle();
    std::string executable = bundle ? infoText(*bundle, "CFBundleExecutable", "CFBundleIdentifier") : std::string();
    if (executable.empty()) executable = NSProcessInfo::processInfo()->processName();
    const std::string version =
        bundle ? infoText(*bundle, "CFBundleShortVersionString", "CFBundleVersion") : std::string();
    const auto os = NSProcessInfo::processInfo()->operatingSystemVersion();
    std::string osText = std::to_string(os.majorVersion) + "." + std::to_string(os.minorVersion);
    if (os.patchVersion) osText += "." + std::to_string(os.patchVersion);

    std::string userAgent = NSStringWithFormat("%@/%@ (%@; iOS %@; Scale/%0.2f)", executable, version,
                                               NKDeviceModelName(), osText, NKMainScreenScale());
    if (!isASCII(userAgent)) {
        if (auto ascii = NKTransliterateToASCII(userAgent)) userAgent = *ascii;
    }
    return userAgent;
}
