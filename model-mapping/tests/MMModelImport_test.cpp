// Import of JSON dictionaries into models: required and optional keys, nulls, key mapping,
// nested models and lists with their error key paths, conversions and the declaration errors.

#include <gtest/gtest.h>

#include "TestModels.h"

#include <platform_runtime/NSException.h>

namespace {

class ModelImport : public ::testing::Test {
protected:
    void SetUp() override {
        installTestHooks();
        MMModel::setGlobalKeyMapper(nullptr);
    }
    void TearDown() override { MMModel::setGlobalKeyMapper(nullptr); }
};

std::string description(const NSErrorPtr& e) { return e ? e->localizedDescription() : "<no error>"; }

TEST_F(ModelImport, FillsDeclaredPropertiesAndIgnoresUnknownKeys) {
    NSErrorPtr error;
    auto p = MMModel::modelWithDictionary<MMTPerson>(
        json(R"({"name":"Ada","age":36,"isActive":true,"extra":[1,2],"address":{"city":"Lund"}})"), &error);
    ASSERT_TRUE(p) << description(error);
    EXPECT_EQ(p->name(), "Ada");
    EXPECT_EQ(p->age(), 36);
    EXPECT_TRUE(p->isActive());
    EXPECT_FALSE(p->nickname());
    ASSERT_TRUE(p->address());
    EXPECT_EQ(p->address()->city(), "Lund");
    EXPECT_FALSE(p->address()->street());
}

TEST_F(ModelImport, NullAndMissingKeys) {
    struct Case {
        const char* what;
        const char* json;
        bool ok;
        const char* description;
        const char* keyPath;
    };
    const Case cases[] = {
        {"null for an optional property", R"({"name":"A","age":1,"isActive":false,"nickname":null})", true, "", ""},
        {"null for a required property", R"({"name":null,"age":1,"isActive":false})", false,
         "Invalid JSON data: Value of required model key name is null", "name"},
        {"null for a required primitive", R"({"name":"A","age":null,"isActive":false})", false,
         "Invalid JSON data: Value of required model key age is null", "age"},
        {"a missing required key",
         R"({"name":"A","isActive":false})", false,
         "Invalid JSON data. Required JSON keys are missing from the input. Check the error user information.",
         "<none>"},
        {"a JSON array for a primitive", R"({"name":"A","age":[1],"isActive":false})", false,
         "Invalid JSON data. The JSON type mismatches the expected type. Check the error user information.", "age"},
        {"a JSON object for a bool", R"({"name":"A","age":1,"isActive":{"x":1}})", false,
         "Invalid JSON data. The JSON type mismatches the expected type. Check the error user information.",
         "isActive"},
        {"a nested model that is not an object", R"({"name":"A","age":1,"isActive":true,"address":"x"})", true, "",
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        NSErrorPtr error;
        auto p = MMModel::modelWithDictionary<MMTPerson>(json(c.json), &error);
        EXPECT_EQ(static_cast<bool>(p), c.ok);
        if (c.ok) continue;
        ASSERT_TRUE(error);
        EXPECT_EQ(error->domain(), "MMModelErrorDomain");
        EXPECT_EQ(error->code(), 1);
        EXPECT_EQ(error->localizedDescription(), c.description);
        EXPECT_EQ(keyPathOf(error), c.keyPath);
    }
}

TEST_F(ModelImport, MissingKeysAreListedByPropertyNameBeforeAnythingIsAssigned) {
    auto p = std::make_shared<MMTPerson>();
    NSErrorPtr error;
    EXPECT_FALSE(p->initWithDictionary(json(R"({"nickname":"x"})"), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->userInfo().at(Value(kMMModelMissingKeys)), Value::array({"age", "isActive", "name"}));
    EXPECT_FALSE(p->nickname());
}

TEST_F(ModelImport, BadInputs) {
    struct Case {
        const char* what;
        std::function<bool(MMTPerson&, NSErrorPtr*)> run;
        int64_t code;
    };
    const Case cases[] = {
        {"absent dictionary", [](MMTPerson& p, NSErrorPtr* e) { return p.initWithDictionary(Value(), e); }, 5},
        {"bytes that are not JSON",
         [](MMTPerson& p, NSErrorPtr* e) { return p.initWithString("{\"name\":", e); }, 3},
        {"a JSON array", [](MMTPerson& p, NSErrorPtr* e) { return p.initWithString("[1,2]", e); }, 1},
        {"a JSON text", [](MMTPerson& p, NSErrorPtr* e) { return p.initWithDictionary(Value("x"), e); }, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MMTPerson p;
        NSErrorPtr error;
        EXPECT_FALSE(c.run(p, &error));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), c.code);
    }
    NSErrorPtr error;
    MMTPerson p;
    p.initWithString("[1]", &error);
    EXPECT_EQ(error->localizedDescription(),
              "Invalid JSON data: Attempt to initialize MMModel object using initWithDictionary:error: but the "
              "dictionary parameter was not an 'NSDictionary'.");
}

TEST_F(ModelImport, ClassKeyMapperRenamesAndTheModelNameIsIgnored) {
    NSErrorPtr error;
    auto b = MMModel::modelWithDictionary<MMTBuild>(json(R"({"buildid":"19A1","signed":true,"isSigned":false})"),
                                                     &error);
    ASSERT_TRUE(b) << description(error);
    EXPECT_TRUE(b->isSigned());

    b = MMModel::modelWithDictionary<MMTBuild>(json(R"({"buildid":"19A1","isSigned":true})"), &error);
    EXPECT_FALSE(b);
    EXPECT_EQ(error->userInfo().at(Value(kMMModelMissingKeys)), Value::array({"isSigned"}));
}

TEST_F(ModelImport, GlobalKeyMapperAppliesWhereTheClassMapperLeavesTheName) {
    MMModel::setGlobalKeyMapper(MMKeyMapper::mapperFromUpperCaseToLowerCase());
    NSErrorPtr error;
    // The class mapper renames isSigned (it wins); buildid maps to itself, so the global applies.
    auto b = MMModel::modelWithDictionary<MMTBuild>(json(R"({"BUILDID":"19A1","signed":true})"), &error);
    ASSERT_TRUE(b) << description(error);
    EXPECT_EQ(b->buildid(), "19A1");
    EXPECT_TRUE(b->isSigned());
}

TEST_F(ModelImport, DottedKeyPaths) {
    MMModel::setGlobalKeyMapper(MMKeyMapper::initWithModelToJSONDictionary({{"city", "place.city"}}));
    struct Case {
        const char* what;
        const char* json;
        std::optional<std::string> city;
    };
    const Case cases[] = {
        {"nested object", R"({"place":{"city":"Oslo"}})", "Oslo"},
        {"first step holds a number", R"({"place":3,"place.city":"Bergen"})", "Bergen"},
        {"second step missing", R"({"place":{"town":"x"}})", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        NSErrorPtr error;
        auto a = MMModel::modelWithDictionary<MMTAddress>(json(c.json), &error);
        ASSERT_EQ(static_cast<bool>(a), c.city.has_value()) << description(error);
        if (a) {
            EXPECT_EQ(a->city(), *c.city);
        } else {
            EXPECT_EQ(error->userInfo().at(Value(kMMModelMissingKeys)), Value::array({"city"}));
        }
    }
}

TEST_F(ModelImport, NestedErrorsCarryTheirKeyPath) {
    struct Case {
        const char* what;
        const char* json;
        const char* keyPath;
    };
    const Case cases[] = {
        {"bad element of a model list",
         R"({"name":"A","age":1,"isActive":true,"tags":[{"label":"a","weight":1},{"label":null,"weight":2}]})",
         "tags[1].label"},
        {"nested list inside a model list fails the whole import",
         R"({"name":"A","age":1,"isActive":true,"tags":[{"label":"a","weight":1},[{"label":"b","weight":[]}]]})",
         "tags[1][0].weight"},
        {"model list that is not an array", R"({"name":"A","age":1,"isActive":true,"tags":{"label":"a"}})", "tags"},
        {"required field of a nested model", R"({"name":"A","age":1,"isActive":true,"address":{"street":"x"}})",
         "<none>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        NSErrorPtr error;
        auto p = MMModel::modelWithDictionary<MMTPerson>(json(c.json), &error);
        // An optional nested model that fails is skipped; the others fail the import.
        if (std::string(c.keyPath) == "<none>") {
            ASSERT_TRUE(p);
            EXPECT_FALSE(p->address());
            continue;
        }
        EXPECT_FALSE(p);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), 1);
        EXPECT_EQ(keyPathOf(error), c.keyPath);
    }
}

TEST_F(ModelImport, ListsOfModelsAndDictionariesOfModels) {
    NSErrorPtr error;
    auto c = MMModel::modelWithDictionary<MMTCatalogue>(
        json(R"({"builds":[{"buildid":"a","signed":true},[{"buildid":"b","signed":false}]],
                 "byName":{"x":{"buildid":"c","signed":true}}})"),
        &error);
    ASSERT_TRUE(c) << description(error);
    ASSERT_EQ(c->builds().size(), 2u);  // the inner list is flattened
    EXPECT_EQ(c->builds()[1]->buildid(), "b");
    auto x = c->byName().at(Value("x")).objectAs<MMTBuild>();
    ASSERT_TRUE(x);
    EXPECT_EQ(x->buildid(), "c");

    c = MMModel::modelWithDictionary<MMTCatalogue>(
        json(R"({"builds":[],"byName":{"x":{"buildid":"c","signed":[]}}})"), &error);
    EXPECT_FALSE(c);
    EXPECT_EQ(keyPathOf(error), "byName.x.isSigned");
}

TEST_F(ModelImport, ConversionsIntoPropertyTypes) {
    struct Case {
        const char* json;
        std::function<void(const MMTTypes&)> check;
    };
    const Case cases[] = {
        {R"({"text":42})", [](const MMTTypes& t) { EXPECT_EQ(t.text(), "42"); }},
        {R"({"text":"plain"})", [](const MMTTypes& t) { EXPECT_EQ(t.text(), "plain"); }},
        {R"({"number":"12.5"})", [](const MMTTypes& t) { EXPECT_EQ(t.number().value, Value(12.5)); }},
        {R"({"number":"abc"})", [](const MMTTypes& t) { EXPECT_EQ(t.number().value, Value(0)); }},
        {R"({"flag":"yes"})", [](const MMTTypes& t) { EXPECT_TRUE(t.flag()); }},
        {R"({"flag":0})", [](const MMTTypes& t) { EXPECT_FALSE(t.flag()); }},
        {R"({"count":"17"})", [](const MMTTypes& t) { EXPECT_EQ(t.count(), 17); }},
        {R"({"ratio":2})", [](const MMTTypes& t) { EXPECT_DOUBLE_EQ(t.ratio(), 2.0); }},
        {R"({"url":"https://example.org/a?b=1"})",
         [](const MMTTypes& t) {
             ASSERT_TRUE(t.url());
             EXPECT_EQ(t.url()->absoluteString(), "https://example.org/a?b=1");
         }},
        {R"({"url":"not a url"})", [](const MMTTypes& t) { EXPECT_FALSE(t.url()); }},
        {R"({"date":"2021-03-04T05:06:07+01:00"})",
         [](const MMTTypes& t) {
             ASSERT_TRUE(t.date());
             EXPECT_DOUBLE_EQ(t.date()->timeIntervalSince1970(), 1614830767.0);
         }},
        {R"({"date":"2021-03-04T050607+0100"})",
         [](const MMTTypes& t) {
             ASSERT_TRUE(t.date());
             EXPECT_DOUBLE_EQ(t.date()->timeIntervalSince1970(), 1614830767.0);
         }},
        {R"({"date":"2021-03-04T05:06:07Z"})",
         [](const MMTTypes& t) {
             ASSERT_TRUE(t.date());
             EXPECT_DOUBLE_EQ(t.date()->timeIntervalSince1970(), 1614834367.0);
         }},
        {R"({"date":"2021-03-04"})", [](const MMTTypes& t) { EXPECT_FALSE(t.date()); }},
        {R"({"date":86400})",
         [](const MMTTypes& t) {
             ASSERT_TRUE(t.date());
             EXPECT_DOUBLE_EQ(t.date()->timeIntervalSince1970(), 86400.0);
         }},
        {R"({"decimal":"12.345"})",
         [](const MMTTypes& t) {
             ASSERT_TRUE(t.decimal());
             EXPECT_EQ(t.decimal()->stringValue(), "12.345");
         }},
        {R"({"set":[1,2,2]})",
         [](const MMTTypes& t) {
             EXPECT_TRUE(t.set().value.isSet());
             EXPECT_EQ(t.set().value.count(), 2u);
             EXPECT_FALSE(t.set().value.isMutable());
         }},
        {R"({"mutableSet":["a"]})", [](const MMTTypes& t) { EXPECT_TRUE(t.mutableSet().value.isMutable()); }},
        {R"({"mutableList":[1]})",
         [](const MMTTypes& t) {
             EXPECT_TRUE(t.mutableList().value.isArray());
             EXPECT_TRUE(t.mutableList().value.isMutable());
         }},
        {R"({"mutableDict":{"a":1}})", [](const MMTTypes& t) { EXPECT_TRUE(t.mutableDict().value.isMutable()); }},
        {R"({"mutableText":"x"})",
         [](const MMTTypes& t) {
             EXPECT_EQ(t.mutableText().value, Value("x"));
             EXPECT_TRUE(t.mutableText().value.isMutable());
         }},
        {R"({"dict":[]})", [](const MMTTypes& t) { EXPECT_TRUE(t.dict().empty()); }},
        {R"({"dict":{"k":"v"}})", [](const MMTTypes& t) { EXPECT_EQ(t.dict().at(Value("k")), Value("v")); }},
        {R"({"zone":"Europe/Oslo"})",
         [](const MMTTypes& t) {
             ASSERT_TRUE(t.zone());
             EXPECT_EQ(t.zone()->name(), "Europe/Oslo");
         }},
        {R"({"zone":"Nowhere/Special"})", [](const MMTTypes& t) { EXPECT_FALSE(t.zone()); }},
        {R"({"any":[1,{"a":null}]})", [](const MMTTypes& t) { EXPECT_EQ(t.any(), json(R"([1,{"a":null}])")); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        NSErrorPtr error;
        auto t = MMModel::modelWithDictionary<MMTTypes>(json(c.json), &error);
        ASSERT_TRUE(t) << description(error);
        c.check(*t);
    }
}

TEST_F(ModelImport, ValuesThatCannotBeConvertedAreTypeMismatches) {
    struct Case {
        const char* json;
        const char* mismatch;
    };
    const Case cases[] = {
        {R"({"date":{"a":1}})", "NSDate type not supported for MMTTypes.date"},
        {R"({"url":12})", "NSURL type not supported for MMTTypes.url"},
        {R"({"point":"1,2"})", "(null) type not supported for MMTTypes.point"},
        {R"({"dict":[1]})", "NSArray type not supported for MMTTypes.dict"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        NSErrorPtr error;
        EXPECT_FALSE(MMModel::modelWithDictionary<MMTTypes>(json(c.json), &error));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), 1);
        EXPECT_EQ(error->userInfo().at(Value(kMMModelTypeMismatch)), Value(c.mismatch));
    }
}

TEST_F(ModelImport, MergeChangesOnlyThePresentKeys) {
    NSErrorPtr error;
    auto p = MMModel::modelWithDictionary<MMTPerson>(json(R"({"name":"A","age":1,"isActive":true})"), &error);
    ASSERT_TRUE(p);
    EXPECT_TRUE(p->mergeFromDictionary(json(R"({"age":2,"name":null})"), true, &error));
    EXPECT_EQ(p->name(), "A");
    EXPECT_EQ(p->age(), 2);
    EXPECT_TRUE(p->isActive());

    auto b = MMModel::modelWithDictionary<MMTBuild>(json(R"({"buildid":"x","signed":false})"), &error);
    ASSERT_TRUE(b);
    b->mergeFromDictionary(json(R"({"signed":true})"), false, &error);
    EXPECT_FALSE(b->isSigned());  // without key mapping "signed" names nothing
    b->mergeFromDictionary(json(R"({"signed":true})"), true, &error);
    EXPECT_TRUE(b->isSigned());
}

class MMTValidated : public MMModel {
    NS_CLASS(MMTValidated, MMModel)
    NS_PROPERTY(int64_t, size, setSize, "N")
public:
    bool validate(NSErrorPtr* error) override {
        if (size() >= 0) return true;
        if (error) *error = MMModelError::errorModelIsInvalid();
        return false;
    }
};

TEST_F(ModelImport, ValidationRefusesAFilledModel) {
    NSErrorPtr error;
    EXPECT_TRUE(MMModel::modelWithDictionary<MMTValidated>(json(R"({"size":3})"), &error));
    EXPECT_FALSE(MMModel::modelWithDictionary<MMTValidated>(json(R"({"size":-3})"), &error));
    EXPECT_EQ(error->code(), 4);
}

class MMTCustomSetters : public MMModel {
    NS_CLASS(MMTCustomSetters, MMModel)
    NS_PROPERTY(std::string, firstName, setFirstName, "&,N")
public:
    std::string via;
};

NS_CLASS_LOAD(MMTCustomSetters) {
    cls.addInstanceOperation("setFirstNameWithNSString:", [](NSObject& self, const Value::Array& args) {
        auto& m = dynamic_cast<MMTCustomSetters&>(self);
        m.via = "string";
        m.setFirstName(args[0].asStdString());
        return Value();
    });
    cls.addInstanceOperation("setFirstNameWithJSONObject:", [](NSObject& self, const Value::Array& args) {
        auto& m = dynamic_cast<MMTCustomSetters&>(self);
        m.via = "generic";
        m.setFirstName("#" + args[0].stringValue());
        return Value();
    });
}

TEST_F(ModelImport, CustomSettersByValueFamily) {
    auto s = MMModel::modelWithDictionary<MMTCustomSetters>(json(R"({"firstName":"Bo"})"));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->via, "string");
    EXPECT_EQ(s->firstName(), "Bo");
    s = MMModel::modelWithDictionary<MMTCustomSetters>(json(R"({"firstName":7})"));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->via, "generic");
    EXPECT_EQ(s->firstName(), "#7");
}

class MMTUntyped : public MMModel {
    NS_CLASS(MMTUntyped, MMModel)
    NS_PROPERTY(Value, anything, setAnything, "&,N")
};

class MMTBadProtocol : public MMModel {
    NS_CLASS(MMTBadProtocol, MMModel)
    NS_PROPERTY(Value::Array, items, setItems, "&,N", NoSuchModelClass)
};

TEST_F(ModelImport, DeclarationErrorsRaise) {
    try {
        MMModel::modelWithDictionary<MMTUntyped>(json(R"({"anything":1})"));
        ADD_FAILURE() << "no exception";
    } catch (const NSException& e) {
        EXPECT_EQ(e.name(), "MMModelProperty type not allowed");
        EXPECT_EQ(e.reason(), "Property type of MMTUntyped.anything is not supported by MMModel.");
    }
    try {
        MMModel::modelWithDictionary<MMTBadProtocol>(json(R"({"items":[1]})"));
        ADD_FAILURE() << "no exception";
    } catch (const NSException& e) {
        EXPECT_EQ(e.name(), "Bad property protocol declaration");
        EXPECT_EQ(e.reason(), "<NoSuchModelClass> is not allowed MMModel property protocol, and not a MMModel class.");
    }
    // A non-array value under an unknown element class passes unchanged.
    EXPECT_FALSE(MMModel::modelWithDictionary<MMTBadProtocol>(json(R"({"items":"x"})")));
}

}  // namespace
