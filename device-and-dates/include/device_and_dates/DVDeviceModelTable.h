#pragma once
// The built-in table that turns a machine identifier (family prefix plus
// major,minor) into a model constant, marketing name, display class and density.

#include <device_and_dates/DVDeviceTypes.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>

struct DVDeviceModelRow {
    DVDeviceFamily family;
    int64_t major;
    int64_t minor;
    DVDeviceModel model;
    const char* name;
    DVDeviceDisplay display;
    int64_t pixelsPerInch;
};

class DVDeviceModelTable {
public:
    static std::span<const DVDeviceModelRow> rows();
    // The family whose prefix ("iPhone", "iPad", "iPod") begins the identifier.
    static DVDeviceFamily familyForIdentifier(const std::string& machineIdentifier);
    // Exact numeric match within one family; nothing for an absent pair.
    static std::optional<DVDeviceModelRow> lookup(DVDeviceFamily family, uint64_t major, uint64_t minor);
};
