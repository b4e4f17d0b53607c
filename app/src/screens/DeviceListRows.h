#pragma once
// The device models the device list shows.

#include <string>
#include <vector>

struct DeviceListRow {
    const char* model;     // display name, e.g. "iPhone 6s" (several rows may share one)
    const char* modelStr;  // identifier, e.g. "iPhone8,1" (unique)
};

// The 127 rows, in display order.
const std::vector<DeviceListRow>& deviceListRows();
