// URL and time-zone objects are not registered with the runtime by their own library; model
// properties name them in their attribute texts, so their names must resolve to classes.

#include <platform_runtime/NSObject.h>
#include <platform_runtime/ObjCClass.h>

namespace {
[[maybe_unused]] const bool registered = [] {
    for (const char* name : {"NSURL", "NSTimeZone"})
        if (!ObjCClass::named(name)) ObjCClass::registerClass(name, &NSObject::classObject(), 0, nullptr);
    return true;
}();
}  // namespace
