#pragma once
// Screen tests against a loopback TLS catalogue server: the app's configuration points at
// it for the test, and helpers wait for loads and read the overlay.

#include "CatalogueTestServer.h"
#include "ScreenTestSupport.h"

#include <app/AppConfiguration.h>
#include <app/store/ECUserDefaultsUtil.h>

#include <platform_foundation/NSLocalizedString.h>
#include <platform_net/AirplaneMode.h>
#include <ui_widgets/OVProgressHUD.h>

#include <atomic>
#include <cstdlib>
#include <functional>

namespace screentest {

class CatalogueScreenTest : public ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        server = std::make_unique<apptest::CatalogueServer>();
    }
    // Starts the server and points both services at it.
    void start() {
        server->start();
        ::setenv(AppConfiguration::kCatalogueBaseURLVariable, server->base().c_str(), 1);
        ::setenv(AppConfiguration::kJailbreakBaseURLVariable, server->base().c_str(), 1);
    }
    void TearDown() override {
        NetworkAirplaneMode::setOn(false);
        OVProgressHUD::dismiss();
        ManualClock::advance(1);
        OVProgressHUD::setDefaultStyle(0);
        ::unsetenv(AppConfiguration::kCatalogueBaseURLVariable);
        ::unsetenv(AppConfiguration::kJailbreakBaseURLVariable);
        ECUserDefaultsUtil::removeFavModel();
        ECUserDefaultsUtil::removeValidCount();
        server.reset();
        ScreenTest::TearDown();
    }
    // Runs the main loop (real time for the network, the manual clock for animations) until
    // the condition holds; false after 10 s.
    static bool waitFor(const std::function<bool()>& condition) {
        return spinMainRunLoopUntil(condition, 10);
    }
    // The overlay's status text while it is shown, else nothing.
    static std::optional<std::string> overlayStatus() {
        ManualClock::advance(0.3);
        if (!OVProgressHUD::isVisible()) return std::nullopt;
        return OVProgressHUD::sharedView()->statusLabel()->text();
    }

    std::unique_ptr<apptest::CatalogueServer> server;
    std::atomic<int> hits{0};
};

}  // namespace screentest
