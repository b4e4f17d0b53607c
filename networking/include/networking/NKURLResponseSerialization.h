#pragma once
// The response-serialization protocol, its error domain and user-info keys, and the helpers
// shared by every response serializer: error chaining, the content-type test of a chain and
// the removal of JSON nulls.

#include <cstdint>
#include <memory>

#include <platform_net/NSURLResponse.h>
#include <platform_runtime/NSError.h>
#include <platform_runtime/Value.h>

inline constexpr char NKURLResponseSerializationErrorDomain[] = "com.netkit.error.serialization.response";
inline constexpr char NKNetworkingOperationFailingURLResponseErrorKey[] =
    "com.netkit.serialization.response.error.response";
inline constexpr char NKNetworkingOperationFailingURLResponseDataErrorKey[] =
    "com.netkit.serialization.response.error.data";

class NKURLResponseSerialization {
public:
    virtual ~NKURLResponseSerialization() = default;
    // The decoded object, or Null. `data` nullptr means no byte buffer came with the
    // response. A non-empty *error after the call means failure, even with an object.
    virtual Value responseObjectForResponse(const NSURLResponsePtr& response, const Value::Data* data,
                                            NSErrorPtr* error) const = 0;
};

// error with `underlying` under NSUnderlyingErrorKey, unless it already has one.
NSErrorPtr NKChainUnderlyingError(const NSErrorPtr& error, const NSErrorPtr& underlying);
// The error or one under it is the response domain's -1016 (content type not acceptable).
bool NKErrorChainHasCode(const NSErrorPtr& error);
// JSON nulls removed from dictionaries (and, with `fromArrays`, from arrays), recursively;
// containers come back mutable when bit 0 of the reading options is set.
Value NKRemoveNullValues(const Value& object, uint64_t readingOptions, bool fromArrays = true);
