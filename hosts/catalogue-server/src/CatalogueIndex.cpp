#include <catalogue_server/CatalogueIndex.h>

#include <platform_foundation/NSJSONSerialization.h>
#include <platform_runtime/NSError.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

bool endsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The service path a catalogue file stands for; empty when it stands for none.
std::string servicePath(const std::string& relative) {
    if (relative == "jailbreaks.json") return "/jailbreaks.json";
    if (relative == "api/ios/v4/releases.json") return "/api/ios/v4/releases";
    for (const char* folder : {"api/ios/v4/device/", "api/ios/v3/device/"}) {
        std::string prefix = folder;
        if (relative.rfind(prefix, 0) != 0 || !endsWith(relative, ".json")) continue;
        std::string id = relative.substr(prefix.size(), relative.size() - prefix.size() - 5);
        if (id.empty() || id.find('/') != std::string::npos) return {};
        return "/" + relative.substr(0, relative.size() - 5);
    }
    return {};
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::unique_ptr<CatalogueIndex> CatalogueIndex::load(const std::string& root, std::string* error) {
    auto fail = [&](std::string message) {
        if (error) *error = std::move(message);
        return nullptr;
    };
    std::error_code ec;
    if (!fs::is_directory(root, ec)) return fail("catalogue folder not found: " + root);
    auto index = std::make_unique<CatalogueIndex>();
    fs::recursive_directory_iterator it(root, fs::directory_options::follow_directory_symlink, ec), end;
    if (ec) return fail("cannot read " + root + ": " + ec.message());
    for (; it != end; it.increment(ec)) {
        if (ec) return fail("cannot read " + root + ": " + ec.message());
        if (!it->is_regular_file(ec)) continue;
        std::string relative = fs::relative(it->path(), root, ec).generic_string();
        std::string path = servicePath(relative);
        if (path.empty()) continue;
        std::ifstream in(it->path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        if (!in.good() && !in.eof()) return fail(it->path().string() + ": cannot be read");
        std::string body = bytes.str();
        NSErrorPtr jsonError;
        Value json = NSJSONSerialization::JSONObjectWithData(std::string_view(body), 0, &jsonError);
        if (jsonError || !(json.isDictionary() || json.isArray()))
            return fail(it->path().string() + ": not a JSON document" +
                        (jsonError ? " (" + jsonError->localizedDescription() + ")" : std::string()));
        index->documents_[path] = std::move(body);
    }
    if (index->documents_.empty()) return fail("no catalogue documents in " + root);
    return index;
}

const std::string* CatalogueIndex::documentForPath(const std::string& path) const {
    auto found = documents_.find(path);
    return found == documents_.end() ? nullptr : &found->second;
}

const std::string* CatalogueIndex::documentForTarget(const std::string& target) const {
    std::string raw = target.substr(0, target.find_first_of("?#"));
    std::string path;
    path.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '%') {
            path += raw[i];
            continue;
        }
        if (i + 2 >= raw.size()) return nullptr;
        int hi = hexDigit(raw[i + 1]), lo = hexDigit(raw[i + 2]);
        if (hi < 0 || lo < 0) return nullptr;
        char c = static_cast<char>(hi * 16 + lo);
        // An encoded separator or NUL would let one segment pose as several.
        if (c == '/' || c == '\\' || c == '\0') return nullptr;
        path += c;
        i += 2;
    }
    return documentForPath(path);
}
