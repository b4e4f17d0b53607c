#include <platform_net/NSCachedURLResponse.h>

NSCachedURLResponse::NSCachedURLResponse(NSURLResponsePtr response, Data data, Value::Dictionary userInfo,
                                         NSURLCacheStoragePolicy storagePolicy)
    : response_(std::move(response)), data_(std::move(data)), userInfo_(std::move(userInfo)), policy_(storagePolicy),
      stored_(NSDate::date()) {}
