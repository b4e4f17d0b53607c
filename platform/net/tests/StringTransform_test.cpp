#include <platform_net/StringTransform.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

constexpr char kToASCII[] = "Any-Latin; Latin-ASCII; [:^ASCII:] Remove";

TEST(StringTransform, AnyScriptToPlainASCII) {
    const std::pair<const char*, const char*> rows[] = {
        {"MyApp/1.0 (iPhone; iOS 17.0; Scale/3.00)", "MyApp/1.0 (iPhone; iOS 17.0; Scale/3.00)"},
        {"Café Crème", "Cafe Creme"},
        {"Größe", "Grosse"},
        {"Москва", "Moskva"},
        {"Ελλάδα", "Ellada"},
        {"emoji \xF0\x9F\x98\x80 gone", "emoji  gone"},
        {"", ""},
    };
    for (const auto& [in, out] : rows) EXPECT_EQ(NSStringApplyTransform(in, kToASCII), out) << in;
    // Han becomes pinyin; whatever the exact romanisation, nothing outside ASCII is left.
    auto han = NSStringApplyTransform("北京", kToASCII);
    ASSERT_TRUE(han);
    EXPECT_FALSE(han->empty());
    for (unsigned char ch : *han) EXPECT_LT(ch, 0x80);
}

TEST(StringTransform, InvalidTransformOrTextLeavesTheTextAlone) {
    EXPECT_EQ(NSStringApplyTransform("abc", "No-Such-Transform"), std::nullopt);
    EXPECT_EQ(NSStringApplyTransform("abc", ""), std::nullopt);
    EXPECT_EQ(NSStringApplyTransform("a\xff", kToASCII), std::nullopt);
    std::string s = "Crème";
    EXPECT_FALSE(CFStringTransform(s, "No-Such-Transform", false));
    EXPECT_EQ(s, "Crème");
    EXPECT_TRUE(CFStringTransform(s, kToASCII, false));
    EXPECT_EQ(s, "Creme");
}

TEST(StringTransform, ReverseAndConcurrentUse) {
    EXPECT_EQ(NSStringApplyTransform("moskva", "Cyrillic-Latin", true), "москва");
    std::vector<std::thread> threads;
    std::vector<std::string> results(8);
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&, i] {
            for (int k = 0; k < 50; ++k) results[i] = NSStringApplyTransform("Ünïcödé", kToASCII).value_or("?");
        });
    }
    for (auto& t : threads) t.join();
    for (const auto& r : results) EXPECT_EQ(r, "Unicode");
}

}  // namespace
