#include <platform_foundation/NSUUID.h>

#include <cstring>
#include <functional>

#include <uuid/uuid.h>

#include "RandomUUID.h"

std::shared_ptr<NSUUID> NSUUID::UUID() {
    uuid_t raw;
    makeRandomUUID(raw);
    return initWithUUIDBytes(raw);
}

std::shared_ptr<NSUUID> NSUUID::initWithUUIDString(std::string_view text) {
    if (text.size() != 36) return nullptr;  // uuid_parse needs exactly the canonical length
    char buf[37];
    std::memcpy(buf, text.data(), 36);
    buf[36] = '\0';
    uuid_t raw;
    if (uuid_parse(buf, raw) != 0) return nullptr;
    return initWithUUIDBytes(raw);
}

std::shared_ptr<NSUUID> NSUUID::initWithUUIDBytes(const uint8_t bytes[16]) {
    uuid_bytes_t b;
    std::memcpy(b.data(), bytes, 16);
    return std::make_shared<NSUUID>(b);
}

std::string NSUUID::UUIDString() const {
    char buf[37];
    uuid_unparse_upper(bytes_.data(), buf);
    return std::string(buf, 36);
}

void NSUUID::getUUIDBytes(uint8_t out[16]) const { std::memcpy(out, bytes_.data(), 16); }

bool NSUUID::isEqual(const NSObject& other) const {
    const auto* u = dynamic_cast<const NSUUID*>(&other);
    return u && u->bytes_ == bytes_;
}

std::size_t NSUUID::hash() const {
    uint64_t a, b;
    std::memcpy(&a, bytes_.data(), 8);
    std::memcpy(&b, bytes_.data() + 8, 8);
    return std::hash<uint64_t>()(a ^ (b * 0x9E3779B97F4A7C15ull));
}
