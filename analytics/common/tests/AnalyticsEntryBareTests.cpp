// The analytics entry in a program that links none of the optional classes: only the
// device-identity module (part of this layer) and the fixed flags are announced.

#include <gtest/gtest.h>

#include <analytics_common/ZVConfigure.h>
#include <analytics_common/ZVConfigureCache.h>
#include <analytics_common/ZVHelper.h>
#include <analytics_common/ZVUtils.h>

#include "AnalyticsTestSupport.h"

TEST(BareEntry, WithoutTheOptionalClassesOnlyTheLayersOwnFlags) {
    ZVWorkDispatch::setCommonEventHandler([](ZVWorkDispatch&, const ZVDispatchEvent&, const auto&) {});
    ZVConfigure::initWithAppkey(Value("7c41e9a0d25b83f61e0a94c7"), Value("App Store"));
    EXPECT_EQ(ZVUtils::componentFlags(), "zoi");
    const Value versions = ZVHelper::sharedInstance()->moduleVer();
    EXPECT_EQ(versions.objectForKey(Value("i_ver")), Value("1.2.0"));
    EXPECT_EQ(versions.objectForKey(Value("z_ver")), Value("1.0.0"));
    for (const char* k : {"a_ver", "c_ver"}) EXPECT_TRUE(versions.objectForKey(Value(k)).isNull()) << k;
    EXPECT_EQ(ZVConfigureCache::sharedInstance()->appkey(), "7c41e9a0d25b83f61e0a94c7");
    zvtest::drainWorkQueue();
    ZVWorkDispatch::setCommonEventHandler(nullptr);
}
