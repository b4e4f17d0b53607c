#pragma once
// Where crash and out-of-memory uploads go and how their payload key is made: main-bundle
// Info keys "ZUDCrashUploadBaseURL", "ZUDCrashUploadIntlBaseURL" (scheme included) and
// "ZUDUploadKeyPrefix" (8 ASCII characters), with built-in defaults that fail at once
// (".invalid" hosts). Read on every call; any thread.

#include <string>

#include <platform_net/NSURL.h>

struct ZUDCrashUploadSettings {
    // The collection host's base URL, domestic or international.
    static std::string baseURL(bool intl);
    // The base joined with "/upload".
    static NSURLPtr uploadURL(bool intl);
    static std::string keyPrefix();
    // 16 ASCII characters: the first 16 lowercase hex digits of MD5(prefix + app name + app
    // version), used as an AES-128 key.
    static std::string cipherKey(const std::string& appName, const std::string& appVersion);
};
