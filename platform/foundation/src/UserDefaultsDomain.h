#pragma once
// Private: the contents of one defaults file, shared by every NSUserDefaults instance of it,
// with its pending changes and the registered defaults.

#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <sys/types.h>

#include <platform_runtime/NSError.h>
#include <platform_runtime/Value.h>

class UserDefaultsDomain : public std::enable_shared_from_this<UserDefaultsDomain> {
public:
    explicit UserDefaultsDomain(std::string path);

    const std::string& path() const { return path_; }

    Value object(const std::string& key);
    // Returns whether anything changed. Null removes.
    bool set(const std::string& key, const Value& value);
    void registerDefaults(const Value::Dictionary& values);
    Value::Dictionary representation();

    // Merges changes on disk, writes pending ones. `changedFromDisk` tells whether another
    // writer's values changed what this domain answers.
    bool synchronize(bool* changedFromDisk = nullptr);
    // Writes pending changes only (the debounce and exit paths).
    void flushIfDirty();
    NSErrorPtr lastError();

private:
    struct Stamp {
        bool exists = false;
        ino_t inode = 0;
        off_t size = 0;
        int64_t mtimeNs = 0;
        bool operator==(const Stamp&) const = default;
    };
    Stamp statFile() const;
    // Reads the file (setting a corrupt one aside). Caller holds the mutex.
    Value::Dictionary readFileLocked();
    bool writeLocked();
    void loadIfNeededLocked();
    void scheduleFlushLocked();

    const std::string path_;
    std::mutex mutex_;
    bool loaded_ = false;
    bool flushScheduled_ = false;
    Stamp stamp_;
    Value::Dictionary values_;
    Value::Dictionary registered_;
    std::set<std::string> dirty_;
    NSErrorPtr lastError_;
};
