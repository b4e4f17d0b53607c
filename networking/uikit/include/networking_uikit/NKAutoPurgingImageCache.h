#pragma once
// An in-memory image cache with a byte budget: an insertion that takes the estimated use
// above the capacity drops the least recently accessed entries until the use is back at the
// preferred level (or below the capacity, when the preferred level is set above it). A memory
// warning from the application empties it.
//
// Any thread. Lookups run side by side under a shared lock; changes are exclusive. The cache
// listens for memory warnings from construction to destruction.

#include <cstdint>
#include <memory>
#include <shared_mutex>
#include <string>
#include <unordered_map>

#include <networking_uikit/NKCachedImage.h>
#include <networking_uikit/NKImageCache.h>

class NKAutoPurgingImageCache : public NSObject, public NKImageRequestCache {
    NS_CLASS(NKAutoPurgingImageCache, NSObject)
public:
    using Ptr = std::shared_ptr<NKAutoPurgingImageCache>;
    static constexpr uint64_t kDefaultMemoryCapacity = 100 * 1024 * 1024;
    static constexpr uint64_t kDefaultPreferredMemoryUsageAfterPurge = 60 * 1024 * 1024;

    // Creates the cache and subscribes it to memory warnings.
    static Ptr create(uint64_t memoryCapacity = kDefaultMemoryCapacity,
                      uint64_t preferredMemoryCapacity = kDefaultPreferredMemoryUsageAfterPurge);
    ~NKAutoPurgingImageCache() override;

    uint64_t memoryCapacity() const { return memoryCapacity_; }
    uint64_t preferredMemoryUsageAfterPurge() const { return preferredMemoryUsageAfterPurge_; }
    uint64_t memoryUsage() const;
    std::size_t count() const;

    // Inserted and purged before it returns (so a lookup right after finds it unless the
    // purge dropped it).
    void addImage(const UIImagePtr& image, const std::string& identifier) override;
    [[nodiscard]] bool removeImageWithIdentifier(const std::string& identifier) override;
    bool removeAllImages() override;
    UIImagePtr imageWithIdentifier(const std::string& identifier) override;

    // The URL's absolute string with the extra identifier appended as is.
    static std::string imageCacheKeyFromURLRequest(const NSURLRequestPtr& request,
                                                   const std::string* additionalIdentifier);
    bool shouldCacheImage(const UIImagePtr& image, const NSURLRequestPtr& request,
                          const std::string* additionalIdentifier) override;
    void addImage(const UIImagePtr& image, const NSURLRequestPtr& request,
                  const std::string* additionalIdentifier) override;
    [[nodiscard]] bool removeImageforRequest(const NSURLRequestPtr& request,
                                             const std::string* additionalIdentifier) override;
    UIImagePtr imageforRequest(const NSURLRequestPtr& request, const std::string* additionalIdentifier) override;

    std::string className() const override { return "NKAutoPurgingImageCache"; }

    NKAutoPurgingImageCache(uint64_t memoryCapacity, uint64_t preferredMemoryCapacity);

private:
    void purgeIfNeeded();  // exclusive lock held

    const uint64_t memoryCapacity_;
    const uint64_t preferredMemoryUsageAfterPurge_;
    mutable std::shared_mutex mutex_;
    std::unordered_map<std::string, std::shared_ptr<NKCachedImage>> cachedImages_;
    uint64_t currentMemoryUsage_ = 0;
    std::shared_ptr<NSObject> warningObserver_;
};
