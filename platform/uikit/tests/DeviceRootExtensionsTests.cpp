// What the device root keeps for the apps of one machine: vendor identifiers and named
// pasteboards; and background tasks.

#include <cstdlib>
#include <fstream>

#include <gtest/gtest.h>
#include <platform_dispatch/RunLoopSpin.h>
#include <platform_foundation/NSBundle.h>
#include <platform_foundation/NSUUID.h>
#include <platform_foundation/Sandbox.h>
#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UIDevice.h>
#include <platform_uikit/UIPasteboard.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string tempRoot() {
    static const std::string root = [] {
        char tmpl[] = "/tmp/uikit-device-XXXXXX";
        std::string d = ::mkdtemp(tmpl);
        ::setenv(NSSandbox::kDeviceRootEnvironmentVariable, (d + "/device").c_str(), 1);
        return d;
    }();
    return root;
}

// An app bundle folder with an identifier.
void useBundle(const std::string& identifier) {
    const std::string dir = tempRoot() + "/" + identifier + ".app";
    ::mkdir(dir.c_str(), 0755);
    std::ofstream(dir + "/Info.plist") << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                          "<plist version=\"1.0\"><dict><key>CFBundleIdentifier</key><string>"
                                       << identifier << "</string></dict></plist>\n";
    NSBundle::setMainBundlePathForTesting(dir);
}

}  // namespace

TEST(DeviceRootExtensions, VendorIdentifierPerVendorAcrossApps) {
    tempRoot();
    auto device = UIDevice::currentDevice();
    useBundle("com.example.first");
    auto first = device->identifierForVendor();
    ASSERT_TRUE(first);
    useBundle("com.example.second");
    auto second = device->identifierForVendor();
    ASSERT_TRUE(second);
    EXPECT_EQ(first->UUIDString(), second->UUIDString());  // same vendor
    useBundle("org.other.app");
    auto other = device->identifierForVendor();
    ASSERT_TRUE(other);
    EXPECT_NE(other->UUIDString(), first->UUIDString());
    useBundle("com.example.first");  // a reinstall reads the kept one
    EXPECT_EQ(device->identifierForVendor()->UUIDString(), first->UUIDString());
    NSBundle::setMainBundlePathForTesting(std::nullopt);
    EXPECT_FALSE(device->name().empty());
}

TEST(DeviceRootExtensions, NamedPasteboards) {
    tempRoot();
    EXPECT_FALSE(UIPasteboard::pasteboardWithName("board", false));
    EXPECT_FALSE(UIPasteboard::pasteboardWithName("", true));
    auto board = UIPasteboard::pasteboardWithName("board", true);
    ASSERT_TRUE(board);
    EXPECT_FALSE(board->isPersistent());
    EXPECT_FALSE(board->dataForPasteboardType("t"));
    board->setData(Value::Data{1, 2}, "t");
    board->setPersistent(true);
    // Another handle (another app) sees the same record.
    auto again = UIPasteboard::pasteboardWithName("board", false);
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->isPersistent());
    EXPECT_EQ(again->dataForPasteboardType("t"), std::optional<Value::Data>(Value::Data{1, 2}));
    // Names of any text are kept apart.
    auto slashed = UIPasteboard::pasteboardWithName("a/b c", true);
    slashed->setData(Value::Data{9}, "t");
    EXPECT_EQ(board->dataForPasteboardType("t"), std::optional<Value::Data>(Value::Data{1, 2}));
    // Damaged record: read as empty, writable again.
    std::ofstream(tempRoot() + "/device/Pasteboards/board.pasteboard") << "garbage";
    EXPECT_FALSE(again->dataForPasteboardType("t"));
    again->setData(Value::Data{3}, "t");
    EXPECT_EQ(again->dataForPasteboardType("t"), std::optional<Value::Data>(Value::Data{3}));
    UIPasteboard::removePasteboardWithName("board");
    EXPECT_FALSE(UIPasteboard::pasteboardWithName("board", false));
}

TEST(DeviceRootExtensions, BackgroundTasks) {
    auto app = UIApplication::sharedApplication();
    bool expired = false;
    const uint64_t a = app->beginBackgroundTaskWithExpirationHandler([&expired] { expired = true; });
    const uint64_t b = app->beginBackgroundTaskWithExpirationHandler(nullptr);
    EXPECT_NE(a, UIBackgroundTaskInvalid);
    EXPECT_NE(a, b);
    EXPECT_EQ(app->openBackgroundTaskCount(), 2u);
    app->endBackgroundTask(b);
    app->endBackgroundTask(UIBackgroundTaskInvalid);
    EXPECT_EQ(app->openBackgroundTaskCount(), 1u);
    app->expireBackgroundTasksForTesting();
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return expired; }, 30));
    app->endBackgroundTask(a);
    EXPECT_EQ(app->openBackgroundTaskCount(), 0u);
}
