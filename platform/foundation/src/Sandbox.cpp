#include <platform_foundation/Sandbox.h>

#include <platform_foundation/NSPathUtilities.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::mutex gMutex;
std::string gOverride;      // set by resetForTesting
std::string gPreparedRoot;  // the root whose standard folders exist

std::string processShortName() {
    std::string exe;
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) exe.assign(buf, static_cast<std::size_t>(n));
    std::string name = lastPathComponent(exe);
    return name.empty() ? std::string("app") : name;
}

std::string userDataDirectory() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') return xdg;
    std::string home;
    if (const char* h = std::getenv("HOME"); h && *h) {
        home = h;
    } else if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) {
        home = pw->pw_dir;
    } else {
        home = "/tmp";
    }
    return stringByAppendingPathComponent(home, ".local/share");
}

// mkdir -p; failures surface later when the folder is used.
void makeDirectories(const std::string& path) {
    std::string partial;
    for (const auto& c : pathComponents(path)) {
        partial = stringByAppendingPathComponent(partial, c);
        if (mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) return;
    }
}

std::string configuredRoot() {
    if (!gOverride.empty()) return gOverride;
    if (const char* env = std::getenv(NSSandbox::kRootEnvironmentVariable); env && *env) {
        if (*env == '/') return stringByAppendingPathComponent(env, "");
        char cwd[4096];
        if (getcwd(cwd, sizeof cwd)) return stringByAppendingPathComponent(cwd, env);
        return stringByAppendingPathComponent(env, "");
    }
    return stringByAppendingPathComponent(userDataDirectory(), processShortName());
}

std::string home(const std::string& root) { return stringByAppendingPathComponent(root, "Home"); }

std::string preparedRoot() {
    std::lock_guard lock(gMutex);
    std::string root = configuredRoot();
    if (root != gPreparedRoot) {
        const std::string h = home(root);
        for (const char* sub : {"Documents", "Library/Caches", "Library/Preferences", "tmp"})
            makeDirectories(stringByAppendingPathComponent(h, sub));
        makeDirectories(stringByAppendingPathComponent(root, "AppGroups"));
        makeDirectories(stringByAppendingPathComponent(root, "System"));
        gPreparedRoot = root;
    }
    return root;
}

std::string inHome(const char* sub) { return stringByAppendingPathComponent(home(preparedRoot()), sub); }

}  // namespace

std::string NSSandbox::rootPath() { return preparedRoot(); }

std::string NSSandbox::deviceRootPath() {
    std::string root;
    if (const char* env = std::getenv(kDeviceRootEnvironmentVariable); env && *env) {
        root = stringByAppendingPathComponent(env, "");
    } else {
        root = stringByAppendingPathComponent(userDataDirectory(), ".device");
    }
    struct stat st;
    if (stat(root.c_str(), &st) != 0) {
        makeDirectories(stringByDeletingLastPathComponent(root));
        mkdir(root.c_str(), 0700);
    }
    return root;
}
std::string NSSandbox::homeDirectory() { return home(preparedRoot()); }
std::string NSSandbox::documentsDirectory() { return inHome("Documents"); }
std::string NSSandbox::libraryDirectory() { return inHome("Library"); }
std::string NSSandbox::cachesDirectory() { return inHome("Library/Caches"); }
std::string NSSandbox::preferencesDirectory() { return inHome("Library/Preferences"); }
std::string NSSandbox::applicationSupportDirectory() { return inHome("Library/Application Support"); }
std::string NSSandbox::temporaryDirectory() { return inHome("tmp") + "/"; }
std::string NSSandbox::systemDirectory() { return stringByAppendingPathComponent(preparedRoot(), "System"); }

std::optional<std::string> NSSandbox::containerPathForApplicationGroupIdentifier(const std::string& groupIdentifier) {
    if (groupIdentifier.empty() || groupIdentifier == "." || groupIdentifier == ".." ||
        groupIdentifier.find('/') != std::string::npos || groupIdentifier.find('\0') != std::string::npos)
        return std::nullopt;
    std::string path = stringByAppendingPathComponent(
        stringByAppendingPathComponent(preparedRoot(), "AppGroups"), groupIdentifier);
    makeDirectories(path);
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
    return path;
}

void NSSandbox::resetForTesting(const std::string& root) {
    std::lock_guard lock(gMutex);
    gOverride = root.empty() ? std::string() : stringByAppendingPathComponent(root, "");
    gPreparedRoot.clear();
}

std::string NSHomeDirectory() { return NSSandbox::homeDirectory(); }
std::string NSTemporaryDirectory() { return NSSandbox::temporaryDirectory(); }

std::vector<std::string> NSSearchPathForDirectoriesInDomains(NSSearchPathDirectory directory,
                                                             uint64_t domainMask, bool expandTilde) {
    if (!(domainMask & NSUserDomainMask)) return {};
    const char* sub = nullptr;
    switch (directory) {
        case NSLibraryDirectory: sub = "Library"; break;
        case NSDocumentDirectory: sub = "Documents"; break;
        case NSCachesDirectory: sub = "Library/Caches"; break;
        case NSApplicationSupportDirectory: sub = "Library/Application Support"; break;
        default: return {};
    }
    if (!expandTilde) return {stringByAppendingPathComponent("~", sub)};
    return {inHome(sub)};
}
