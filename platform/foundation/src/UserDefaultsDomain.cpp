#include "UserDefaultsDomain.h"

#include <cstdio>
#include <filesystem>
#include <sys/stat.h>

#include <platform_dispatch/DispatchQueue.h>
#include <platform_dispatch/DispatchTime.h>
#include <platform_foundation/FileLock.h>
#include <platform_foundation/NSDataFile.h>
#include <platform_foundation/NSFileErrors.h>
#include <platform_foundation/NSPropertyListSerialization.h>

namespace {

// Pending changes are written this long after the first of them.
constexpr int64_t kFlushDelayNs = 1000 * 1000 * 1000;

}  // namespace

UserDefaultsDomain::UserDefaultsDomain(std::string path) : path_(std::move(path)) {}

UserDefaultsDomain::Stamp UserDefaultsDomain::statFile() const {
    struct stat st {};
    Stamp s;
    if (::stat(path_.c_str(), &st) != 0) return s;
    s.exists = true;
    s.inode = st.st_ino;
    s.size = st.st_size;
    s.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return s;
}

Value::Dictionary UserDefaultsDomain::readFileLocked() {
    stamp_ = statFile();
    if (!stamp_.exists) return {};
    NSErrorPtr error;
    auto bytes = NSDataFile::dataWithContentsOfFile(path_, &error);
    if (!bytes) {
        lastError_ = error;
        std::fprintf(stderr, "NSUserDefaults: cannot read %s\n", path_.c_str());
        return {};
    }
    NSErrorPtr parseError;
    Value plist = NSPropertyListSerialization::propertyListWithData(*bytes, 0, nullptr, &parseError);
    if (plist.isDictionary()) return plist.asDictionary();

    // A file that is not a dictionary property list is kept aside for inspection and the
    // store starts empty, rather than failing every later read.
    std::string aside = path_ + ".corrupt";
    std::error_code ec;
    std::filesystem::rename(path_, aside, ec);
    std::fprintf(stderr, "NSUserDefaults: %s is not a readable property list; moved to %s\n", path_.c_str(),
                 aside.c_str());
    Value::Dictionary info{{Value(NSFilePathErrorKey), Value(path_)},
                           {Value(NSLocalizedDescriptionKey),
                            Value("The preferences file is corrupt and was moved to " + aside + ".")}};
    if (parseError) info[Value(NSUnderlyingErrorKey)] = Value(parseError);
    lastError_ = NSError::errorWithDomain(NSCocoaErrorDomain, NSFileReadCorruptFileError, info);
    stamp_ = statFile();
    return {};
}

void UserDefaultsDomain::loadIfNeededLocked() {
    if (loaded_) return;
    NSDataFile::removeStaleTemporaryFiles(path_);
    values_ = readFileLocked();
    loaded_ = true;
}

bool UserDefaultsDomain::writeLocked() {
    NSErrorPtr error;
    Value::Data data =
        NSPropertyListSerialization::dataWithPropertyList(Value(values_), NSPropertyListBinaryFormat_v1_0, 0, &error);
    if (error || data.empty()) {
        lastError_ = error;
        return false;
    }
    if (!NSDataFile::writeToFile(data, path_, NSDataWritingAtomic, &error)) {
        lastError_ = error;
        std::fprintf(stderr, "NSUserDefaults: cannot write %s\n", path_.c_str());
        return false;
    }
    stamp_ = statFile();
    dirty_.clear();
    return true;
}

void UserDefaultsDomain::scheduleFlushLocked() {
    if (flushScheduled_) return;
    flushScheduled_ = true;
    std::weak_ptr<UserDefaultsDomain> weak = weak_from_this();
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, kFlushDelayNs),
                   dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_LOW, 0), [weak] {
                       if (auto domain = weak.lock()) domain->flushIfDirty();
                   });
}

Value UserDefaultsDomain::object(const std::string& key) {
    std::lock_guard<std::mutex> lock(mutex_);
    loadIfNeededLocked();
    Value k(key);
    auto it = values_.find(k);
    if (it != values_.end()) return it->second;
    auto reg = registered_.find(k);
    return reg != registered_.end() ? reg->second : Value();
}

bool UserDefaultsDomain::set(const std::string& key, const Value& value) {
    std::lock_guard<std::mutex> lock(mutex_);
    loadIfNeededLocked();
    Value k(key);
    auto it = values_.find(k);
    bool changed;
    if (value.isNull()) {
        changed = it != values_.end();
        if (changed) values_.erase(it);
    } else {
        changed = it == values_.end() || !(it->second == value) || it->second.type() != value.type();
        values_[k] = value.copy();
    }
    dirty_.insert(key);
    scheduleFlushLocked();
    return changed;
}

void UserDefaultsDomain::registerDefaults(const Value::Dictionary& values) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [k, v] : values) registered_[k] = v;
}

Value::Dictionary UserDefaultsDomain::representation() {
    std::lock_guard<std::mutex> lock(mutex_);
    loadIfNeededLocked();
    Value::Dictionary out = registered_;
    for (const auto& [k, v] : values_) out[k] = v;
    return out;
}

bool UserDefaultsDomain::synchronize(bool* changedFromDisk) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (changedFromDisk) *changedFromDisk = false;
    // Other processes of an app group write the same file: reading, merging and writing happen
    // under one lock between them, so no process writes over values it has not read.
    FileLock fileLock(path_ + ".lock");
    if (!loaded_) {
        loadIfNeededLocked();
    } else if (!(statFile() == stamp_)) {
        // Someone else wrote the file: take theirs, then lay our pending changes over it (a
        // key this process set or removed since its last synchronise wins; others keep theirs).
        Value::Dictionary merged = readFileLocked();
        for (const std::string& key : dirty_) {
            Value k(key);
            auto mine = values_.find(k);
            if (mine != values_.end()) merged[k] = mine->second;
            else merged.erase(k);
        }
        if (changedFromDisk) *changedFromDisk = merged != values_;
        values_ = std::move(merged);
    }
    if (dirty_.empty()) return true;
    return writeLocked();
}

void UserDefaultsDomain::flushIfDirty() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        flushScheduled_ = false;
        if (dirty_.empty()) return;
    }
    synchronize();
}

NSErrorPtr UserDefaultsDomain::lastError() {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastError_;
}
