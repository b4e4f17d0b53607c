#include <platform_foundation/NSKeyedArchiver.h>
#include <platform_foundation/NSKeyedUnarchiver.h>

#include <gtest/gtest.h>

#include <limits>
#include <random>

#include <platform_foundation/CodecErrors.h>
#include <platform_foundation/NSCoding.h>
#include <platform_foundation/NSPropertyListSerialization.h>
#include <platform_runtime/ObjCDeclare.h>

#include "CodecTestHelpers.h"

using codec_test::sameKindsAndValues;

namespace {

// A small NSCoding class with scalar fields and an object field; a subclass shows the chain.
class ArchiveTestItem : public NSObject, public NSCoding {
    NS_CLASS(ArchiveTestItem, NSObject)
    NS_PROTOCOLS("NSSecureCoding")

public:
    std::string name;
    bool isSigned = false;
    int64_t code = 0;
    int32_t small = 0;
    double ratio = 0;
    float scale = 0;
    Value extra;

    std::string className() const override { return staticClassName(); }
    void encodeWithCoder(NSCoder& coder) const override {
        coder.encodeObject(Value(name), "name");
        coder.encodeBool(isSigned, "isSigned");
        coder.encodeInt64(code, "code");
        coder.encodeInt(small, "small");
        coder.encodeDouble(ratio, "ratio");
        coder.encodeFloat(scale, "scale");
        coder.encodeObject(extra, "$extra");
    }
    bool initWithCoder(NSCoder& coder) override {
        name = coder.decodeObjectOfClass("NSString", "name").asString();
        isSigned = coder.decodeBoolForKey("isSigned");
        code = coder.decodeInt64ForKey("code");
        small = coder.decodeIntForKey("small");
        ratio = coder.decodeDoubleForKey("ratio");
        scale = coder.decodeFloatForKey("scale");
        extra = coder.decodeObjectOfClasses({"NSArray", "NSString", "NSNumber", "ArchiveTestItem"}, "$extra");
        return true;
    }
};

class SpecialArchiveTestItem : public ArchiveTestItem {
    NS_CLASS(SpecialArchiveTestItem, ArchiveTestItem)

public:
    std::string className() const override { return staticClassName(); }
};

class InsecureTestItem : public NSObject, public NSCoding {
    NS_CLASS(InsecureTestItem, NSObject)

public:
    std::string className() const override { return staticClassName(); }
    void encodeWithCoder(NSCoder&) const override {}
    bool initWithCoder(NSCoder&) override { return true; }
};

const std::set<std::string> kPlistClasses = {"NSDictionary", "NSArray", "NSString", "NSNumber",
                                             "NSData",       "NSDate",  "NSNull",   "NSSet"};

Value archivePlist(const Value::Data& archive) { return NSPropertyListSerialization::propertyListWithData(archive); }

Value sample() {
    Value mutableArray = Value::array({"m"});
    mutableArray.setMutable(true);
    return Value::dict({
        {"bools", Value::array({true, false})},
        {"ints", Value::array({int64_t{1}, int64_t{-1}, std::numeric_limits<int64_t>::min()})},
        {"big", Value(std::numeric_limits<uint64_t>::max())},
        {"reals", Value::array({0.1, 1e300, -2.5})},
        {"date", Value(NSDate(123456.5))},
        {"data", Value(Value::Data{1, 2, 3})},
        {"null", Value()},
        {"set", Value::set({"a", "b"})},
        {"strings", Value::array({"same", "same", "", "\xC3\xA9"})},
        {"mutable", mutableArray},
        {"empty", Value::dict({})},
    });
}

}  // namespace

TEST(KeyedArchive, WritesThePlatformArchiveLayout) {
    NSErrorPtr error;
    const Value::Data archive =
        NSKeyedArchiver::archivedDataWithRootObject(Value::dict({{"k", Value::array({true})}}), true, &error);
    ASSERT_FALSE(error);
    ASSERT_GE(archive.size(), 8u);
    EXPECT_EQ(std::string(archive.begin(), archive.begin() + 8), "bplist00");  // binary by default

    const Value plist = archivePlist(archive);
    EXPECT_EQ(plist.objectForKey("$archiver").asString(), "NSKeyedArchiver");
    EXPECT_EQ(plist.objectForKey("$version").asInt(), 100000);
    const Value objects = plist.objectForKey("$objects");
    EXPECT_EQ(objects[0].asString(), "$null");
    // UIDs read as plain plist show as {CF$UID = n}.
    const uint64_t rootUID = plist.valueForKeyPath("$top.root.CF$UID").asInt();
    const Value root = objects[rootUID];
    EXPECT_EQ(root.objectForKey("NS.keys").count(), 1u);
    EXPECT_EQ(root.objectForKey("NS.objects").count(), 1u);
    const Value cls = objects[root.valueForKeyPath("$class.CF$UID").asInt()];
    EXPECT_EQ(cls.objectForKey("$classname").asString(), "NSDictionary");
    EXPECT_TRUE(cls.objectForKey("$classes") == Value::array({"NSDictionary", "NSObject"}));
    // The key is stored inline as a plain string, the Bool inline as a plist boolean.
    EXPECT_EQ(objects[root.objectForKey("NS.keys")[0].objectForKey("CF$UID").asInt()].asString(), "k");
    const Value array = objects[root.objectForKey("NS.objects")[0].objectForKey("CF$UID").asInt()];
    EXPECT_TRUE(objects[array.objectForKey("NS.objects")[0].objectForKey("CF$UID").asInt()].isBool());
}

TEST(KeyedArchive, RoundTripKeepsKinds) {
    const Value v = sample();
    for (auto format : {NSPropertyListBinaryFormat_v1_0, NSPropertyListXMLFormat_v1_0}) {
        NSKeyedArchiver archiver(true);
        archiver.setOutputFormat(format);
        archiver.encodeObject(v, "root");
        const Value::Data data = archiver.encodedData();
        ASSERT_FALSE(archiver.error());
        NSErrorPtr error;
        const Value back = NSKeyedUnarchiver::unarchivedObjectOfClasses(kPlistClasses, data, &error);
        ASSERT_FALSE(error) << error->description();
        EXPECT_TRUE(sameKindsAndValues(back, v)) << format;
        EXPECT_TRUE(back.objectForKey("mutable").isMutable());
        EXPECT_FALSE(back.objectForKey("strings").isMutable());
    }
}

TEST(KeyedArchive, MutableLeavesAndClassNames) {
    Value s("text");
    s.setMutable(true);
    Value d(Value::Data{9});
    d.setMutable(true);
    Value dict = Value::dict({{"s", s}, {"d", d}});
    dict.setMutable(true);
    const Value::Data archive = NSKeyedArchiver::archivedDataWithRootObject(dict, true);
    std::set<std::string> classNames;
    const Value plist = archivePlist(archive);
    for (const Value& o : plist.objectForKey("$objects").asArray())
        if (o.objectForKey("$classname").isString()) classNames.emplace(o.objectForKey("$classname").asString());
    EXPECT_EQ(classNames, (std::set<std::string>{"NSMutableDictionary", "NSMutableString", "NSMutableData"}));
    const Value back = NSKeyedUnarchiver::unarchivedObjectOfClasses({"NSDictionary", "NSString", "NSData"}, archive);
    EXPECT_TRUE(back.isMutable());
    EXPECT_TRUE(back.objectForKey("s").isMutable());
    EXPECT_EQ(back.objectForKey("s").asString(), "text");
    EXPECT_TRUE(back.objectForKey("d").isMutable());
}

TEST(KeyedArchive, NSCodingObjectsRoundTrip) {
    auto inner = std::make_shared<ArchiveTestItem>();
    inner->name = "inner";
    auto item = std::make_shared<ArchiveTestItem>();
    item->name = "firmware";
    item->isSigned = true;
    item->code = std::numeric_limits<int64_t>::min();
    item->small = -7;
    item->ratio = 0.1;
    item->scale = 1.5f;
    item->extra = Value::array({Value(inner), Value(inner), "x", true});

    NSErrorPtr error;
    const Value::Data archive = NSKeyedArchiver::archivedDataWithRootObject(Value(item), true, &error);
    ASSERT_FALSE(error);
    // The object's class entry carries its chain; keys starting with '$' are escaped.
    const Value plist = archivePlist(archive);
    bool sawClass = false, sawEscapedKey = false;
    for (const Value& o : plist.objectForKey("$objects").asArray()) {
        if (o.objectForKey("$classname") == Value("ArchiveTestItem")) {
            sawClass = true;
            EXPECT_TRUE(o.objectForKey("$classes") == Value::array({"ArchiveTestItem", "NSObject"}));
        }
        if (o.objectForKey("$$extra").isDictionary()) sawEscapedKey = true;
    }
    EXPECT_TRUE(sawClass);
    EXPECT_TRUE(sawEscapedKey);

    const Value back = NSKeyedUnarchiver::unarchivedObjectOfClass("ArchiveTestItem", archive, &error);
    ASSERT_FALSE(error) << error->description();
    auto decoded = back.objectAs<ArchiveTestItem>();
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->name, "firmware");
    EXPECT_TRUE(decoded->isSigned);
    EXPECT_EQ(decoded->code, std::numeric_limits<int64_t>::min());
    EXPECT_EQ(decoded->small, -7);
    EXPECT_EQ(decoded->ratio, 0.1);
    EXPECT_EQ(decoded->scale, 1.5f);
    ASSERT_EQ(decoded->extra.count(), 4u);
    EXPECT_TRUE(decoded->extra[3].isBool());
    auto first = decoded->extra[0].objectAs<ArchiveTestItem>();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->name, "inner");
    // One object archived twice decodes to one shared object.
    EXPECT_EQ(first, decoded->extra[1].objectAs<ArchiveTestItem>());
}

TEST(KeyedArchive, SubclassesRecordTheirChainAndPassAsTheirSuperclass) {
    auto special = std::make_shared<SpecialArchiveTestItem>();
    special->name = "special";
    const Value::Data archive = NSKeyedArchiver::archivedDataWithRootObject(Value(special), true);
    const Value plist = archivePlist(archive);
    bool sawChain = false;
    for (const Value& o : plist.objectForKey("$objects").asArray())
        if (o.objectForKey("$classname") == Value("SpecialArchiveTestItem"))
            sawChain = o.objectForKey("$classes") ==
                       Value::array({"SpecialArchiveTestItem", "ArchiveTestItem", "NSObject"});
    EXPECT_TRUE(sawChain);
    // Allowing the superclass allows the subclass; the decoded object keeps its own class.
    NSErrorPtr error;
    const Value back = NSKeyedUnarchiver::unarchivedObjectOfClass("ArchiveTestItem", archive, &error);
    ASSERT_FALSE(error);
    auto decoded = back.objectAs<SpecialArchiveTestItem>();
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->name, "special");
}

TEST(KeyedArchive, CoderAnswersForAbsentAndPresentKeys) {
    NSKeyedArchiver archiver(false);
    archiver.encodeInt(5, "five");
    archiver.encodeObject(Value(), "nil");
    archiver.encodeObject(Value("s"), "string");
    archiver.finishEncoding();
    NSErrorPtr error;
    auto u = NSKeyedUnarchiver::initForReadingFromData(
        std::string_view(reinterpret_cast<const char*>(archiver.encodedData().data()), archiver.encodedData().size()), &error);
    ASSERT_TRUE(u);
    EXPECT_TRUE(u->requiresSecureCoding());
    EXPECT_TRUE(u->containsValueForKey("five"));
    EXPECT_TRUE(u->containsValueForKey("nil"));
    EXPECT_FALSE(u->containsValueForKey("absent"));
    EXPECT_EQ(u->decodeIntForKey("five"), 5);
    EXPECT_EQ(u->decodeIntForKey("absent"), 0);
    EXPECT_FALSE(u->decodeBoolForKey("absent"));
    EXPECT_TRUE(u->decodeObjectForKey("absent").isNull());
    EXPECT_TRUE(u->decodeObjectOfClass("NSString", "nil").isNull());
    EXPECT_FALSE(u->error());
    // Asking for the wrong class fails the coder.
    EXPECT_TRUE(u->decodeObjectOfClass("NSNumber", "string").isNull());
    ASSERT_TRUE(u->error());
    EXPECT_EQ(u->error()->code(), NSCoderReadCorruptError);
}

TEST(KeyedArchive, ValuesThatCannotBeArchivedAreErrors) {
    struct Case {
        const char* name;
        Value value;
        bool secure;
    };
    const Case cases[] = {
        {"plain object", Value(std::make_shared<NSObject>()), false},
        {"insecure class under secure coding", Value(std::make_shared<InsecureTestItem>()), true},
        {"decimal", Value::array({Value(NSDecimal::fromString("1.5"))}), false},
        {"geometry", Value(CGPoint{1, 2}), false},
    };
    for (const auto& c : cases) {
        NSErrorPtr error;
        EXPECT_TRUE(NSKeyedArchiver::archivedDataWithRootObject(c.value, c.secure, &error).empty()) << c.name;
        ASSERT_TRUE(error) << c.name;
        EXPECT_EQ(error->code(), NSCoderInvalidValueError) << c.name;
    }
    NSErrorPtr error;
    EXPECT_FALSE(NSKeyedArchiver::archivedDataWithRootObject(Value(std::make_shared<InsecureTestItem>()), false, &error).empty());
}

TEST(KeyedArchive, SecureDecodingChecksEveryClass) {
    const Value::Data archive = NSKeyedArchiver::archivedDataWithRootObject(Value::dict({{"k", int64_t{1}}}), true);
    struct Case {
        std::set<std::string> allowed;
        bool ok;
    };
    const Case cases[] = {
        {{"NSDictionary", "NSString", "NSNumber"}, true},
        {{"NSObject"}, true},
        {{"NSDictionary"}, false},               // the key and value classes are not allowed
        {{"NSArray", "NSString", "NSNumber"}, false},  // the root is not allowed
        {{"NSMutableDictionary", "NSString", "NSNumber"}, false},
    };
    for (const auto& c : cases) {
        NSErrorPtr error;
        const Value v = NSKeyedUnarchiver::unarchivedObjectOfClasses(c.allowed, archive, &error);
        EXPECT_EQ(v.isDictionary(), c.ok);
        EXPECT_EQ(static_cast<bool>(error), !c.ok);
        if (error) {
            EXPECT_EQ(error->code(), NSCoderReadCorruptError);
        }
    }
    // Insecure classes only decode without secure coding.
    const Value::Data insecure =
        NSKeyedArchiver::archivedDataWithRootObject(Value(std::make_shared<InsecureTestItem>()), false);
    NSErrorPtr error;
    EXPECT_TRUE(NSKeyedUnarchiver::unarchivedObjectOfClass("InsecureTestItem", insecure, &error).isNull());
    EXPECT_TRUE(error);
    EXPECT_TRUE(NSKeyedUnarchiver::unarchiveObjectWithData(insecure).objectAs<InsecureTestItem>());
}

namespace {

// Builds an archive plist by hand (XML text) around the given $objects and $top.
Value::Data handMadeArchive(const std::string& objects, const std::string& top = "<key>root</key><dict><key>CF$UID</key><integer>1</integer></dict>",
                            const std::string& archiver = "NSKeyedArchiver") {
    const std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
                            "<key>$archiver</key><string>" + archiver + "</string>"
                            "<key>$objects</key><array><string>$null</string>" + objects + "</array>"
                            "<key>$top</key><dict>" + top + "</dict>"
                            "<key>$version</key><integer>100000</integer></dict></plist>";
    return Value::Data(xml.begin(), xml.end());
}

std::string uid(int n) { return "<dict><key>CF$UID</key><integer>" + std::to_string(n) + "</integer></dict>"; }

}  // namespace

TEST(KeyedArchive, ForeignOrCorruptArchivesAnswerNothing) {
    const std::string arrayClass = "<dict><key>$classname</key><string>NSArray</string><key>$classes</key><array>"
                                   "<string>NSArray</string><string>NSObject</string></array></dict>";
    struct Case {
        const char* name;
        Value::Data data;
        int64_t code;
    };
    auto array = [&](const std::string& members) {
        return "<dict><key>NS.objects</key><array>" + members + "</array><key>$class</key>" + uid(2) + "</dict>";
    };
    const Case cases[] = {
        {"plain plist, not an archive",
         NSPropertyListSerialization::dataWithPropertyList(Value::dict({{"a", int64_t{1}}}), NSPropertyListBinaryFormat_v1_0),
         NSCoderReadCorruptError},
        {"wrong archiver", handMadeArchive("<string>x</string>", uid(1), "SomethingElse"), NSCoderReadCorruptError},
        {"no root", handMadeArchive("<string>x</string>", ""), NSCoderValueNotFoundError},
        {"root UID out of range", handMadeArchive("", "<key>root</key>" + uid(7)), NSCoderReadCorruptError},
        {"root not a UID", handMadeArchive("<string>x</string>", "<key>root</key><integer>1</integer>"),
         NSCoderReadCorruptError},
        {"member UID out of range", handMadeArchive(array(uid(99)) + arrayClass), NSCoderReadCorruptError},
        {"array containing itself", handMadeArchive(array(uid(1)) + arrayClass), NSCoderReadCorruptError},
        {"class UID pointing at a string", handMadeArchive(array("") + "<string>NSArray</string>"), NSCoderReadCorruptError},
        {"class UID is $null",
         handMadeArchive("<dict><key>NS.objects</key><array/><key>$class</key>" + uid(0) + "</dict>"),
         NSCoderReadCorruptError},
        {"class entry is the object itself",
         handMadeArchive("<dict><key>NS.objects</key><array/><key>$class</key>" + uid(1) + "</dict>"),
         NSCoderReadCorruptError},
        {"unknown class",
         handMadeArchive("<dict><key>$class</key>" + uid(2) + "</dict><dict><key>$classname</key><string>NoSuchClass</string></dict>"),
         NSCoderReadCorruptError},
        {"dictionary with unequal keys and objects",
         handMadeArchive("<dict><key>NS.keys</key><array>" + uid(3) + "</array><key>NS.objects</key><array/><key>$class</key>" +
                         uid(2) + "</dict><dict><key>$classname</key><string>NSDictionary</string></dict><string>k</string>"),
         NSCoderReadCorruptError},
        {"array without NS.objects", handMadeArchive("<dict><key>$class</key>" + uid(2) + "</dict>" + arrayClass),
         NSCoderReadCorruptError},
        {"object is a bare array", handMadeArchive("<array/>"), NSCoderReadCorruptError},
        {"random bytes", Value::Data{0x62, 0x70, 0x6c, 0x69, 0x73, 0x74, 0x30, 0x30, 1, 2, 3}, NSCoderReadCorruptError},
        {"empty", Value::Data{}, NSCoderReadCorruptError},
    };
    for (const auto& c : cases) {
        NSErrorPtr error;
        EXPECT_TRUE(NSKeyedUnarchiver::unarchivedObjectOfClass("NSObject", c.data, &error).isNull()) << c.name;
        ASSERT_TRUE(error) << c.name;
        EXPECT_EQ(error->domain(), NSCocoaErrorDomain) << c.name;
        EXPECT_EQ(error->code(), c.code) << c.name << ": " << error->description();
        error.reset();
        EXPECT_TRUE(NSKeyedUnarchiver::unarchiveObjectWithData(c.data, &error).isNull()) << c.name;
    }
}

TEST(KeyedArchive, DamagedArchivesNeverCrash) {
    auto item = std::make_shared<ArchiveTestItem>();
    item->extra = Value::array({"a", true});
    const Value::Data archives[] = {NSKeyedArchiver::archivedDataWithRootObject(sample(), true),
                                    NSKeyedArchiver::archivedDataWithRootObject(Value(item), true)};
    std::mt19937 rng(99);
    for (const auto& good : archives) {
        for (std::size_t cut = 0; cut < good.size(); cut += 3) {
            NSErrorPtr error;
            Value::Data truncated(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut));
            EXPECT_TRUE(NSKeyedUnarchiver::unarchiveObjectWithData(truncated, &error).isNull());
            EXPECT_TRUE(error);
        }
        for (int round = 0; round < 1500; ++round) {
            Value::Data bad = good;
            for (int i = 0; i < 3; ++i) bad[8 + rng() % (bad.size() - 8)] = static_cast<uint8_t>(rng());
            NSErrorPtr error;
            const Value v = NSKeyedUnarchiver::unarchiveObjectWithData(bad, &error);
            EXPECT_TRUE(v.isNull() || !error);
        }
    }
}

// Each layer an array holding the layer below twice: decoding shares the objects, but any walk
// over the result (a description, a comparison, archiving it again) would visit 2^layers
// nodes. Such archives are refused; a few shared references still decode.
TEST(KeyedArchive, SharedObjectBombsAreRefused) {
    const std::string arrayClass = "<dict><key>$classname</key><string>NSArray</string><key>$classes</key><array>"
                                   "<string>NSArray</string><string>NSObject</string></array></dict>";
    auto layered = [&](int layers) {
        // $objects: 1 the class, 2 the leaf string, 3 + k layer k (holding 2 + k twice).
        std::string objects = arrayClass + "<string>leaf</string>";
        for (int k = 0; k < layers; ++k)
            objects += "<dict><key>NS.objects</key><array>" + uid(2 + k) + uid(2 + k) + "</array><key>$class</key>" +
                       uid(1) + "</dict>";
        const Value::Data xml =
            handMadeArchive(objects, "<key>root</key>" + uid(2 + layers));
        // As a binary property list, the form archives travel in.
        return NSPropertyListSerialization::dataWithPropertyList(NSPropertyListSerialization::propertyListWithData(xml),
                                                                 NSPropertyListBinaryFormat_v1_0);
    };
    const Value::Data bomb = layered(60);
    EXPECT_LT(bomb.size(), 4096u);
    for (bool secure : {true, false}) {
        SCOPED_TRACE(secure);
        NSErrorPtr error;
        const Value v = secure ? NSKeyedUnarchiver::unarchivedObjectOfClasses({"NSArray", "NSString"}, bomb, &error)
                               : NSKeyedUnarchiver::unarchiveObjectWithData(bomb, &error);
        EXPECT_TRUE(v.isNull());
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), NSCoderReadCorruptError);
        EXPECT_NE(error->description().find("too many objects"), std::string::npos) << error->description();
    }

    NSErrorPtr error;
    const Value shared = NSKeyedUnarchiver::unarchivedObjectOfClasses({"NSArray", "NSString"}, layered(3), &error);
    ASSERT_FALSE(error) << error->description();
    const Value pair = Value::array({"leaf", "leaf"});
    const Value twoPairs = Value::array({pair, pair});
    EXPECT_EQ(shared, Value::array({twoPairs, twoPairs}));
}
