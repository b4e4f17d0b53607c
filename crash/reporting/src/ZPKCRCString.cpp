#include <crash_reporting/ZPKCRCString.h>

#include <cstring>

ZPKCRCString::ZPKCRCString(const void* bytes, uint64_t length)
    : length_(length), bytes_(std::make_unique<char[]>(static_cast<std::size_t>(length) + 1)) {
    if (length) std::memcpy(bytes_.get(), bytes, static_cast<std::size_t>(length));
    bytes_[static_cast<std::size_t>(length)] = '\0';
}

std::shared_ptr<ZPKCRCString> ZPKCRCString::stringWithString(std::string_view text) {
    auto nul = text.find('\0');
    if (nul != std::string_view::npos) text = text.substr(0, nul);
    return std::make_shared<ZPKCRCString>(text.data(), text.size());
}

std::shared_ptr<ZPKCRCString> ZPKCRCString::stringWithCString(const char* text) {
    return text ? std::make_shared<ZPKCRCString>(text, std::strlen(text)) : std::make_shared<ZPKCRCString>();
}

std::shared_ptr<ZPKCRCString> ZPKCRCString::stringWithData(const std::vector<uint8_t>& data) {
    return std::make_shared<ZPKCRCString>(data.data(), data.size());
}

std::shared_ptr<ZPKCRCString> ZPKCRCString::stringWithData(const void* bytes, uint64_t length) {
    return std::make_shared<ZPKCRCString>(bytes, length);
}
