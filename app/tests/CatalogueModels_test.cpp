// The four catalogue documents map into their models from sample answers; damaged documents
// fail with a model error and never crash.

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

#include <app/models/IpswModel.h>
#include <app/models/IpswV4Model.h>
#include <app/models/IpswWatchV4Model.h>
#include <app/models/JBInfoModel.h>
#include <app/models/RHModel.h>
#include <platform_foundation/NSJSONSerialization.h>
#include <platform_runtime/KeyValueCoding.h>
#include <platform_runtime/ObjCRuntime.h>

namespace {

Value readDocument(const std::string& path) {
    std::ifstream in(std::string(TEST_SOURCE_DIR) + "/data/" + path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    NSErrorPtr error;
    Value v = NSJSONSerialization::JSONObjectWithData(ss.str(), 0, &error);
    EXPECT_FALSE(error) << path;
    return v;
}

Value parse(const std::string& text) { return NSJSONSerialization::JSONObjectWithData(text); }

// A copy of doc with the value at path replaced (Null removes the key).
Value edited(Value doc, const std::string& path, const Value& value) {
    setValueForKeyPath(doc, value, path);
    return doc;
}

// Null removes the key unless storeNull asks for a JSON null.
Value editedFirmware(Value doc, std::size_t index, const std::string& key, const Value& value,
                     bool storeNull = false) {
    Value list = doc.objectForKey(Value("firmwares"));
    Value item = list[index];
    if (storeNull) item.setObject(Value(), Value(key));
    else setValueForKey(item, value, key);
    list.replaceObjectAtIndex(index, item);
    doc.setObject(list, Value("firmwares"));
    return doc;
}

std::size_t signedCount(const auto& firmwares) {
    std::size_t n = 0;
    for (const auto& f : firmwares) n += f->isSigned() ? 1 : 0;
    return n;
}

TEST(CatalogueModels, AttributeTextsAreThoseOfTheDeclarations) {
    auto attrs = [](ObjCClass& cls, const char* name) {
        return std::string(property_getAttributes(class_getProperty(&cls, name)));
    };
    EXPECT_EQ(attrs(FirmwareItem::classObject(), "releasedate"), "T@\"NSString<Optional>\",&,N,V_releasedate");
    EXPECT_EQ(attrs(FirmwareItem::classObject(), "isSigned"), "TB,N,V_isSigned");
    EXPECT_EQ(attrs(IpswV4Model::classObject(), "firmwares"), "T@\"NSArray<FirmwareItem>\",&,N,V_firmwares");
    EXPECT_EQ(attrs(JailbreaksItem::classObject(), "ios"), "T@\"IosVersionItem\",&,N,V_ios");
    EXPECT_EQ(attrs(JailbreaksItem::classObject(), "platforms"), "T@\"NSArray\",&,N,V_platforms");
}

TEST(CatalogueModels, VersionFourDeviceDocuments) {
    struct Case {
        const char* identifier;
        const char* name;
        const char* boardconfig;
    };
    const Case cases[] = {
        {"iPhone14,3", "iPhone 13 Pro Max", "D64AP"},
        {"iPhone12,1", "iPhone 11", "N104AP"},
        {"iPad8,1", "iPad Pro 11-inch (Wi-Fi)", "J317AP"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.identifier);
        NSErrorPtr error;
        auto model = MMModel::modelWithDictionary<IpswV4Model>(
            readDocument(std::string("api/ios/v4/device/") + c.identifier + ".json"), &error);
        ASSERT_TRUE(model) << error->description();
        EXPECT_EQ(model->identifier(), c.identifier);
        EXPECT_EQ(model->name(), c.name);
        EXPECT_EQ(model->boardconfig(), c.boardconfig);
        ASSERT_EQ(model->firmwares().size(), 6u);
        EXPECT_EQ(signedCount(model->firmwares()), 2u);
        const auto& first = *model->firmwares()[0];
        EXPECT_EQ(first.version(), "17.2");
        EXPECT_EQ(first.buildid(), "21C62");
        EXPECT_EQ(first.releasedate(), "2023-12-11T18:04:00Z");
        EXPECT_EQ(model->firmwares()[1]->filesize(), "5813370011");  // a JSON number becomes text
        EXPECT_FALSE(model->firmwares()[3]->releasedate());         // null
        EXPECT_FALSE(model->firmwares()[4]->releasedate());         // missing
    }
}

TEST(CatalogueModels, VersionThreeDeviceDocumentIsReadUnderItsIdentifier) {
    for (const char* identifier : {"iPhone14,3", "iPhone12,1"}) {
        SCOPED_TRACE(identifier);
        Value doc = readDocument(std::string("api/ios/v3/device/") + identifier + ".json");
        NSErrorPtr error;
        auto model = MMModel::modelWithDictionary<IpswModel>(doc.objectForKey(Value(identifier)), &error);
        ASSERT_TRUE(model) << error->description();
        EXPECT_FALSE(model->BoardConfig().empty());
        ASSERT_EQ(model->firmwares().size(), 4u);
        EXPECT_EQ(signedCount(model->firmwares()), 1u);
        EXPECT_FALSE(model->firmwares()[0]->releasedate());
        EXPECT_EQ(model->firmwares()[0]->filename(), std::string(identifier) + "_17.2_21C62_Restore.ipsw");

        // Another identifier's member is absent: nothing to map.
        EXPECT_FALSE(MMModel::modelWithDictionary<IpswModel>(doc.objectForKey(Value("iPhone1,1")), &error));
        EXPECT_EQ(error->code(), 5);
    }
}

TEST(CatalogueModels, ReleaseHistoryIsMappedWhenWrapped) {
    Value list = readDocument("api/ios/v4/releases.json");
    NSErrorPtr error;
    auto model = MMModel::modelWithDictionary<RHModel>(Value::dict({{"rhitems", list}}), &error);
    ASSERT_TRUE(model) << error->description();
    ASSERT_EQ(model->rhitems().size(), 3u);
    EXPECT_EQ(model->rhitems()[0]->date(), "2023-12-11");
    ASSERT_EQ(model->rhitems()[0]->releases().size(), 2u);
    EXPECT_EQ(model->rhitems()[0]->releases()[0]->name(), "iOS 17.2");
    EXPECT_EQ(model->rhitems()[0]->releases()[0]->count(), "52");
    EXPECT_EQ(model->rhitems()[0]->releases()[1]->count(), "31");

    auto bare = std::make_shared<RHModel>();
    EXPECT_FALSE(bare->initWithDictionary(list, &error));
    EXPECT_EQ(error->code(), 1);
}

TEST(CatalogueModels, JailbreakList) {
    NSErrorPtr error;
    auto model = MMModel::modelWithDictionary<JBInfoModel>(readDocument("jailbreaks.json"), &error);
    ASSERT_TRUE(model) << error->description();
    ASSERT_EQ(model->jailbreaks().size(), 3u);
    const auto& lantern = *model->jailbreaks()[0];
    EXPECT_EQ(lantern.name(), "Lantern");
    EXPECT_EQ(lantern.version(), "2.1.4");
    ASSERT_TRUE(lantern.ios());
    EXPECT_EQ(lantern.ios()->start(), "15.0");
    EXPECT_EQ(lantern.ios()->end(), "15.4.1");
    EXPECT_EQ(lantern.platforms(), (Value::Array{Value("macOS"), Value("Linux")}));
    EXPECT_TRUE(lantern.jailbroken());
    EXPECT_FALSE(model->jailbreaks()[1]->url());      // missing
    EXPECT_FALSE(model->jailbreaks()[2]->version());  // null
    EXPECT_FALSE(model->jailbreaks()[2]->jailbroken());
}

TEST(CatalogueModels, DamagedDocumentsFailWithAModelError) {
    const Value v4 = readDocument("api/ios/v4/device/iPhone14,3.json");
    const Value v3 = readDocument("api/ios/v3/device/iPhone14,3.json").objectForKey(Value("iPhone14,3"));
    const Value jb = readDocument("jailbreaks.json");
    const Value rh = Value::dict({{"rhitems", readDocument("api/ios/v4/releases.json")}});

    Value renamedSigned = v4;
    {
        Value list = v4.objectForKey(Value("firmwares"));
        Value item = list[0];
        item.setObject(item.objectForKey(Value("signed")), Value("isSigned"));
        item.removeObjectForKey(Value("signed"));
        list.replaceObjectAtIndex(0, item);
        renamedSigned.setObject(list, Value("firmwares"));
    }
    Value lowerBoard = v3;
    lowerBoard.setObject(v3.objectForKey(Value("BoardConfig")), Value("boardconfig"));
    lowerBoard.removeObjectForKey(Value("BoardConfig"));
    Value noPlatforms = jb;
    {
        Value list = jb.objectForKey(Value("jailbreaks"));
        Value item = list[1];
        item.removeObjectForKey(Value("platforms"));
        list.replaceObjectAtIndex(1, item);
        noPlatforms.setObject(list, Value("jailbreaks"));
    }

    struct Case {
        const char* what;
        std::function<bool(NSErrorPtr*)> map;
        const char* keyPath;
    };
    auto v4Map = [](Value doc) {
        return [doc](NSErrorPtr* e) { return static_cast<bool>(MMModel::modelWithDictionary<IpswV4Model>(doc, e)); };
    };
    auto v3Map = [](Value doc) {
        return [doc](NSErrorPtr* e) { return static_cast<bool>(MMModel::modelWithDictionary<IpswModel>(doc, e)); };
    };
    auto jbMap = [](Value doc) {
        return [doc](NSErrorPtr* e) { return static_cast<bool>(MMModel::modelWithDictionary<JBInfoModel>(doc, e)); };
    };
    auto rhMap = [](Value doc) {
        return [doc](NSErrorPtr* e) { return static_cast<bool>(MMModel::modelWithDictionary<RHModel>(doc, e)); };
    };
    const Case cases[] = {
        {"firmware flag under isSigned", v4Map(renamedSigned), "firmwares[0]"},
        {"firmware without filesize", v4Map(editedFirmware(v4, 2, "filesize", Value())), "firmwares[2]"},
        {"firmware with a null buildid", v4Map(editedFirmware(v4, 5, "buildid", Value(), true)), "firmwares[5].buildid"},
        {"firmware flag as an object", v4Map(editedFirmware(v4, 1, "signed", parse(R"({"a":1})"))),
         "firmwares[1].isSigned"},
        {"firmwares that are an object", v4Map(edited(v4, "firmwares", parse(R"({"a":{}})"))), "firmwares"},
        {"device name that is a list", v4Map(edited(v4, "name", parse("[1]"))), "name"},
        {"version 3 with lower-case boardconfig", v3Map(lowerBoard), "<none>"},
        {"version 3 firmware without size", v3Map(editedFirmware(v3, 0, "size", Value())), "firmwares[0]"},
        {"jailbreak without platforms", jbMap(noPlatforms), "jailbreaks[1]"},
        {"jailbreak ios range that is a text", jbMap(edited(jb, "jailbreaks", parse(R"([{"name":"x","ios":"15",
            "caveats":"","jailbroken":true,"platforms":[]}])"))), "jailbreaks[0].ios"},
        {"release day with a bad release",
         rhMap(edited(rh, "rhitems", parse(R"([{"date":"d","releases":[{"name":"n","type":"t","date":"d"}]}])"))),
         "rhitems[0].releases[0]"},
        {"empty object", v4Map(parse("{}")), "<none>"},
        {"a list at the top", jbMap(parse("[]")), "<none>"},
        {"a number at the top", rhMap(Value(3)), "<none>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        NSErrorPtr error;
        EXPECT_FALSE(c.map(&error));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->domain(), "MMModelErrorDomain");
        auto mm = std::dynamic_pointer_cast<MMModelError>(error);
        ASSERT_TRUE(mm);
        EXPECT_EQ(mm->keyPath().value_or("<none>"), c.keyPath);
    }
}

TEST(CatalogueModels, MalformedBytesGiveBadJSON) {
    for (const char* text : {"", "{", "{\"firmwares\":[}", "\xff\xfe", "nul"}) {
        SCOPED_TRACE(text);
        auto model = std::make_shared<IpswV4Model>();
        NSErrorPtr error;
        EXPECT_FALSE(model->initWithString(text, &error));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), 3);
    }
}

TEST(CatalogueModels, WatchDocumentDeclarationIsUsable) {
    NSErrorPtr error;
    auto model = MMModel::modelWithDictionary<IpswWatchV4Model>(
        parse(R"({"boardconfig":"N1AP","bdid":"0x1","cpid":"0x2","identifier":"Watch1,1","name":"W","platform":"p",
                  "firmwares":[{"buildid":"b","identifier":"Watch1,1","marketingversion":"1","prerequisitebuildid":"a",
                  "prerequisiteversion":"0","filesize":"1","uploaddate":"u","url":"x","version":"1"}]})"),
        &error);
    ASSERT_TRUE(model) << error->description();
    EXPECT_FALSE(model->firmwares()[0]->releasedate());
}

}  // namespace
