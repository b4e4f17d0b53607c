#include <crash_reporting/ZUDEncrypt.h>

#include <string>

#include <platform_system/CommonCryptor.h>
#include <platform_system/CommonDigest.h>

namespace {

std::optional<ZUDEncrypt::Bytes> encrypt(const ZUDEncrypt::Bytes& input, const ZUDEncrypt::Bytes& key) {
    ZUDEncrypt::Bytes out((input.size() + kCCBlockSizeAES128 - 1) / kCCBlockSizeAES128 * kCCBlockSizeAES128 +
                          kCCBlockSizeAES128);
    std::size_t moved = 0;
    CCCryptorStatus status = CCCrypt(kCCEncrypt, kCCAlgorithmAES128, kCCOptionPKCS7Padding, key.data(), key.size(),
                                     nullptr, input.data(), input.size(), out.data(), out.size(), &moved);
    if (status != kCCSuccess) return ZUDEncrypt::Bytes{};
    out.resize(moved);
    return out;
}

}  // namespace

std::string ZUDEncrypt::generateMD5ByString(std::string_view text) {
    auto nul = text.find('\0');
    if (nul != std::string_view::npos) text = text.substr(0, nul);
    return CCMD5Hex(text, HexCase::Lower);
}

std::optional<ZUDEncrypt::Bytes> ZUDEncrypt::aesCBCEncryptData(const std::optional<Bytes>& data, const Bytes& key) {
    if (!data) return std::nullopt;
    Bytes buffer(data->size() + kCCBlockSizeAES128, 0);
    std::copy(data->begin(), data->end(), buffer.begin());
    return encrypt(buffer, key);
}

std::optional<ZUDEncrypt::Bytes> ZUDEncrypt::noAligAESCBCEncryptData(const std::optional<Bytes>& data,
                                                                     const Bytes& key) {
    if (!data) return std::nullopt;
    return encrypt(*data, key);
}

std::optional<ZUDEncrypt::Bytes> ZUDEncrypt::aesCBCDecryptData(const std::optional<Bytes>& data, const Bytes& key) {
    // The key length is fixed at 16: a shorter key cannot be read that far.
    if (!data || key.size() < kCCKeySizeAES128) return std::nullopt;
    Bytes out(data->size() + kCCBlockSizeAES128);
    std::size_t moved = 0;
    CCCryptorStatus status = CCCrypt(kCCDecrypt, kCCAlgorithmAES128, kCCOptionPKCS7Padding, key.data(),
                                     kCCKeySizeAES128, nullptr, data->data(), data->size(), out.data(), out.size(),
                                     &moved);
    if (status != kCCSuccess) return std::nullopt;
    out.resize(moved);
    return out;
}
