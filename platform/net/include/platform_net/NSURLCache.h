#pragma once
// Keeps responses of earlier requests in memory and on disk, within capacities, so a later
// request for the same URL can be answered without the network. Disk files are written
// behind the caller on a background queue (an entry is found at once all the same); the
// cache object writes what is still pending when it goes. Thread-safe.

#include <platform_net/NSCachedURLResponse.h>
#include <platform_net/NSURLRequest.h>

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

class NSURLCache;
class URLCacheDiskWriter;
using NSURLCachePtr = std::shared_ptr<NSURLCache>;

class NSURLCache : public NSObject {
public:
    // diskPath: a folder (relative paths go under the sandbox's caches folder); nothing or
    // a zero disk capacity keeps entries in memory only.
    NSURLCache(uint64_t memoryCapacity, uint64_t diskCapacity, std::optional<std::string> diskPath);
    static NSURLCachePtr create(uint64_t memoryCapacity, uint64_t diskCapacity, std::optional<std::string> diskPath);
    ~NSURLCache() override;

    // The process's cache (4 MB in memory, 20 MB on disk under the caches folder) unless set.
    static NSURLCachePtr sharedURLCache();
    static void setSharedURLCache(NSURLCachePtr cache);

    std::string className() const override { return "NSURLCache"; }

    // The entry for the request's URL (fragment ignored); nothing when there is none.
    NSCachedURLResponsePtr cachedResponseForRequest(const NSURLRequest& request);
    // Stores under the request's URL as the entry's storage policy allows; an entry larger
    // than a twentieth of a capacity is not kept there.
    void storeCachedResponse(const NSCachedURLResponsePtr& cachedResponse, const NSURLRequest& request);
    // Whether an entry whose body has `length` bytes, stored with `policy`, would be kept in
    // memory or on disk: a loader need not keep a body that the cache would refuse.
    bool keepsBodyOfLength(uint64_t length, NSURLCacheStoragePolicy policy) const;
    void removeCachedResponseForRequest(const NSURLRequest& request);
    void removeAllCachedResponses();

    uint64_t memoryCapacity() const;
    uint64_t diskCapacity() const;
    // Lowering a capacity evicts the oldest entries until the rest fit.
    void setMemoryCapacity(uint64_t bytes);
    void setDiskCapacity(uint64_t bytes);
    uint64_t currentMemoryUsage() const;
    uint64_t currentDiskUsage() const;
    const std::optional<std::string>& diskPath() const { return diskPath_; }

private:
    struct MemoryEntry {
        NSCachedURLResponsePtr response;
        uint64_t cost;
    };
    static std::string keyFor(const NSURLRequest& request);
    bool fitsMemoryLocked(uint64_t cost) const;
    bool fitsDiskLocked(uint64_t cost, NSURLCacheStoragePolicy policy) const;
    std::string fileFor(const std::string& key) const;
    void trimMemoryLocked();
    void trimDiskLocked();
    NSCachedURLResponsePtr readDiskLocked(const std::string& key);
    void writeDiskLocked(const std::string& key, const NSCachedURLResponsePtr& entry);
    void removeDiskFileLocked(const std::string& key);
    void scanDiskLocked();

    mutable std::mutex m_;
    uint64_t memoryCapacity_;
    uint64_t diskCapacity_;
    std::optional<std::string> diskPath_;
    // Least recently used first.
    std::list<std::string> memoryOrder_;
    std::map<std::string, MemoryEntry> memory_;
    uint64_t memoryUsage_ = 0;
    // Disk entries by key: size and store time, oldest evicted first.
    std::map<std::string, std::pair<uint64_t, double>> disk_;
    uint64_t diskUsage_ = 0;
    std::unique_ptr<URLCacheDiskWriter> writer_;  // with a disk path only
};
