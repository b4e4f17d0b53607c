#pragma once
// The request-serialization protocol: every request serializer turns a request and a
// parameter value into a new request, or nothing and an error.

#include <memory>

#include <platform_net/NSURLRequest.h>
#include <platform_runtime/NSError.h>
#include <platform_runtime/Value.h>

inline constexpr char NKURLRequestSerializationErrorDomain[] = "com.netkit.error.serialization.request";

class NKURLRequestSerialization {
public:
    virtual ~NKURLRequestSerialization() = default;
    // A new mutable request, or nullptr with *error (when given) set.
    virtual NSMutableURLRequestPtr requestBySerializingRequest(const NSURLRequestPtr& request,
                                                               const Value& parameters,
                                                               NSErrorPtr* error) const = 0;
};
