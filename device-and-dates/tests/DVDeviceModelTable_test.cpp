#include <device_and_dates/DVDeviceModelTable.h>

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

namespace {

TEST(DVDeviceModelTable, ShapeOfTheWholeTable) {
    std::map<DVDeviceFamily, int> rowsPerFamily;
    std::set<int64_t> models, displays;
    std::set<std::string> names;
    std::map<int64_t, std::set<DVDeviceFamily>> familiesOfModel;
    std::map<int64_t, std::set<std::string>> namesOfModel;
    std::set<std::tuple<int, int64_t, int64_t>> keys;
    for (const auto& row : DVDeviceModelTable::rows()) {
        ++rowsPerFamily[row.family];
        models.insert(row.model);
        displays.insert(row.display);
        names.insert(row.name);
        familiesOfModel[row.model].insert(row.family);
        namesOfModel[row.model].insert(row.name);
        EXPECT_TRUE(keys.insert({int(row.family), row.major, row.minor}).second)
            << "duplicate key " << row.family << " " << row.major << "," << row.minor;
        EXPECT_GT(row.pixelsPerInch, 0);
    }
    EXPECT_EQ(DVDeviceModelTable::rows().size(), 116u);
    EXPECT_EQ(rowsPerFamily[DVDeviceFamilyiPhone], 44);
    EXPECT_EQ(rowsPerFamily[DVDeviceFamilyiPad], 65);
    EXPECT_EQ(rowsPerFamily[DVDeviceFamilyiPod], 7);
    EXPECT_EQ(models.size(), 69u);
    EXPECT_EQ(*models.begin(), 3);
    EXPECT_EQ(*models.rbegin(), 71);
    EXPECT_EQ(names.size(), 75u);
    EXPECT_EQ(displays.size(), 16u);
    for (const auto& [model, families] : familiesOfModel) EXPECT_EQ(families.size(), 1u) << model;
    for (const auto& [model, modelNames] : namesOfModel)
        EXPECT_EQ(modelNames.size(), model >= 54 && model <= 59 ? 2u : 1u) << model;
}

struct LookupCase {
    const char* identifier;
    DVDeviceFamily family;
    uint64_t major, minor;
    int64_t model;
    const char* name;
    int64_t display;
    int64_t ppi;
};

TEST(DVDeviceModelTable, LookupsByFamilyAndNumbers) {
    const LookupCase cases[] = {
        {"iPhone3,1", DVDeviceFamilyiPhone, 3, 1, 6, "iPhone 4", 1, 326},
        {"iPhone3,3", DVDeviceFamilyiPhone, 3, 3, 6, "iPhone 4", 1, 326},
        {"iPhone7,1", DVDeviceFamilyiPhone, 7, 1, 14, "iPhone 6 Plus", 5, 401},
        {"iPhone7,2", DVDeviceFamilyiPhone, 7, 2, 13, "iPhone 6", 3, 326},
        {"iPhone12,8", DVDeviceFamilyiPhone, 12, 8, 12, "iPhone SE 2", 3, 326},
        {"iPhone14,3", DVDeviceFamilyiPhone, 14, 3, 35, "iPhone 13 Pro Max", 9, 458},
        {"iPad8,1", DVDeviceFamilyiPad, 8, 1, 54, "iPad Pro 3rd Gen (11 inch, WiFi)", 15, 264},
        {"iPad8,3", DVDeviceFamilyiPad, 8, 3, 54, "iPad Pro 3rd Gen (11 inch, WiFi+Cellular)", 15, 264},
        {"iPad8,9", DVDeviceFamilyiPad, 8, 9, 56, "iPad Pro 4rd Gen (11 inch, WiFi)", 15, 264},
        {"iPad8,12", DVDeviceFamilyiPad, 8, 12, 59, "iPad Pro 4rd Gen (12.9 inch, WiFi+Cellular)", 16, 264},
        {"iPad1,1", DVDeviceFamilyiPad, 1, 1, 36, "iPad 1", 11, 132},
        {"iPhone1,1", DVDeviceFamilyiPhone, 1, 1, 3, "iPhone 1", 1, 163},
        {"iPod1,1", DVDeviceFamilyiPod, 1, 1, 65, "iPod Touch 1", 1, 163},
        {"iPod7,1", DVDeviceFamilyiPod, 7, 1, 70, "iPod Touch 6", 2, 326},
        {"iPod9,1", DVDeviceFamilyiPod, 9, 1, 71, "iPod Touch 7", 2, 326},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.identifier);
        EXPECT_EQ(DVDeviceModelTable::familyForIdentifier(c.identifier), c.family);
        auto row = DVDeviceModelTable::lookup(c.family, c.major, c.minor);
        ASSERT_TRUE(row);
        EXPECT_EQ(row->model, c.model);
        EXPECT_STREQ(row->name, c.name);
        EXPECT_EQ(row->display, c.display);
        EXPECT_EQ(row->pixelsPerInch, c.ppi);
    }
}

TEST(DVDeviceModelTable, AbsentPairsAndForeignPrefixes) {
    EXPECT_FALSE(DVDeviceModelTable::lookup(DVDeviceFamilyiPad, 6, 1));
    EXPECT_FALSE(DVDeviceModelTable::lookup(DVDeviceFamilyiPad, 6, 2));
    EXPECT_FALSE(DVDeviceModelTable::lookup(DVDeviceFamilyiPod, 6, 1));
    EXPECT_FALSE(DVDeviceModelTable::lookup(DVDeviceFamilyiPod, 8, 1));
    EXPECT_EQ(DVDeviceModelTable::familyForIdentifier("x86_64"), DVDeviceFamilyUnknown);
    EXPECT_EQ(DVDeviceModelTable::familyForIdentifier("iphone7,1"), DVDeviceFamilyUnknown);
    EXPECT_EQ(DVDeviceModelTable::familyForIdentifier("Watch5,1"), DVDeviceFamilyUnknown);
}

}  // namespace
