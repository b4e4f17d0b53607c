// A launch starts the analytics kit with the app's key and channel: its first envelope reaches
// a loopback collection sink, which reads it with its own decoder.

#include <gtest/gtest.h>

#include <app/AppConfiguration.h>
#include <app/AppDelegate.h>

#include <analytics_common/ZVCollectionHosts.h>
#include <analytics_common/ZVUtils.h>
#include <platform_dispatch/RunLoopSpin.h>
#include <platform_foundation/NSBundle.h>
#include <platform_foundation/NSUserDefaults.h>
#include <platform_foundation/Sandbox.h>

#include "CatalogueTestServer.h"
#include "CollectionSink.h"

namespace {

std::string member(const rapidjson::Value& object, const char* key) {
    if (!object.IsObject() || !object.HasMember(key) || !object[key].IsString()) return "";
    return object[key].GetString();
}

TEST(AppAnalyticsStart, ALaunchSendsTheKitsFirstEnvelopeWithTheAppsKey) {
    // Before anything reads the collection hosts or makes a TLS request.
    zvsink::trustTestCA();
    zvsink::CollectionSink primary("ulog.zavez.localhost"), secondary("ulog2.zavez.localhost");
    ::setenv(ZVCollectionHosts::kEnvironmentVariable, (primary.hostPort() + "," + secondary.hostPort()).c_str(), 1);
    apptest::TempFolder sandbox("appanalytics");
    NSSandbox::resetForTesting(sandbox.path());
    NSUserDefaults::resetStandardUserDefaults();
    NSBundle::setMainBundlePathForTesting(std::string(PROJECT_SOURCE_DIR) + "/resources");

    auto app = UIApplication::sharedApplication();
    app->resetForTesting();
    auto delegate = std::make_shared<AppDelegate>();
    delegate->setWindow(std::make_shared<UIWindow>());
    app->setDelegate(delegate);
    app->finishLaunching();

    ASSERT_TRUE(spinMainRunLoopUntil(
        [&] {
            for (const auto& r : primary.requests())
                if (r.path == "/zcfg") return true;
            return false;
        },
        60));
    zvsink::Request first;
    for (const auto& r : primary.requests())
        if (r.path == "/zcfg") first = r;
    const auto envelope = zvsink::decodeEnvelope(first.body, ZVUtils::idfv() + ZVUtils::sharedUDIDString());
    ASSERT_TRUE(envelope.ok()) << envelope.problems.front();
    const auto json = zvsink::parseJSON(envelope.json);
    ASSERT_TRUE(json.IsObject() && json.HasMember("header"));
    EXPECT_EQ(member(json["header"], "appkey"), AppConfiguration::kAnalyticsAppKey);

    app->resetForTesting();
    NSBundle::setMainBundlePathForTesting(std::nullopt);
    NSSandbox::resetForTesting();
}

}  // namespace
