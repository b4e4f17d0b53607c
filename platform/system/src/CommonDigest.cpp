#include <platform_system/CommonDigest.h>

#include <openssl/evp.h>

#include <new>

namespace {

unsigned char* digest(const EVP_MD* md, const void* data, std::size_t len, unsigned char* out) {
    unsigned int outLen = 0;
    // Digests of in-memory bytes can only fail when libcrypto cannot allocate.
    if (EVP_Digest(data, len, out, &outLen, md, nullptr) != 1) throw std::bad_alloc();
    return out;
}

}  // namespace

unsigned char* CC_MD5(const void* data, CC_LONG len, unsigned char* md) {
    return digest(EVP_md5(), data, len, md);
}

unsigned char* CC_SHA1(const void* data, CC_LONG len, unsigned char* md) {
    return digest(EVP_sha1(), data, len, md);
}

std::string CCHexString(const void* bytes, std::size_t len, HexCase hexCase) {
    const char* digits = hexCase == HexCase::Upper ? "0123456789ABCDEF" : "0123456789abcdef";
    const auto* p = static_cast<const uint8_t*>(bytes);
    std::string out;
    out.reserve(len * 2);
    for (std::size_t i = 0; i < len; ++i) {
        out.push_back(digits[p[i] >> 4]);
        out.push_back(digits[p[i] & 0x0f]);
    }
    return out;
}

std::vector<uint8_t> CCMD5Data(const void* data, std::size_t len) {
    std::vector<uint8_t> out(CC_MD5_DIGEST_LENGTH);
    digest(EVP_md5(), data, len, out.data());
    return out;
}

std::vector<uint8_t> CCSHA1Data(const void* data, std::size_t len) {
    std::vector<uint8_t> out(CC_SHA1_DIGEST_LENGTH);
    digest(EVP_sha1(), data, len, out.data());
    return out;
}

std::string CCMD5Hex(std::string_view bytes, HexCase hexCase) {
    auto d = CCMD5Data(bytes);
    return CCHexString(d.data(), d.size(), hexCase);
}

std::string CCSHA1Hex(std::string_view bytes, HexCase hexCase) {
    auto d = CCSHA1Data(bytes);
    return CCHexString(d.data(), d.size(), hexCase);
}
