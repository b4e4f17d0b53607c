#include <platform_foundation/NSUUID.h>

#include <gtest/gtest.h>

#include <cctype>
#include <set>

TEST(NSUUID, RandomUUIDsAreVersion4AndDistinct) {
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        auto u = NSUUID::UUID();
        const std::string text = u->UUIDString();
        ASSERT_EQ(text.size(), 36u);
        EXPECT_EQ(text[14], '4') << text;                             // version
        EXPECT_NE(std::string("89AB").find(text[19]), std::string::npos) << text;  // variant
        for (std::size_t j = 0; j < text.size(); ++j) {
            if (j == 8 || j == 13 || j == 18 || j == 23)
                EXPECT_EQ(text[j], '-');
            else
                EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(text[j])) || (text[j] >= 'A' && text[j] <= 'F')) << text;
        }
        seen.insert(text);
    }
    EXPECT_EQ(seen.size(), 1000u);
}

TEST(NSUUID, ParsesTextAnyCaseAndAnswersUpperCase) {
    auto u = NSUUID::initWithUUIDString("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
    ASSERT_TRUE(u);
    EXPECT_EQ(u->UUIDString(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    uint8_t bytes[16];
    u->getUUIDBytes(bytes);
    EXPECT_EQ(bytes[0], 0xE6);
    EXPECT_EQ(bytes[15], 0x5F);
    auto same = NSUUID::initWithUUIDBytes(bytes);
    EXPECT_TRUE(u->isEqual(*same));
    EXPECT_EQ(u->hash(), same->hash());
    EXPECT_EQ(*u, *same);
    EXPECT_FALSE(u->isEqual(*NSUUID::UUID()));
    EXPECT_FALSE(u->isEqual(NSObject()));
    EXPECT_EQ(u->description(), u->UUIDString());
}

TEST(NSUUID, BadTextGivesNothing) {
    const char* bad[] = {
        "",
        "E621E1F8C36C495A93FC0C247A3E6E5F",       // no dashes
        "E621E1F8-C36C-495A-93FC-0C247A3E6E5",    // short
        "E621E1F8-C36C-495A-93FC-0C247A3E6E5F0",  // long
        "E621E1F8-C36C-495A-93FC-0C247A3E6E5G",   // not hex
        "E621E1F8+C36C-495A-93FC-0C247A3E6E5F",   // wrong separator
        "E621E1F-8C36C-495A-93FC-0C247A3E6E5F",   // dash misplaced
        "{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}", // braces
        " E621E1F8-C36C-495A-93FC-0C247A3E6E5",   // leading space
    };
    for (const char* text : bad) EXPECT_EQ(NSUUID::initWithUUIDString(text), nullptr) << text;
    EXPECT_EQ(NSUUID::initWithUUIDString(std::string_view("E621E1F8-C36C-495A-93FC-0C247A3E6E5F\0", 37)), nullptr);
}
