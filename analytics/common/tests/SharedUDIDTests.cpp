// The shared device identifier as two apps over one device root: each app has its own
// sandbox (user defaults), the named pasteboards are shared.

#include <analytics_common/ZVSharedUDID.h>

#include <gtest/gtest.h>
#include <platform_foundation/NSKeyedArchiver.h>
#include <platform_foundation/NSUserDefaults.h>
#include <platform_foundation/Sandbox.h>
#include <platform_uikit/UIPasteboard.h>

#include "AnalyticsTestSupport.h"

namespace {

int appCounter = 0;

// Switches the process to a fresh app: a new sandbox over the same device root.
void launchNewApp() {
    NSSandbox::resetForTesting(zvtest::root() + "/app" + std::to_string(++appCounter));
    NSUserDefaults::resetStandardUserDefaults();
    ZVSharedUDID::resetCacheForTesting();
}

void clearSlots() {
    for (int i = 0; i < 100; ++i) UIPasteboard::removePasteboardWithName("org.SharedUDID.slot." + std::to_string(i));
}

void writeSlot(int index, const std::string& id, const std::string& app) {
    auto pb = UIPasteboard::pasteboardWithName("org.SharedUDID.slot." + std::to_string(index), true);
    pb->setPersistent(true);
    pb->setData(NSKeyedArchiver::archivedDataWithRootObject(
                    Value::dict({{"SharedUDID", id}, {"SharedUDID_appUID", app}}), false),
                "org.SharedUDID");
}

Value localRecord() { return NSUserDefaults::standardUserDefaults()->objectForKey("SharedUDID"); }

bool isHex40(const std::string& s) {
    return s.size() == 40 && s.find_first_not_of("0123456789abcdef") == std::string::npos;
}

}  // namespace

TEST(SharedUDID, FirstAppMakesAnIdentifierAndClaimsSlotZero) {
    clearSlots();
    launchNewApp();
    NSErrorPtr error;
    const std::string id = ZVSharedUDID::valueWithError(&error);
    EXPECT_TRUE(isHex40(id)) << id;
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 0);
    auto slot = UIPasteboard::pasteboardWithName("org.SharedUDID.slot.0", false);
    ASSERT_TRUE(slot);
    EXPECT_TRUE(slot->isPersistent());
    EXPECT_EQ(ZVSharedUDID::_getDictFromPasteboard(Value(slot)).objectForKey("SharedUDID"), Value(id));
    EXPECT_EQ(localRecord().objectForKey("SharedUDID_slot"), Value("org.SharedUDID.slot.0"));
    // A second call answers the cache without touching any pasteboard.
    UIPasteboard::removePasteboardWithName("org.SharedUDID.slot.0");
    EXPECT_EQ(ZVSharedUDID::valueWithError(&error), id);
    EXPECT_EQ(error->code(), 0);
    EXPECT_FALSE(UIPasteboard::pasteboardWithName("org.SharedUDID.slot.0", false));

    // A second app adopts the first app's identifier and claims the next slot.
    clearSlots();
    ZVSharedUDID::resetCacheForTesting();
    EXPECT_EQ(ZVSharedUDID::value(), id);  // re-writes slot 0 from its record
    launchNewApp();
    EXPECT_EQ(ZVSharedUDID::value(), id);
    EXPECT_EQ(localRecord().objectForKey("SharedUDID_slot"), Value("org.SharedUDID.slot.1"));
}

TEST(SharedUDID, MajorityWinsAndTheNextFreeSlotIsClaimed) {
    clearSlots();
    const std::string a(40, 'a'), b(40, 'b');
    writeSlot(0, a, "other-1");
    writeSlot(1, a, "other-2");
    writeSlot(2, b, "other-3");
    launchNewApp();
    EXPECT_EQ(ZVSharedUDID::value(), a);
    EXPECT_EQ(localRecord().objectForKey("SharedUDID_slot"), Value("org.SharedUDID.slot.3"));

    // Equal tallies: the identifier first seen in the later slot wins.
    clearSlots();
    writeSlot(0, a, "x");
    writeSlot(1, b, "y");
    launchNewApp();
    EXPECT_EQ(ZVSharedUDID::value(), b);
}

TEST(SharedUDID, StoredIdentifierAgainstTheMajorityIsKeptWithCode2) {
    clearSlots();
    launchNewApp();
    const std::string mine = ZVSharedUDID::value();
    clearSlots();
    const std::string other(40, 'c');
    writeSlot(0, other, "x");
    writeSlot(1, other, "y");
    ZVSharedUDID::resetCacheForTesting();
    NSErrorPtr error;
    EXPECT_EQ(ZVSharedUDID::valueWithError(&error), mine);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 2);
    EXPECT_EQ(error->domain(), "org.SharedUDID");
}

TEST(SharedUDID, OptOutAndBack) {
    clearSlots();
    launchNewApp();
    const std::string id = ZVSharedUDID::value();
    ZVSharedUDID::setOptOut(true);
    NSErrorPtr error;
    EXPECT_EQ(ZVSharedUDID::valueWithError(&error), std::string(40, '0'));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 1);
    ZVSharedUDID::setOptOut(false);
    EXPECT_EQ(ZVSharedUDID::valueWithError(&error), id);
    EXPECT_EQ(error->code(), 0);
}

TEST(SharedUDID, UnreadableSlotDataCountsAsEmpty) {
    clearSlots();
    auto pb = UIPasteboard::pasteboardWithName("org.SharedUDID.slot.0", true);
    pb->setData(Value::Data{1, 2, 3}, "org.SharedUDID");
    EXPECT_EQ(ZVSharedUDID::_getDictFromPasteboard(Value(pb)).count(), 0u);
    launchNewApp();
    EXPECT_TRUE(isHex40(ZVSharedUDID::value()));
    EXPECT_EQ(localRecord().objectForKey("SharedUDID_slot"), Value("org.SharedUDID.slot.0"));
    EXPECT_TRUE(isHex40(ZVSharedUDID::_generateFreshSharedUDID()));
}
