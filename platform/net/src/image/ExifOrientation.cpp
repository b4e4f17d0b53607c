#include "image/ExifOrientation.h"

#include <cstring>

namespace {

struct TiffReader {
    const uint8_t* base;
    std::size_t size;
    bool littleEndian;

    bool u16(std::size_t at, uint32_t& out) const {
        if (at + 2 > size) return false;
        out = littleEndian ? base[at] | (base[at + 1] << 8) : (base[at] << 8) | base[at + 1];
        return true;
    }
    bool u32(std::size_t at, uint32_t& out) const {
        if (at + 4 > size) return false;
        const uint8_t* p = base + at;
        out = littleEndian ? uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24
                           : uint32_t(p[3]) | uint32_t(p[2]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[0]) << 24;
        return true;
    }
};

// The orientation entry of IFD0 in a TIFF block; 1 when absent.
int orientationInTiff(const uint8_t* tiff, std::size_t size) {
    if (size < 8) return 1;
    TiffReader r{tiff, size, false};
    if (std::memcmp(tiff, "II*\0", 4) == 0) {
        r.littleEndian = true;
    } else if (std::memcmp(tiff, "MM\0*", 4) != 0) {
        return 1;
    }
    uint32_t ifd, count;
    if (!r.u32(4, ifd) || !r.u16(ifd, count)) return 1;
    for (uint32_t i = 0; i < count; ++i) {
        std::size_t entry = std::size_t{ifd} + 2 + std::size_t{i} * 12;
        uint32_t tag, type, value;
        if (!r.u16(entry, tag) || !r.u16(entry + 2, type)) return 1;
        if (tag != 0x0112) continue;
        if (type != 3 /* SHORT */ || !r.u16(entry + 8, value)) return 1;
        return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
    }
    return 1;
}

}  // namespace

int jpegExifOrientation(const std::vector<uint8_t>& data) {
    std::size_t at = 2;  // after SOI
    // Walk the marker segments before the image data.
    while (at + 4 <= data.size() && data[at] == 0xff) {
        uint8_t marker = data[at + 1];
        if (marker == 0xda || marker == 0xd9) break;  // start of scan / end of image
        std::size_t length = (std::size_t{data[at + 2]} << 8) | data[at + 3];
        if (length < 2 || at + 2 + length > data.size()) break;
        const uint8_t* body = data.data() + at + 4;
        std::size_t bodySize = length - 2;
        if (marker == 0xe1 && bodySize >= 6 && std::memcmp(body, "Exif\0\0", 6) == 0) {
            return orientationInTiff(body + 6, bodySize - 6);
        }
        at += 2 + length;
    }
    return 1;
}
