#pragma once
// A folder of resources (the app's main bundle, or a named bundle inside it): Info.plist keys,
// resource paths by name and type, .lproj localisations and localized strings tables.

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <platform_foundation/StringsFile.h>
#include <platform_runtime/NSObject.h>
#include <platform_runtime/Value.h>

class NSBundle : public NSObject {
public:
    static constexpr const char* kPathEnvironmentVariable = "APP_BUNDLE_PATH";

    // The app's bundle. Its folder is, in order: the path set for testing, $APP_BUNDLE_PATH,
    // a "resources" folder beside the executable, the nearest "resources" folder holding an
    // Info.plist above the executable (the source tree's when run from a build folder), or
    // the executable's folder.
    static std::shared_ptr<NSBundle> mainBundle();
    // Replaces the main bundle's folder (nullopt: back to the rules above) and forgets the
    // bundles made so far.
    static void setMainBundlePathForTesting(std::optional<std::string> path);

    // The bundle of an existing folder (one instance per folder); nullptr otherwise.
    static std::shared_ptr<NSBundle> bundleWithPath(const std::string& path);
    // Among the bundles made so far (the main bundle included); nullptr when none has it.
    static std::shared_ptr<NSBundle> bundleWithIdentifier(const std::string& identifier);
    // The bundle holding a class's resources: the main bundle unless one was registered.
    static std::shared_ptr<NSBundle> bundleForClass(const std::string& className);
    static void registerBundleForClass(const std::string& className, std::shared_ptr<NSBundle> bundle);

    // The localisations of `available` that best serve `preferences` (language identifiers
    // such as "zh-Hant-HK"): the first preference that matches, exactly or by dropping its
    // trailing parts ("zh-Hant-HK" -> "zh-Hant" -> "zh"), or a localisation of the same
    // language and script; "_" and "-" are alike and case does not matter. Without a match,
    // the development localisation when available, else the first available one.
    static std::vector<std::string> preferredLocalizationsFromArray(const std::vector<std::string>& available,
                                                                    const std::vector<std::string>& preferences,
                                                                    const std::string& developmentLocalization = "en");

    explicit NSBundle(std::string path);  // use bundleWithPath
    std::string className() const override { return "NSBundle"; }
    std::string description() const override;

    const std::string& bundlePath() const { return path_; }
    // Resources sit at the top of the folder.
    const std::string& resourcePath() const { return path_; }
    // The bundle path joined with CFBundleExecutable; nullopt without that key.
    std::optional<std::string> executablePath() const;

    // Info.plist (binary or XML) as a dictionary; an empty dictionary when absent or unreadable.
    const Value& infoDictionary() const;
    // The localized value (InfoPlist.strings of the preferred localisation) when there is one,
    // else the Info.plist value; Null when absent.
    Value objectForInfoDictionaryKey(const std::string& key) const;
    std::optional<std::string> bundleIdentifier() const;

    // "<dir>/<name>.<type>" in the bundle folder (or `directory` inside it), then in the
    // preferred localisation's .lproj folder; nullopt when there is no such file or folder. An
    // empty type takes the name as the whole file name.
    std::optional<std::string> pathForResource(const std::string& name, const std::string& type) const;
    std::optional<std::string> pathForResource(const std::string& name, const std::string& type,
                                               const std::string& directory) const;
    std::optional<std::string> pathForResource(const std::string& name, const std::string& type,
                                               const std::string& directory, const std::string& localization) const;
    // Every file of the type in the folder (or `directory`; "." is the folder itself), sorted.
    std::vector<std::string> pathsForResourcesOfType(const std::string& type, const std::string& directory = {}) const;

    // Names of the .lproj folders (without "Base"), sorted.
    std::vector<std::string> localizations() const;
    // CFBundleDevelopmentRegion, else "en".
    std::string developmentLocalization() const;
    // The localisations chosen for the user's preferred languages (NSLocale).
    std::vector<std::string> preferredLocalizations() const;

    // The value of `key` in the strings table `table` ("Localizable" when empty) of the
    // preferred localisation, else of the development localisation, else of the bundle's top
    // folder. A missing key gives `value` when it is non-empty, else the key itself.
    std::string localizedStringForKey(const std::string& key, const std::string& value,
                                      const std::string& table = {}) const;

private:
    const StringsFile::Table* stringsTable(const std::string& path) const;

    std::string path_;
    mutable std::mutex mutex_;
    mutable std::optional<Value> info_;
    mutable std::map<std::string, std::optional<StringsFile::Table>> tables_;
};

using NSBundlePtr = std::shared_ptr<NSBundle>;
