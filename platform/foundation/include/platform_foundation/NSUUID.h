#pragma once
// Universally unique identifiers: random (version 4) creation, canonical text and raw bytes.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <platform_runtime/NSObject.h>

using uuid_bytes_t = std::array<uint8_t, 16>;

class NSUUID : public NSObject {
public:
    // A new random UUID.
    static std::shared_ptr<NSUUID> UUID();
    // Parses "E621E1F8-C36C-495A-93FC-0C247A3E6E5F" (any case); nullptr when the text is not a UUID.
    static std::shared_ptr<NSUUID> initWithUUIDString(std::string_view text);
    static std::shared_ptr<NSUUID> initWithUUIDBytes(const uint8_t bytes[16]);

    explicit NSUUID(const uuid_bytes_t& bytes) : bytes_(bytes) {}

    // Upper-case 8-4-4-4-12 text.
    std::string UUIDString() const;
    void getUUIDBytes(uint8_t out[16]) const;
    const uuid_bytes_t& bytes() const { return bytes_; }

    std::string className() const override { return "NSUUID"; }
    std::string description() const override { return UUIDString(); }
    bool isEqual(const NSObject& other) const override;
    std::size_t hash() const override;
    bool operator==(const NSUUID& other) const { return bytes_ == other.bytes_; }
    bool operator!=(const NSUUID& other) const { return bytes_ != other.bytes_; }

private:
    uuid_bytes_t bytes_;
};
