#pragma once
// An owned, NUL-terminated copy of a text or of bytes, for data that crash-time code reads
// through a plain C pointer. Immutable after construction; the bytes live as long as the
// object.

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include <platform_runtime/ObjCDeclare.h>

class ZPKCRCString : public NSObject {
    NS_CLASS(ZPKCRCString, NSObject)
public:
    // A copy of the text's bytes up to its first NUL.
    static std::shared_ptr<ZPKCRCString> stringWithString(std::string_view text);
    // A copy of a C string (nullptr gives an empty one).
    static std::shared_ptr<ZPKCRCString> stringWithCString(const char* text);
    // A copy of the bytes followed by a NUL; the length is the byte count.
    static std::shared_ptr<ZPKCRCString> stringWithData(const std::vector<uint8_t>& data);
    static std::shared_ptr<ZPKCRCString> stringWithData(const void* bytes, uint64_t length);

    ZPKCRCString() : ZPKCRCString(nullptr, 0) {}
    ZPKCRCString(const void* bytes, uint64_t length);

    // Bytes before the terminator.
    uint64_t length() const { return length_; }
    const char* bytes() const { return bytes_.get(); }

private:
    uint64_t length_ = 0;
    std::unique_ptr<char[]> bytes_;
};
