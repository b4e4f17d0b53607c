#include <networking_uikit/NKAutoPurgingImageCache.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include <platform_foundation/NSNotificationCenter.h>
#include <platform_uikit/UIApplication.h>

NKAutoPurgingImageCache::NKAutoPurgingImageCache(uint64_t memoryCapacity, uint64_t preferredMemoryCapacity)
    : memoryCapacity_(memoryCapacity), preferredMemoryUsageAfterPurge_(preferredMemoryCapacity) {}

NKAutoPurgingImageCache::Ptr NKAutoPurgingImageCache::create(uint64_t memoryCapacity, uint64_t preferredMemoryCapacity) {
    auto cache = std::make_shared<NKAutoPurgingImageCache>(memoryCapacity, preferredMemoryCapacity);
    std::weak_ptr<NKAutoPurgingImageCache> weak = cache;
    cache->warningObserver_ = NSNotificationCenter::defaultCenter()->addObserverForName(
        UIApplicationDidReceiveMemoryWarningNotification, Value(), nullptr, [weak](const NSNotification&) {
            if (auto strong = weak.lock()) strong->removeAllImages();
        });
    return cache;
}

NKAutoPurgingImageCache::~NKAutoPurgingImageCache() {
    if (warningObserver_) NSNotificationCenter::defaultCenter()->removeObserver(warningObserver_);
}

uint64_t NKAutoPurgingImageCache::memoryUsage() const {
    std::shared_lock lock(mutex_);
    return currentMemoryUsage_;
}

std::size_t NKAutoPurgingImageCache::count() const {
    std::shared_lock lock(mutex_);
    return cachedImages_.size();
}

void NKAutoPurgingImageCache::addImage(const UIImagePtr& image, const std::string& identifier) {
    auto entry = std::make_shared<NKCachedImage>(image, identifier);
    std::unique_lock lock(mutex_);
    auto [it, inserted] = cachedImages_.try_emplace(identifier, entry);
    if (!inserted) {
        currentMemoryUsage_ -= it->second->totalBytes();
        it->second = entry;
    }
    currentMemoryUsage_ += entry->totalBytes();
    purgeIfNeeded();
}

void NKAutoPurgingImageCache::purgeIfNeeded() {
    if (currentMemoryUsage_ <= memoryCapacity_) return;
    // With the preferred level above the capacity, purge down to the capacity: subtracting
    // the larger level would wrap around and empty the cache.
    uint64_t target = std::min(preferredMemoryUsageAfterPurge_, memoryCapacity_);
    uint64_t bytesToPurge = currentMemoryUsage_ - target;

    std::vector<NKCachedImage*> byAccess;
    byAccess.reserve(cachedImages_.size());
    for (auto& [key, entry] : cachedImages_) byAccess.push_back(entry.get());
    std::sort(byAccess.begin(), byAccess.end(), [](const NKCachedImage* a, const NKCachedImage* b) {
        double da = a->lastAccessDate().timeIntervalSinceReferenceDate();
        double db = b->lastAccessDate().timeIntervalSinceReferenceDate();
        if (da != db) return da < db;
        return a->accessSequence() < b->accessSequence();
    });
    uint64_t bytesPurged = 0;
    std::vector<std::string> doomed;
    for (NKCachedImage* entry : byAccess) {
        doomed.push_back(entry->identifier());
        bytesPurged += entry->totalBytes();
        if (bytesPurged >= bytesToPurge) break;
    }
    for (const std::string& key : doomed) cachedImages_.erase(key);
    currentMemoryUsage_ -= bytesPurged;
}

bool NKAutoPurgingImageCache::removeImageWithIdentifier(const std::string& identifier) {
    std::unique_lock lock(mutex_);
    auto it = cachedImages_.find(identifier);
    if (it == cachedImages_.end()) return false;
    currentMemoryUsage_ -= it->second->totalBytes();
    cachedImages_.erase(it);
    return true;
}

bool NKAutoPurgingImageCache::removeAllImages() {
    std::unique_lock lock(mutex_);
    if (cachedImages_.empty()) return false;
    cachedImages_.clear();
    currentMemoryUsage_ = 0;
    return true;
}

UIImagePtr NKAutoPurgingImageCache::imageWithIdentifier(const std::string& identifier) {
    std::shared_lock lock(mutex_);
    auto it = cachedImages_.find(identifier);
    if (it == cachedImages_.end()) return nullptr;
    return it->second->accessImage();
}

std::string NKAutoPurgingImageCache::imageCacheKeyFromURLRequest(const NSURLRequestPtr& request,
                                                                 const std::string* additionalIdentifier) {
    std::string key = request && request->URL() ? request->URL()->absoluteString() : std::string();
    if (additionalIdentifier) key += *additionalIdentifier;
    return key;
}

bool NKAutoPurgingImageCache::shouldCacheImage(const UIImagePtr&, const NSURLRequestPtr&, const std::string*) {
    return true;
}

void NKAutoPurgingImageCache::addImage(const UIImagePtr& image, const NSURLRequestPtr& request,
                                       const std::string* additionalIdentifier) {
    addImage(image, imageCacheKeyFromURLRequest(request, additionalIdentifier));
}

bool NKAutoPurgingImageCache::removeImageforRequest(const NSURLRequestPtr& request,
                                                    const std::string* additionalIdentifier) {
    return removeImageWithIdentifier(imageCacheKeyFromURLRequest(request, additionalIdentifier));
}

UIImagePtr NKAutoPurgingImageCache::imageforRequest(const NSURLRequestPtr& request,
                                                    const std::string* additionalIdentifier) {
    return imageWithIdentifier(imageCacheKeyFromURLRequest(request, additionalIdentifier));
}
