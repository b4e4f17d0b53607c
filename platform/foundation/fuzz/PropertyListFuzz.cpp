// libFuzzer entry for the property-list readers: any byte string is read as a property list
// and as a keyed archive. Each read answers a value or an error, never both nor neither; a
// value read is written back in both formats and described, walks that stay bounded because
// reading bounds the expanded size.
#include <platform_foundation/NSKeyedUnarchiver.h>
#include <platform_foundation/NSPropertyListSerialization.h>

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    NSErrorPtr error;
    const Value plist = NSPropertyListSerialization::propertyListWithData(bytes, NSPropertyListMutableContainersAndLeaves,
                                                                          nullptr, &error);
    if (plist.isNull() == !error) std::abort();
    if (!plist.isNull()) {
        for (auto format : {NSPropertyListXMLFormat_v1_0, NSPropertyListBinaryFormat_v1_0}) {
            NSErrorPtr writeError;
            const Value::Data written = NSPropertyListSerialization::dataWithPropertyList(plist, format, 0, &writeError);
            if (written.empty() != static_cast<bool>(writeError)) std::abort();
        }
        (void)plist.description();
    }
    NSErrorPtr archiveError;
    const Value::Data copy(data, data + size);
    const Value archived = NSKeyedUnarchiver::unarchiveObjectWithData(copy, &archiveError);
    if (archiveError && !archived.isNull()) std::abort();
    (void)archived.description();
    return 0;
}
