// The settings cache's store, counters and keychain items (the stored payload decoded by
// Python: keyed archive, Base64, JSON), and the keychain file's survival and damage.

#include <analytics_common/ZVConfigureCache.h>

#include <cstdio>
#include <fstream>

#include <gtest/gtest.h>
#include <platform_system/SecItem.h>

#include "AnalyticsTestSupport.h"

TEST(SettingsCache, StoreIgnoresNilValuesAndBlankKeys) {
    ZVConfigureCache::setObject(Value("v"), "k1");
    EXPECT_EQ(ZVConfigureCache::objectWithKey("k1"), Value("v"));
    ZVConfigureCache::setObject(Value("w"), "   ");
    EXPECT_TRUE(ZVConfigureCache::objectWithKey("   ").isNull());
    ZVConfigureCache::setObject(Value(), "k1");
    EXPECT_EQ(ZVConfigureCache::objectWithKey("k1"), Value("v"));
    ZVConfigureCache::removeObjectForKey("k1");
    EXPECT_TRUE(ZVConfigureCache::objectWithKey("k1").isNull());
}

TEST(SettingsCache, Counters) {
    EXPECT_EQ(ZVConfigureCache::counterThenIncWithKey("serial"), 1);
    EXPECT_EQ(ZVConfigureCache::objectWithKey("serial").integerValue(), 2);
    EXPECT_EQ(ZVConfigureCache::counterThenIncWithKey("serial"), 2);
    EXPECT_EQ(ZVConfigureCache::counterThenIncWithKey("serial"), 3);
    ZVConfigureCache::incCounterForKey("hits");
    ZVConfigureCache::incCounterForKey("hits");
    EXPECT_EQ(ZVConfigureCache::objectWithKey("hits").integerValue(), 2);
    ZVConfigureCache::accumulateCount(40, "hits");
    ZVConfigureCache::accumulateCount(-2, "fresh");
    EXPECT_EQ(ZVConfigureCache::objectWithKey("hits").integerValue(), 42);
    EXPECT_EQ(ZVConfigureCache::objectWithKey("fresh").integerValue(), -2);
    ZVConfigureCache::resetCounterWithKey("hits");
    EXPECT_EQ(ZVConfigureCache::objectWithKey("hits").integerValue(), 0);
}

TEST(SettingsCache, MemoryCacheAndJSON) {
    ZVConfigureCache::memoryCacheObject(Value(3), "m");
    ZVConfigureCache::memoryCacheObject(Value(4), " ");
    EXPECT_EQ(ZVConfigureCache::memoryCacheObjectWithKey("m"), Value(3));
    EXPECT_TRUE(ZVConfigureCache::memoryCacheObjectWithKey(" ").isNull());
    EXPECT_EQ(ZVConfigureCache::JSONFragment(Value::dict({{"b", 1}, {"a", "x"}})), std::string(R"({"a":"x","b":1})"));
    EXPECT_FALSE(ZVConfigureCache::JSONFragment(Value(Value::Data{1, 2})));
}

TEST(SettingsCache, KeychainItemsDecodeInPython) {
    ZVConfigureCache::keyChainSave("YES", "kZVIdKeyChainKey", "isKC");
    EXPECT_EQ(ZVConfigureCache::keyChainLoad("kZVIdKeyChainKey", "isKC"), std::optional<std::string>("YES"));
    EXPECT_FALSE(ZVConfigureCache::keyChainLoad("otherKey", "isKC"));  // inner key missing
    EXPECT_FALSE(ZVConfigureCache::keyChainLoad("kZVIdKeyChainKey", "missing"));
    ZVConfigureCache::keyChainSave("", "k", "blank");
    EXPECT_FALSE(ZVConfigureCache::keyChainLoad("k", "blank"));
    // A second save replaces the item.
    ZVConfigureCache::keyChainSave("abc123", "kSharedUDIDKC", "oid");
    ZVConfigureCache::keyChainSave("def456", "kSharedUDIDKC", "oid");
    EXPECT_EQ(ZVConfigureCache::keyChainLoad("kSharedUDIDKC", "oid"), std::optional<std::string>("def456"));

    if (std::system("/usr/bin/python3 -c 'import plistlib' > /dev/null 2>&1") != 0) GTEST_SKIP() << "no python3";
    Value data;
    ASSERT_EQ(SecItemCopyMatching(Value::dict({{kSecClass, kSecClassGenericPassword},
                                               {kSecAttrService, "oid"},
                                               {kSecAttrAccount, "oid"},
                                               {kSecReturnData, true}}),
                                  &data),
              errSecSuccess);
    const std::string path = zvtest::root() + "/item.bin";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.asData().data()), static_cast<std::streamsize>(data.asData().size()));
    const std::string script =
        "import plistlib,base64,json,sys; a=plistlib.load(open(sys.argv[1],'rb')); "
        "t=a['\\$objects'][a['\\$top']['root'].data]; o=json.loads(base64.b64decode(t)); "
        "sys.exit(0 if o=={'kSharedUDIDKC':'def456'} else 1)";
    EXPECT_EQ(std::system(("/usr/bin/python3 -c \"" + script + "\" " + path).c_str()), 0);
}

TEST(SettingsCache, KeychainStatusCodesAndDamagedFile) {
    const Value item = Value::dict({{kSecClass, kSecClassGenericPassword},
                                    {kSecAttrService, "svc"},
                                    {kSecAttrAccount, "acct"},
                                    {kSecValueData, Value(Value::Data{1, 2, 3})}});
    EXPECT_EQ(SecItemAdd(item, nullptr), errSecSuccess);
    EXPECT_EQ(SecItemAdd(item, nullptr), errSecDuplicateItem);
    EXPECT_EQ(SecItemAdd(Value::dict({{kSecClass, "cert"}}), nullptr), errSecParam);
    const Value query = Value::dict({{kSecClass, kSecClassGenericPassword}, {kSecAttrService, "svc"}});
    EXPECT_EQ(SecItemUpdate(query, Value::dict({{kSecValueData, Value(Value::Data{9})}})), errSecSuccess);
    Value out;
    Value find = query;
    find.setObject(Value(true), kSecReturnData);
    EXPECT_EQ(SecItemCopyMatching(find, &out), errSecSuccess);
    EXPECT_EQ(out, Value(Value::Data{9}));
    EXPECT_EQ(SecItemDelete(query), errSecSuccess);
    EXPECT_EQ(SecItemDelete(query), errSecItemNotFound);
    EXPECT_EQ(SecItemCopyMatching(find, &out), errSecItemNotFound);

    // A damaged file reads as empty and is set aside; later writes work again.
    ASSERT_EQ(SecItemAdd(item, nullptr), errSecSuccess);
    const std::string file = SecKeychainFilePathForTesting();
    {
        std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(20);
        f.put('\x5a');
    }
    EXPECT_EQ(SecItemCopyMatching(find, &out), errSecItemNotFound);
    EXPECT_EQ(SecItemAdd(item, nullptr), errSecSuccess);
    EXPECT_EQ(SecItemCopyMatching(find, &out), errSecSuccess);
}
