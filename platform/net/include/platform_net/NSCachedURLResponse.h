#pragma once
// A response with its body as kept by a URL cache, and where it may be kept.

#include <platform_net/NSURLResponse.h>
#include <platform_runtime/NSDate.h>
#include <platform_runtime/NSObject.h>
#include <platform_runtime/Value.h>

#include <cstdint>
#include <memory>
#include <vector>

enum NSURLCacheStoragePolicy : uint64_t {
    NSURLCacheStorageAllowed = 0,
    NSURLCacheStorageAllowedInMemoryOnly = 1,
    NSURLCacheStorageNotAllowed = 2,
};

class NSCachedURLResponse;
using NSCachedURLResponsePtr = std::shared_ptr<NSCachedURLResponse>;

class NSCachedURLResponse : public NSObject {
public:
    using Data = std::vector<uint8_t>;
    NSCachedURLResponse(NSURLResponsePtr response, Data data, Value::Dictionary userInfo = {},
                        NSURLCacheStoragePolicy storagePolicy = NSURLCacheStorageAllowed);

    std::string className() const override { return "NSCachedURLResponse"; }

    const NSURLResponsePtr& response() const { return response_; }
    const Data& data() const { return data_; }
    const Value::Dictionary& userInfo() const { return userInfo_; }
    NSURLCacheStoragePolicy storagePolicy() const { return policy_; }
    // When the entry was stored (set by the cache; the construction time before that).
    NSDate storedDate() const { return stored_; }
    void setStoredDate(NSDate date) { stored_ = date; }

private:
    NSURLResponsePtr response_;
    Data data_;
    Value::Dictionary userInfo_;
    NSURLCacheStoragePolicy policy_;
    NSDate stored_;
};
