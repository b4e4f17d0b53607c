#include <device_and_dates/DVDeviceModelTable.h>

DVDeviceFamily DVDeviceModelTable::familyForIdentifier(const std::string& machineIdentifier) {
    static const struct {
        const char* prefix;
        DVDeviceFamily family;
    } kPrefixes[] = {{"iPhone", DVDeviceFamilyiPhone}, {"iPad", DVDeviceFamilyiPad}, {"iPod", DVDeviceFamilyiPod}};
    for (const auto& p : kPrefixes) {
        if (machineIdentifier.rfind(p.prefix, 0) == 0) return p.family;
    }
    return DVDeviceFamilyUnknown;
}

std::optional<DVDeviceModelRow> DVDeviceModelTable::lookup(DVDeviceFamily family, uint64_t major, uint64_t minor) {
    for (const auto& row : rows()) {
        // Keys are signed, identifier numbers unsigned: compare by value.
        if (row.family == family && static_cast<uint64_t>(row.major) == major &&
            static_cast<uint64_t>(row.minor) == minor)
            return row;
    }
    return std::nullopt;
}
