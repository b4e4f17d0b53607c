// Export to dictionaries and JSON text, collection helpers, archiving and copying, equality,
// order and hash by the index property, and the debugging description.

#include <gtest/gtest.h>

#include "TestModels.h"

#include <platform_foundation/NSKeyedArchiver.h>
#include <platform_foundation/NSKeyedUnarchiver.h>
#include <platform_foundation/NSTimeZone.h>
#include <platform_runtime/NSException.h>

namespace {

class ModelExport : public ::testing::Test {
protected:
    void SetUp() override {
        installTestHooks();
        MMModel::setGlobalKeyMapper(nullptr);
    }
    void TearDown() override {
        MMModel::setGlobalKeyMapper(nullptr);
        NSTimeZone::setDefaultTimeZone(nullptr);
    }
};

const char* kPerson =
    R"({"name":"Ada","age":36,"isActive":true,"address":{"city":"Lund"},
        "tags":[{"label":"a","weight":1},{"label":"b","weight":2}]})";

TEST_F(ModelExport, RoundTripsThroughDictionaryTextArchiveAndCopy) {
    auto p = MMModel::modelWithDictionary<MMTPerson>(json(kPerson));
    ASSERT_TRUE(p);
    const Value expected = json(kPerson);
    EXPECT_EQ(p->toDictionary(), expected);  // the absent nickname is left out
    ASSERT_TRUE(p->toJSONString());
    EXPECT_EQ(json(*p->toJSONString()), expected);

    auto copy = std::dynamic_pointer_cast<MMTPerson>(p->copy());
    ASSERT_TRUE(copy);
    EXPECT_NE(copy.get(), p.get());
    EXPECT_EQ(copy->toDictionary(), expected);
    EXPECT_EQ(copy->tags()[1]->weight(), 2);

    NSErrorPtr error;
    Value::Data archive = NSKeyedArchiver::archivedDataWithRootObject(Value(p), true, &error);
    ASSERT_FALSE(archive.empty()) << (error ? error->description() : "");
    Value back = NSKeyedUnarchiver::unarchivedObjectOfClass("MMTPerson", archive, &error);
    auto restored = back.objectAs<MMTPerson>();
    ASSERT_TRUE(restored) << (error ? error->description() : "");
    EXPECT_EQ(restored->toDictionary(), expected);

    const std::vector<std::string> keys{"name", "age"};
    EXPECT_EQ(p->toDictionaryWithKeys(&keys), json(R"({"name":"Ada","age":36})"));
}

TEST_F(ModelExport, KeyMappersWriteUnderMappedKeysAndDottedPaths) {
    auto b = MMModel::modelWithDictionary<MMTBuild>(json(R"({"buildid":"x","signed":true})"));
    ASSERT_TRUE(b);
    EXPECT_EQ(b->toDictionary(), json(R"({"buildid":"x","signed":true})"));

    MMModel::setGlobalKeyMapper(
        MMKeyMapper::initWithModelToJSONDictionary({{"city", "place.city"}, {"street", "place.detail.street"}}));
    auto a = MMModel::modelWithDictionary<MMTAddress>(json(R"({"place":{"city":"Oslo"}})"));
    ASSERT_TRUE(a);
    // The absent optional street leaves its (empty) nested object behind.
    EXPECT_EQ(a->toDictionary(), json(R"({"place":{"city":"Oslo","detail":{}}})"));
}

TEST_F(ModelExport, ConvertedTypesExportThroughTheirConverters) {
    NSTimeZone::setDefaultTimeZone(NSTimeZone::timeZoneWithName("UTC"));
    auto t = MMModel::modelWithDictionary<MMTTypes>(json(
        R"({"url":"https://example.org/x","date":"2021-03-04T05:06:07+01:00","set":[2,1],"zone":"Europe/Oslo",
            "decimal":"1.25","mutableList":[1],"number":"3"})"));
    ASSERT_TRUE(t);
    const std::vector<std::string> keys{"url", "date", "set", "zone", "decimal", "mutableList", "number"};
    Value out = t->toDictionaryWithKeys(&keys);
    EXPECT_EQ(out.objectForKey(Value("url")), Value("https://example.org/x"));
    EXPECT_EQ(out.objectForKey(Value("date")), Value("2021-03-04T04:06:07+0000"));
    EXPECT_EQ(out.objectForKey(Value("set")), Value::array({1, 2}));
    EXPECT_EQ(out.objectForKey(Value("zone")), Value("Europe/Oslo"));
    EXPECT_EQ(out.objectForKey(Value("decimal")), Value(NSDecimal::fromString("1.25")));
    EXPECT_EQ(out.objectForKey(Value("mutableList")), Value::array({1}));
    EXPECT_EQ(out.objectForKey(Value("number")), Value(3));

    // A struct property has no JSON form: the dictionary export throws, the text export is absent.
    try {
        t->toDictionary();
        ADD_FAILURE() << "no exception";
    } catch (const NSException& e) {
        EXPECT_EQ(e.name(), "Value transformer not found");
        EXPECT_EQ(e.reason(), "[MMValueTransformer __JSONObjectFromCGPoint:] not found");
    }
    EXPECT_FALSE(t->toJSONString());
}

TEST_F(ModelExport, ListsOfModelsKeepOtherElements) {
    auto c = MMModel::modelWithDictionary<MMTCatalogue>(json(R"({"builds":[{"buildid":"a","signed":true}]})"));
    ASSERT_TRUE(c);
    Value builds = c->toDictionary().objectForKey(Value("builds"));
    EXPECT_EQ(builds, json(R"([{"buildid":"a","signed":true}])"));

    auto p = std::make_shared<MMTPerson>();
    p->setName("x");
    Value mixed = Value::array({Value(c->builds()[0]), "text"});
    EXPECT_TRUE(MMModel::arrayOfDictionariesFromModels(mixed).isNull());
    EXPECT_EQ(MMModel::arrayOfDictionariesFromModels(Value::array({Value(c->builds()[0])})),
              json(R"([{"buildid":"a","signed":true}])"));
    EXPECT_EQ(MMModel::dictionaryOfDictionariesFromModels(Value::dict({{"k", Value(c->builds()[0])}})),
              json(R"({"k":{"buildid":"a","signed":true}})"));
}

TEST_F(ModelExport, CollectionsOfModels) {
    ObjCClass& tag = MMTTag::classObject();
    NSErrorPtr error;
    Value models = MMModel::arrayOfModelsFromDictionaries(
        tag, json(R"([{"label":"a","weight":1},5,[{"label":"b","weight":2},{"label":"c","weight":3}]])"), &error);
    ASSERT_EQ(models.count(), 3u);
    EXPECT_EQ(models[2].objectAs<MMTTag>()->label(), "c");

    struct Case {
        const char* what;
        const char* json;
        const char* keyPath;
    };
    const Case failures[] = {
        {"second element bad", R"([{"label":"a","weight":1},{"label":"b"}])", "[1]"},
        {"bad element in a nested list", R"([{"label":"a","weight":1},[{"label":"b","weight":[]}]])",
         "[1][0].weight"},
    };
    for (const auto& c : failures) {
        SCOPED_TRACE(c.what);
        error.reset();
        EXPECT_TRUE(MMModel::arrayOfModelsFromDictionaries(tag, json(c.json), &error).isNull());
        ASSERT_TRUE(error);
        EXPECT_EQ(keyPathOf(error), c.keyPath);
    }
    EXPECT_TRUE(MMModel::arrayOfModelsFromDictionaries(tag, Value(), &error).isNull());

    error.reset();
    EXPECT_EQ(MMModel::arrayOfModelsFromString(tag, R"([{"label":"z","weight":0}])", &error).count(), 1u);
    EXPECT_TRUE(MMModel::arrayOfModelsFromString(tag, R"({"a":1})", &error).isNull());
    EXPECT_FALSE(error);
    EXPECT_TRUE(MMModel::arrayOfModelsFromString(tag, "[", &error).isNull());
    EXPECT_TRUE(error);

    error.reset();
    Value byKey = MMModel::dictionaryOfModelsFromString(
        tag, R"({"one":{"label":"a","weight":1},"many":[{"label":"b","weight":2}]})", &error);
    ASSERT_EQ(byKey.count(), 2u);
    EXPECT_EQ(byKey.objectForKey(Value("many")).count(), 1u);
    EXPECT_TRUE(MMModel::dictionaryOfModelsFromDictionary(tag, json(R"({"x":"text"})"), &error).isNull());
    EXPECT_EQ(error->code(), 1);
    EXPECT_EQ(error->userInfo().at(Value(kMMModelTypeMismatch)), Value("Only dictionaries and arrays are supported"));
}

TEST_F(ModelExport, EqualityOrderAndHashFollowTheIndexProperty) {
    auto tag = [](const char* label, int64_t weight) {
        auto t = std::make_shared<MMTTag>();
        t->setLabel(label);
        t->setWeight(weight);
        return t;
    };
    auto a1 = tag("a", 1), a2 = tag("a", 2), b = tag("b", 1);
    EXPECT_TRUE(a1->isEqual(*a2));
    EXPECT_EQ(a1->hash(), a2->hash());
    EXPECT_FALSE(a1->isEqual(*b));
    EXPECT_EQ(a1->compare(*b), NSOrderedAscending);
    EXPECT_EQ(b->compare(*a1), NSOrderedDescending);
    EXPECT_EQ(a1->compare(*a2), NSOrderedSame);

    // Without an index property: identity only, and no order.
    auto x = MMModel::modelWithDictionary<MMTBuild>(json(R"({"buildid":"x","signed":true})"));
    auto y = MMModel::modelWithDictionary<MMTBuild>(json(R"({"buildid":"x","signed":true})"));
    EXPECT_TRUE(x->isEqual(*x));
    EXPECT_FALSE(x->isEqual(*y));
    EXPECT_EQ(x->compare(*y), NSOrderedSame);
}

class MMTSubTag : public MMTTag {
    NS_CLASS(MMTSubTag, MMTTag)
};

TEST_F(ModelExport, AModelNeverEqualsASubclassInstance) {
    MMTTag t;
    t.setLabel("a");
    MMTSubTag s;
    s.setLabel("a");
    EXPECT_FALSE(t.isEqual(s));
    EXPECT_FALSE(s.isEqual(t));
}

TEST_F(ModelExport, DescriptionShortensLongTextsAndIndentsLists) {
    MMTAddress a;
    a.setCity(std::string(61, 'x'));
    std::string d = a.description();
    EXPECT_NE(d.find("   [city]: " + std::string(59, 'x') + "...\n"), std::string::npos) << d;
    EXPECT_NE(d.find("   [street]: <nil>\n"), std::string::npos) << d;
    EXPECT_EQ(d.rfind("<MMTAddress> \n", 0), 0u);
    EXPECT_EQ(d.substr(d.size() - 13), "</MMTAddress>");

    MMTTypes t;
    t.setMutableList({Value::array({std::string(70, 'y'), 2})});
    d = t.description();
    EXPECT_NE(d.find(std::string(70, 'y')), std::string::npos);  // lists are not shortened
    EXPECT_NE(d.find("\n   "), std::string::npos);
}

}  // namespace
