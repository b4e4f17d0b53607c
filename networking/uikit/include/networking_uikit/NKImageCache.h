#pragma once
// What an image cache offers: images by identifier, and by request URL (plus an optional
// extra identifier). Implementations are safe to call from any thread.

#include <memory>
#include <string>

#include <platform_net/NSURLRequest.h>
#include <platform_net/UIImage.h>

class NKImageCache {
public:
    virtual ~NKImageCache() = default;
    virtual void addImage(const UIImagePtr& image, const std::string& identifier) = 0;
    [[nodiscard]] virtual bool removeImageWithIdentifier(const std::string& identifier) = 0;
    virtual bool removeAllImages() = 0;
    virtual UIImagePtr imageWithIdentifier(const std::string& identifier) = 0;
};

class NKImageRequestCache : public NKImageCache {
public:
    virtual bool shouldCacheImage(const UIImagePtr& image, const NSURLRequestPtr& request,
                                  const std::string* additionalIdentifier) = 0;
    virtual void addImage(const UIImagePtr& image, const NSURLRequestPtr& request,
                          const std::string* additionalIdentifier) = 0;
    [[nodiscard]] virtual bool removeImageforRequest(const NSURLRequestPtr& request,
                                                     const std::string* additionalIdentifier) = 0;
    virtual UIImagePtr imageforRequest(const NSURLRequestPtr& request, const std::string* additionalIdentifier) = 0;
    using NKImageCache::addImage;
};
