// Imports that take their dictionary over (decoded documents, rvalues) move text into the model
// instead of copying it. What another handle or another property still reads must stay whole.

#include <gtest/gtest.h>

#include "TestModels.h"

namespace {

// Two properties read the same JSON key.
class MMTTwoNames : public MMModel {
    NS_CLASS(MMTTwoNames, MMModel)
    NS_PROPERTY(std::string, title, setTitle, "&,N")
    NS_PROPERTY(std::string, heading, setHeading, "&,N")
};

// One property reads a dictionary, another a key path into it.
class MMTPathInto : public MMModel {
    NS_CLASS(MMTPathInto, MMModel)
    NS_PROPERTY(Value::Dictionary, info, setInfo, "&,N")
    NS_PROPERTY(std::string, infoName, setInfoName, "&,N")
};

const bool hooks = [] {
    MMModel::setKeyMapperHook(MMTTwoNames::classObject(),
                              [] { return MMKeyMapper::initWithModelToJSONDictionary({{"heading", "title"}}); });
    MMModel::setKeyMapperHook(MMTPathInto::classObject(),
                              [] { return MMKeyMapper::initWithModelToJSONDictionary({{"infoName", "info.name"}}); });
    return true;
}();

// Long enough that a copy and a move are different things.
const std::string kLong = "a text long enough to live outside any in-place string storage";

Value::Data bytes(const std::string& text) { return Value::Data(text.begin(), text.end()); }

class ModelHandOver : public ::testing::Test {
protected:
    void SetUp() override {
        installTestHooks();
        MMModel::setGlobalKeyMapper(nullptr);
    }
};

TEST_F(ModelHandOver, AnotherHolderOfTheDictionaryKeepsItsText) {
    Value doc = json(R"({"name":")" + kLong + R"(","age":1,"isActive":true,"address":{"city":")" + kLong + R"("}})");
    const Value kept = doc;
    auto person = MMModel::modelWithDictionary<MMTPerson>(std::move(doc));
    ASSERT_TRUE(person);
    EXPECT_EQ(person->name(), kLong);
    EXPECT_EQ(person->address()->city(), kLong);
    EXPECT_EQ(kept.objectForKey("name").asString(), kLong);
    EXPECT_EQ(kept.objectForKey("address").objectForKey("city").asString(), kLong);
}

TEST_F(ModelHandOver, AnotherHolderOfANestedValueKeepsItsText) {
    Value doc = json(R"({"builds":[{"buildid":")" + kLong + R"(","signed":true},{"buildid":"b","signed":false}]})");
    const Value keptElement = doc.objectForKey("builds")[0];
    const Value keptList = doc.objectForKey("builds");
    auto catalogue = MMModel::modelWithDictionary<MMTCatalogue>(std::move(doc));
    ASSERT_TRUE(catalogue);
    ASSERT_EQ(catalogue->builds().size(), 2u);
    EXPECT_EQ(catalogue->builds()[0]->buildid(), kLong);
    EXPECT_EQ(keptElement.objectForKey("buildid").asString(), kLong);
    EXPECT_EQ(keptList[0].objectForKey("buildid").asString(), kLong);

    Value list = json(R"([{"buildid":")" + kLong + R"(","signed":true}])");
    const Value keptFirst = list[0];
    Value models = MMModel::arrayOfModelsFromDictionaries(MMTBuild::classObject(), std::move(list));
    ASSERT_EQ(models.count(), 1u);
    EXPECT_EQ(models[0].objectAs<MMTBuild>()->buildid(), kLong);
    EXPECT_EQ(keptFirst.objectForKey("buildid").asString(), kLong);
}

TEST_F(ModelHandOver, PropertiesReadingTheSameValueEachGetIt) {
    auto two = MMModel::modelWithData<MMTTwoNames>(bytes(R"({"title":")" + kLong + R"("})"));
    ASSERT_TRUE(two);
    EXPECT_EQ(two->title(), kLong);
    EXPECT_EQ(two->heading(), kLong);

    auto path = MMModel::modelWithData<MMTPathInto>(bytes(R"({"info":{"name":")" + kLong + R"("}})"));
    ASSERT_TRUE(path);
    EXPECT_EQ(path->infoName(), kLong);
    EXPECT_EQ(Value(path->info()).objectForKey("name").asString(), kLong);
}

TEST_F(ModelHandOver, DecodedDocumentsMapAsTheirDictionariesDo) {
    const std::string text = R"({"name":")" + kLong + R"(","age":36,"isActive":true,"nickname":null,)"
                             R"("address":{"city":"Lund","street":")" + kLong + R"("},)"
                             R"("tags":[{"label":")" + kLong + R"(","weight":2},{"label":"x","weight":3}]})";
    auto fromBytes = MMModel::modelWithData<MMTPerson>(bytes(text));
    auto fromDictionary = MMModel::modelWithDictionary<MMTPerson>(json(text));
    const Value decoded = json(text);
    auto fromLvalue = MMModel::modelWithDictionary<MMTPerson>(decoded);
    ASSERT_TRUE(fromBytes && fromDictionary && fromLvalue);
    EXPECT_EQ(fromBytes->toDictionary(), fromLvalue->toDictionary());
    EXPECT_EQ(fromDictionary->toDictionary(), fromLvalue->toDictionary());
    EXPECT_EQ(decoded.objectForKey("tags")[0].objectForKey("label").asString(), kLong);
}

}  // namespace
