#include <gtest/gtest.h>

#include <platform_runtime/AssociatedObjects.h>

#include "ObjCFixtureClasses.h"

namespace {
char kAddressKey;
char kOtherAddressKey;

// Counts its live instances, to see when associations release their values.
class Tracked : public NSObject {
    NS_CLASS(Tracked, NSObject)
public:
    Tracked() { ++live; }
    ~Tracked() override { --live; }
    static inline int live = 0;
};
}  // namespace

TEST(AssociatedObjects, KeysByAddressAndByNameAreSeparate) {
    FixtureItem item;
    objc_setAssociatedObject(item, &kAddressKey, Value(1), OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    objc_setAssociatedObject(item, "lc_key", Value("named"), OBJC_ASSOCIATION_RETAIN);
    EXPECT_EQ(objc_getAssociatedObject(item, &kAddressKey), Value(1));
    EXPECT_EQ(objc_getAssociatedObject(item, "lc_key"), Value("named"));
    EXPECT_TRUE(objc_getAssociatedObject(item, &kOtherAddressKey).isNull());
    EXPECT_TRUE(objc_getAssociatedObject(item, "other").isNull());
    // Null removes.
    objc_setAssociatedObject(item, "lc_key", Value(), OBJC_ASSOCIATION_RETAIN);
    EXPECT_TRUE(objc_getAssociatedObject(item, "lc_key").isNull());
    objc_removeAssociatedObjects(item);
    EXPECT_TRUE(objc_getAssociatedObject(item, &kAddressKey).isNull());
    FixtureItem other;
    EXPECT_TRUE(objc_getAssociatedObject(other, &kAddressKey).isNull()) << "per object";
}

TEST(AssociatedObjects, Policies) {
    FixtureItem item;
    Value list = Value::mutableArray();
    list.addObject(Value(1));
    objc_setAssociatedObject(item, "copied", list, OBJC_ASSOCIATION_COPY_NONATOMIC);
    objc_setAssociatedObject(item, "retained", list, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    EXPECT_FALSE(objc_getAssociatedObject(item, "copied").isMutable());
    EXPECT_TRUE(objc_getAssociatedObject(item, "retained").isMutable());

    auto tracked = std::make_shared<Tracked>();
    objc_setAssociatedObject(item, "assigned", Value(tracked), OBJC_ASSOCIATION_ASSIGN);
    objc_setAssociatedObject(item, "strong", Value(std::make_shared<Tracked>()), OBJC_ASSOCIATION_RETAIN);
    EXPECT_EQ(Tracked::live, 2) << "retain keeps the object alive";
    EXPECT_EQ(objc_getAssociatedObject(item, "assigned").asObject(), tracked);
    tracked.reset();
    EXPECT_EQ(Tracked::live, 1) << "assign does not retain";
    EXPECT_TRUE(objc_getAssociatedObject(item, "assigned").isNull()) << "a gone object reads as null";
    objc_setAssociatedObject(item, "strong", Value(), OBJC_ASSOCIATION_RETAIN);
    EXPECT_EQ(Tracked::live, 0);
}

TEST(AssociatedObjects, ReleasedWithTheirObject) {
    {
        FixtureItem item;
        objc_setAssociatedObject(item, &kAddressKey, Value(std::make_shared<Tracked>()), OBJC_ASSOCIATION_RETAIN);
        EXPECT_EQ(Tracked::live, 1);
    }
    EXPECT_EQ(Tracked::live, 0);
}

TEST(AssociatedObjects, OnClassObjects) {
    objc_setAssociatedObject(FixtureDevice::classObject(), "flag", Value(true), OBJC_ASSOCIATION_RETAIN);
    EXPECT_EQ(objc_getAssociatedObject(FixtureDevice::classObject(), "flag"), Value(true));
    EXPECT_TRUE(objc_getAssociatedObject(FixturePhone::classObject(), "flag").isNull()) << "not inherited";
    FixtureDevice device;
    EXPECT_TRUE(objc_getAssociatedObject(device, "flag").isNull()) << "instances have their own";
}
