#include <platform_runtime/NSObject.h>

#include <cstdio>

std::string NSObject::description() const {
    char buf[64];
    std::snprintf(buf, sizeof buf, ": %p>", static_cast<const void*>(this));
    return "<" + className() + buf;
}
