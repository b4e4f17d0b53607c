#include <platform_foundation/NSBundle.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include <platform_foundation/NSLocale.h>
#include <platform_foundation/NSPropertyListSerialization.h>


namespace fs = std::filesystem;

namespace {

struct Registry {
    std::mutex mutex;
    std::optional<std::string> testingPath;
    std::shared_ptr<NSBundle> main;
    std::map<std::string, std::shared_ptr<NSBundle>> byPath;
    std::map<std::string, std::shared_ptr<NSBundle>> byClass;
};

Registry& registry() {
    static Registry r;
    return r;
}

bool isDirectory(const fs::path& p) {
    std::error_code ec;
    return fs::is_directory(p, ec);
}

bool pathExists(const fs::path& p) {
    std::error_code ec;
    return fs::exists(p, ec);
}

std::string canonical(const std::string& path) {
    std::error_code ec;
    fs::path p = fs::weakly_canonical(fs::absolute(path, ec), ec);
    std::string s = ec ? path : p.string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

fs::path executableDirectory() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path(ec) : exe.parent_path();
}

std::string defaultMainBundlePath() {
    if (const char* env = std::getenv(NSBundle::kPathEnvironmentVariable); env && *env) return env;
    fs::path dir = executableDirectory();
    if (isDirectory(dir / "resources")) return (dir / "resources").string();
    for (fs::path p = dir; !p.empty(); p = p.parent_path()) {
        if (pathExists(p / "resources" / "Info.plist")) return (p / "resources").string();
        if (p == p.parent_path()) break;
    }
    return dir.string();
}

std::string normalizeLanguage(std::string s) {
    for (char& c : s) c = c == '_' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::optional<Value::Data> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return Value::Data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

std::shared_ptr<NSBundle> NSBundle::mainBundle() {
    Registry& r = registry();
    std::string path;
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        if (r.main) return r.main;
        path = r.testingPath ? *r.testingPath : defaultMainBundlePath();
    }
    auto bundle = bundleWithPath(path);
    if (!bundle) bundle = std::make_shared<NSBundle>(canonical(path));  // a folder that is not there yet
    std::lock_guard<std::mutex> lock(r.mutex);
    if (!r.main) r.main = bundle;
    return r.main;
}

void NSBundle::setMainBundlePathForTesting(std::optional<std::string> path) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.testingPath = std::move(path);
    r.main.reset();
    r.byPath.clear();
    r.byClass.clear();
}

std::shared_ptr<NSBundle> NSBundle::bundleWithPath(const std::string& path) {
    if (path.empty() || !isDirectory(path)) return nullptr;
    std::string key = canonical(path);
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto& slot = r.byPath[key];
    if (!slot) slot = std::make_shared<NSBundle>(key);
    return slot;
}

std::shared_ptr<NSBundle> NSBundle::bundleWithIdentifier(const std::string& identifier) {
    mainBundle();
    std::vector<std::shared_ptr<NSBundle>> bundles;
    {
        Registry& r = registry();
        std::lock_guard<std::mutex> lock(r.mutex);
        if (r.main) bundles.push_back(r.main);
        for (auto& [path, bundle] : r.byPath) bundles.push_back(bundle);
    }
    for (auto& b : bundles)
        if (b->bundleIdentifier() == identifier) return b;
    return nullptr;
}

std::shared_ptr<NSBundle> NSBundle::bundleForClass(const std::string& className) {
    {
        Registry& r = registry();
        std::lock_guard<std::mutex> lock(r.mutex);
        auto it = r.byClass.find(className);
        if (it != r.byClass.end()) return it->second;
    }
    return mainBundle();
}

void NSBundle::registerBundleForClass(const std::string& className, std::shared_ptr<NSBundle> bundle) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (bundle) r.byClass[className] = std::move(bundle);
    else r.byClass.erase(className);
}

std::vector<std::string> NSBundle::preferredLocalizationsFromArray(const std::vector<std::string>& available,
                                                                   const std::vector<std::string>& preferences,
                                                                   const std::string& developmentLocalization) {
    if (available.empty()) return {};
    for (const std::string& preference : preferences) {
        std::string wanted = normalizeLanguage(preference);
        bool fullPreference = true;
        while (!wanted.empty()) {
            for (const std::string& a : available)
                if (normalizeLanguage(a) == wanted) return {a};
            // "ru" may be served by "ru-RU"; only for the preference as given, so that a
            // dropped script never picks another script ("zh-Hant-HK" never gets "zh-Hans").
            if (fullPreference) {
                for (const std::string& a : available)
                    if (normalizeLanguage(a).rfind(wanted + "-", 0) == 0) return {a};
            }
            std::size_t dash = wanted.rfind('-');
            if (dash == std::string::npos) break;
            wanted.resize(dash);
            fullPreference = false;
        }
    }
    for (const std::string& a : available)
        if (normalizeLanguage(a) == normalizeLanguage(developmentLocalization)) return {a};
    return {available.front()};
}

NSBundle::NSBundle(std::string path) : path_(std::move(path)) {}

std::string NSBundle::description() const { return "NSBundle <" + path_ + ">"; }

std::optional<std::string> NSBundle::executablePath() const {
    const Value& name = infoDictionary().objectForKey("CFBundleExecutable");
    if (!name.isString() || name.asString().empty()) return std::nullopt;
    return (fs::path(path_) / name.asString()).string();
}

const Value& NSBundle::infoDictionary() const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!info_) {
        Value plist;
        if (auto bytes = readFile(fs::path(path_) / "Info.plist"))
            plist = NSPropertyListSerialization::propertyListWithData(*bytes);
        info_ = plist.isDictionary() ? plist : Value(Value::Dictionary{});
    }
    return *info_;
}

Value NSBundle::objectForInfoDictionaryKey(const std::string& key) const {
    for (const std::string& loc : preferredLocalizations()) {
        if (const auto* table = stringsTable((fs::path(path_) / (loc + ".lproj") / "InfoPlist.strings").string())) {
            auto it = table->find(key);
            if (it != table->end()) return Value(it->second);
        }
    }
    return infoDictionary().objectForKey(key);
}

std::optional<std::string> NSBundle::bundleIdentifier() const {
    const Value& id = infoDictionary().objectForKey("CFBundleIdentifier");
    if (!id.isString()) return std::nullopt;
    return id.asStdString();
}

std::optional<std::string> NSBundle::pathForResource(const std::string& name, const std::string& type) const {
    return pathForResource(name, type, std::string());
}

std::optional<std::string> NSBundle::pathForResource(const std::string& name, const std::string& type,
                                                     const std::string& directory) const {
    return pathForResource(name, type, directory, std::string());
}

std::optional<std::string> NSBundle::pathForResource(const std::string& name, const std::string& type,
                                                     const std::string& directory,
                                                     const std::string& localization) const {
    if (name.empty()) return std::nullopt;
    std::string ext = !type.empty() && type.front() == '.' ? type.substr(1) : type;
    std::string file = ext.empty() ? name : name + "." + ext;
    fs::path base = directory.empty() || directory == "." ? fs::path(path_) : fs::path(path_) / directory;
    if (localization.empty() && pathExists(base / file)) return (base / file).string();
    std::vector<std::string> locs;
    if (!localization.empty()) {
        locs.push_back(localization);
    } else {
        locs = preferredLocalizations();
        locs.push_back(developmentLocalization());
    }
    for (const std::string& loc : locs) {
        fs::path candidate = base / (loc + ".lproj") / file;
        if (pathExists(candidate)) return candidate.string();
    }
    return std::nullopt;
}

std::vector<std::string> NSBundle::pathsForResourcesOfType(const std::string& type, const std::string& directory) const {
    std::string ext = !type.empty() && type.front() == '.' ? type.substr(1) : type;
    fs::path base = directory.empty() || directory == "." ? fs::path(path_) : fs::path(path_) / directory;
    std::vector<std::string> paths;
    std::error_code ec;
    for (fs::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
        fs::path p = it->path();
        if (ext.empty() || p.extension() == "." + ext) paths.push_back(p.string());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::vector<std::string> NSBundle::localizations() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(path_, ec), end; !ec && it != end; it.increment(ec)) {
        fs::path p = it->path();
        if (p.extension() == ".lproj" && isDirectory(p) && p.stem() != "Base") names.push_back(p.stem().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string NSBundle::developmentLocalization() const {
    const Value& region = infoDictionary().objectForKey("CFBundleDevelopmentRegion");
    return region.isString() && !region.asString().empty() ? region.asStdString() : "en";
}

std::vector<std::string> NSBundle::preferredLocalizations() const {
    return preferredLocalizationsFromArray(localizations(), NSLocale::preferredLanguages(), developmentLocalization());
}

std::string NSBundle::localizedStringForKey(const std::string& key, const std::string& value,
                                            const std::string& table) const {
    const std::string file = (table.empty() ? std::string("Localizable") : table) + ".strings";
    std::vector<fs::path> candidates;
    for (const std::string& loc : preferredLocalizations()) candidates.push_back(fs::path(path_) / (loc + ".lproj") / file);
    candidates.push_back(fs::path(path_) / (developmentLocalization() + ".lproj") / file);
    candidates.push_back(fs::path(path_) / file);
    for (const fs::path& candidate : candidates) {
        if (const auto* strings = stringsTable(candidate.string())) {
            auto it = strings->find(key);
            if (it != strings->end()) return it->second;
        }
    }
    return value.empty() ? key : value;
}

const StringsFile::Table* NSBundle::stringsTable(const std::string& path) const {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = tables_.find(path);
        if (it != tables_.end()) return it->second ? &*it->second : nullptr;
    }
    std::optional<StringsFile::Table> table;
    if (pathExists(path)) table = StringsFile::tableWithContentsOfFile(path);
    std::lock_guard<std::mutex> lock(mutex_);
    auto [it, inserted] = tables_.emplace(path, std::move(table));
    return it->second ? &*it->second : nullptr;
}
