// Property records read from the declarations: markers, hooks, read-only and block
// properties, redeclarations, custom accessors and record descriptions.

#include <gtest/gtest.h>

#include <functional>

#include "TestModels.h"

namespace {

const MMModelClassProperty* record(const MMModel& m, const std::string& name) {
    for (const auto& p : m.properties())
        if (p->name == name) return p.get();
    return nullptr;
}

class MMTMarkers : public MMModel {
    NS_CLASS(MMTMarkers, MMModel)
    NS_PROPERTY(std::string, name, setName, "&,N")
    NS_PROPERTY(int64_t, count, setCount, "N")
    NS_PROPERTY(std::string, code, setCode, "&,N", Index)
    NS_PROPERTY(std::vector<std::shared_ptr<MMTTag>>, tags, setTags, "&,N", Optional)
    NS_PROPERTY(std::string, secret, setSecret, "&,N", Ignore)
    NS_PROPERTY(std::string, hidden, setHidden, "&,N")
    NS_PROPERTY(Value, anything, setAnything, "&,N", Optional)
    NS_PROPERTY(Value::Array, viaHook, setViaHook, "&,N")
    NS_PROPERTY(std::function<void()>, callback, setCallback, "&,N")
    NS_PROPERTY(NSMutableArrayValue, list, setList, "&,N")
    NS_PROPERTY(CGRect, frame, setFrame, "N")
public:
    std::string computed() const { return "c"; }
    NS_READONLY_PROPERTY(std::string, computed, "R,N", computed)
};

class MMTSubMarkers : public MMTMarkers {
    NS_CLASS(MMTSubMarkers, MMTMarkers)
    NS_PROPERTY(std::optional<std::string>, name, setName, "&,N", Optional)
};

class MMTEmpty : public MMModel {
    NS_CLASS(MMTEmpty, MMModel)
};

NS_CLASS_LOAD(MMTMarkers) {
    MMModel::setPropertyIsIgnoredHook(cls, [](const std::string& n) { return n == "hidden"; });
    MMModel::setProtocolForArrayPropertyHook(cls, [](const std::string& n) {
        return n == "viaHook" ? std::optional<std::string>("MMTTag") : std::nullopt;
    });
    cls.addInstanceOperation("JSONObjectForCount", [](NSObject&, const Value::Array&) { return Value(); });
}

TEST(ModelIntrospection, RecordsFollowTheDeclarations) {
    MMTMarkers m;
    struct Case {
        const char* name;
        bool present;
        std::function<void(const MMModelClassProperty&)> check;
    };
    const Case cases[] = {
        {"name", true, [](const MMModelClassProperty& p) {
             EXPECT_TRUE(p.isStandardJSONType);
             EXPECT_FALSE(p.isOptional);
             EXPECT_EQ(p.description(), "@property NSString* name (Standard JSON type, Setters = [])");
         }},
        {"count", true, [](const MMModelClassProperty& p) {
             EXPECT_FALSE(p.type);
             EXPECT_EQ(p.primitiveName, "long long");
             EXPECT_EQ(p.description(), "@property primitive count (Getter = JSONObjectForCount, Setters = [])");
         }},
        {"code", true, [](const MMModelClassProperty& p) { EXPECT_TRUE(p.isIndex); }},
        {"tags", true, [](const MMModelClassProperty& p) {
             EXPECT_TRUE(p.isOptional);
             EXPECT_EQ(p.protocol, "MMTTag");
             EXPECT_EQ(p.description(), "@property NSArray*<MMTTag> tags (Optional, Standard JSON type, Setters = [])");
         }},
        {"secret", false, nullptr},
        {"hidden", false, nullptr},
        {"callback", false, nullptr},
        {"computed", false, nullptr},
        {"anything", true, [](const MMModelClassProperty& p) {
             EXPECT_FALSE(p.type);
             EXPECT_TRUE(p.isOptional);
             EXPECT_TRUE(p.primitiveName.empty());
         }},
        {"viaHook", true, [](const MMModelClassProperty& p) { EXPECT_EQ(p.protocol, "MMTTag"); }},
        {"list", true, [](const MMModelClassProperty& p) {
             EXPECT_TRUE(p.isMutable);
             EXPECT_TRUE(p.isStandardJSONType);
         }},
        {"frame", true, [](const MMModelClassProperty& p) {
             EXPECT_EQ(p.structName, "CGRect");
             EXPECT_FALSE(p.isStandardJSONType);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const MMModelClassProperty* p = record(m, c.name);
        ASSERT_EQ(p != nullptr, c.present);
        if (p && c.check) c.check(*p);
    }
    EXPECT_EQ(m.indexPropertyName(), "code");
    EXPECT_EQ(m.requiredPropertyNames(), (std::set<std::string>{"code", "count", "frame", "list", "name", "viaHook"}));
}

TEST(ModelIntrospection, SubclassRedeclarationWinsAndEmptyClassImportsNothing) {
    MMTSubMarkers sub;
    const MMModelClassProperty* name = record(sub, "name");
    ASSERT_TRUE(name);
    EXPECT_TRUE(name->isOptional);
    EXPECT_EQ(sub.properties().size(), MMTMarkers().properties().size());

    MMTEmpty empty;
    EXPECT_TRUE(empty.properties().empty());
    NSErrorPtr error;
    EXPECT_TRUE(empty.initWithDictionary(json(R"({"a":1})"), &error));
    EXPECT_EQ(empty.toDictionary(), Value(Value::Dictionary{}));
}

TEST(ModelIntrospection, ReadOnlyPropertiesAreNeitherImportedNorExported) {
    auto m = std::make_shared<MMTMarkers>();
    m->mergeFromDictionary(json(R"({"computed":"x","name":"n"})"), false);
    EXPECT_EQ(m->name(), "n");
    const std::vector<std::string> keys{"name", "computed"};
    EXPECT_EQ(m->toDictionaryWithKeys(&keys), json(R"({"name":"n"})"));
    // The struct property has no conversion to JSON.
    EXPECT_FALSE(m->toJSONString());
}

}  // namespace
