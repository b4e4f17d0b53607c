#include <platform_foundation/Random.h>

#include <gtest/gtest.h>

#include <array>
#include <vector>

TEST(Random, SecRandomCopyBytesFillsTheBuffer) {
    std::vector<uint8_t> a(4096, 0), b(4096, 0);
    EXPECT_EQ(SecRandomCopyBytes(kSecRandomDefault, a.size(), a.data()), errSecSuccess);
    EXPECT_EQ(SecRandomCopyBytes(kSecRandomDefault, b.size(), b.data()), errSecSuccess);
    EXPECT_NE(a, b);
    std::array<int, 256> counts{};
    for (uint8_t byte : a) counts[byte]++;
    for (int c : counts) EXPECT_LT(c, 64);  // expected 16 per value; a stuck source fails this
    EXPECT_EQ(SecRandomCopyBytes(kSecRandomDefault, 0, nullptr), errSecSuccess);
    EXPECT_NE(SecRandomCopyBytes(kSecRandomDefault, 8, nullptr), errSecSuccess);
}

TEST(Random, UniformStaysBelowTheBound) {
    EXPECT_EQ(arc4random_uniform(0), 0u);
    EXPECT_EQ(arc4random_uniform(1), 0u);
    std::array<int, 6> counts{};
    for (int i = 0; i < 60000; ++i) {
        const uint32_t r = arc4random_uniform(6);
        ASSERT_LT(r, 6u);
        counts[r]++;
    }
    for (int c : counts) EXPECT_NEAR(c, 10000, 600);
    for (int i = 0; i < 1000; ++i) EXPECT_LT(arc4random_uniform(0x80000001u), 0x80000001u);
    uint8_t buf[32] = {};
    arc4random_buf(buf, sizeof buf);
    EXPECT_NE(std::vector<uint8_t>(buf, buf + 32), std::vector<uint8_t>(32, 0));
    EXPECT_NE(arc4random() | arc4random() | arc4random(), 0u);
}

TEST(Random, RejectionRemovesModuloBias) {
    // For a bound of 2^31 + 1, words below 2^32 mod bound (= 2^31 - 1) are rejected; otherwise
    // residues 0 .. 2^31 - 2 would come up twice as often as the rest.
    const uint32_t bound = 0x80000001u;
    const uint32_t threshold = 0x7FFFFFFFu;
    std::vector<uint32_t> words = {0, threshold - 1, threshold};
    std::size_t next = 0;
    const uint32_t r = uniformBelow(bound, [&] { return words[next++]; });
    EXPECT_EQ(next, 3u);
    EXPECT_EQ(r, threshold % bound);
    // Powers of two never reject.
    next = 0;
    words = {0};
    EXPECT_EQ(uniformBelow(8, [&] { return words[next++]; }), 0u);
    EXPECT_EQ(next, 1u);
}
