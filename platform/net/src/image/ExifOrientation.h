#pragma once
// The orientation tag of a JPEG's Exif block (1...8), or 1 when there is none or it is unreadable.

#include <cstdint>
#include <vector>

int jpegExifOrientation(const std::vector<uint8_t>& data);
