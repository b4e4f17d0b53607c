#pragma once
// The app's sandbox: one root folder holding the home directory (Documents, Library, caches,
// preferences, tmp) and the app-group containers, plus the platform's directory look-ups.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Root layout:
//   <root>/Home/{Documents, Library/Caches, Library/Preferences, tmp}
//   <root>/AppGroups/<group identifier>/
//   <root>/System/   the device's own records about the app (fetches, notifications, outbox)
// The root is $APP_SANDBOX_ROOT when set, else <data dir>/<process name>, where the data dir
// is $XDG_DATA_HOME or ~/.local/share. The standard folders are created when the root is
// first used (and again whenever the root changes).
class NSSandbox {
public:
    static constexpr const char* kRootEnvironmentVariable = "APP_SANDBOX_ROOT";

    static std::string rootPath();
    // What outlives an app's sandbox and is shared by the apps of one machine (keychain,
    // vendor identifiers, named pasteboards): APP_DEVICE_ROOT, by default the user's data
    // directory + "/.device". Created (mode 0700) when missing; read anew on every call.
    static constexpr const char* kDeviceRootEnvironmentVariable = "APP_DEVICE_ROOT";
    static std::string deviceRootPath();
    static std::string homeDirectory();
    static std::string documentsDirectory();
    static std::string libraryDirectory();
    static std::string cachesDirectory();
    static std::string preferencesDirectory();
    // Library/Application Support; like the platform, not created until someone creates it.
    static std::string applicationSupportDirectory();
    // With a trailing slash, as NSTemporaryDirectory answers it.
    static std::string temporaryDirectory();
    // <root>/System: what the platform records about the app, beside Home and AppGroups.
    static std::string systemDirectory();

    // The container of an app group, created on demand; nothing for an empty identifier or
    // one that is not a single path component ("a/b", "..").
    static std::optional<std::string> containerPathForApplicationGroupIdentifier(const std::string& groupIdentifier);

    // Tests: a non-empty root overrides the environment; an empty one clears the override.
    // Either way the standard folders are created again on next use.
    static void resetForTesting(const std::string& root = {});
};

std::string NSHomeDirectory();
// The sandbox's tmp folder, ending in "/".
std::string NSTemporaryDirectory();

enum NSSearchPathDirectory : uint64_t {
    NSLibraryDirectory = 5,
    NSDocumentDirectory = 9,
    NSCachesDirectory = 13,
    NSApplicationSupportDirectory = 14,
};

enum NSSearchPathDomainMask : uint64_t {
    NSUserDomainMask = 1,
    NSLocalDomainMask = 2,
    NSNetworkDomainMask = 4,
    NSSystemDomainMask = 8,
    NSAllDomainsMask = 0x0ffff,
};

// The sandbox only has a user domain: one path when the mask includes it, else none. Without
// tilde expansion the path is answered relative to "~".
std::vector<std::string> NSSearchPathForDirectoriesInDomains(NSSearchPathDirectory directory,
                                                             uint64_t domainMask, bool expandTilde);
