#include <platform_system/CommonDigest.h>

#include <gtest/gtest.h>

#include <string>

namespace {

struct DigestCase {
    std::string input;
    const char* hex;
};

// RFC 1321 appendix A.5.
const DigestCase kMD5Suite[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

// FIPS 180 examples.
const DigestCase kSHA1Suite[] = {
    {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
    {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
    {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
     "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
};

TEST(CommonDigest, MD5MatchesReferenceSuite) {
    for (const auto& c : kMD5Suite) {
        unsigned char md[CC_MD5_DIGEST_LENGTH];
        EXPECT_EQ(CC_MD5(c.input.data(), static_cast<CC_LONG>(c.input.size()), md), md);
        EXPECT_EQ(CCHexString(md, sizeof md), c.hex) << c.input;
        EXPECT_EQ(CCMD5Hex(c.input), c.hex) << c.input;
    }
}

TEST(CommonDigest, SHA1MatchesReferenceSuite) {
    for (const auto& c : kSHA1Suite) {
        unsigned char md[CC_SHA1_DIGEST_LENGTH];
        CC_SHA1(c.input.data(), static_cast<CC_LONG>(c.input.size()), md);
        EXPECT_EQ(CCHexString(md, sizeof md), c.hex) << c.input;
        EXPECT_EQ(CCSHA1Hex(c.input), c.hex) << c.input;
    }
}

TEST(CommonDigest, HexCaseAndRawDigest) {
    EXPECT_EQ(CCMD5Hex("abc", HexCase::Upper), "900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(CCSHA1Hex("abc", HexCase::Upper), "A9993E364706816ABA3E25717850C26C9CD0D89D");

    auto raw = CCMD5Data(std::string_view("abc"));
    ASSERT_EQ(raw.size(), CC_MD5_DIGEST_LENGTH);
    EXPECT_EQ(raw[0], 0x90);
    EXPECT_EQ(raw[15], 0x72);
    EXPECT_EQ(CCSHA1Data(std::vector<uint8_t>{'a', 'b', 'c'}).size(), CC_SHA1_DIGEST_LENGTH);
}

TEST(CommonDigest, BytesAfterAZeroByteCount) {
    // The digest covers the given length, not a C string: an embedded zero is data.
    const char withZero[] = {'a', '\0', 'b'};
    EXPECT_NE(CCMD5Hex(std::string_view(withZero, 3)), CCMD5Hex("a"));
}

TEST(CommonDigest, HexStringOfNothingIsEmpty) {
    EXPECT_EQ(CCHexString(nullptr, 0), "");
    const uint8_t bytes[] = {0x00, 0x0f, 0xa0, 0xff};
    EXPECT_EQ(CCHexString(bytes, 4), "000fa0ff");
    EXPECT_EQ(CCHexString(bytes, 4, HexCase::Upper), "000FA0FF");
}

}  // namespace
