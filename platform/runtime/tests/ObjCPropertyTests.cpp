#include <gtest/gtest.h>

#include <platform_runtime/ObjCRuntime.h>

#include "ObjCFixtureClasses.h"

namespace {
std::vector<std::string> names(const ObjCClass& cls) {
    std::vector<std::string> out;
    for (const auto* p : class_copyPropertyList(&cls)) out.push_back(property_getName(p));
    return out;
}
}  // namespace

TEST(ObjCProperty, OwnPropertiesInDeclarationOrder) {
    EXPECT_EQ(names(FixtureItem::classObject()), (std::vector<std::string>{"identifier", "isSigned", "releasedate"}));
    EXPECT_EQ(names(FixtureDevice::classObject()),
              (std::vector<std::string>{"name", "code", "firmwares", "handler", "info", "latest", "ratio", "extra",
                                        "status", "reachable"}));
    // A subclass lists only its own; inherited ones are found by name.
    EXPECT_EQ(names(FixturePhone::classObject()), (std::vector<std::string>{"carrier"}));
    EXPECT_NE(class_getProperty(&FixturePhone::classObject(), "firmwares"), nullptr);
    EXPECT_EQ(class_getProperty(&FixtureItem::classObject(), "firmwares"), nullptr);
}

TEST(ObjCProperty, AttributeTexts) {
    struct Case {
        const ObjCClass& cls;
        const char* name;
        const char* attributes;
        const char* encoding;
    } cases[] = {
        {FixtureItem::classObject(), "identifier", "T@\"NSString\",&,N,V_identifier", "@\"NSString\""},
        {FixtureItem::classObject(), "isSigned", "TB,N,V_isSigned", "B"},
        {FixtureItem::classObject(), "releasedate", "T@\"NSString<Optional>\",&,N,V_releasedate",
         "@\"NSString<Optional>\""},
        {FixtureDevice::classObject(), "code", "Ti,N,V_code", "i"},
        {FixtureDevice::classObject(), "firmwares", "T@\"NSArray<FixtureItem>\",&,N,V_firmwares",
         "@\"NSArray<FixtureItem>\""},
        {FixtureDevice::classObject(), "handler", "T@?,C,N,V_handler", "@?"},
        {FixtureDevice::classObject(), "info", "T@\"NSDictionary\",&,N,V_info", "@\"NSDictionary\""},
        {FixtureDevice::classObject(), "latest", "T@\"FixtureItem\",&,N,V_latest", "@\"FixtureItem\""},
        {FixtureDevice::classObject(), "ratio", "Td,N,V_ratio", "d"},
        {FixtureDevice::classObject(), "extra", "T@\"<Ignore>\",&,N,V_extra", "@\"<Ignore>\""},
        {FixtureDevice::classObject(), "status", "Tq,N", "q"},
        {FixtureDevice::classObject(), "reachable", "TB,R,N,GisReachable", "B"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ObjCProperty* p = class_getProperty(&c.cls, c.name);
        ASSERT_NE(p, nullptr);
        EXPECT_STREQ(property_getAttributes(p), c.attributes);
        EXPECT_EQ(p->typeEncoding(), c.encoding);
    }
}

TEST(ObjCProperty, FlagsAndMarkers) {
    const ObjCProperty* reachable = class_getProperty(&FixtureDevice::classObject(), "reachable");
    EXPECT_TRUE(reachable->isReadOnly());
    EXPECT_FALSE(reachable->hasSetter());
    EXPECT_TRUE(reachable->isScalar());
    const ObjCProperty* release = class_getProperty(&FixtureItem::classObject(), "releasedate");
    EXPECT_FALSE(release->isReadOnly());
    EXPECT_FALSE(release->isScalar());
    EXPECT_EQ(release->markers(), std::vector<std::string>{"Optional"});
}

TEST(ObjCProperty, EncodingsOfScalarTypes) {
    EXPECT_EQ(ObjCPropertyTraits<char>::encoding(), "c");
    EXPECT_EQ(ObjCPropertyTraits<unsigned char>::encoding(), "C");
    EXPECT_EQ(ObjCPropertyTraits<short>::encoding(), "s");
    EXPECT_EQ(ObjCPropertyTraits<unsigned short>::encoding(), "S");
    EXPECT_EQ(ObjCPropertyTraits<int>::encoding(), "i");
    EXPECT_EQ(ObjCPropertyTraits<unsigned>::encoding(), "I");
    EXPECT_EQ(ObjCPropertyTraits<long>::encoding(), "q");
    EXPECT_EQ(ObjCPropertyTraits<unsigned long long>::encoding(), "Q");
    EXPECT_EQ(ObjCPropertyTraits<float>::encoding(), "f");
    EXPECT_EQ(ObjCPropertyTraits<CGRect>::encoding(), "{CGRect={CGPoint=dd}{CGSize=dd}}");
    EXPECT_EQ(ObjCPropertyTraits<NSDate>::encoding(), "@\"NSDate\"");
}

TEST(ObjCProperty, GeneratedAccessorsStoreTheValue) {
    FixtureItem item;
    item.setIdentifier("iPhone1,1");
    item.setIsSigned(true);
    EXPECT_EQ(item.identifier(), "iPhone1,1");
    EXPECT_TRUE(item.isSigned());
    EXPECT_FALSE(item.releasedate().has_value());
}
