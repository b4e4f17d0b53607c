#include <platform_system/CommonCryptor.h>

#include <openssl/evp.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

const EVP_CIPHER* aesCbc(std::size_t keyLength) {
    switch (keyLength) {
        case kCCKeySizeAES128: return EVP_aes_128_cbc();
        case kCCKeySizeAES192: return EVP_aes_192_cbc();
        case kCCKeySizeAES256: return EVP_aes_256_cbc();
        default: return nullptr;
    }
}

struct CtxFree {
    void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};

}  // namespace

CCCryptorStatus CCCrypt(CCOperation op, CCAlgorithm alg, CCOptions options, const void* key,
                        std::size_t keyLength, const void* iv, const void* dataIn,
                        std::size_t dataInLength, void* dataOut, std::size_t dataOutAvailable,
                        std::size_t* dataOutMoved) {
    if (dataOutMoved) *dataOutMoved = 0;
    if (op != kCCEncrypt && op != kCCDecrypt) return kCCParamError;
    if (alg != kCCAlgorithmAES) return kCCUnimplemented;
    if (options & ~static_cast<CCOptions>(kCCOptionPKCS7Padding)) return kCCParamError;
    if (!key) return kCCParamError;
    if ((!dataIn && dataInLength) || (!dataOut && dataOutAvailable)) return kCCParamError;
    if (dataInLength > static_cast<std::size_t>(INT32_MAX) - 2 * kCCBlockSizeAES128) return kCCParamError;

    const bool pad = options & kCCOptionPKCS7Padding;
    const EVP_CIPHER* cipher = aesCbc(keyLength);
    if (!cipher) return kCCKeySizeError;

    constexpr std::size_t block = kCCBlockSizeAES128;
    std::size_t needed;
    if (op == kCCEncrypt) {
        if (!pad && dataInLength % block) return kCCAlignmentError;
        needed = pad ? (dataInLength / block + 1) * block : dataInLength;
    } else {
        if (dataInLength % block || (pad && dataInLength == 0)) return kCCAlignmentError;
        needed = dataInLength;  // an upper bound; the pad is removed below
    }
    // Encryption knows its exact size up front; decryption only after the pad is checked.
    if (op == kCCEncrypt && dataOutAvailable < needed) {
        if (dataOutMoved) *dataOutMoved = needed;
        return kCCBufferTooSmall;
    }

    std::unique_ptr<EVP_CIPHER_CTX, CtxFree> ctx(EVP_CIPHER_CTX_new());
    if (!ctx) return kCCMemoryFailure;
    static const unsigned char zeroIV[block] = {};
    const auto* ivBytes = static_cast<const unsigned char*>(iv ? iv : zeroIV);
    if (EVP_CipherInit_ex(ctx.get(), cipher, nullptr, static_cast<const unsigned char*>(key),
                          ivBytes, op == kCCEncrypt ? 1 : 0) != 1)
        return kCCParamError;
    EVP_CIPHER_CTX_set_padding(ctx.get(), pad ? 1 : 0);

    // Work in a scratch buffer: the caller may pass the same buffer for input and output,
    // and a failed decryption must not leave partial plaintext in the caller's buffer.
    std::vector<unsigned char> out(needed + block);
    int n1 = 0, n2 = 0;
    if (dataInLength > 0 &&
        EVP_CipherUpdate(ctx.get(), out.data(), &n1, static_cast<const unsigned char*>(dataIn),
                         static_cast<int>(dataInLength)) != 1)
        return kCCParamError;
    if (EVP_CipherFinal_ex(ctx.get(), out.data() + n1, &n2) != 1)
        return op == kCCDecrypt ? kCCDecodeError : kCCParamError;
    const std::size_t produced = static_cast<std::size_t>(n1) + static_cast<std::size_t>(n2);
    if (produced > dataOutAvailable) {
        if (dataOutMoved) *dataOutMoved = produced;
        return kCCBufferTooSmall;
    }
    if (produced) std::memcpy(dataOut, out.data(), produced);
    if (dataOutMoved) *dataOutMoved = produced;
    return kCCSuccess;
}
