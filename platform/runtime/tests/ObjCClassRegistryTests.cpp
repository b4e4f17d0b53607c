#include <gtest/gtest.h>

#include <cstring>
#include <typeinfo>

#include <platform_runtime/NSError.h>
#include <platform_runtime/ObjCRuntime.h>
#include <platform_runtime/ValueClasses.h>

#include "ObjCFixtureClasses.h"

TEST(ObjCClassRegistry, ClassesRegisterAtLoadAndAreFoundByName) {
    ObjCClass* phone = NSClassFromString("FixturePhone");
    ASSERT_NE(phone, nullptr);
    EXPECT_EQ(phone, &FixturePhone::classObject());
    EXPECT_EQ(NSStringFromClass(phone), "FixturePhone");
    EXPECT_EQ(class_getSuperclass(phone), NSClassFromString("FixtureDevice"));
    EXPECT_EQ(class_getSuperclass(class_getSuperclass(phone)), &NSObject::classObject());
    EXPECT_EQ(class_getSuperclass(&NSObject::classObject()), nullptr);
}

// Two classes under one name is a program error: the process ends, naming both. The same class
// reached again (its registrar copied into another library) answers the first registration.
TEST(ObjCClassRegistryDeathTest, ASecondClassUnderATakenNameIsFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(ObjCClass::registerClass("FixturePhone", &NSObject::classObject(), 8, nullptr, "OtherPhone"),
                 "two classes are registered under the name FixturePhone: FixturePhone \\(subclass of "
                 "FixtureDevice\\) and OtherPhone \\(subclass of NSObject\\)");
    EXPECT_DEATH(ObjCClass::registerClass("FixturePhone", &FixtureDevice::classObject(), 8, nullptr, "OtherPhone"),
                 "FixturePhone: FixturePhone \\(subclass of FixtureDevice\\) and OtherPhone");
    EXPECT_EQ(&ObjCClass::registerClass("FixturePhone", &FixtureDevice::classObject(), sizeof(FixturePhone), nullptr,
                                        typeid(FixturePhone).name()),
              &FixturePhone::classObject());
    EXPECT_EQ(NSClassFromString("FixturePhone"), &FixturePhone::classObject());
}

TEST(ObjCClassRegistry, AbsentClassAnswersNothing) {
    EXPECT_EQ(NSClassFromString("ZVCommonLogManager"), nullptr);
    EXPECT_EQ(NSClassFromString(""), nullptr);
    EXPECT_EQ(NSStringFromClass(nullptr), "");
    EXPECT_FALSE(class_conformsToProtocol(nullptr, "NSCopying"));
    EXPECT_TRUE(class_copyPropertyList(nullptr).empty());
    EXPECT_FALSE(performClassSelector("ZVCommonLogManager", "logWithLevel:", {Value(1)}).has_value());
}

TEST(ObjCClassRegistry, KindAndMemberTests) {
    auto phone = std::make_shared<FixturePhone>();
    EXPECT_EQ(phone->className(), "FixturePhone");
    EXPECT_EQ(&phone->objcClass(), &FixturePhone::classObject());
    EXPECT_TRUE(phone->isKindOfClass(&FixtureDevice::classObject()));
    EXPECT_TRUE(phone->isKindOfClass(&NSObject::classObject()));
    EXPECT_TRUE(phone->isMemberOfClass(&FixturePhone::classObject()));
    EXPECT_FALSE(phone->isMemberOfClass(&FixtureDevice::classObject()));
    EXPECT_FALSE(phone->isKindOfClass(&FixtureItem::classObject()));
    EXPECT_FALSE(phone->isKindOfClass(nullptr));

    auto device = std::make_shared<FixtureDevice>();
    EXPECT_FALSE(device->isKindOfClass(&FixturePhone::classObject()));
    NSObject plain;
    EXPECT_EQ(plain.className(), "NSObject");
}

TEST(ObjCClassRegistry, ProtocolConformanceIsInheritedByName) {
    EXPECT_TRUE(FixtureDevice::classObject().conformsToProtocol("NSCopying"));
    EXPECT_TRUE(class_conformsToProtocol(&FixturePhone::classObject(), "NSCopying"));
    EXPECT_FALSE(FixtureItem::classObject().conformsToProtocol("NSCopying"));
    EXPECT_TRUE(std::make_shared<FixturePhone>()->conformsToProtocol("NSCopying"));
}

TEST(ObjCClassRegistry, InstancesByClass) {
    auto made = NSClassFromString("FixtureItem")->createInstance();
    ASSERT_NE(made, nullptr);
    EXPECT_TRUE(made->isMemberOfClass(&FixtureItem::classObject()));
    EXPECT_EQ(FixtureNoDefault::classObject().createInstance(), nullptr);
}

TEST(ObjCClassRegistry, ClassDeclaredOnlyThroughClassNameIsRecognised) {
    // NSError names itself through className() without NS_CLASS.
    auto error = NSError::errorWithDomain("D", 1, {});
    EXPECT_EQ(error->className(), "NSError");
    EXPECT_TRUE(error->isKindOfClass(&NSObject::classObject()));
}

TEST(ObjCClassRecord, ReachableFromTheObjectWithPlainReads) {
    auto phone = std::make_shared<FixturePhone>();
    const char* base = reinterpret_cast<const char*>(static_cast<NSObject*>(phone.get()));
    const ObjCClassRecord* record;
    std::memcpy(&record, base + NSObject::isaOffset(), sizeof record);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->magic, OBJC_CLASS_RECORD_MAGIC);
    EXPECT_STREQ(record->name, "FixturePhone");
    EXPECT_EQ(record->flags & OBJC_CLASS_FLAG_ROOT, 0u);
    EXPECT_EQ(record->instanceSize, sizeof(FixturePhone));
    ASSERT_EQ(record->propertyCount, 1u);
    EXPECT_STREQ(record->properties[0].name, "carrier");
    EXPECT_STREQ(record->properties[0].attributes, "T@\"NSString\",&,N,V_carrier");

    const ObjCClassRecord* root = record->superclass->superclass;
    EXPECT_STREQ(record->superclass->name, "FixtureDevice");
    EXPECT_STREQ(root->name, "NSObject");
    EXPECT_EQ(root->flags & OBJC_CLASS_FLAG_ROOT, OBJC_CLASS_FLAG_ROOT);
    EXPECT_EQ(root->superclass, nullptr);
    EXPECT_EQ(ObjCClass::fromRecord(record), &FixturePhone::classObject());
}

// Each stored property's bytes are found from the object's address through the ivar table.
TEST(ObjCClassRecord, IvarTableLocatesEveryStoredProperty) {
    auto device = std::make_shared<FixtureDevice>();
    device->setName("pixel");
    device->setCode(7);
    device->setRatio(0.5);
    const char* base = reinterpret_cast<const char*>(static_cast<NSObject*>(device.get()));
    const ObjCClassRecord& record = FixtureDevice::classObject().record();
    struct Case {
        const char* name;
        const char* typeCode;
        const void* member;
        std::size_t size;
    } cases[] = {
        {"_name", "@\"NSString\"", &device->name(), sizeof(std::string)},
        {"_code", "i", &device->code(), sizeof(int)},
        {"_firmwares", "@\"NSArray<FixtureItem>\"", &device->firmwares(),
         sizeof(std::vector<std::shared_ptr<FixtureItem>>)},
        {"_ratio", "d", &device->ratio(), sizeof(double)},
        {"_extra", "@\"<Ignore>\"", &device->extra(), sizeof(Value)},
    };
    // Accessor-backed properties have no storage of their own and are not listed.
    ASSERT_EQ(record.ivarCount, 8u);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ObjCIvarRecord* found = nullptr;
        for (uint32_t i = 0; i < record.ivarCount; ++i)
            if (std::strcmp(record.ivars[i].name, c.name) == 0) found = &record.ivars[i];
        ASSERT_NE(found, nullptr);
        EXPECT_STREQ(found->typeCode, c.typeCode);
        EXPECT_EQ(base + found->offset, static_cast<const char*>(c.member));
        EXPECT_EQ(found->size, c.size);
    }
    int code;
    const ObjCIvarRecord* codeIvar = &record.ivars[1];
    std::memcpy(&code, base + codeIvar->offset, sizeof code);
    EXPECT_EQ(code, 7);
    EXPECT_EQ(FixturePhone::classObject().record().ivarCount, 1u);
}

TEST(ObjCObject, WeakReferencesClearWhenTheObjectGoes) {
    std::weak_ptr<NSObject> weak;
    {
        auto item = std::make_shared<FixtureItem>();
        weak = item;
        EXPECT_FALSE(weak.expired());
    }
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(weak.lock(), nullptr);
}

TEST(ObjCValueClasses, ValuesAnswerThePlatformClassTheyStandFor) {
    struct Case {
        Value value;
        const char* className;
    } cases[] = {
        {Value(), "NSNull"},
        {Value(true), "NSNumber"},
        {Value(-3), "NSNumber"},
        {Value(2.5), "NSNumber"},
        {Value(NSDecimal::fromString("1.5")), "NSDecimalNumber"},
        {Value("text"), "NSString"},
        {Value::array({1}), "NSArray"},
        {Value::mutableArray(), "NSMutableArray"},
        {Value::dict({{"k", 1}}), "NSDictionary"},
        {Value::mutableDictionary(), "NSMutableDictionary"},
        {Value::set({Value(1)}), "NSSet"},
        {Value(CGPoint{1, 2}), "NSValue"},
        {Value(std::make_shared<FixtureItem>()), "FixtureItem"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.className);
        EXPECT_EQ(classForValue(c.value).name(), c.className);
        EXPECT_EQ(&classForValue(c.value), NSClassFromString(c.className));
    }
    EXPECT_TRUE(NSClassFromString("NSMutableString")->isSubclassOfClass(NSClassFromString("NSString")));
    EXPECT_TRUE(NSClassFromString("NSDecimalNumber")->isSubclassOfClass(NSClassFromString("NSNumber")));
    EXPECT_EQ(NSClassFromString("NSString")->createInstance(), nullptr);
}
