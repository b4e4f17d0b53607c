#include <app/AppConfiguration.h>

#include <cstdlib>

namespace {

std::string baseURLFromEnvironment(const char* variable) {
    const char* value = std::getenv(variable);
    std::string base = value ? value : "";
    while (!base.empty() && base.back() == '/') base.pop_back();
    return base.empty() ? std::string("https://") : base;
}

}  // namespace

std::string AppConfiguration::catalogueBaseURL() { return baseURLFromEnvironment(kCatalogueBaseURLVariable); }
std::string AppConfiguration::jailbreakBaseURL() { return baseURLFromEnvironment(kJailbreakBaseURLVariable); }
std::string AppConfiguration::catalogueURL(const std::string& path) { return catalogueBaseURL() + path; }
std::string AppConfiguration::jailbreakURL(const std::string& path) { return jailbreakBaseURL() + path; }
