#include <platform_system/CommonCryptor.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes fromHex(const std::string& hex) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return out;
}

// NIST SP 800-38A, F.2.1 (CBC-AES128.Encrypt).
const Bytes kKey = fromHex("2b7e151628aed2a6abf7158809cf4f3c");
const Bytes kIV = fromHex("000102030405060708090a0b0c0d0e0f");
const Bytes kPlain = fromHex(
    "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
    "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710");
const Bytes kCipher = fromHex(
    "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"
    "73bed6b8e3c1743b7116e69e222295163ff1caa1681fac09120eca307586e1a7");

struct Result {
    CCCryptorStatus status;
    Bytes out;
    std::size_t moved;
};

Result crypt(CCOperation op, CCOptions options, const Bytes& key, const void* iv, const Bytes& in,
             std::size_t capacity) {
    Result r{0, Bytes(capacity, 0xEE), 0};
    r.status = CCCrypt(op, kCCAlgorithmAES128, options, key.data(), key.size(), iv, in.data(),
                       in.size(), r.out.data(), r.out.size(), &r.moved);
    if (r.status == kCCSuccess) r.out.resize(r.moved);
    return r;
}

TEST(CommonCryptor, NistCbcVectorWithoutPadding) {
    auto enc = crypt(kCCEncrypt, 0, kKey, kIV.data(), kPlain, kPlain.size());
    ASSERT_EQ(enc.status, kCCSuccess);
    EXPECT_EQ(enc.out, kCipher);

    auto dec = crypt(kCCDecrypt, 0, kKey, kIV.data(), kCipher, kCipher.size());
    ASSERT_EQ(dec.status, kCCSuccess);
    EXPECT_EQ(dec.out, kPlain);
}

TEST(CommonCryptor, PaddingAddsAFullBlockToAnExactMultiple) {
    auto enc = crypt(kCCEncrypt, kCCOptionPKCS7Padding, kKey, kIV.data(), kPlain, kPlain.size() + 16);
    ASSERT_EQ(enc.status, kCCSuccess);
    ASSERT_EQ(enc.out.size(), 80u);
    EXPECT_EQ(Bytes(enc.out.begin(), enc.out.begin() + 64), kCipher);

    auto dec = crypt(kCCDecrypt, kCCOptionPKCS7Padding, kKey, kIV.data(), enc.out, enc.out.size());
    ASSERT_EQ(dec.status, kCCSuccess);
    EXPECT_EQ(dec.out, kPlain);
}

TEST(CommonCryptor, PaddedRoundTripsOfVariousLengths) {
    for (std::size_t len : {0u, 1u, 5u, 15u, 16u, 17u, 31u, 32u, 100u}) {
        Bytes plain(len);
        for (std::size_t i = 0; i < len; ++i) plain[i] = static_cast<uint8_t>(i * 7 + 1);
        auto enc = crypt(kCCEncrypt, kCCOptionPKCS7Padding, kKey, kIV.data(), plain, len + 16);
        ASSERT_EQ(enc.status, kCCSuccess) << len;
        EXPECT_EQ(enc.out.size(), (len / 16 + 1) * 16) << len;
        auto dec = crypt(kCCDecrypt, kCCOptionPKCS7Padding, kKey, kIV.data(), enc.out, enc.out.size());
        ASSERT_EQ(dec.status, kCCSuccess) << len;
        EXPECT_EQ(dec.out, plain) << len;
    }
}

TEST(CommonCryptor, NullIVMeansZeros) {
    const Bytes key(16, 0);
    const Bytes zeros(16, 0);
    const Bytes hello{'h', 'e', 'l', 'l', 'o'};
    auto a = crypt(kCCEncrypt, kCCOptionPKCS7Padding, key, nullptr, hello, 32);
    auto b = crypt(kCCEncrypt, kCCOptionPKCS7Padding, key, zeros.data(), hello, 32);
    ASSERT_EQ(a.status, kCCSuccess);
    EXPECT_EQ(a.out, fromHex("9834ed518cbc8fbe9af3c6ecb75eb8c0"));
    EXPECT_EQ(a.out, b.out);
}

TEST(CommonCryptor, LongerKeysSelectWiderAES) {
    auto aes128 = crypt(kCCEncrypt, kCCOptionPKCS7Padding, Bytes(16, 0x42), nullptr, kPlain, 96);
    for (std::size_t keyLen : {24u, 32u}) {
        Bytes key(keyLen, 0x42);
        auto enc = crypt(kCCEncrypt, kCCOptionPKCS7Padding, key, nullptr, kPlain, 96);
        ASSERT_EQ(enc.status, kCCSuccess);
        EXPECT_NE(enc.out, aes128.out) << keyLen;  // the whole key is used, not its first 16 bytes
        auto dec = crypt(kCCDecrypt, kCCOptionPKCS7Padding, key, nullptr, enc.out, enc.out.size());
        ASSERT_EQ(dec.status, kCCSuccess);
        EXPECT_EQ(dec.out, kPlain);
    }
}

TEST(CommonCryptor, InPlaceOperation) {
    Bytes buf = kPlain;
    std::size_t moved = 0;
    ASSERT_EQ(CCCrypt(kCCEncrypt, kCCAlgorithmAES128, 0, kKey.data(), 16, kIV.data(), buf.data(),
                      buf.size(), buf.data(), buf.size(), &moved),
              kCCSuccess);
    EXPECT_EQ(buf, kCipher);
}

struct ErrorCase {
    const char* name;
    CCOperation op;
    CCOptions options;
    std::size_t keyLength;
    Bytes input;
    std::size_t capacity;
    CCCryptorStatus expected;
};

TEST(CommonCryptor, ErrorsAreReportedNotGarbage) {
    Bytes badPad = crypt(kCCEncrypt, 0, kKey, kIV.data(), Bytes(16, 0x00), 16).out;  // pads to 0x00 byte
    Bytes inconsistentPad = crypt(kCCEncrypt, 0, kKey, kIV.data(),
                                  fromHex("000102030405060708090a0b0c030203"), 16).out;  // 03 02 03
    const ErrorCase cases[] = {
        {"short key", kCCEncrypt, kCCOptionPKCS7Padding, 10, Bytes(5), 32, kCCKeySizeError},
        {"odd key", kCCEncrypt, kCCOptionPKCS7Padding, 20, Bytes(5), 32, kCCKeySizeError},
        {"unaligned without padding", kCCEncrypt, 0, 16, Bytes(5), 32, kCCAlignmentError},
        {"unaligned ciphertext", kCCDecrypt, kCCOptionPKCS7Padding, 16, Bytes(17), 32, kCCAlignmentError},
        {"empty ciphertext", kCCDecrypt, kCCOptionPKCS7Padding, 16, Bytes(), 32, kCCAlignmentError},
        {"zero pad byte", kCCDecrypt, kCCOptionPKCS7Padding, 16, badPad, 32, kCCDecodeError},
        {"inconsistent pad", kCCDecrypt, kCCOptionPKCS7Padding, 16, inconsistentPad, 32, kCCDecodeError},
        {"output too small", kCCEncrypt, kCCOptionPKCS7Padding, 16, Bytes(16), 16, kCCBufferTooSmall},
    };
    for (const auto& c : cases) {
        Bytes key(c.keyLength, 0x01);
        if (c.keyLength == 16) key = kKey;
        std::size_t moved = 12345;
        Bytes out(c.capacity, 0xEE);
        CCCryptorStatus s = CCCrypt(c.op, kCCAlgorithmAES128, c.options, key.data(), key.size(),
                                    kIV.data(), c.input.data(), c.input.size(), out.data(),
                                    out.size(), &moved);
        EXPECT_EQ(s, c.expected) << c.name;
        if (c.expected == kCCBufferTooSmall)
            EXPECT_EQ(moved, 32u) << c.name;  // the size that would have been needed
        else
            EXPECT_EQ(moved, 0u) << c.name;
        EXPECT_EQ(out, Bytes(c.capacity, 0xEE)) << c.name << ": output touched on failure";
    }
}

TEST(CommonCryptor, DecryptionChecksTheCallersCapacity) {
    auto enc = crypt(kCCEncrypt, kCCOptionPKCS7Padding, kKey, kIV.data(), Bytes(20, 1), 48);
    ASSERT_EQ(enc.out.size(), 32u);
    auto small = crypt(kCCDecrypt, kCCOptionPKCS7Padding, kKey, kIV.data(), enc.out, 19);
    EXPECT_EQ(small.status, kCCBufferTooSmall);
    EXPECT_EQ(small.moved, 20u);
    auto exact = crypt(kCCDecrypt, kCCOptionPKCS7Padding, kKey, kIV.data(), enc.out, 20);
    EXPECT_EQ(exact.status, kCCSuccess);
    EXPECT_EQ(exact.out, Bytes(20, 1));
}

TEST(CommonCryptor, ParameterErrors) {
    std::size_t moved = 0;
    uint8_t out[32];
    EXPECT_EQ(CCCrypt(kCCEncrypt, kCCAlgorithmAES128, kCCOptionPKCS7Padding, nullptr, 16, nullptr,
                      "x", 1, out, sizeof out, &moved),
              kCCParamError);
    EXPECT_EQ(CCCrypt(7, kCCAlgorithmAES128, 0, kKey.data(), 16, nullptr, "x", 1, out, sizeof out, &moved),
              kCCParamError);
    EXPECT_EQ(CCCrypt(kCCEncrypt, 3, 0, kKey.data(), 16, nullptr, "x", 1, out, sizeof out, &moved),
              kCCUnimplemented);
}

}  // namespace
