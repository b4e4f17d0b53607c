#include <platform_foundation/NSStringEncoding.h>

#include <gtest/gtest.h>

namespace {

Value::Data bytes(std::string_view s) { return Value::Data(s.begin(), s.end()); }

TEST(NSStringEncoding, Utf8RoundTripAndRejection) {
    EXPECT_EQ(NSString::dataUsingEncoding("héllo", NSUTF8StringEncoding), bytes("héllo"));
    EXPECT_EQ(NSString::initWithData(bytes("héllo 😀"), NSUTF8StringEncoding), "héllo 😀");
    EXPECT_EQ(NSString::initWithData({}, NSUTF8StringEncoding), "");
    for (const char* bad : {"\xFF", "\xC3", "a\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80"})
        EXPECT_EQ(NSString::initWithData(bytes(bad), NSUTF8StringEncoding), std::nullopt) << bad;
}

TEST(NSStringEncoding, AsciiLatin1AndUtf16) {
    EXPECT_EQ(NSString::dataUsingEncoding("abc", NSASCIIStringEncoding), bytes("abc"));
    EXPECT_EQ(NSString::dataUsingEncoding("abé", NSASCIIStringEncoding), std::nullopt);
    EXPECT_EQ(NSString::dataUsingEncoding("abé", NSASCIIStringEncoding, true), bytes("ab?"));
    EXPECT_EQ(NSString::initWithData(bytes("ab\xE9"), NSISOLatin1StringEncoding), "abé");
    EXPECT_EQ(NSString::initWithData(bytes("ab\xE9"), NSASCIIStringEncoding), std::nullopt);

    auto utf16 = NSString::dataUsingEncoding("a😀", NSUTF16StringEncoding);
    ASSERT_TRUE(utf16);
    EXPECT_EQ(*utf16, (Value::Data{0xFF, 0xFE, 'a', 0, 0x3D, 0xD8, 0x00, 0xDE}));
    EXPECT_EQ(NSString::initWithData(*utf16, NSUTF16StringEncoding), "a😀");
    EXPECT_EQ(NSString::initWithData(Value::Data{0, 'h', 0, 'i'}, NSUTF16StringEncoding), "hi");
    EXPECT_EQ(NSString::initWithData(Value::Data{'h', 0, 'i', 0}, NSUTF16LittleEndianStringEncoding), "hi");
    EXPECT_EQ(NSString::initWithData(Value::Data{0xD8, 0x3D, 0, 'a'}, NSUTF16BigEndianStringEncoding), std::nullopt);
    EXPECT_EQ(NSString::initWithData(Value::Data{0, 'h', 0}, NSUTF16BigEndianStringEncoding), std::nullopt);
}

}  // namespace
