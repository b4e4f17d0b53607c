#include <analytics_common/ZVFileUtility.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <analytics_common/ZVUtils.h>
#include <platform_foundation/NSFileManager.h>
#include <platform_foundation/NSPathUtilities.h>
#include <platform_foundation/Sandbox.h>

namespace {

constexpr const char* kTempMarker = ".zvtmp-";

std::string join(const std::string& dir, const std::string& name) {
    return (!dir.empty() && dir.back() == '/') ? dir + name : dir + "/" + name;
}

bool endsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void removeStaleTemporaries(const std::string& dir, int depth) {
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        const std::string path = join(dir, name);
        if (name.rfind(kTempMarker, 0) == 0) {
            ::unlink(path.c_str());
        } else if (depth > 0 && e->d_type == DT_DIR) {
            removeStaleTemporaries(path, depth - 1);
        }
    }
    ::closedir(d);
}

bool writeAll(int fd, const uint8_t* p, std::size_t n) {
    while (n) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w, n -= static_cast<std::size_t>(w);
    }
    return true;
}

bool renameNoReplace(const std::string& from, const std::string& to) {
#ifdef SYS_renameat2
    if (::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno == EEXIST) return false;
#endif
    // File systems without the flag: a hard link never replaces either.
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    return true;
}

int64_t birthSeconds(const std::string& path) {
    struct statx sx;
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &sx) == 0) {
        if (sx.stx_mask & STATX_BTIME) return sx.stx_btime.tv_sec;
        return sx.stx_mtime.tv_sec;
    }
    return 0;
}

}  // namespace

bool ZVFileUtility::isExistAtPath(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

bool ZVFileUtility::makeAbsDir(const std::string& path) { return ::mkdir(path.c_str(), 0755) == 0; }

bool ZVFileUtility::saveData(const Value::Data* data, const std::string& path) {
    if (!data || isExistAtPath(path)) return false;
    static std::atomic<uint64_t> counter{0};
    const std::string dir = stringByDeletingLastPathComponent(path);
    const std::string temp = join(dir, std::string(kTempMarker) + std::to_string(::getpid()) + "-" +
                                           std::to_string(counter.fetch_add(1)));
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = writeAll(fd, data->data(), data->size()) && ::fsync(fd) == 0;
    ::close(fd);
    ok = ok && renameNoReplace(temp, path);
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

bool ZVFileUtility::removeFile(const std::string& path) {
    if (!isExistAtPath(path)) return false;
    return NSFileManager::defaultManager()->removeItemAtPath(path);
}

std::string ZVFileUtility::cacheParentDir() { return stringByDeletingLastPathComponent(NSSandbox::cachesDirectory()); }

std::string ZVFileUtility::zavezDirectory() {
    static const std::string root = [] {
        const std::string dir = join(cacheParentDir(), ".zavez");
        NSFileManager::defaultManager()->createDirectoryAtPath(dir, true);
        removeStaleTemporaries(dir, 2);
        return dir;
    }();
    return root;
}

std::string ZVFileUtility::uaDBFilePath() { return join(zavezDirectory(), "ua.db"); }
std::string ZVFileUtility::ucDBFilePath() { return join(zavezDirectory(), "uc.db"); }

std::string ZVFileUtility::zavezStatelessDirectory() {
    static const std::string dir = [] {
        const std::string d = join(zavezDirectory(), "stateless");
        NSFileManager::defaultManager()->createDirectoryAtPath(d, true);
        return d;
    }();
    return dir;
}

std::string ZVFileUtility::zvStatelessDirectory() {
    static const std::string dir = [] {
        const std::string d = join(zavezDirectory(), "zvstateless");
        NSFileManager::defaultManager()->createDirectoryAtPath(d, true);
        return d;
    }();
    return dir;
}

std::string ZVFileUtility::statelessDirWithEncodeURL(const std::string& encodedURL) {
    const std::string dir = join(zavezStatelessDirectory(), encodedURL);
    if (!isExistAtPath(dir)) NSFileManager::defaultManager()->createDirectoryAtPath(dir, true);
    return dir;
}

Value ZVFileUtility::itemsInAbsDir(const std::string& dir) { return itemsInDir(dir, ""); }

Value ZVFileUtility::itemsInDir(const std::string& dir, const std::string& validSuffix) {
    Value out = Value::mutableArray();
    if (dir.empty()) return out;
    DIR* d = ::opendir(dir.c_str());
    if (!d) return out;
    std::vector<std::string> names;
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name.empty() || name[0] == '.') continue;
        if (!validSuffix.empty() && !endsWith(name, validSuffix)) continue;
        names.push_back(name);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());  // a stable listing order
    std::string base = dir;
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    for (const auto& name : names) out.addObject(Value(base + "/" + name));
    return out;
}

void ZVFileUtility::sortFileWithCreatedTime(Value& paths) {
    if (!paths.isArray()) return;
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    std::vector<std::pair<int64_t, std::string>> keyed;
    for (const Value& p : paths.asArray()) {
        const std::string path(p.asString());
        keyed.emplace_back(now - birthSeconds(path), path);
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        if (a.first != b.first) return a.first > b.first;  // older first
        return lastPathComponent(a.second) < lastPathComponent(b.second);
    });
    Value sorted = Value::mutableArray();
    for (auto& [age, path] : keyed) sorted.addObject(Value(path));
    paths = std::move(sorted);
}

Value ZVFileUtility::envelopeFiles() { return itemsInDir(zavezDirectory(), kEnvelopeSuffix); }

Value ZVFileUtility::envelopeFilesWithSubFolder(const Value& subFolder) {
    if (!ZVUtils::notEmptyString(subFolder)) return Value::mutableArray();
    return itemsInDir(join(zavezDirectory(), std::string(subFolder.asString())), kEnvelopeSuffix);
}

std::string ZVFileUtility::generateEnvelopeNamePrefix(const std::string& prefix, const std::string& ts) {
    return join(zavezDirectory(), prefix + "_" + ts + kEnvelopeSuffix);
}

std::optional<std::string> ZVFileUtility::generateEnvelopeNamePrefixSubFolder(const std::string& prefix,
                                                                             const std::string& ts,
                                                                             const std::string& subFolder) {
    if (!ZVUtils::notEmptyString(Value(subFolder))) return std::nullopt;
    const std::string dir = join(zavezDirectory(), subFolder);
    bool isDir = false;
    if (!NSFileManager::defaultManager()->fileExistsAtPath(dir, &isDir) || !isDir)
        NSFileManager::defaultManager()->createDirectoryAtPath(dir, true);
    return join(dir, prefix + "_" + ts + kEnvelopeSuffix);
}

std::string ZVFileUtility::statelessNameFromPath(const std::string& pathURL) {
    std::string b64 = ZVUtils::encodeBase64(Value::Data(pathURL.begin(), pathURL.end()));
    std::replace(b64.begin(), b64.end(), '/', '-');
    return b64;
}

std::string ZVFileUtility::pathFromStatelessName(const std::string& name) {
    std::string b64 = name;
    std::replace(b64.begin(), b64.end(), '-', '/');
    const Value::Data bytes = ZVUtils::decodeBase64(b64);
    return std::string(bytes.begin(), bytes.end());
}

std::string ZVFileUtility::generateEnvelopeNamePrefixPathURL(const std::string& prefix, const std::string& ts,
                                                             const std::string& pathURL) {
    return join(zvStatelessDirectory(), statelessNameFromPath(pathURL) + "_" + prefix + "_" + ts + kEnvelopeSuffix);
}

Value ZVFileUtility::statelessEnvelopeFile() {
    Value result = Value::mutableArray();
    const Value direct = itemsInDir(zvStatelessDirectory() + "/", kEnvelopeSuffix);
    for (const Value& f : direct.asArray()) result.addObject(f);
    const Value folders = itemsInAbsDir(zavezStatelessDirectory());
    for (const Value& folder : folders.asArray()) {
        const std::string dir(folder.asString());
        const Value files = itemsInDir(dir, kEnvelopeSuffix);
        if (files.count() == 0) {
            if (isExistAtPath(dir)) NSFileManager::defaultManager()->removeItemAtPath(dir);
            continue;
        }
        for (const Value& f : files.asArray()) result.addObject(f);
    }
    return result;
}
