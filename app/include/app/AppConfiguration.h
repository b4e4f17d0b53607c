#pragma once
// The app's one configuration point: where its two services live (set by the host through
// APP_CATALOGUE_BASE_URL and APP_JAILBREAK_BASE_URL; no live host is built in), the feedback
// address, the store identifier and the analytics key.
//
// Any thread; the environment is read at each call.

#include <string>

class AppConfiguration {
public:
    static constexpr const char* kCatalogueBaseURLVariable = "APP_CATALOGUE_BASE_URL";
    static constexpr const char* kJailbreakBaseURLVariable = "APP_JAILBREAK_BASE_URL";

    // The variable's value without a trailing "/", e.g. "https://127.0.0.1:8443". Unset or empty:
    // "https://", a URL without a host, so every request fails at once with NSURLErrorBadURL.
    static std::string catalogueBaseURL();
    static std::string jailbreakBaseURL();
    // The base URL followed by the path, which starts with "/".
    static std::string catalogueURL(const std::string& path);
    static std::string jailbreakURL(const std::string& path);

    // The address the feedback mail goes to.
    static constexpr const char* kFeedbackAddress = "feedback@firmware-browser.invalid";
    // The app's store identifier (a placeholder: the app is not in a store).
    static constexpr const char* kStoreIdentifier = "000000000";
    // The analytics application key and distribution channel.
    static constexpr const char* kAnalyticsAppKey = "7c41e9a0d25b83f61e0a94c7";
    static constexpr const char* kAnalyticsChannel = "App Store";
};
