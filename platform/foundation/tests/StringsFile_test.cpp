#include <platform_foundation/StringsFile.h>

#include <gtest/gtest.h>

namespace {

Value::Data bytes(std::string_view s) { return Value::Data(s.begin(), s.end()); }

Value::Data utf16(std::u16string_view s, bool littleEndian, bool bom) {
    Value::Data out;
    if (bom) {
        out.push_back(littleEndian ? 0xFF : 0xFE);
        out.push_back(littleEndian ? 0xFE : 0xFF);
    }
    for (char16_t u : s) {
        uint8_t hi = static_cast<uint8_t>(u >> 8), lo = static_cast<uint8_t>(u);
        out.push_back(littleEndian ? lo : hi);
        out.push_back(littleEndian ? hi : lo);
    }
    return out;
}

TEST(StringsFile, ReadsEntriesCommentsAndEscapes) {
    struct Case {
        const char* text;
        StringsFile::Table expected;
    };
    const Case cases[] = {
        {R"("a" = "b";)", {{"a", "b"}}},
        {"/* header */\n\"a\" = \"1\"; // trailing\n/* multi\nline */ \"b\"=\"2\";", {{"a", "1"}, {"b", "2"}}},
        {R"("q" = "say \"hi\"\n\tand \\ go";)", {{"q", "say \"hi\"\n\tand \\ go"}}},
        {R"("u" = "caf\U00e9 \UD83D\UDE00 \u263a";)", {{"u", "café 😀 ☺"}}},
        {R"("o" = "\101\102";)", {{"o", "AB"}}},
        {R"(plain_key = value.with-dots; "self";)", {{"plain_key", "value.with-dots"}, {"self", "self"}}},
        {R"('single' = 'quoted';)", {{"single", "quoted"}}},
        {"{ \"a\" = \"b\"; }", {{"a", "b"}}},
        {R"("dup" = "first"; "dup" = "second";)", {{"dup", "second"}}},
        {R"("%d %@years ago" = "%d %@years ago";)", {{"%d %@years ago", "%d %@years ago"}}},
        {"", {}},
        {"// only a comment", {}},
    };
    for (const Case& c : cases) {
        std::string error;
        auto table = StringsFile::parseText(c.text, &error);
        ASSERT_TRUE(table) << c.text << ": " << error;
        EXPECT_EQ(*table, c.expected) << c.text;
    }
}

TEST(StringsFile, RejectsMalformedTextWithTheLine) {
    const char* bad[] = {
        "\"a\" = \"b\"",            // missing ;
        "\"a\" \"b\";",             // missing =
        "\"a\" = \"unterminated;",
        "\"a\" = \"b\";\n/* open comment",
        "\"a\" = ;",
        "{ \"a\" = \"b\";",
        "\"a\" = \"b\"; }",
    };
    for (const char* text : bad) {
        std::string error;
        EXPECT_FALSE(StringsFile::parseText(text, &error)) << text;
        EXPECT_NE(error.find("line "), std::string::npos) << text;
    }
    std::string error;
    EXPECT_FALSE(StringsFile::parseText("\"a\" = \"b\";\n\n\"c\" = \"d\"", &error));
    EXPECT_EQ(error.rfind("line 3", 0), 0u) << error;
}

TEST(StringsFile, DetectsEncodings) {
    const std::u16string text = u"\"k\" = \"Привет 😀\";";
    const StringsFile::Table expected{{"k", "Привет 😀"}};
    EXPECT_EQ(StringsFile::parse(utf16(text, true, true)), expected);
    EXPECT_EQ(StringsFile::parse(utf16(text, false, true)), expected);
    EXPECT_EQ(StringsFile::parse(utf16(text, true, false)), expected);
    EXPECT_EQ(StringsFile::parse(utf16(text, false, false)), expected);
    EXPECT_EQ(StringsFile::parse(bytes("\xEF\xBB\xBF\"k\" = \"Привет 😀\";")), expected);
    EXPECT_FALSE(StringsFile::parse(bytes("\"k\" = \"\xFF\";")));
}

TEST(StringsFile, ReadsPropertyListTables) {
    const char* xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
        "<key>a</key><string>A</string><key>n</key><integer>3</integer></dict></plist>";
    EXPECT_EQ(StringsFile::parse(bytes(xml)), (StringsFile::Table{{"a", "A"}}));
    auto binary = StringsFile::tableWithContentsOfFile(std::string(TEST_SOURCE_DIR) +
                                                       "/data/TestApp/zh-Hans.lproj/Localizable.strings");
    ASSERT_TRUE(binary);
    EXPECT_EQ(binary->at("apptitle"), "签名固件");
    EXPECT_EQ(binary->count("count"), 0u);  // not a string
    EXPECT_FALSE(StringsFile::parse(bytes("bplist00garbage")));
    EXPECT_FALSE(StringsFile::tableWithContentsOfFile("/nonexistent/Localizable.strings"));
}

}  // namespace
