#include <gtest/gtest.h>

#include <platform_runtime/KeyValueCoding.h>
#include <platform_runtime/NSException.h>
#include <platform_runtime/ObjCRuntime.h>

#include "ObjCFixtureClasses.h"

namespace {
template <class F>
NSException raised(F&& f) {
    try {
        f();
    } catch (const NSException& e) {
        return e;
    }
    ADD_FAILURE() << "no exception";
    return NSException("none", "none");
}
}  // namespace

TEST(KeyValueCoding, ReadsAndWritesPropertiesByName) {
    auto device = std::make_shared<FixtureDevice>();
    device->setValue(Value("iPhone"), "name");
    device->setValue(Value(42), "code");
    device->setValue(Value("7"), "ratio");  // numeric text into a double
    device->setValue(Value(2), "status");   // through the class's own setter
    EXPECT_EQ(device->name(), "iPhone");
    EXPECT_EQ(device->code(), 42);
    EXPECT_DOUBLE_EQ(device->ratio(), 7.0);
    EXPECT_EQ(device->status(), 2);

    EXPECT_EQ(device->valueForKey("name"), Value("iPhone"));
    EXPECT_TRUE(device->valueForKey("code").isNumber());
    EXPECT_EQ(device->valueForKey("code").asInt(), 42);
    EXPECT_TRUE(device->valueForKey("reachable").isBool());
    EXPECT_TRUE(device->valueForKey("reachable").asBool());

    auto item = std::make_shared<FixtureItem>();
    item->setValue(Value(true), "isSigned");
    EXPECT_TRUE(item->valueForKey("isSigned").isBool());
    EXPECT_TRUE(item->isSigned());
    // An optional reads back as null until set, and null clears it again.
    EXPECT_TRUE(item->valueForKey("releasedate").isNull());
    item->setValue(Value("2021-01-01"), "releasedate");
    EXPECT_EQ(item->releasedate(), std::optional<std::string>("2021-01-01"));
    item->setValue(Value(), "releasedate");
    EXPECT_FALSE(item->releasedate().has_value());
}

TEST(KeyValueCoding, ObjectsAndArraysOfObjects) {
    auto device = std::make_shared<FixtureDevice>();
    auto a = std::make_shared<FixtureItem>();
    auto b = std::make_shared<FixtureItem>();
    a->setIdentifier("a");
    b->setIdentifier("b");
    device->setValue(Value::array({Value(a), Value(b)}), "firmwares");
    ASSERT_EQ(device->firmwares().size(), 2u);
    EXPECT_EQ(device->firmwares()[1], b);
    EXPECT_EQ(device->valueForKeyPath("firmwares.identifier"), Value::array({"a", "b"}));
    device->setValue(Value(a), "latest");
    EXPECT_EQ(device->valueForKeyPath("latest.identifier"), Value("a"));
    device->setValueForKeyPath(Value("renamed"), "latest.identifier");
    EXPECT_EQ(a->identifier(), "renamed");

    // An element of the wrong class is refused, not dropped.
    auto wrong = raised([&] { device->setValue(Value::array({Value(a), Value(device)}), "firmwares"); });
    EXPECT_EQ(wrong.name(), NSInvalidArgumentException);
    EXPECT_EQ(device->firmwares().size(), 2u);
}

TEST(KeyValueCoding, KeyPathsThroughDictionaries) {
    auto device = std::make_shared<FixtureDevice>();
    device->setInfo({{Value("outer"), Value::dict({{"inner", 5}})}});
    EXPECT_EQ(device->valueForKeyPath("info.outer.inner"), Value(5));
    EXPECT_TRUE(device->valueForKeyPath("info.missing.inner").isNull());
    device->setValueForKeyPath(Value(6), "info.outer.inner");
    EXPECT_EQ(device->info().at(Value("outer")).objectForKey(Value("inner")), Value(6));
    device->setValueForKeyPath(Value(), "info.outer.inner");  // null removes the key
    EXPECT_EQ(device->info().at(Value("outer")).count(), 0u);

    Value json = Value::dict({{"a", Value::dict({{"b", "c"}})}, {"list", Value::array({Value::dict({{"k", 1}}),
                                                                                       Value::dict({{"k", 2}})})}});
    EXPECT_EQ(valueForKeyPath(json, "a.b"), Value("c"));
    EXPECT_EQ(valueForKeyPath(json, "list.k"), Value::array({1, 2}));
    EXPECT_TRUE(valueForKeyPath(Value(), "a.b").isNull());
    setValueForKeyPath(json, Value("d"), "a.b");
    EXPECT_EQ(valueForKeyPath(json, "a.b"), Value("d"));
    setValueForKeyPath(json, Value("e"), "a.new");
    EXPECT_EQ(valueForKeyPath(json, "a.new"), Value("e"));
}

TEST(KeyValueCoding, UnknownKeysRaiseTheUnknownKeyException) {
    auto device = std::make_shared<FixtureDevice>();
    struct Case {
        const char* what;
        std::function<void()> call;
        const char* reasonPart;
    } cases[] = {
        {"get", [&] { device->valueForKey("nope"); }, "valueForUndefinedKey:]: this class is not key value coding-compliant for the key nope."},
        {"set", [&] { device->setValue(Value(1), "nope"); }, "setValue:forUndefinedKey:]: this class is not key value coding-compliant for the key nope."},
        {"read-only computed", [&] { device->setValue(Value(true), "reachable"); }, "forUndefinedKey:"},
        {"path step into a string", [&] { device->valueForKeyPath("name.length"); }, "<NSString"},
        {"value-level string", [&] { valueForKeyPath(Value::dict({{"a", "text"}}), "a.b"); }, "for the key b."},
    };
    device->setName("x");
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        NSException e = raised(c.call);
        EXPECT_EQ(e.name(), "NSUnknownKeyException");
        EXPECT_NE(e.reason().find(c.reasonPart), std::string::npos) << e.reason();
    }
    NSException e = raised([&] { device->valueForKey("nope"); });
    EXPECT_EQ(e.userInfo().at(Value(NSUnknownUserInfoKey)), Value("nope"));
    EXPECT_NE(e.reason().find("[<FixtureDevice 0x"), std::string::npos);
}

TEST(KeyValueCoding, NullIntoAScalarGoesToSetNilValueForKey) {
    auto device = std::make_shared<FixtureDevice>();
    device->setCode(3);
    NSException e = raised([&] { device->setValue(Value(), "code"); });
    EXPECT_EQ(e.name(), NSInvalidArgumentException);
    EXPECT_NE(e.reason().find("could not set nil as the value for the key code."), std::string::npos);
    EXPECT_EQ(device->code(), 3);

    class Zeroing : public FixtureDevice {
    public:
        void setNilValueForKey(const std::string& key) override {
            if (key == "code") setCode(0);
        }
    } zeroing;
    zeroing.setCode(9);
    zeroing.setValue(Value(), "code");
    EXPECT_EQ(zeroing.code(), 0);
    // Object properties take null.
    device->setValue(Value(), "name");
    EXPECT_EQ(device->name(), "");
}

TEST(KeyValueCoding, BlocksAndUntypedValues) {
    auto device = std::make_shared<FixtureDevice>();
    device->setHandler([] {});
    EXPECT_TRUE(device->valueForKey("handler").isNull());
    device->setValue(Value(), "handler");
    EXPECT_FALSE(static_cast<bool>(device->handler()));
    device->setValue(Value::array({1, "two"}), "extra");
    EXPECT_EQ(device->valueForKey("extra"), Value::array({1, "two"}));
}
