// Model errors: codes, descriptions and key paths growing outwards.

#include <gtest/gtest.h>

#include <model_mapping/MMModelError.h>

namespace {

TEST(ModelError, Factories) {
    struct Case {
        MMModelErrorPtr error;
        int64_t code;
        const char* description;
    };
    const Case cases[] = {
        {MMModelError::errorInvalidDataWithMessage("M"), 1, "Invalid JSON data: M"},
        {MMModelError::errorInvalidDataWithMissingKeys({}), 1,
         "Invalid JSON data. Required JSON keys are missing from the input. Check the error user information."},
        {MMModelError::errorInvalidDataWithTypeMismatch("T"), 1,
         "Invalid JSON data. The JSON type mismatches the expected type. Check the error user information."},
        {MMModelError::errorBadResponse(), 2, "Bad network response. Probably the JSON URL is unreachable."},
        {MMModelError::errorBadJSON(), 3, "Malformed JSON. Check the MMModel data input."},
        {MMModelError::errorModelIsInvalid(), 4,
         "Model does not validate. The custom validation for the input data failed."},
        {MMModelError::errorInputIsNil(), 5, "Initializing model with nil input object."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        EXPECT_EQ(c.error->domain(), "MMModelErrorDomain");
        EXPECT_EQ(c.error->code(), c.code);
        EXPECT_EQ(c.error->localizedDescription(), c.description);
        EXPECT_FALSE(c.error->keyPath());
    }
    EXPECT_EQ(MMModelError::errorInvalidDataWithMissingKeys({})->userInfo().at(Value(kMMModelMissingKeys)),
              Value(Value::Array{}));
    EXPECT_EQ(MMModelError::errorInvalidDataWithTypeMismatch("T")->userInfo().at(Value(kMMModelTypeMismatch)),
              Value("T"));
}

TEST(ModelError, PrependingKeyPathComponents) {
    auto base = MMModelError::errorInvalidDataWithTypeMismatch("T");
    base->setHttpResponse(std::make_shared<NSObject>());
    base->setResponseData(Value::Data{1, 2});
    auto name = base->errorByPrependingKeyPathComponent("name");
    EXPECT_EQ(name->keyPath(), "name");
    auto indexed = name->errorByPrependingKeyPathComponent("[2]");
    EXPECT_EQ(indexed->keyPath(), "[2].name");
    auto items = indexed->errorByPrependingKeyPathComponent("items");
    EXPECT_EQ(items->keyPath(), "items[2].name");
    EXPECT_EQ(items->errorByPrependingKeyPathComponent("outer")->keyPath(), "outer.items[2].name");
    EXPECT_EQ(items->code(), 1);
    EXPECT_EQ(items->userInfo().at(Value(kMMModelTypeMismatch)), Value("T"));
    EXPECT_FALSE(name->httpResponse());
    EXPECT_FALSE(name->responseData());
}

}  // namespace
