// The jailbreak list in a window against a loopback TLS service: the texts of a row, and
// refreshes that fail (HTTP error, untrusted certificate, offline) keeping the last rows.

#include "CatalogueScreenSupport.h"

#include <app/screens/IsJBViewController.h>
#include <app/screens/JBTableViewCell.h>

#include <platform_runtime/ObjCRuntime.h>

namespace {

using screentest::CatalogueScreenTest;
using screentest::Screen;

const char* kList = R"({"jailbreaks":[
  {"name":"toolA","ios":{"start":"11.0","end":"11.1.2"},"caveats":"Needs a computer","jailbroken":true,"platforms":[]},
  {"name":"toolB","ios":{"start":"12.0","end":""},"caveats":"","jailbroken":true,"platforms":["A"],"url":"u","version":"1"},
  {"name":"ignored","ios":{"start":"15.2","end":"15.4"},"caveats":"ignored too","jailbroken":false,"platforms":[]}
]})";

class JailbreakTest : public CatalogueScreenTest {
protected:
    void SetUp() override {
        CatalogueScreenTest::SetUp();
        server->routes().Get("/jailbreaks.json", [this](const httplib::Request&, httplib::Response& res) {
            ++hits;
            res.status = status;
            res.set_content(answer, "application/json; charset=utf-8");
        });
    }
    void open() {
        jb = std::make_shared<IsJBViewController>();
        screen = std::make_unique<Screen>(jb);
        ASSERT_TRUE(waitFor([&] { return hits.load() == 1 && !OVProgressHUD::isVisible(); }));
        screen->settle();
    }
    std::vector<std::string> rowTexts(int64_t row) {
        auto cell = std::dynamic_pointer_cast<JBTableViewCell>(
            jb->mTableview()->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(row, 0)));
        if (!cell) return {};
        return {cell->jbVersionLabel()->text(), cell->jbToolsLabel()->text(), cell->jbTipsLabel()->text()};
    }
    // Refreshes and waits for the answer (or the failure) to be handled.
    void refresh(const std::function<bool()>& handled) {
        ASSERT_TRUE(performSelector(jb.get(), "refreshData").has_value());
        ASSERT_TRUE(waitFor(handled));
        screen->settle(0.5);
    }

    std::string answer = kList;
    std::atomic<int> status{200};
    std::shared_ptr<IsJBViewController> jb;
    std::unique_ptr<Screen> screen;
};

TEST_F(JailbreakTest, RowTexts) {
    start();
    open();
    ASSERT_EQ(jb->mTableview()->numberOfRowsInSection(0), 3);
    EXPECT_EQ(rowTexts(0), (std::vector<std::string>{"iOS 11.0 --> 11.1.2", "✅ Jailbreak using [toolA]",
                                                       "Needs a computer"}));
    EXPECT_EQ(rowTexts(1), (std::vector<std::string>{"iOS 12.0", "✅ Jailbreak using [toolB]", ""}));
    EXPECT_EQ(rowTexts(2),
              (std::vector<std::string>{"iOS 15.2 --> 15.4", "❌  No jailbreak yet . Check back later!",
                                        "If you are already jailbroken, we recommend that you do not upgrade or you "
                                        "will lose your jailbreak!"}));
    EXPECT_EQ(jb->mTableview()->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 0)).size.height, 100);
    const std::string screen = textSnapshot();
    // The first row's title sits under the navigation title and the refresh
    // header's text in the screen text; the later rows show whole.
    EXPECT_NE(screen.find("iOS 12.0"), std::string::npos) << screen;
}

TEST_F(JailbreakTest, FailedRefreshesKeepTheRows) {
    start();
    open();
    ASSERT_EQ(jb->dataArray().size(), 3u);
    struct Case {
        const char* name;
        int status;
        std::string body;
    } cases[] = {
        {"server error", 500, "<html>Internal error</html>"},
        {"not found with JSON", 404, R"({"error":"gone"})"},
        {"does not map", 200, R"({"jailbreaks":[{"name":"x"}]})"},
        {"empty answer", 200, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        status = c.status;
        answer = c.body;
        const int before = hits.load();
        refresh([&] { return hits.load() == before + 1; });
        EXPECT_EQ(jb->dataArray().size(), 3u);
        EXPECT_EQ(jb->mTableview()->numberOfRowsInSection(0), 3);
        EXPECT_EQ(overlayStatus(), std::nullopt);
    }
    // Offline: the network error shows, the rows stay.
    NetworkAirplaneMode::setOn(true);
    refresh([&] { return OVProgressHUD::isVisible(); });
    EXPECT_EQ(overlayStatus(), NSLocalizedString("networkerrortitle"));
    EXPECT_EQ(jb->dataArray().size(), 3u);
}

TEST_F(JailbreakTest, AnUntrustedServerShowsNothing) {
    // A self-signed certificate no installed root vouches for.
    auto selfSigned = testcerts::makeCertificate(
        testcerts::Options{.commonName = "127.0.0.1", .subjectAltName = "IP:127.0.0.1,DNS:localhost"});
    server = std::make_unique<apptest::CatalogueServer>(&selfSigned);
    server->routes().Get("/jailbreaks.json", [this](const httplib::Request&, httplib::Response& res) {
        ++hits;
        res.set_content(answer, "application/json; charset=utf-8");
    });
    start();
    jb = std::make_shared<IsJBViewController>();
    screen = std::make_unique<Screen>(jb);
    ASSERT_TRUE(waitFor([&] { return !OVProgressHUD::isVisible(); }));
    screen->settle();
    EXPECT_EQ(hits.load(), 0);  // refused during the handshake
    EXPECT_TRUE(jb->dataArray().empty());
    EXPECT_EQ(overlayStatus(), std::nullopt);
}

TEST_F(JailbreakTest, WithoutAConfiguredServiceNothingIsShown) {
    jb = std::make_shared<IsJBViewController>();
    screen = std::make_unique<Screen>(jb);
    ASSERT_TRUE(waitFor([&] { return !OVProgressHUD::isVisible(); }));
    screen->settle();
    EXPECT_TRUE(jb->dataArray().empty());
    EXPECT_EQ(overlayStatus(), std::nullopt);
}

}  // namespace
