// Key mappers: dictionaries both ways, snake, title and upper case, and exceptions.

#include <gtest/gtest.h>

#include <model_mapping/MMKeyMapper.h>

namespace {

TEST(KeyMapper, MapsNamesToJSONKeys) {
    struct Case {
        const char* what;
        MMKeyMapperPtr mapper;
        const char* name;
        const char* key;
    };
    const auto snake = MMKeyMapper::mapperForSnakeCase();
    const Case cases[] = {
        {"dictionary", MMKeyMapper::initWithModelToJSONDictionary({{"isSigned", "signed"}}), "isSigned", "signed"},
        {"dictionary, unlisted", MMKeyMapper::initWithModelToJSONDictionary({{"isSigned", "signed"}}), "url", "url"},
        {"reverse dictionary", MMKeyMapper::initWithDictionary({{"signed", "isSigned"}}), "isSigned", "signed"},
        {"reverse dictionary, unlisted", MMKeyMapper::initWithDictionary({{"signed", "isSigned"}}), "name", "name"},
        {"snake", snake, "userName", "user_name"},
        {"snake, capitals", snake, "URL", "_u_r_l"},
        {"snake, inner digits", snake, "page2Count", "page_2_count"},
        {"snake, trailing digits", snake, "item10", "item_10"},
        {"snake, digit after underscore", snake, "a_1", "a__1"},
        {"snake, same mapper by its other name", MMKeyMapper::mapperFromUnderscoreCaseToCamelCase(), "userName",
         "user_name"},
        {"title", MMKeyMapper::mapperForTitleCase(), "name", "Name"},
        {"title, already", MMKeyMapper::mapperForTitleCase(), "Name", "Name"},
        {"title, empty", MMKeyMapper::mapperForTitleCase(), "", ""},
        {"upper", MMKeyMapper::mapperFromUpperCaseToLowerCase(), "name", "NAME"},
        {"model-to-JSON exception", MMKeyMapper::baseMapper(snake, {{"identifier", "id"}}), "identifier", "id"},
        {"model-to-JSON exception, others", MMKeyMapper::baseMapper(snake, {{"identifier", "id"}}), "userName",
         "user_name"},
        {"JSON-to-model exception", MMKeyMapper::mapper(snake, {{"id", "identifier"}}), "identifier", "id"},
        {"JSON-to-model exception, others", MMKeyMapper::mapper(snake, {{"id", "identifier"}}), "userName",
         "user_name"},
        {"block", MMKeyMapper::initWithModelToJSONBlock([](const std::string& n) { return "x_" + n; }), "a", "x_a"},
        {"block pair keeps the model-to-JSON block",
         MMKeyMapper::initWithJSONToModelBlock([](const std::string&) { return std::string("wrong"); },
                                               [](const std::string& n) { return n + "!"; }),
         "a", "a!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.mapper->convertValue(c.name), c.key);
        EXPECT_EQ(c.mapper->convertValue(c.name, true), c.key);
        EXPECT_EQ(c.mapper->convertValue(c.name, false), c.key);
        EXPECT_FALSE(c.mapper->JSONToModelKeyBlock());
    }
}

TEST(KeyMapper, TitleCaseUsesTheFullUpperCaseForm) {
    EXPECT_EQ(MMKeyMapper::mapperForTitleCase()->convertValue("\xC3\x9F" "ab"), "SSab");  // sharp s
    EXPECT_EQ(MMKeyMapper::mapperForTitleCase()->convertValue("\xC3\xA9t\xC3\xA9"), "\xC3\x89t\xC3\xA9");
}

TEST(KeyMapper, SwapsKeysAndValues) {
    auto swapped = MMKeyMapper::swapKeysAndValuesInDictionary({{"a", "1"}, {"b", "2"}});
    EXPECT_EQ(swapped, (MMKeyMapper::StringMap{{"1", "a"}, {"2", "b"}}));
    EXPECT_EQ(MMKeyMapper::swapKeysAndValuesInDictionary({{"a", "1"}, {"b", "1"}}).size(), 1u);
}

}  // namespace
